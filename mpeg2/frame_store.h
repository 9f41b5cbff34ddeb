// The three picture buffers of the preview decoder, in the layout the colour conversion reads:
// interleaved Y, Cb, Cr signed 16-bit samples per pixel, rows bottom-up.
#pragma once
#include <cstddef>
#include <cstdint>

struct StreamHeaders;

struct FrameStore {
  // Largest Main profile High level picture the preview supports: 1920 x 1088 (68 macroblock rows).
  static constexpr int32_t kMaxWidth = 1920;
  static constexpr int32_t kMaxHeight = 1088;
  static constexpr size_t kBufferSamples = size_t(kMaxWidth) * kMaxHeight * 3;  // 12,533,760 bytes

  // Row r (0 = bottom) of a picture starts at sample r * rowStride; pixel x of the row is samples
  // 3x (Y, as reconstructed, not clamped), 3x + 1 (Cb - 128), 3x + 2 (Cr - 128).
  int16_t buffer[3][kBufferSamples];
  // Roles set by the picture header: reference is the buffer a P picture predicts from, current
  // the buffer being written and later shown. Reset to 0 and 1 before every run.
  int32_t referenceIndex;
  int32_t currentIndex;

  int16_t* Current() { return buffer[currentIndex]; }
  const int16_t* Current() const { return buffer[currentIndex]; }
  const int16_t* Reference() const { return buffer[referenceIndex]; }
};

// Picture geometry from the 12-bit sequence header sizes (the size extensions are not used).
struct FrameGeometry {
  int32_t width;      // horizontal_size_value
  int32_t height;     // vertical_size_value
  int32_t mbWidth;    // (width + 15) / 16
  int32_t mbHeight;   // (height + 15) / 16
  int32_t rowStride;  // samples per stored row: 3 * width rounded up to a multiple of 4
};

FrameGeometry frame_geometry(const StreamHeaders& headers);

// True when the frame store holds every row and column of a picture of this geometry: at most
// kMaxWidth pixels wide and kMaxHeight rows of whole macroblocks high.
inline bool frame_store_holds(const FrameGeometry& g) {
  return g.width >= 0 && g.height >= 0 && g.width <= FrameStore::kMaxWidth &&
         g.mbHeight * 16 <= FrameStore::kMaxHeight;
}
