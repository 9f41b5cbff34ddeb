// Printing kerf's answers as JSON (--json): the values are built by plans/plan_json.h, which kerf
// serve answers with too; here they get the terminal's paths and the exit statuses.
#pragma once
#include <cstdint>
#include <vector>

#include "common/json.h"
#include "core/programme_list.h"
#include "plans/cut_plan.h"
#include "plans/recording.h"
#include "plans/scan_plan.h"

// The measurement and the programmes found from packet at.
Json InfoJson(const Recording& rec, int32_t at, const std::vector<Programme>& programmes);
// The video read and the sequence headers found, with the outcome.
Json ScanJson(const ScanPlan& plan, const ScanResult& result);
// The stretches (in the order of the recording), the outputs and the outcome.
Json CutJson(const CutPlan& plan, const CutResult& result);

// Prints value as JSON text (json_text) and a line feed on standard output.
void print_json(const Json& value);
