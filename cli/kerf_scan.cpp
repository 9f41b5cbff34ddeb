// kerf scan: every sequence header of a programme's video in one read of the whole recording,
// so cut points can be chosen without a window. The scan is planned and run by
// plans/scan_plan.h; this file reads the options and reports.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/kerf_commands.h"
#include "cli/kerf_session.h"
#include "plans/scan_plan.h"
#include "platform/console.h"

namespace {

const char kScanHelp[] =
    "usage: kerf scan FILE [--programme N] [--json]\n"
    "\n"
    "Reads FILE once and lists every sequence header of a programme's video: the packet where\n"
    "it begins (a cut from there starts with a decodable picture), its time by the file's\n"
    "measurement, and the last PCR of the file's PCR PID before it. 'kerf cut --snap' moves cut\n"
    "points to these packets.\n"
    "  --programme N    the video of programme N of 'kerf info' (default: the first video)\n"
    "  --list-at POS    where the programmes are looked for (default 0)\n"
    "  --method 1|2|3   total-time method for the times (default 3)\n"
    "  --json           the same as a JSON object\n"
    "Ctrl-C stops the scan: what was found is listed, the exit status is 5.\n";

std::atomic<bool> g_stop{false};

void PrintScanJson(const ScanPlan& plan, const ScanResult& result, int status, const char* outcome) {
  std::printf("{\n  \"file\": %s,\n  \"status\": %d,\n  \"outcome\": \"%s\",\n  \"programme\": %d,\n",
              json_string(path_for_terminal(plan.rec.path)).c_str(), status, outcome, plan.programme);
  std::printf("  \"videoPid\": %d,\n  \"pcrPid\": %d,\n  \"headers\": [", int(plan.videoPid), int(plan.pcrPid));
  for (size_t i = 0; i < result.headers.size(); ++i) {
    const SequenceHeaderAt& h = result.headers[i];
    const int32_t ms = plan.rec.ToMs(int32_t(h.packet));
    std::printf("%s\n    {\"packet\": %lld, \"ms\": %d, \"time\": %s, \"pcr\": ", i ? "," : "",
                static_cast<long long>(h.packet), int(ms), json_string(ms_text(ms)).c_str());
    if (h.pcrTicks < 0)
      std::printf("null, \"pcrTime\": null}");
    else
      std::printf("%lld, \"pcrTime\": %s}", static_cast<long long>(h.pcrTicks),
                  json_string(ms_text(pcr_ms(h.pcrTicks))).c_str());
  }
  std::printf("%s]\n}\n", result.headers.empty() ? "" : "\n  ");
}

void PrintScanText(const ScanPlan& plan, const ScanResult& result) {
  std::printf("programme %d, video PID %04X: %zu sequence headers\n", plan.programme, unsigned(plan.videoPid),
              result.headers.size());
  std::printf("packet    time          PCR\n");
  for (const SequenceHeaderAt& h : result.headers) {
    std::printf("%08llX  %s  %s\n", static_cast<unsigned long long>(h.packet),
                ms_text(plan.rec.ToMs(int32_t(h.packet))).c_str(),
                h.pcrTicks < 0 ? "-" : ms_text(pcr_ms(h.pcrTicks)).c_str());
  }
}

}  // namespace

int Scan(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  int32_t method = 0;
  const ArgDesc desc{{"programme", "list-at", "method"}, {"json", "help"}};
  if (int status = begin_command(argv, desc, kScanHelp, args, method); status >= 0) return status;
  int programme = 0;
  if (args.has("programme") && (!read_number(args.value("programme"), 10, programme) || programme < 1))
    return usage_error("--programme takes an ordinal from 1", kScanHelp);

  Recording rec;
  if (int status = open_recording(args.positional[0], method, rec)) return status;
  int32_t listAt = 0;
  if (!position_of(args, "list-at", rec, 0, listAt, error)) return usage_error(error, kScanHelp);
  WorkEngine engine;
  ScanPlan plan;
  if (CommandError planned = PlanScan(rec, programme, listAt, engine, plan)) return report_error(planned, kScanHelp);

  TerminalBar bar(true);
  console_on_interrupt(&g_stop);
  const ScanResult result = RunScan(plan, [&bar](int percent) { bar.Draw(percent); }, &g_stop);
  bar.End();
  const char* outcome = "done";
  if (result.outcome == Outcome::Stopped) {
    outcome = "stopped";
    std::fprintf(stderr, "kerf: stopped; the headers found so far are listed\n");
  } else if (result.outcome != Outcome::Done) {
    outcome = "input error";
    report_error(result.error, kScanHelp);
  }
  const int status = exit_status(result.outcome);
  if (args.has("json"))
    PrintScanJson(plan, result, status, outcome);
  else
    PrintScanText(plan, result);
  return status;
}
