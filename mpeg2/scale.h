// A decoded picture scaled to a chosen size as RGB (top row first, three bytes a pixel), for
// pictures sent over the network; each output pixel averages the picture pixels it covers.
#pragma once
#include <cstdint>

#include "mpeg2/convert.h"

// Widest picture scale_picture makes.
constexpr int32_t kScaleMaxWidth = kConvertMaxWidth;

// The height that shows the picture at width with its display aspect ratio
// (aspect_ratio_information of the sequence header: 2 is 4:3, 3 is 16:9, 4 is 2.21:1, anything
// else square pixels), rounded to an even number, at least 2. 0 for an empty picture.
int32_t scaled_height(const PictureView& picture, int32_t aspect_ratio_information, int32_t width);
// Writes width x height x 3 bytes at rgb. False (nothing written) for an empty picture or a size
// outside 1..kScaleMaxWidth x 1..kConvertMaxHeight.
bool scale_picture(const PictureView& picture, int32_t width, int32_t height, uint8_t* rgb);
