// kerf frame: the preview picture at a position written as a bitmap (and the decoded picture as
// planar bytes). The picture is planned and decoded by plans/frame_plan.h; this file reads the
// options and writes the files.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/kerf_commands.h"
#include "cli/kerf_session.h"
#include "common/raw_file.h"
#include "mpeg2/bmp_writer.h"
#include "mpeg2/convert.h"
#include "plans/frame_plan.h"

namespace {

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

// The preview's own status texts are the window's; kerf says what happened in its words.
class QuietSink : public MessageSink {
 public:
  bool Report(MessageKind, const char*) override { return true; }
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

// Writes the bitmap (the preview's, or the whole picture with --full) and the planes asked for.
int WriteFrame(const Args& args, const DecodedFrame& frame) {
  const std::string output = args.value("output");
  const PictureView view = frame.view();
  const bool full = args.has("full");
  const int written = full ? write_picture_bmp(output.c_str(), view) : write_preview_bmp(output.c_str(), frame.previewDib.get());
  if (written != kBmpOk) {
    std::fprintf(stderr, "kerf: cannot write %s\n", path_for_terminal(output).c_str());
    return kExitOutput;
  }
  if (args.has("yuv") && !write_yuv(args.value("yuv"), view, frame.progressive())) {
    std::fprintf(stderr, "kerf: cannot write %s\n", path_for_terminal(args.value("yuv")).c_str());
    return kExitOutput;
  }
  std::printf("picture %dx%d written to %s\n", full ? int(full_width(view)) : kPreviewWidth,
              full ? int(full_height(view)) : kPreviewHeight, path_for_terminal(output).c_str());
  return kExitOk;
}

}  // namespace

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

  WorkEngine engine;
  FramePlan plan;
  if (CommandError planned = PlanFrame(rec, programme, at, listAt, args.has("stop-on-error"), engine, plan))
    return report_error(planned, kFrameHelp);
  std::printf("programme %d, video PID %04X, packet %08X (%s)\n", plan.programme, unsigned(plan.videoPid),
              unsigned(at), ms_text(rec.ToMs(at)).c_str());
  QuietSink quiet;
  DecodedFrame frame;
  const CommandError decoded = RunFrame(plan, quiet, frame);
  if (frame.pcrRange)
    std::printf("PCR %s - %s\n", ms_text(frame.pcrFromMs).c_str(), ms_text(frame.pcrToMs).c_str());
  if (decoded) return report_error(decoded, kFrameHelp);
  if (frame.decodeError == kDecodeOk)
    std::printf("decoded without errors\n");
  else
    std::printf("decoded with errors (error %d)\n", int(frame.decodeError));
  return WriteFrame(args, frame);
}
