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
#include "cli/kerf_json.h"
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
  if (result.outcome == Outcome::Stopped)
    std::fprintf(stderr, "kerf: stopped; the headers found so far are listed\n");
  else if (result.error)
    report_error(result.error, kScanHelp);
  if (args.has("json"))
    print_json(ScanJson(plan, result));
  else
    PrintScanText(plan, result);
  return exit_status(result.outcome);
}
