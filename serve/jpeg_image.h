// Pictures as JPEG files: the one file that knows the image library (TurboJPEG).
#pragma once
#include <cstdint>
#include <string>

#include "mpeg2/scale.h"

constexpr int kJpegQuality = 85;

// Compresses width x height pixels given as 4:2:0 planes (mpeg2/scale.h) into out, with the fast
// integer DCT; false when the library failed.
bool encode_jpeg(const YuvPlanes& planes, int width, int height, int quality, std::string& out);
