// kerf's answers as JSON values, made from the typed results of the plans: what `kerf info`,
// `kerf scan` and `kerf cut` print with --json, and what kerf serve answers for the same
// requests, built here once for both. Text is UTF-8 (the names of events and channels as the
// programme analysis decoded them); file names come from the caller as it wants them shown.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/json.h"
#include "core/programme_list.h"
#include "plans/cut_plan.h"
#include "plans/recording.h"
#include "plans/scan_plan.h"

// A file's path as the front end shows it.
using PathText = std::function<std::string(const std::string& path)>;

// The status an outcome ends kerf with (0 done, 2 usage, 3 input, 4 output, 5 stopped), which
// the answers carry too.
int outcome_status(Outcome outcome);

// The measurement and the programmes found from packet at; file names the recording.
Json InfoJson(const std::string& file, const Recording& rec, int32_t at, const std::vector<Programme>& programmes);
// The video read and the sequence headers found, with the outcome and its status.
Json ScanJson(const std::string& file, const ScanPlan& plan, const ScanResult& result);
// The stretches (in the order of the recording), the outputs and the outcome with its status;
// paths shows every output's path.
Json CutJson(const std::string& file, const CutPlan& plan, const CutResult& result, const PathText& paths);
