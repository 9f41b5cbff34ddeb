// A decoded picture scaled to a chosen size as 8-bit Y, Cb and Cr planes with the chroma at half
// width and half height (4:2:0, JFIF's full-range samples), ready for a JPEG compressor: pictures
// sent over the network are made straight from the decoder's samples, with no RGB step between.
#pragma once
#include <cstdint>

#include "mpeg2/convert.h"

// Widest picture the scaler makes.
constexpr int32_t kScaleMaxWidth = kConvertMaxWidth;

// The height that shows the picture at width with its display aspect ratio
// (aspect_ratio_information of the sequence header: 2 is 4:3, 3 is 16:9, 4 is 2.21:1, anything
// else square pixels), rounded to an even number, at least 2. 0 for an empty picture.
int32_t scaled_height(const PictureView& picture, int32_t aspect_ratio_information, int32_t width);

// Where scale_picture_yuv420 writes: y holds width x height bytes, cb and cr
// chroma_width(width) x chroma_height(height) each, rows top first without padding.
struct YuvPlanes {
  uint8_t* y = nullptr;
  uint8_t* cb = nullptr;
  uint8_t* cr = nullptr;
};
constexpr int32_t chroma_width(int32_t width) { return (width + 1) / 2; }
constexpr int32_t chroma_height(int32_t height) { return (height + 1) / 2; }

// Each output sample averages the picture samples it covers (the decoder's Y as it is, Cb and Cr
// moved to 0..255, which is what JPEG's YCbCr means: the colours equal convert.h's BGR). Rows and
// columns the store does not hold count as black. False (nothing written) for an empty picture
// or a size outside 1..kScaleMaxWidth x 1..kConvertMaxHeight.
bool scale_picture_yuv420(const PictureView& picture, int32_t width, int32_t height, const YuvPlanes& out);
