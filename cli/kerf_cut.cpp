// kerf cut: one or several stretches of a recording, whole or one programme, optionally moved to
// the sequence headers of the programme's video, reported as text or as JSON. The cut itself is
// planned and run by plans/cut_plan.h; this file reads the options and reports.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/kerf_commands.h"
#include "cli/kerf_json.h"
#include "cli/kerf_session.h"
#include "common/raw_file.h"
#include "common/ts_packet.h"
#include "plans/cut_plan.h"
#include "platform/console.h"

namespace {

const char kCutHelp[] =
    "usage: kerf cut FILE -o OUT [--start POS] [--end POS] [--programme N | --service ID]\n"
    "       kerf cut FILE --range A-B [--range C-D ...] -o OUT_%d.ts [--join] [options]\n"
    "       kerf cut FILE --control CFG [--start POS] [--end POS]\n"
    "\n"
    "Copies the packets from --start (default the beginning) to --end (default the end) into OUT.\n"
    "  --range A-B      a stretch from A to B (either may be left out: the beginning, the end);\n"
    "                   give it again for more stretches, all cut in one pass over FILE, each into\n"
    "                   its own file: %d in OUT becomes the stretch's number (1 for the first given)\n"
    "  --ranges-from F  the stretches of the A-B lines of file F ('-': standard input), as\n"
    "                   'kerf cm --ranges' prints them (blank lines and lines from # are passed\n"
    "                   over); after any --range\n"
    "  --join           all stretches into OUT, one after the other in the order of FILE; players\n"
    "                   see each seam as a jump in time\n"
    "  --snap           the start moves back to the packet where the nearest sequence header of the\n"
    "                   programme's video begins (the first programme's for a whole cut), so the\n"
    "                   cut starts with a decodable picture; the end moves forward to just before\n"
    "                   the next sequence header, so it ends on a whole group of pictures ('kerf\n"
    "                   scan' lists them). A start before the first header moves forward to it.\n"
    "  --programme N    only programme N of 'kerf info', with a one-programme PAT\n"
    "  --service ID     only the programme with this service id (hexadecimal, e.g. 0400)\n"
    "  --control CFG    outputs and PIDs as a DEMUX.cfg-format control file says (one stretch)\n"
    "  --network-entry  the one-programme PAT keeps the network PID entry\n"
    "  --list-at POS    where the programmes are looked for (default 0, as 'kerf info')\n"
    "  --method 1|2|3   total-time method for converting times (default 3)\n"
    "  --force          replace OUT if it exists\n"
    "  --json           the stretches, outputs, summary counts and outcome as a JSON object on\n"
    "                   stdout once the cut has run (the exit status is the same)\n"
    "Every option applies to every stretch; stretches may not overlap.\n"
    "Ctrl-C stops the cut cleanly: OUT keeps what was written, the exit status is 5.\n";

std::atomic<bool> g_stop{false};

// The A-B lines of --ranges-from appended to the --range values, so that both are read alike.
// -1 to go on, otherwise the status to exit with.
int ReadRangesFrom(const std::string& source, Args& args) {
  std::string text;
  char block[4096];
  if (source == "-") {
    for (size_t n; (n = std::fread(block, 1, sizeof block, stdin)) > 0;) text.append(block, n);
  } else {
    RawFile file(source.c_str(), "rb");
    if (!file.ok()) {
      std::fprintf(stderr, "kerf: cannot read %s\n", path_for_terminal(source).c_str());
      return kExitInput;
    }
    for (size_t n; (n = raw_read(block, 1, sizeof block, file.get())) > 0;) text.append(block, n);
  }
  size_t added = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    args.lists["range"].push_back(line.substr(first));
    args.values["range"] = line.substr(first);
    ++added;
  }
  if (added == 0) return usage_error("--ranges-from " + source + " holds no A-B line", kCutHelp);
  return -1;
}

// The options of a cut, all but its positions (read once the recording is open, so that a
// file's problems are told before a position's).
int ParseCut(const std::vector<std::string>& argv, Args& args, CutRequest& request, int32_t& method) {
  const ArgDesc desc{{"output", "start", "end", "range", "ranges-from", "programme", "service", "control", "list-at",
                      "method"},
                     {"network-entry", "force", "help", "join", "snap", "json"},
                     {"range"}};
  if (int status = begin_command(argv, desc, kCutHelp, args, method); status >= 0) return status;
  if (args.has("ranges-from")) {
    if (int status = ReadRangesFrom(args.value("ranges-from"), args); status >= 0) return status;
  }
  const size_t ranges = args.all("range").size();
  if (ranges && (args.has("start") || args.has("end")))
    return usage_error("--range replaces --start and --end", kCutHelp);
  request.ranges.assign(ranges ? ranges : 1, CutRange{});
  request.numbered = ranges > 0;
  request.output = args.value("output");
  request.controlFile = args.value("control");
  request.snap = args.has("snap");
  request.join = args.has("join");
  request.keepNetworkEntry = args.has("network-entry");
  request.replace = args.has("force");
  if (args.has("programme") && (!read_number(args.value("programme"), 10, request.programme) || request.programme < 1))
    return usage_error("--programme takes an ordinal from 1", kCutHelp);
  if (args.has("service") && (!read_number(args.value("service"), 16, request.serviceId) || request.serviceId < 1 ||
                              request.serviceId > 0xFFFF))
    return usage_error("--service takes a hexadecimal id", kCutHelp);
  if (CommandError error = CheckCutRequest(request)) return report_error(error, kCutHelp);
  return -1;
}

