// kerf: the cutter's whole job from the command line — measure a recording, list its programmes,
// cut stretches (whole or one programme), list where pictures can be cut, and write the preview
// picture at a position.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/kerf_args.h"
#include "cli/kerf_commands.h"
#include "cli/kerf_session.h"
#include "common/cp932_text.h"
#include "common/path.h"
#include "common/raw_file.h"
#include "common/timefmt.h"
#include "common/ts_packet.h"
#include "core/programme_list.h"
#include "core/scan_window.h"
#include "mpeg2/bmp_writer.h"
#include "mpeg2/convert.h"
#include "mpeg2/extract.h"
#include "mpeg2/picture_decoder.h"
#include "platform/console.h"

#include "platform/console_entry.h"

namespace {

const char kUsage[] =
    "usage: kerf <command> [options]\n"
    "\n"
    "commands:\n"
    "  info FILE    measure a recording and list its programmes\n"
    "  cut FILE     cut stretches of a recording, whole or one programme\n"
    "  scan FILE    list the sequence headers of a programme's video (where cuts can start)\n"
    "  frame FILE   write the preview picture at a position as a BMP file\n"
    "\n"
    "Positions are times (hh:mm:ss.sss; 1:2:3 is 01:02:03.000, the fourth number counts\n"
    "milliseconds) or packet numbers (p: and hexadecimal digits, e.g. p:1A2B). Times convert to\n"
    "packets in proportion to the total time, as in the cutter's window.\n"
    "\n"
    "kerf <command> --help tells more. Exit status: 0 done, 2 usage, 3 input, 4 output, 5 stopped.\n";

const char kInfoHelp[] =
    "usage: kerf info FILE [--method 1|2|3] [--at POS] [--json]\n"
    "\n"
    "Measures FILE from its PCRs (size, packets, PCR PID, first and last PCR, bitrate estimate,\n"
    "total time, bitrate) and lists the programmes found in the 50001 packets from --at\n"
    "(default 0): ordinal, service id, name and PIDs with their classes.\n"
    "  --method 1  total time from the first and last PCR\n"
    "  --method 2  total time from the bitrate estimated near the start\n"
    "  --method 3  automatic: method 1 unless its bitrate is more than 10 % off (default)\n"
    "  --json      the same as a JSON object\n";

const char kFrameHelp[] =
    "usage: kerf frame FILE --at POS -o OUT.bmp [--programme N] [--full] [--yuv OUT.yuv]\n"
    "\n"
    "Decodes the first picture of the video sequence that starts at or after POS, as the cutter's\n"
    "preview does, and writes it as a 24-bit BMP: 360 x 240 as in the preview window, or the\n"
    "whole decoded picture with --full.\n"
    "  --programme N    the video of programme N of 'kerf info' (default: the first video)\n"
    "  --yuv FILE       also write the decoded picture as planar 4:2:0 bytes (Y, Cb, Cr)\n"
    "  --stop-on-error  stop decoding at the first error, as the cutter's option does\n"
    "  --list-at POS    where the programmes are looked for (default 0)\n"
    "  --method 1|2|3   total-time method for converting times (default 3)\n";

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

  Engine engine;
  if (!engine.Ready()) return kExitOutput;
  const std::vector<Programme> programmes = analyse(engine, rec, at).programmes;
  char sizeText[32], rateText[32];
  size_to_text(rec.size, sizeText);
  bitrate_to_text(rec.bitrate, rateText);

