// kerf's answers as JSON values (see kerf_json.h).
#include "cli/kerf_json.h"

#include <cstdio>

#include "cli/cli_text.h"
#include "plans/plan_json.h"

Json InfoJson(const Recording& rec, int32_t at, const std::vector<Programme>& programmes) {
  return InfoJson(path_for_terminal(rec.path), rec, at, programmes);
}

Json ScanJson(const ScanPlan& plan, const ScanResult& result) {
  return ScanJson(path_for_terminal(plan.rec.path), plan, result);
}

Json CutJson(const CutPlan& plan, const CutResult& result) {
  return CutJson(path_for_terminal(plan.rec.path), plan, result, path_for_terminal);
}

void print_json(const Json& value) {
  const std::string text = json_text(value) + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
}
