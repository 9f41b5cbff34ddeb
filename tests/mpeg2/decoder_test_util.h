// Helpers shared by the decoder tests: one decoder per process, ES files, first-picture planes.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "mpeg2/picture_decoder.h"

// The decoder is about 38 MB; tests share one and reset what a run resets.
inline PreviewDecoder& test_decoder() {
  static std::unique_ptr<PreviewDecoder> d = std::make_unique<PreviewDecoder>();
  return *d;
}

inline std::vector<uint8_t> read_file(const std::string& path) {
  std::vector<uint8_t> data;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
    std::fclose(f);
  }
  return data;
}

// Appends the end marker the extraction appends: a picture start code and 128 zero bytes, of which
// 8 count towards the ES length. Returns that length.
inline int32_t append_end_marker(std::vector<uint8_t>& es) {
  const uint8_t marker[4] = {0, 0, 1, 0};
  es.insert(es.end(), marker, marker + 4);
  const int32_t length = int32_t(es.size()) + 8;
  es.resize(es.size() + 128, 0);
  return length;
}

// Runs the decoder over es the way the preview does (fresh run state).
inline int32_t decode_es(PreviewDecoder& d, const std::vector<uint8_t>& es, int32_t length,
                         int32_t stop_on_error = 0) {
  ResetDecoderRun(d, stop_on_error);
  return DecodeStream(d, es.data(), length, int64_t(es.size()));
}

// Planes of the current picture as yuv420p, clamped as the colour conversion clamps. Chroma rows
// are read back from where the store put them: progressive frames at pixel row 2c, interlaced
// frames field-wise (chroma row c at pixel row 2c for even c, 2c - 1 for odd c); yuv422p rows c.
struct Planes {
  int width = 0, height = 0, chromaRows = 0;
  std::vector<uint8_t> y, cb, cr;
};

inline uint8_t clamp8(int v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

inline Planes current_planes(const PreviewDecoder& d) {
  const FrameGeometry g = frame_geometry(d.headers);
  Planes p;
  p.width = g.width;
  p.height = g.height;
  const int16_t* buf = d.frames.Current();
  const int top = g.mbHeight * 16 - 1;
  auto at = [&](int x, int y) { return buf + size_t(top - y) * g.rowStride + 3 * x; };
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x) p.y.push_back(clamp8(at(x, y)[0]));
  const bool progressive = d.headers.progressive_frame != 0;
  const bool chroma422 = d.headers.chroma_format == kChroma422;
  p.chromaRows = chroma422 ? g.height : (g.height + 1) / 2;
  for (int c = 0; c < p.chromaRows; ++c) {
    const int row = chroma422 ? c : progressive || (c % 2 == 0) ? 2 * c : 2 * c - 1;
    for (int x = 0; x < (g.width + 1) / 2; ++x) {
      p.cb.push_back(clamp8(at(2 * x, row)[1] + 128));
      p.cr.push_back(clamp8(at(2 * x, row)[2] + 128));
    }
  }
  return p;
}

inline double psnr(const uint8_t* a, const uint8_t* b, size_t n) {
  double se = 0;
  for (size_t i = 0; i < n; ++i) {
    const double e = double(a[i]) - double(b[i]);
    se += e * e;
  }
  if (se == 0) return 99.0;
  return 10.0 * std::log10(255.0 * 255.0 * double(n) / se);
}