  if (args.has("json")) {
    std::printf("{\n  \"file\": %s,\n  \"size\": %.0f,\n  \"packets\": %d,\n",
                json_string(path_for_terminal(rec.path)).c_str(), rec.size, int(rec.packets));
    std::printf("  \"measured\": %s,\n  \"pcrPid\": %d,\n  \"firstPcrMs\": %d,\n  \"lastPcrMs\": %d,\n",
                rec.measured ? "true" : "false", int(rec.m.pcrPid), int(rec.m.startPcrMs),
                int(rec.m.endPcrMs));
    std::printf("  \"rateEstimate\": %d,\n  \"method\": %d,\n  \"totalMs\": %d,\n  \"total\": %s,\n",
                int(rec.m.rateEstimate), int(method) + 1, int(rec.m.totalMs),
                json_string(ms_text(rec.m.totalMs)).c_str());
    std::printf("  \"bitrate\": %d,\n  \"programmesAt\": %d,\n  \"programmes\": [", int(rec.bitrate), int(at));
    for (size_t i = 0; i < programmes.size(); ++i) {
      const Programme& p = programmes[i];
      std::printf("%s\n    {\"ordinal\": %d, \"serviceId\": %d, \"name\": %s, \"pids\": [", i ? "," : "",
                  int(p.ordinal), int(p.serviceId), json_string(cp932_to_utf8(p.name)).c_str());
      for (size_t j = 0; j < p.pids.size(); ++j)
        std::printf("%s{\"pid\": %d, \"class\": %s}", j ? ", " : "", int(p.pids[j].pid),
                    json_string(p.pids[j].classText).c_str());
      std::printf("]}");
    }
    std::printf("%s]\n}\n", programmes.empty() ? "" : "\n  ");
    return kExitOk;
  }

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
  std::printf("total time  %s (method %d)\n", ms_text(rec.m.totalMs).c_str(), int(method) + 1);
  std::printf("bitrate     %s Mbps\n", rateText);
  std::printf("\nprogrammes in the %d packets from %08X:%s\n", int(kScanWindowPackets), unsigned(at),
              programmes.empty() ? " none" : "");
  for (const Programme& p : programmes) {
    std::printf("%3d  service %04X  %s\n     ", int(p.ordinal), unsigned(p.serviceId),
                cp932_to_utf8(p.name.empty() ? std::string("-") : p.name).c_str());
    for (size_t j = 0; j < p.pids.size(); ++j)
      std::printf("%s%04X %s", j ? ", " : "", unsigned(p.pids[j].pid),
                  p.pids[j].classText.empty() ? "(no class)" : p.pids[j].classText.c_str());
    std::printf("\n");
  }
  return kExitOk;
}

// Status texts of the preview go to standard output, errors to standard error.
class FrameSink : public MessageSink {
 public:
  bool Report(MessageKind kind, const char* text) override {
    std::FILE* to = kind == MessageKind::Status ? stdout : stderr;
    print_sjis(to, text);
    std::fputc('\n', to);
    return true;
  }
};

// The decoded picture as planar 4:2:0: Y, then Cb and Cr, lines from the top (padding lines of
// the coded picture left out). The store holds chroma for every pixel; each chroma line is read
// back from a pixel line it was placed on: line 2k of the picture for a progressive frame, and
// for an interlaced one field-wise (chroma lines 2i and 2i+1 on picture lines 4i and 4i+1).
// Lines and columns the store does not hold come out black (Y 0, chroma 128), as in the bitmaps.
bool write_yuv(const std::string& path, const PictureView& v, bool progressive) {
  RawFile file(path.c_str(), "wb");
  if (!file.ok()) return false;
  auto clamp = [](int s) { return uint8_t(s < 0 ? 0 : s > 255 ? 255 : s); };
  std::vector<uint8_t> plane;
  bool ok = true;
  for (int c = 0; c < 3 && ok; ++c) {
    const int32_t lines = c ? (v.height + 1) / 2 : v.height;
    const int32_t step = c ? 2 : 1;
    const uint8_t black = c ? 128 : 0;
    plane.clear();
    for (int32_t k = 0; k < lines; ++k) {
      const int32_t line = c == 0 ? k : progressive || k % 2 == 0 ? 2 * k : 2 * k - 1;
      const StoreRow row = store_row(v, picture_store_row(v, line));
      for (int32_t x = 0; x < v.width; x += step)
        plane.push_back(x < row.pixels ? clamp(row.samples[3 * x + c] + (c ? 128 : 0)) : black);
    }
    ok = ok && raw_write(plane.data(), 1, plane.size(), file.get()) == plane.size();
  }
  return ok;
}