// "A-B", either side a position or empty (the beginning, the end of the file).
bool parse_range(const std::string& text, CutRange& range) {
  const size_t dash = text.find('-');
  if (dash == std::string::npos || text.find('-', dash + 1) != std::string::npos) return false;
  const std::string a = text.substr(0, dash), b = text.substr(dash + 1);
  Position p;
  range = CutRange{};
  if (!a.empty()) {
    if (!parse_position(a, p)) return false;
    range.start = p;
  }
  if (!b.empty()) {
    if (!parse_position(b, p)) return false;
    range.end = p;
  }
  return true;
}

int ReadCutPositions(const Args& args, CutRequest& request) {
  std::string error;
  if (!optional_position(args, "list-at", request.listAt, error)) return usage_error(error, kCutHelp);
  const std::vector<std::string> ranges = args.all("range");
  if (ranges.empty()) {
    CutRange& range = request.ranges[0];
    if (!optional_position(args, "start", range.start, error) || !optional_position(args, "end", range.end, error))
      return usage_error(error, kCutHelp);
    return -1;
  }
  for (size_t i = 0; i < ranges.size(); ++i)
    if (!parse_range(ranges[i], request.ranges[i]))
      return usage_error("--range takes A-B, each a time (hh:mm:ss.sss) or a packet number (p:hex): " + ranges[i],
                         kCutHelp);
  return -1;
}

std::string where(const Recording& rec, int32_t packet) {
  char text[64];
  std::snprintf(text, sizeof text, "%08X (%s)", unsigned(packet), ms_text(rec.ToMs(packet)).c_str());
  return text;
}

// What planning found worth saying, and where each stretch moved, in the order given.
void ReportPlan(const CutPlan& plan, bool json) {
  for (const Stretch& s : plan.stretches) {
    for (const std::string& note : s.notes) std::fprintf(stderr, "kerf: %s\n", note.c_str());
    if (s.snapped && !json)
      std::printf("snap %d: start %s -> %s, end %s -> %s\n", s.number, where(plan.rec, s.askedFirst).c_str(),
                  where(plan.rec, s.first).c_str(), where(plan.rec, s.askedLast).c_str(),
                  where(plan.rec, s.last).c_str());
  }
}

// A stretch that ran: its counts and the cut's line, unless the output is JSON (which holds the
// counts) or the stretch failed (the error says why).
void ReportStretch(const StretchResult& r, const CutPlan& plan, bool json) {
  const Stretch& s = r.stretch;
  if (json || !demux_succeeded(r.demux)) return;
  const DemuxSummary& c = r.demux.summary;
  std::printf("packets %u, PIDs %u, descriptors %u, null packets %u, sync losses %u, CRC errors %u\n",
              unsigned(c.packets), unsigned(c.distinctPids), unsigned(c.descriptorKinds), unsigned(c.nullPackets),
              unsigned(c.syncLosses), unsigned(c.crcErrors));
  const bool control = !plan.controlFile.empty();
  std::printf("cut %08X..%08X (%s..%s)%s%s\n", unsigned(s.first), unsigned(s.last),
              ms_text(plan.rec.ToMs(s.first)).c_str(), ms_text(plan.rec.ToMs(s.last)).c_str(),
              control ? "" : " to ", control ? "" : path_for_terminal(s.output).c_str());
  if (r.demux.outcome == DemuxOutcome::Stopped) std::fprintf(stderr, "kerf: stopped; the output keeps what was written\n");
}

}  // namespace

int Cut(const std::vector<std::string>& argv) {
  Args args;
  CutRequest request;
  int32_t method = 0;
  if (int status = ParseCut(argv, args, request, method); status >= 0) return status;
  Recording rec;
  if (int status = open_recording(args.positional[0], method, rec)) return status;
  if (int status = ReadCutPositions(args, request); status >= 0) return status;
  const bool json = args.has("json");

  WorkEngine engine;
  CutPlan plan;
  const CommandError planned = PlanCut(request, rec, engine, plan);
  ReportPlan(plan, json);
  if (planned) return report_error(planned, kCutHelp);

  TerminalBar bar(true);
  console_on_interrupt(&g_stop);
  CutEvents events;
  events.progress = [&bar](const CutProgress& p) { bar.Draw(p.percent); };
  events.stretchDone = [&bar, &plan, json](const StretchResult& r) {
    bar.End();
    ReportStretch(r, plan, json);
  };
  const CutResult result = RunCut(plan, engine, &g_stop, events);
  const int status = result.error ? report_error(result.error, kCutHelp) : exit_status(result.outcome);
  if (json) print_json(CutJson(plan, result));
  return status;
}
