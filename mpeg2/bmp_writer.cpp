// 24-bit BMP files (see bmp_writer.h).
#include "mpeg2/bmp_writer.h"

#include <cstring>

#include "common/raw_file.h"

namespace {

void put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v & 0xFFFF);
  put16(p + 2, v >> 16);
}

// One converted row of the largest picture, padded; static so that writing allocates nothing.
uint8_t rowBuffer[bmp_row_bytes(kConvertMaxWidth)];

// Writes the header, then height rows produced by row(r, buffer) for r = 0 (bottom) upward.
template <typename RowFn>
int write_bmp(const char* path, int32_t width, int32_t height, RowFn row) {
  if (width <= 0 || height <= 0) return kBmpNoPicture;
  RawFile file(path, "wb");
  if (!file.ok()) return kBmpOpenFailed;
  uint8_t header[kBmpHeaderBytes];
  bmp_make_header(width, height, header);
  int result = kBmpOk;
  if (raw_write(header, 1, sizeof header, file.get()) != sizeof header) result = kBmpWriteFailed;
  const size_t rowBytes = size_t(bmp_row_bytes(width));
  for (int32_t r = 0; r < height && result == kBmpOk; ++r) {
    const uint8_t* bytes = row(r);
    if (raw_write(bytes, 1, rowBytes, file.get()) != rowBytes) result = kBmpWriteFailed;
  }
  return result;
}

}  // namespace

void bmp_make_header(int32_t width, int32_t height, uint8_t* h) {
  const uint32_t image = uint32_t(bmp_row_bytes(width)) * uint32_t(height);
  std::memset(h, 0, kBmpHeaderBytes);
  // BITMAPFILEHEADER
  h[0] = 'B';
  h[1] = 'M';
  put32(h + 2, kBmpHeaderBytes + image);   // bfSize
  put32(h + 10, kBmpHeaderBytes);          // bfOffBits
  // BITMAPINFOHEADER: positive height = rows bottom-up; BI_RGB, no colour table.
  put32(h + 14, 40);
  put32(h + 18, uint32_t(width));
  put32(h + 22, uint32_t(height));
  put16(h + 26, 1);    // biPlanes
  put16(h + 28, 24);   // biBitCount
  put32(h + 30, 0);    // biCompression = BI_RGB
  put32(h + 34, image);
  put32(h + 38, 2835);   // 72 dpi in pixels per metre, both ways
  put32(h + 42, 2835);
}

int write_preview_bmp(const char* path, const uint8_t* dib) {
  return write_bmp(path, kPreviewWidth, kPreviewHeight,
                   [dib](int32_t r) { return dib + size_t(r) * kPreviewRowBytes; });
}

int write_picture_bmp(const char* path, const PictureView& picture) {
  const int32_t width = full_width(picture);
  const int32_t rowBytes = bmp_row_bytes(width);
  return write_bmp(path, width, full_height(picture), [&](int32_t r) {
    std::memset(rowBuffer + width * 3, 0, size_t(rowBytes - width * 3));
    convert_full_row(picture, r, rowBuffer);
    return static_cast<const uint8_t*>(rowBuffer);
  });
}
