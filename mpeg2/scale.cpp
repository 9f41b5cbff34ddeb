// Scaling by area averaging: columns are averaged in full; of the picture lines one output row
// covers, at most kLinesPerRow evenly spread are read, which keeps a 1440 x 1080 picture to a few
// milliseconds and hides no more detail than the width reduction already does.
#include "mpeg2/scale.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int32_t kLinesPerRow = 2;

// First column (or line) that output index i of n covers, of total.
int32_t span_start(int32_t i, int32_t n, int32_t total) { return int32_t(int64_t(i) * total / n); }

}  // namespace

int32_t scaled_height(const PictureView& picture, int32_t aspect_ratio_information, int32_t width) {
  const int32_t w = full_width(picture), h = full_height(picture);
  if (w <= 0 || h <= 0 || width <= 0) return 0;
  int64_t num = h, den = w;   // height per width
  switch (aspect_ratio_information) {
    case 2: num = 3, den = 4; break;
    case 3: num = 9, den = 16; break;
    case 4: num = 100, den = 221; break;
    default: break;
  }
  const int64_t height = (int64_t(width) * num + den / 2) / den;
  return int32_t(height < 2 ? 2 : height > kConvertMaxHeight ? kConvertMaxHeight : height & ~int64_t(1));
}

bool scale_picture(const PictureView& picture, int32_t width, int32_t height, uint8_t* rgb) {
  const int32_t w = full_width(picture), h = full_height(picture);
  if (w <= 0 || h <= 0 || width < 1 || width > kScaleMaxWidth || height < 1 || height > kConvertMaxHeight) return false;
  std::vector<int32_t> columnStart(size_t(width) + 1);
  for (int32_t x = 0; x <= width; ++x) columnStart[size_t(x)] = span_start(x, width, w);
  std::unique_ptr<uint8_t[]> line(new uint8_t[size_t(w) * 3]);
  std::vector<uint32_t> sums(size_t(width) * 3);
  std::vector<uint32_t> counts(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    const int32_t first = span_start(y, height, h);
    const int32_t end = span_start(y + 1, height, h) > first ? span_start(y + 1, height, h) : first + 1;
    const int32_t lines = end - first < kLinesPerRow ? end - first : kLinesPerRow;
    std::fill(sums.begin(), sums.end(), 0u);
    std::fill(counts.begin(), counts.end(), 0u);
    for (int32_t k = 0; k < lines; ++k) {
      const int32_t source = first + int32_t(int64_t(end - first) * (2 * k + 1) / (2 * lines));
      convert_full_row(picture, h - 1 - source, line.get());   // rows count from the bottom
      for (int32_t x = 0; x < width; ++x) {
        const int32_t to = columnStart[size_t(x) + 1] > columnStart[size_t(x)] ? columnStart[size_t(x) + 1] : columnStart[size_t(x)] + 1;
        for (int32_t c = columnStart[size_t(x)]; c < to && c < w; ++c) {
          const uint8_t* bgr = line.get() + size_t(c) * 3;
          sums[size_t(x) * 3] += bgr[2];
          sums[size_t(x) * 3 + 1] += bgr[1];
          sums[size_t(x) * 3 + 2] += bgr[0];
          ++counts[size_t(x)];
        }
      }
    }
    uint8_t* out = rgb + size_t(y) * size_t(width) * 3;
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t n = counts[size_t(x)] ? counts[size_t(x)] : 1;
      for (int c = 0; c < 3; ++c) out[size_t(x) * 3 + size_t(c)] = uint8_t((sums[size_t(x) * 3 + size_t(c)] + n / 2) / n);
    }
  }
  return true;
}
