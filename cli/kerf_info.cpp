// kerf info: a recording's measurement and the programmes found from a position. The measurement
// and the analysis are plans/recording.h and plans/work_engine.h; this file reads the options and
// reports.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/kerf_commands.h"
#include "cli/kerf_json.h"
#include "cli/kerf_session.h"
#include "common/timefmt.h"
#include "core/scan_window.h"
#include "demux/psi/stream_kind.h"
#include "plans/work_engine.h"

namespace {

const char kInfoHelp[] =
    "usage: kerf info FILE [--method 1|2|3] [--at POS] [--json]\n"
    "\n"
    "Measures FILE from its PCRs (size, packets, PCR PID, first and last PCR, bitrate estimate,\n"
    "total time, bitrate) and lists the programmes found in the 50001 packets from --at\n"
    "(default 0): ordinal, service id, the channel's name and provider (from the SDT) and the\n"
    "event on air (from the EIT), \"-\" when the recording names neither, and the PIDs with their\n"
    "classes (V video, A audio, C captions and subtitles, D data) and codecs.\n"
    "  --method 1  total time from the first and last PCR\n"
    "  --method 2  total time from the bitrate estimated near the start\n"
    "  --method 3  automatic: method 1 unless its bitrate is more than 10 % off (default)\n"
    "  --json      the same as a JSON object\n";

// "service (provider): event", each part where the recording gives it; "-" for none.
std::string programme_label(const Programme& p) {
  std::string label = p.serviceName;
  if (!p.providerName.empty()) label += (label.empty() ? "(" : " (") + p.providerName + ")";
  if (!p.eventName.empty()) label += (label.empty() ? "" : ": ") + p.eventName;
  return label.empty() ? "-" : label;
}

void PrintInfoText(const Recording& rec, int32_t at, const std::vector<Programme>& programmes) {
  char sizeText[32], rateText[32];
  size_to_text(rec.size, sizeText);
  bitrate_to_text(rec.bitrate, rateText);
  std::printf("file        %s\n", path_for_terminal(rec.path).c_str());
  std::printf("size        %.0f bytes (%s)\n", rec.size, sizeText);
  std::printf("packets     %d (%08X)\n", int(rec.packets), unsigned(rec.packets));
  if (rec.measured) {
    std::printf("PCR PID     0x%04X\n", unsigned(rec.m.pcrPid));
    std::printf("first PCR   %s\n", ms_text(rec.m.startPcrMs).c_str());
    std::printf("last PCR    %s\n", ms_text(rec.m.endPcrMs).c_str());
    std::printf("rate        %d bit/s (estimate from the PCRs near the start)\n", int(rec.m.rateEstimate));
  } else {
    std::printf("PCR         not measured\n");
  }
  std::printf("total time  %s (method %d)\n", ms_text(rec.m.totalMs).c_str(), int(rec.method) + 1);
  std::printf("bitrate     %s Mbps\n", rateText);
  std::printf("\nprogrammes in the %d packets from %08X:%s\n", int(scan_window_packets(rec.packets, at)), unsigned(at),
              programmes.empty() ? " none" : "");
  for (const Programme& p : programmes) {
    std::printf("%3d  service %04X  %s\n     ", int(p.ordinal), unsigned(p.serviceId),
                programme_label(p).c_str());
    for (size_t j = 0; j < p.pids.size(); ++j) {
      const ProgrammePid& pid = p.pids[j];
      const char* codec = codec_name(pid.codec);
      std::printf("%s%04X %s%s%s", j ? ", " : "", unsigned(pid.pid),
                  pid.classText.empty() ? "(no class)" : pid.classText.c_str(), *codec ? " " : "", codec);
    }
    std::printf("\n");
  }
}

}  // namespace

int Info(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  int32_t method = 0;
  const ArgDesc desc{{"method", "at"}, {"json", "help"}};
  if (int status = begin_command(argv, desc, kInfoHelp, args, method); status >= 0) return status;

  Recording rec;
  if (int status = open_recording(args.positional[0], method, rec)) return status;
  int32_t at = 0;
  if (!position_of(args, "at", rec, 0, at, error)) return usage_error(error, kInfoHelp);

  WorkEngine engine;
  if (CommandError notReady = engine.Ready()) return report_error(notReady, kInfoHelp);
  const ProgrammeAnalysis analysis = AnalyseProgrammes(engine, rec, at);
  if (args.has("json"))
    print_json(InfoJson(rec, at, analysis.structure.programmes));
  else
    PrintInfoText(rec, at, analysis.structure.programmes);
  return kExitOk;
}
