// Pictures as JPEG files: the one file that knows the image library (TurboJPEG).
#pragma once
#include <cstdint>
#include <string>

constexpr int kJpegQuality = 85;

// Compresses width x height RGB pixels (top row first) into out; false when the library failed.
bool encode_jpeg(const uint8_t* rgb, int width, int height, int quality, std::string& out);
