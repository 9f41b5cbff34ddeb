// Writing pictures as 24-bit uncompressed BMP files (BITMAPFILEHEADER + BITMAPINFOHEADER, rows
// bottom-up, each padded to a multiple of 4 bytes), through the project's file layer.
#pragma once
#include <cstdint>

#include "mpeg2/convert.h"

// Result codes of the writers.
constexpr int kBmpOk = 0;
constexpr int kBmpOpenFailed = 1;    // the file could not be created
constexpr int kBmpWriteFailed = 2;   // a write failed or was short (the file is left incomplete)
constexpr int kBmpNoPicture = 3;     // the picture has no pixels

constexpr int kBmpHeaderBytes = 14 + 40;

// Bytes of one row of a 24-bit BMP of the given width.
constexpr int32_t bmp_row_bytes(int32_t width) { return (width * 3 + 3) & ~3; }

// Fills the 54-byte file and info header of a 24-bit bottom-up BMP.
void bmp_make_header(int32_t width, int32_t height, uint8_t* header);

// Writes the 360 x 240 preview bitmap (bottom-up BGR rows of kPreviewRowBytes bytes).
int write_preview_bmp(const char* path, const uint8_t* dib);

// Converts the decoded picture at its full size (capped at 1920 x 1080) with the preview's colour
// formula and field line doubling, and writes it.
int write_picture_bmp(const char* path, const PictureView& picture);
