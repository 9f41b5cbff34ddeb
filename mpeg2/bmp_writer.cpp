// 24-bit BMP files (see bmp_writer.h).
#include "mpeg2/bmp_writer.h"

#include <cstring>

#include "common/bytes.h"
#include "common/raw_file.h"

namespace {

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
  le_write32(h + 2, kBmpHeaderBytes + image);   // bfSize
  le_write32(h + 10, kBmpHeaderBytes);          // bfOffBits
  // BITMAPINFOHEADER: positive height = rows bottom-up; BI_RGB, no colour table.
  le_write32(h + 14, 40);
  le_write32(h + 18, uint32_t(width));
  le_write32(h + 22, uint32_t(height));
  le_write16(h + 26, 1);    // biPlanes
  le_write16(h + 28, 24);   // biBitCount
  le_write32(h + 30, 0);    // biCompression = BI_RGB
  le_write32(h + 34, image);
  le_write32(h + 38, 2835);   // 72 dpi in pixels per metre, both ways
  le_write32(h + 42, 2835);
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