int Frame(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  const ArgDesc desc{{"at", "output", "programme", "yuv", "list-at", "method"}, {"full", "stop-on-error", "help"}};
  int32_t method = 0;
  if (int status = begin_command(argv, desc, kFrameHelp, args, method); status >= 0) return status;
  if (!args.has("at")) return usage_error("--at POS is required", kFrameHelp);
  if (!args.has("output")) return usage_error("-o OUT.bmp is required", kFrameHelp);
  int programme = 0;
  if (args.has("programme") && (!read_number(args.value("programme"), 10, programme) || programme < 1))
    return usage_error("--programme takes an ordinal from 1", kFrameHelp);

  Recording rec;
  if (int status = open_recording(args.positional[0], method, rec)) return status;
  int32_t at = 0, listAt = 0;
  if (!position_of(args, "at", rec, 0, at, error) || !position_of(args, "list-at", rec, 0, listAt, error))
    return usage_error(error, kFrameHelp);

  Engine engine;
  if (!engine.Ready()) return kExitOutput;
  const std::vector<VideoEntry> videos = analyse(engine, rec, listAt).videos;
  const VideoEntry* video = programme_video(videos, programme, listAt);
  if (!video) return kExitInput;

  PreviewRequest request;
  request.inputPath = rec.path.c_str();
  request.inputSize = rec.size;
  request.packetSize = kPacketSize;
  request.stopDecodeOnError = args.has("stop-on-error") ? 1 : 0;
  request.programmeCount = int32_t(videos.size());
  request.videoPid = video->videoPid;
  request.pcrPid = rec.m.pcrPid;
  request.startPacket = at;
  request.endPacket = rec.packets;
  request.activePoint = 0;
  request.startPcrMs = rec.m.startPcrMs;
  request.endPcrMs = rec.m.endPcrMs;

  // The work areas of one preview, owned here (the decoder's frame stores start zeroed).
  std::unique_ptr<uint8_t[]> readBuffer(new uint8_t[kCutterReadBufferSize]);
  std::unique_ptr<uint8_t[]> esBuffer(new uint8_t[kEsBufferSize]);
  std::unique_ptr<uint8_t[]> dib(new uint8_t[kPreviewDibBytes]);
  std::unique_ptr<PreviewDecoder> decoderStore(new PreviewDecoder());
  PreviewDecoder& decoder = *decoderStore;
  PreviewDriver driver(readBuffer.get(), esBuffer.get(), decoder);
  FrameSink sink;
  std::printf("programme %d, video PID %04X, packet %08X (%s)\n", int(video->ordinal),
              unsigned(video->videoPid), unsigned(at), ms_text(rec.ToMs(at)).c_str());
  if (driver.ExtractPreviewStream(request, sink) != 0) return kExitInput;
  driver.DecodePreviewStream(request, sink, dib.get());
  if (request.pcrRangeSet && request.pcrRangeText[0]) {
    print_sjis(stdout, request.pcrRangeText);
    std::printf("\n");
  }
  if (!driver.pictureConverted()) {
    std::fprintf(stderr, "kerf: no picture was decoded at this position\n");
    return kExitInput;
  }
  const std::string output = args.value("output");
  const PictureView view = current_picture_view(decoder);
  const int written = args.has("full") ? write_picture_bmp(output.c_str(), view)
                                       : write_preview_bmp(output.c_str(), dib.get());
  if (written != kBmpOk) {
    std::fprintf(stderr, "kerf: cannot write %s\n", path_for_terminal(output).c_str());
    return kExitOutput;
  }
  if (args.has("yuv") && !write_yuv(args.value("yuv"), view, decoder.headers.progressive_frame != 0)) {
    std::fprintf(stderr, "kerf: cannot write %s\n", path_for_terminal(args.value("yuv")).c_str());
    return kExitOutput;
  }
  std::printf("picture %dx%d written to %s\n", args.has("full") ? int(full_width(view)) : kPreviewWidth,
              args.has("full") ? int(full_height(view)) : kPreviewHeight, path_for_terminal(output).c_str());
  return kExitOk;
}

int Main(const std::vector<std::string>& argv) {
  console_use_utf8();
  if (argv.size() < 2 || argv[1] == "--help" || argv[1] == "-h" || argv[1] == "help") {
    std::fputs(kUsage, argv.size() < 2 ? stderr : stdout);
    return argv.size() < 2 ? kExitUsage : kExitOk;
  }
  const std::string& command = argv[1];
  if (command == "info") return Info(argv);
  if (command == "cut") return kerf_cut(argv);
  if (command == "scan") return kerf_scan(argv);
  if (command == "frame") return Frame(argv);
  return usage_error("unknown command " + command, kUsage);
}

}  // namespace

CONSOLE_PROGRAM_ENTRY(Main)
