// What the preview should show, worked out independently of the preview's own code: a recording of
// the sample clip, where its sequence headers lie, and how close a 360 x 240 bitmap comes to an
// independent decoder's picture (planar 4:2:0 as ffmpeg writes it) sampled and converted the way
// the preview does. Header-only, for the headless tests and the Windows end-to-end driver alike.
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

#include "mpeg2/convert.h"
#include "tests/support/stream_builder.h"

namespace preview_ref {

constexpr uint16_t kVideoPid = 0x0111;
constexpr uint16_t kPcrPid = 0x01FF;
constexpr int kClipWidth = 720, kClipHeight = 480;

// One programme (service 0x0400, video 0111, PCRs on their own PID 01FF) carrying es once: at
// 2 Mbit/s the 12-second sample clip fills the 12000 packets without starting over.
inline tsb::BroadcastDesc clip_broadcast(const tsb::Bytes& es) {
  tsb::BroadcastDesc desc;
  desc.services = {{.service_id = 0x0400, .pmt_pid = 0x01F0, .video_pid = kVideoPid, .audio_pid = 0x0112,
                    .pcr_pid = kPcrPid}};
  desc.videoEs = es;
  desc.bitrate = 2000000;
  desc.packets = 12000;
  return desc;
}

// Packet numbers of the video packets that start a PES opening with a sequence header.
inline std::vector<int32_t> sequence_packets(const tsb::Bytes& ts, uint16_t pid = kVideoPid) {
  std::vector<int32_t> at;
  for (size_t i = 0; i + 188 <= ts.size(); i += 188) {
    const uint8_t* p = &ts[i];
    if (((p[1] & 0x1F) << 8 | p[2]) != pid || !(p[1] & 0x40)) continue;
    const size_t h = (p[3] & 0x20) ? 5 + p[4] : 4;
    for (size_t k = h; k + 4 <= 188; ++k) {
      if (p[k] == 0 && p[k + 1] == 0 && p[k + 2] == 1 && p[k + 3] == 0xB3) {
        at.push_back(int32_t(i / 188));
        break;
      }
    }
  }
  return at;
}

// The sequence the preview shows at packet position: the first that starts at or after it.
inline size_t sequence_at(const std::vector<int32_t>& sequences, int32_t position) {
  size_t j = 0;
  while (j < sequences.size() && sequences[j] < position) ++j;
  return j;
}

// The ffmpeg options (after "ffmpeg -i CLIP", for a POSIX shell) that write the reference: the clip's intra
// pictures in order, planar 4:2:0. Each sequence of the clip opens with its only I picture, so
// frame j of the reference is the picture the preview shows for sequence j.
constexpr const char* kReferenceArgs =
    "-vf 'select=eq(pict_type\\,I)' -fps_mode passthrough -f rawvideo -pix_fmt yuv420p";

// PSNR of a 360 x 240 bitmap showing a 720 x 480 picture (every second column and line, no bars)
// against frame `frame` of a planar 4:2:0 file. pixel(col, row) gives the bitmap's blue, green and
// red bytes, row 0 being the top row.
template <class Pixel>
double preview_psnr(Pixel pixel, const tsb::Bytes& yuv, int frame) {
  const size_t frameSize = size_t(kClipWidth) * kClipHeight * 3 / 2;
  if (frame < 0 || yuv.size() < frameSize * size_t(frame + 1)) return 0;
  const uint8_t* y = &yuv[frameSize * size_t(frame)];
  const uint8_t* u = y + kClipWidth * kClipHeight;
  const uint8_t* v = u + kClipWidth * kClipHeight / 4;
  double sum = 0;
  for (int row = 0; row < kPreviewHeight; ++row) {
    // Bitmap row k from the bottom takes store row 2k from the bottom: picture line 479 - 2k.
    const int line = kClipHeight - 1 - 2 * (kPreviewHeight - 1 - row);
    for (int col = 0; col < kPreviewWidth; ++col) {
      const int x = 2 * col;
      const int c = (line / 2) * (kClipWidth / 2) + x / 2;
      uint8_t want[3];
      ycbcr_to_bgr(y[line * kClipWidth + x], u[c] - 128, v[c] - 128, want);
      const uint8_t* got = pixel(col, row);
      for (int k = 0; k < 3; ++k) sum += double(got[k] - want[k]) * double(got[k] - want[k]);
    }
  }
  const double mse = sum / (kPreviewWidth * kPreviewHeight * 3);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace preview_ref
