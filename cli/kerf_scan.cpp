// kerf scan: every sequence header of a programme's video in one read of the whole recording,
// so cut points can be chosen without a window.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/kerf_commands.h"
#include "cli/kerf_session.h"
#include "common/raw_file.h"
#include "core/scan_window.h"
#include "mpeg2/sequence_headers.h"
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

// The PCR's clock time in milliseconds, rounded.
int32_t pcr_ms(int64_t ticks) { return int32_t((ticks * 1000 + 13500000) / 27000000); }

}  // namespace

int kerf_scan(const std::vector<std::string>& argv) {
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
  Engine engine;
  if (!engine.Ready()) return kExitOutput;
  const std::vector<VideoEntry> videos = analyse(engine, rec, listAt).videos;
  const VideoEntry* video = programme_video(videos, programme, listAt);
  if (!video) return kExitInput;

  RawFile file(rec.path.c_str(), "rb");
  if (!file.ok()) {
    std::fprintf(stderr, "kerf: cannot open %s\n", path_for_terminal(rec.path).c_str());
    return kExitInput;
  }
  std::vector<SequenceHeaderAt> headers;
  TerminalBar bar(true);
  console_on_interrupt(&g_stop);
  HeaderWalk walk;
  walk.videoPid = video->videoPid;
  walk.pcrPid = rec.measured ? rec.m.pcrPid : -1;
  walk.found = [&headers](const SequenceHeaderAt& at) {
    headers.push_back(at);
    return true;
  };
  walk.progress = [&bar, &rec](int64_t packet) {
    bar.Draw(rec.packets > 0 ? int(packet * 100 / rec.packets) : 100);
    return !g_stop.load();
  };
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kHeaderWalkBufferSize]);
  const HeaderWalkEnd end = walk_sequence_headers(file.get(), walk, buffer.get());
  if (end == HeaderWalkEnd::Done) bar.Draw(100);
  bar.End();

  int status = kExitOk;
  const char* outcome = "done";
  switch (end) {
    case HeaderWalkEnd::Done: break;
    case HeaderWalkEnd::Ended:
      status = kExitStopped;
      outcome = "stopped";
      std::fprintf(stderr, "kerf: stopped; the headers found so far are listed\n");
      break;
    default:
      status = kExitInput;
      outcome = "input error";
      std::fprintf(stderr, "kerf: %s after packet %08X\n",
                   end == HeaderWalkEnd::SyncLossLimit ? "too many packets without a sync byte"
                   : end == HeaderWalkEnd::NoResync    ? "the packet grid was lost for good"
                                                       : "reading the recording failed",
                   unsigned(headers.empty() ? 0 : headers.back().packet));
      break;
  }

  if (args.has("json")) {
    std::printf("{\n  \"file\": %s,\n  \"status\": %d,\n  \"outcome\": \"%s\",\n  \"programme\": %d,\n",
                json_string(path_for_terminal(rec.path)).c_str(), status, outcome, int(video->ordinal));
    std::printf("  \"videoPid\": %d,\n  \"pcrPid\": %d,\n  \"headers\": [", int(video->videoPid), int(walk.pcrPid));
    for (size_t i = 0; i < headers.size(); ++i) {
      const SequenceHeaderAt& h = headers[i];
      const int32_t ms = rec.ToMs(int32_t(h.packet));
      std::printf("%s\n    {\"packet\": %lld, \"ms\": %d, \"time\": %s, \"pcr\": ", i ? "," : "",
                  static_cast<long long>(h.packet), int(ms), json_string(ms_text(ms)).c_str());
      if (h.pcrTicks < 0)
        std::printf("null, \"pcrTime\": null}");
      else
        std::printf("%lld, \"pcrTime\": %s}", static_cast<long long>(h.pcrTicks),
                    json_string(ms_text(pcr_ms(h.pcrTicks))).c_str());
    }
    std::printf("%s]\n}\n", headers.empty() ? "" : "\n  ");
    return status;
  }

  std::printf("programme %d, video PID %04X: %zu sequence headers\n", int(video->ordinal),
              unsigned(video->videoPid), headers.size());
  std::printf("packet    time          PCR\n");
  for (const SequenceHeaderAt& h : headers) {
    std::printf("%08llX  %s  %s\n", static_cast<unsigned long long>(h.packet),
                ms_text(rec.ToMs(int32_t(h.packet))).c_str(),
                h.pcrTicks < 0 ? "-" : ms_text(pcr_ms(h.pcrTicks)).c_str());
  }
  return status;
}
