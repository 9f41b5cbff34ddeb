// JPEG through TurboJPEG: one compressor per thread, made at its first picture. The planes go in
// as they are (no colour conversion, no subsampling by the library).
#include "serve/jpeg_image.h"

#include <turbojpeg.h>

namespace {

struct Compressor {
  tjhandle handle = tjInitCompress();
  ~Compressor() {
    if (handle) tjDestroy(handle);
  }
};

}  // namespace

bool encode_jpeg(const YuvPlanes& planes, int width, int height, int quality, std::string& out) {
  thread_local Compressor compressor;
  if (!compressor.handle || width <= 0 || height <= 0) return false;
  const unsigned char* source[3] = {planes.y, planes.cb, planes.cr};
  const int strides[3] = {width, chroma_width(width), chroma_width(width)};
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int failed = tjCompressFromYUVPlanes(compressor.handle, source, width, strides, height, TJSAMP_420, &jpeg,
                                             &size, quality, TJFLAG_FASTDCT);
  if (failed == 0) out.assign(reinterpret_cast<const char*>(jpeg), size);
  tjFree(jpeg);
  return failed == 0;
}
