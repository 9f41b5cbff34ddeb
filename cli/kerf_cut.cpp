// kerf cut: one or several stretches of a recording, whole or one programme, optionally moved to
// the sequence headers of the programme's video, reported as text or as JSON.
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/kerf_commands.h"
#include "cli/kerf_session.h"
#include "common/path.h"
#include "common/raw_file.h"
#include "common/ts_packet.h"
#include "core/control_files.h"
#include "core/programme_list.h"
#include "core/scan_window.h"
#include "mpeg2/sequence_headers.h"
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

struct Stretch {
  int number = 1;                   // in the order given
  int32_t askedFirst = 0, askedLast = 0;
  int32_t first = 0, last = 0;      // packets, the end included
  std::string output;               // empty with --control
  bool ran = false;
  DemuxResult result;
};

// "A-B", either side a position or empty (the beginning, the end of the file).
bool parse_range(const std::string& text, const Recording& rec, Stretch& s) {
  const size_t dash = text.find('-');
  if (dash == std::string::npos || text.find('-', dash + 1) != std::string::npos) return false;
  const std::string a = text.substr(0, dash), b = text.substr(dash + 1);
  Position p;
  s.askedFirst = 0;
  s.askedLast = rec.packets;
  if (!a.empty()) {
    if (!parse_position(a, p)) return false;
    s.askedFirst = rec.ToPacket(p);
  }
  if (!b.empty()) {
    if (!parse_position(b, p)) return false;
    s.askedLast = rec.ToPacket(p);
  }
  return true;
}

std::string numbered(const std::string& pattern, int number) {
  std::string name;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.compare(i, 2, "%d") == 0) {
      name += std::to_string(number);
      ++i;
    } else {
      name += pattern[i];
    }
  }
  return name;
}

std::string where(const Recording& rec, int32_t packet) {
  char text[64];
  std::snprintf(text, sizeof text, "%08X (%s)", unsigned(packet), ms_text(rec.ToMs(packet)).c_str());
  return text;
}

const char* walk_failure(HeaderWalkEnd end) {
  switch (end) {
    case HeaderWalkEnd::SeekFailed: return "cannot position in the recording";
    case HeaderWalkEnd::SyncLossLimit: return "too many packets without a sync byte";
    case HeaderWalkEnd::NoResync: return "the packet grid was lost for good";
    case HeaderWalkEnd::ReadError: return "reading the recording failed";
    default: return "";
  }
}

// Moves the stretch to sequence headers of videoPid. kExitOk, or the status after printing why.
int snap(const Recording& rec, int32_t videoPid, uint8_t* buffer, Stretch& s) {
  RawFile file(rec.path.c_str(), "rb");
  if (!file.ok()) {
    std::fprintf(stderr, "kerf: cannot open %s\n", path_for_terminal(rec.path).c_str());
    return kExitInput;
  }
  HeaderWalkEnd end = HeaderWalkEnd::Done;
  int64_t first = sequence_header_at_or_before(file.get(), videoPid, s.first, buffer, end);
  if (end == HeaderWalkEnd::Done && first < 0) {
    first = sequence_header_after(file.get(), videoPid, s.first, buffer, end);
    if (first >= 0)
      std::fprintf(stderr, "kerf: stretch %d: no sequence header at or before the start; it moves forward to the first\n",
                   s.number);
  }
  if (end != HeaderWalkEnd::Done) {
    std::fprintf(stderr, "kerf: --snap: %s\n", walk_failure(end));
    return kExitInput;
  }
  if (first < 0) {
    std::fprintf(stderr, "kerf: --snap: the video PID %04X has no sequence header in the recording\n",
                 unsigned(videoPid));
    return kExitInput;
  }
  int64_t last = s.last;
  if (s.last < rec.packets - 1) {
    const int64_t next = sequence_header_after(file.get(), videoPid, s.last, buffer, end);
    if (end != HeaderWalkEnd::Done) {
      std::fprintf(stderr, "kerf: --snap: %s\n", walk_failure(end));
      return kExitInput;
    }
    if (next >= 0) {
      last = next - 1;
    } else {
      std::fprintf(stderr, "kerf: stretch %d: no sequence header after the end; the end stays\n", s.number);
    }
  }
  if (first > last) {
    std::fprintf(stderr, "kerf: stretch %d (%08X..%08X) holds no sequence header of the video PID %04X\n",
                 s.number, unsigned(s.first), unsigned(s.last), unsigned(videoPid));
    return kExitUsage;
  }
  s.first = int32_t(first);
  s.last = int32_t(last > INT32_MAX ? INT32_MAX : last);
  return kExitOk;
}

