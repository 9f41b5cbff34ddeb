// Scaling by area averaging, in the decoder's own samples: columns are averaged in full; of the
// picture lines one output row covers, at most kLinesPerRow evenly spread are read, which keeps
// a 1440 x 1080 picture to about a millisecond and hides no more detail than the width reduction
// already does. Chroma is averaged over each 2 x 2 block of output pixels.
#include "mpeg2/scale.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t kLinesPerRow = 2;

// First column (or line) that output index i of n covers, of total.
int32_t span_start(int32_t i, int32_t n, int32_t total) { return int32_t(int64_t(i) * total / n); }

uint8_t clamp_byte(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

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

bool scale_picture_yuv420(const PictureView& picture, int32_t width, int32_t height, const YuvPlanes& out) {
  const int32_t w = full_width(picture), h = full_height(picture);
  if (w <= 0 || h <= 0 || width < 1 || width > kScaleMaxWidth || height < 1 || height > kConvertMaxHeight) return false;
  // Output column x covers picture columns from[x] .. from[x + 1] - 1 (at least one).
  std::vector<int32_t> from(size_t(width) + 1), to(static_cast<size_t>(width));
  for (int32_t x = 0; x <= width; ++x) from[size_t(x)] = span_start(x, width, w);
  for (int32_t x = 0; x < width; ++x) to[size_t(x)] = from[size_t(x) + 1] > from[size_t(x)] ? from[size_t(x) + 1] : from[size_t(x)] + 1;
  // Per output pixel of the row: sums of Y, Cb + 128 and Cr + 128, and the samples counted.
  std::vector<int32_t> sy(static_cast<size_t>(width)), scb(static_cast<size_t>(width)), scr(static_cast<size_t>(width)),
      count(static_cast<size_t>(width));
  // The averaged chroma of the row above, for the 2 x 2 blocks.
  std::vector<int32_t> cbAbove(static_cast<size_t>(width)), crAbove(static_cast<size_t>(width));
  const int32_t cw = chroma_width(width);
  for (int32_t y = 0; y < height; ++y) {
    const int32_t first = span_start(y, height, h);
    const int32_t end = span_start(y + 1, height, h) > first ? span_start(y + 1, height, h) : first + 1;
    const int32_t lines = end - first < kLinesPerRow ? end - first : kLinesPerRow;
    std::fill(sy.begin(), sy.end(), 0);
    std::fill(scb.begin(), scb.end(), 0);
    std::fill(scr.begin(), scr.end(), 0);
    std::fill(count.begin(), count.end(), 0);
    for (int32_t k = 0; k < lines; ++k) {
      const int32_t line = first + int32_t(int64_t(end - first) * (2 * k + 1) / (2 * lines));
      const StoreRow row = store_row(picture, picture_store_row(picture, line));
      const int32_t pixels = row.samples ? (row.pixels < w ? row.pixels : w) : 0;
      for (int32_t x = 0; x < width; ++x) {
        const int32_t a = from[size_t(x)], b = to[size_t(x)] < pixels ? to[size_t(x)] : pixels;
        int32_t ty = 0, tcb = 0, tcr = 0;
        for (int32_t c = a; c < b; ++c) {
          const int16_t* s = row.samples + size_t(c) * 3;
          ty += s[0];
          tcb += s[1];
          tcr += s[2];
        }
        // Samples outside the store are black: Y 0, chroma at its middle.
        const int32_t n = to[size_t(x)] - a;
        sy[size_t(x)] += ty;
        scb[size_t(x)] += tcb + 128 * n;
        scr[size_t(x)] += tcr + 128 * n;
        count[size_t(x)] += n;
      }
    }
    uint8_t* yRow = out.y + size_t(y) * size_t(width);
    for (int32_t x = 0; x < width; ++x) {
      const int32_t n = count[size_t(x)];
      yRow[x] = clamp_byte((sy[size_t(x)] + n / 2) / n);
      scb[size_t(x)] = (scb[size_t(x)] + n / 2) / n;
      scr[size_t(x)] = (scr[size_t(x)] + n / 2) / n;
    }
    // A chroma row from this output row and the one above (alone when the height is odd).
    if (y % 2 == 0 && y + 1 < height) {
      cbAbove.swap(scb);
      crAbove.swap(scr);
      continue;
    }
    const bool pair = y % 2 == 1;
    uint8_t* cbRow = out.cb + size_t(y / 2) * size_t(cw);
    uint8_t* crRow = out.cr + size_t(y / 2) * size_t(cw);
    for (int32_t cx = 0; cx < cw; ++cx) {
      const size_t l = size_t(cx) * 2, r = 2 * cx + 1 < width ? l + 1 : l;
      int32_t cb = scb[l] + scb[r], cr = scr[l] + scr[r], n = 2;
      if (pair) cb += cbAbove[l] + cbAbove[r], cr += crAbove[l] + crAbove[r], n = 4;
      cbRow[cx] = clamp_byte((cb + n / 2) / n);
      crRow[cx] = clamp_byte((cr + n / 2) / n);
    }
  }
  return true;
}
