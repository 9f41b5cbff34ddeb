// A decoded picture in the frame-store layout (interleaved Y, Cb, Cr; rows bottom-up), filled by
// the tests themselves, for the colour conversion and the BMP writer.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "mpeg2/convert.h"

struct Sample {
  int16_t y, cb, cr;
};

class TestPicture {
 public:
  // A store of `rows` rows for a picture of the given coded size (rowStride as the decoder uses:
  // 3 * width rounded up to a multiple of 4).
  TestPicture(int32_t width, int32_t height, int32_t rows, bool field = false)
      : stride_((3 * width + 3) & ~3), samples_(size_t(stride_) * size_t(rows), 0) {
    view_.samples = samples_.data();
    view_.rowStride = stride_;
    view_.storeRows = rows;
    view_.width = width;
    view_.height = height;
    view_.fieldPicture = field;
  }

  void Set(int32_t x, int32_t row, Sample s) {
    int16_t* p = &samples_[size_t(row) * size_t(stride_) + 3 * size_t(x)];
    p[0] = s.y;
    p[1] = s.cb;
    p[2] = s.cr;
  }
  // Fills every stored pixel (the store's own width, which may exceed the coded width).
  void Fill(const std::function<Sample(int32_t x, int32_t row)>& f) {
    const int32_t rows = view_.storeRows, pixels = stride_ / 3;
    for (int32_t r = 0; r < rows; ++r)
      for (int32_t x = 0; x < pixels; ++x) Set(x, r, f(x, r));
  }

  const PictureView& view() const { return view_; }

 private:
  int32_t stride_;
  std::vector<int16_t> samples_;
  PictureView view_;
};

// The BGR bytes the conversion gives for one sample.
inline std::vector<uint8_t> Bgr(Sample s) {
  std::vector<uint8_t> out(3);
  ycbcr_to_bgr(s.y, s.cb, s.cr, out.data());
  return out;
}