// The status of a run that did not complete, after printing why.
int failure_status(const DemuxResult& result, bool control) {
  if (result.clashingOutput != -1) {
    if (result.clashingOutput == kInformationClash || result.clashesWith == kClashInput)
      std::fprintf(stderr, "kerf: an output of the control file is the input file; nothing was written\n");
    else
      std::fprintf(stderr, "kerf: two outputs of the control file are one file; nothing was written\n");
    return kExitOutput;
  }
  if (result.uncreatedOutput >= 0) {
    std::fprintf(stderr, "kerf: cannot create the output file%s\n", control ? "s" : "");
    return kExitOutput;
  }
  switch (result.outcome) {
    case DemuxOutcome::OutputError: return kExitOutput;
    case DemuxOutcome::UsageError: return kExitUsage;
    default: return kExitInput;
  }
}

const char* outcome_word(const Stretch& s) {
  if (!s.ran) return "not run";
  switch (s.result.outcome) {
    case DemuxOutcome::Done: return "done";
    case DemuxOutcome::Stopped: return "stopped";
    case DemuxOutcome::InputError: return "input error";
    case DemuxOutcome::OutputError: return "output error";
    case DemuxOutcome::ControlFileError: return "control file error";
    case DemuxOutcome::UsageError: return "usage error";
  }
  return "";
}

void print_json(const Recording& rec, const std::vector<Stretch>& stretches, bool snapped, int status) {
  static const char* const kStatusWords[] = {"done", "", "usage", "input", "output", "stopped"};
  std::printf("{\n  \"file\": %s,\n  \"status\": %d,\n  \"outcome\": \"%s\",\n  \"snap\": %s,\n  \"stretches\": [",
              json_string(path_for_terminal(rec.path)).c_str(), status,
              status >= 0 && status <= 5 ? kStatusWords[status] : "", snapped ? "true" : "false");
  std::vector<std::string> outputs;
  for (size_t i = 0; i < stretches.size(); ++i) {
    const Stretch& s = stretches[i];
    const DemuxSummary& c = s.result.summary;
    std::printf("%s\n    {\"number\": %d, \"startPacket\": %d, \"endPacket\": %d, \"start\": %s, \"end\": %s,\n"
                "     \"askedStartPacket\": %d, \"askedEndPacket\": %d, \"outcome\": \"%s\",\n"
                "     \"summary\": {\"packets\": %u, \"pids\": %u, \"descriptorKinds\": %u, \"nullPackets\": %u, "
                "\"syncLosses\": %u, \"crcErrors\": %u},\n     \"outputs\": [",
                i ? "," : "", s.number, int(s.first), int(s.last), json_string(ms_text(rec.ToMs(s.first))).c_str(),
                json_string(ms_text(rec.ToMs(s.last))).c_str(), int(s.askedFirst), int(s.askedLast),
                outcome_word(s), unsigned(c.packets), unsigned(c.distinctPids), unsigned(c.descriptorKinds),
                unsigned(c.nullPackets), unsigned(c.syncLosses), unsigned(c.crcErrors));
    for (size_t k = 0; k < s.result.written.size(); ++k) {
      const std::string& path = s.result.written[k];
      std::printf("%s%s", k ? ", " : "", json_string(path_for_terminal(path)).c_str());
      if (std::find(outputs.begin(), outputs.end(), path) == outputs.end()) outputs.push_back(path);
    }
    std::printf("]}");
  }
  std::printf("%s],\n  \"outputs\": [", stretches.empty() ? "" : "\n  ");
  for (size_t k = 0; k < outputs.size(); ++k) {
    const double bytes = path_file_size(outputs[k].c_str());
    std::printf("%s\n    {\"path\": %s, \"bytes\": %.0f, \"packets\": %.0f}", k ? "," : "",
                json_string(path_for_terminal(outputs[k])).c_str(), bytes < 0 ? 0 : bytes,
                bytes < 0 ? 0 : double(int64_t(bytes) / kPacketSize));
  }
  std::printf("%s]\n}\n", outputs.empty() ? "" : "\n  ");
}

}  // namespace

