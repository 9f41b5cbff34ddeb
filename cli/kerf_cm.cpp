// kerf cm: the stretches of a recording as the commercial finder proposes them (programme,
// commercial breaks, outside the programme), as text, as JSON, or as the programme's A-B lines
// for kerf cut. The work is planned and run by plans/cm_plan.h; this file reads the options and
// reports.
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/kerf_commands.h"
#include "cli/kerf_json.h"
#include "cli/kerf_session.h"
#include "cm/cm_json.h"
#include "cm/cm_plan.h"
#include "plans/recording.h"
#include "platform/console.h"

namespace {

const char kCmHelp[] =
    "usage: kerf cm FILE [--programme N] [--json | --ranges]\n"
    "\n"
    "Reads FILE once and proposes its stretches: the programme, its commercial breaks (silences at\n"
    "picture changes spaced by whole 15-s units) and what lies outside the programme (before and\n"
    "after its present event), each with its start, end, length and why. A boundary that rests on\n"
    "a table change alone is marked '?'. A stretch no chain of 15-s units covers is kept as\n"
    "programme.\n"
    "  --programme N  programme N of 'kerf info' (default 1)\n"
    "  --ranges       only the programme's stretches, one 'p:A-p:B' line each (packet numbers,\n"
    "                 each starting at a key picture), for 'kerf cut --ranges-from'\n"
    "  --json         the same as a JSON object\n"
    "Ctrl-C stops the read (status 5). A recording without audio or video, with video other than\n"
    "MPEG-2 (the key pictures are decoded as the preview does), or with audio the decoder does not\n"
    "know, ends with status 3.\n";

std::atomic<bool> g_stop{false};

void PrintCmText(const CmResult& result) {
  const CmScanResult& scan = result.scan;
  std::printf("service %04X: video PID %04X, audio PID %04X, %s; %lld silences, %lld of %lld key pictures decoded\n",
              unsigned(scan.serviceId), unsigned(scan.videoPid), unsigned(scan.audioPid),
              clock_text(scan.findings.endMs).c_str(), static_cast<long long>(scan.silences),
              static_cast<long long>(scan.decodes), static_cast<long long>(scan.keyPictures));
  for (const CmStretch& s : result.stretches) {
    std::printf("%-21s %s%s - %s%s  %9.3f s  p:%llX-p:%llX\n    %s\n", cm_stretch_kind_text(s.kind),
                s.uncertainStart ? "?" : "", clock_text(s.start.ms).c_str(), s.uncertainEnd ? "?" : "",
                clock_text(s.end.ms).c_str(), double(s.lengthMs()) / 1000,
                static_cast<unsigned long long>(s.start.packet), static_cast<unsigned long long>(s.end.packet - 1),
                s.why.c_str());
  }
}

}  // namespace

int Cm(const std::vector<std::string>& argv) {
  Args args;
  int32_t method = 0;
  const ArgDesc desc{{"programme"}, {"json", "ranges", "help"}};
  if (int status = begin_command(argv, desc, kCmHelp, args, method); status >= 0) return status;
  if (args.has("json") && args.has("ranges")) return usage_error("--json and --ranges exclude each other", kCmHelp);
  CmRequest request;
  request.path = args.positional[0];
  if (args.has("programme") && !read_number(args.value("programme"), 10, request.programme))
    return usage_error("--programme takes an ordinal from 1", kCmHelp);
  if (CommandError bad = CheckCmRequest(request)) return report_error(bad, kCmHelp);
  if (CommandError bad = check_transport_stream(request.path)) return report_error(bad, kCmHelp);

  TerminalBar bar(true);
  console_on_interrupt(&g_stop);
  const CmResult result = RunCm(request, [&bar](int percent) { bar.Draw(percent); }, &g_stop);
  bar.End();
  if (result.outcome == Outcome::InputError) return report_error(result.error, kCmHelp);
  if (result.outcome == Outcome::Stopped)
    std::fprintf(stderr, args.has("ranges") ? "kerf: stopped; a partial read gives no ranges\n"
                                            : "kerf: stopped; the stretches of what was read follow\n");
  if (args.has("ranges")) {
    // A partial read's ranges would cut the programme short: none are printed after a stop.
    if (result.outcome == Outcome::Done)
      for (const std::string& line : programme_ranges(result.stretches)) std::printf("%s\n", line.c_str());
  } else if (args.has("json")) {
    print_json(CmJson(path_for_terminal(request.path), request, result, exit_status(result.outcome)));
  } else {
    PrintCmText(result);
  }
  return exit_status(result.outcome);
}