int kerf_cut(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  const ArgDesc desc{{"output", "start", "end", "range", "programme", "service", "control", "list-at", "method"},
                     {"network-entry", "force", "help", "join", "snap", "json"},
                     {"range"}};
  int32_t method = 0;
  if (int status = begin_command(argv, desc, kCutHelp, args, method); status >= 0) return status;
  const int selections = args.has("programme") + args.has("service") + args.has("control");
  if (selections > 1) return usage_error("--programme, --service and --control exclude each other", kCutHelp);
  if (args.has("control") == args.has("output"))
    return usage_error(args.has("control") ? "--control names the outputs itself; leave out -o"
                                           : "-o OUT is required",
                       kCutHelp);
  const std::vector<std::string> ranges = args.all("range");
  if (!ranges.empty() && (args.has("start") || args.has("end")))
    return usage_error("--range replaces --start and --end", kCutHelp);
  if (args.has("control") && (ranges.size() > 1 || args.has("join")))
    return usage_error("--control takes one stretch", kCutHelp);
  const bool join = args.has("join");
  const std::string pattern = args.value("output");
  if (ranges.size() > 1 && !join && pattern.find("%d") == std::string::npos)
    return usage_error("several stretches need %d in OUT (or --join)", kCutHelp);
  int programme = 0, service = -1;
  if (args.has("programme") && (!read_number(args.value("programme"), 10, programme) || programme < 1))
    return usage_error("--programme takes an ordinal from 1", kCutHelp);
  if (args.has("service") && (!read_number(args.value("service"), 16, service) || service < 1 || service > 0xFFFF))
    return usage_error("--service takes a hexadecimal id", kCutHelp);
  const bool json = args.has("json");

  Recording rec;
  if (int status = open_recording(args.positional[0], method, rec)) return status;
  int32_t listAt = 0;
  if (!position_of(args, "list-at", rec, 0, listAt, error)) return usage_error(error, kCutHelp);

  // The stretches, in the order given.
  std::vector<Stretch> stretches;
  if (ranges.empty()) {
    Stretch s;
    if (!position_of(args, "start", rec, 0, s.askedFirst, error) ||
        !position_of(args, "end", rec, rec.packets, s.askedLast, error))
      return usage_error(error, kCutHelp);
    stretches.push_back(s);
  } else {
    for (const std::string& text : ranges) {
      Stretch s;
      s.number = int(stretches.size()) + 1;
      if (!parse_range(text, rec, s))
        return usage_error("--range takes A-B, each a time (hh:mm:ss.sss) or a packet number (p:hex): " + text,
                           kCutHelp);
      stretches.push_back(s);
    }
  }
  for (Stretch& s : stretches) {
    s.first = s.askedFirst;
    s.last = s.askedLast;
    if (s.first > s.last) {
      if (ranges.empty())
        std::fprintf(stderr, "kerf: the start (%08X) lies after the end (%08X)\n", unsigned(s.first), unsigned(s.last));
      else
        std::fprintf(stderr, "kerf: stretch %d: the start (%08X) lies after the end (%08X)\n", s.number,
                     unsigned(s.first), unsigned(s.last));
      return kExitUsage;
    }
    if (!args.has("control")) s.output = ranges.empty() || join ? pattern : numbered(pattern, s.number);
  }

  for (const Stretch& s : stretches) {
    if (s.output.empty() || (s.number > 1 && join)) continue;
    const std::string& output = s.output;
    if (output.size() > kPathMax || output.find('"') != std::string::npos)
      return usage_error("the output path is too long or holds a double quote", kCutHelp);
    // However it is spelt (another case, "..", a link): replacing it would destroy the recording.
    if (output == rec.path || path_same_file(output.c_str(), rec.path.c_str())) {
      std::fprintf(stderr, "kerf: the output is the input file (%s); it is never replaced, not even with --force\n",
                   path_for_terminal(output).c_str());
      return kExitOutput;
    }
    if (path_exists(output.c_str()) && !args.has("force")) {
      std::fprintf(stderr, "kerf: %s exists (--force replaces it)\n", path_for_terminal(output).c_str());
      return kExitOutput;
    }
  }

  Engine engine;
  if (!engine.Ready()) return kExitOutput;
  // The programmes, when a programme is cut or the video is needed for --snap.
  ProgrammeStructure list;
  if (programme || service >= 0 || args.has("snap")) list = analyse(engine, rec, listAt);
  if (service >= 0) {
    for (const Programme& p : list.programmes)
      if (p.serviceId == service) {
        programme = p.ordinal;
        break;
      }
    if (!programme) {
      std::fprintf(stderr, "kerf: no programme with service id %04X in the %d packets from %08X\n",
                   unsigned(service), int(kScanWindowPackets), unsigned(listAt));
      return kExitInput;
    }
  } else if (programme > int(list.programmes.size())) {
    std::fprintf(stderr, "kerf: no programme %d: the %d packets from %08X hold %d\n", programme,
                 int(kScanWindowPackets), unsigned(listAt), int(list.programmes.size()));
    return kExitInput;
  }

  if (args.has("snap")) {
    const VideoEntry* video = programme_video(list.videos, programme, listAt, "--snap: ");
    if (!video) return kExitInput;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kHeaderWalkBufferSize]);
    for (Stretch& s : stretches) {
      if (int status = snap(rec, video->videoPid, buffer.get(), s)) return status;
      if (!json) {
        std::printf("snap %d: start %s -> %s, end %s -> %s\n", s.number, where(rec, s.askedFirst).c_str(),
                    where(rec, s.first).c_str(), where(rec, s.askedLast).c_str(), where(rec, s.last).c_str());
      }
    }
  }

  // One pass over the input: the stretches in the order of the file, none overlapping.
  std::vector<Stretch*> order;
  for (Stretch& s : stretches) order.push_back(&s);
  std::stable_sort(order.begin(), order.end(), [](const Stretch* a, const Stretch* b) { return a->first < b->first; });
  for (size_t i = 1; i < order.size(); ++i) {
    const Stretch& a = *order[i - 1];
    const Stretch& b = *order[i];
    if (b.first <= a.last) {
      std::fprintf(stderr, "kerf: stretches %d (%08X..%08X) and %d (%08X..%08X) overlap%s\n", a.number,
                   unsigned(a.first), unsigned(a.last), b.number, unsigned(b.first), unsigned(b.last),
                   args.has("snap") ? " once moved to sequence headers" : "");
      return kExitUsage;
    }
  }

  double total = 0;
  for (const Stretch& s : stretches) total += double(s.last) - s.first + 1;
  double done = 0;
  TerminalBar bar(true);
  console_on_interrupt(&g_stop);
  int status = kExitOk;
  for (size_t i = 0; i < order.size() && status == kExitOk; ++i) {
    Stretch& s = *order[i];
    // The control file: the user's own, or one written in the work folder as the cutter writes it.
    std::string control = engine.folder() + "DEMUX.tmp";
    if (args.has("control")) {
      control = args.value("control");
      if (!RawFile(control.c_str(), "rb").ok()) {
        std::fprintf(stderr, "kerf: cannot read the control file %s\n", path_for_terminal(control).c_str());
        return kExitInput;
      }
    } else {
      const std::string structure = engine.folder() + "DEMUX.txt";
      const ControlWrite written = programme ? write_programme_control(structure.c_str(), programme,
                                                                       s.output.c_str(), control.c_str())
                                             : write_all_control(control.c_str(), s.output.c_str());
      if (written != ControlWrite::Ok) {
        std::fprintf(stderr, "kerf: cannot write the work folder\n");
        return kExitOutput;
      }
    }
    DemuxJob job;
    job.inputPath = rec.path.c_str();
    job.startPacket = s.first;
    job.endPacket = s.last;
    job.request = DemuxRequest::Control;
    job.requestPath = control.c_str();
    job.keepNetworkEntry = args.has("network-entry");
    job.appendOutputs = join && i > 0;
    job.stop = &g_stop;
    const double size = double(s.last) - s.first + 1;
    bar.Part(total > 0 ? int(done * 100 / total) : 0, total > 0 ? int((done + size) * 100 / total) : 100);
    done += size;
    s.result = engine.Run(job, &bar);
    s.ran = true;
    const bool completed = demux_succeeded(s.result);
    bar.End();
    if (!json || !completed) print_sjis(completed ? stdout : stderr, engine.printed());
    if (!completed) {
      status = failure_status(s.result, args.has("control"));
      break;
    }
    if (!json) {
      std::printf("cut %08X..%08X (%s..%s)%s%s\n", unsigned(s.first), unsigned(s.last),
                  ms_text(rec.ToMs(s.first)).c_str(), ms_text(rec.ToMs(s.last)).c_str(),
                  args.has("control") ? "" : " to ", args.has("control") ? "" : path_for_terminal(s.output).c_str());
    }
    if (s.result.outcome == DemuxOutcome::Stopped) {
      std::fprintf(stderr, "kerf: stopped; the output keeps what was written\n");
      status = kExitStopped;
    }
  }
  if (json) {
    std::vector<Stretch> ran;
    for (const Stretch* s : order) ran.push_back(*s);
    print_json(rec, ran, args.has("snap"), status);
  }
  return status;
}
