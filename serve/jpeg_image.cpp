// JPEG through TurboJPEG: one compressor per thread, made at its first picture.
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

bool encode_jpeg(const uint8_t* rgb, int width, int height, int quality, std::string& out) {
  thread_local Compressor compressor;
  if (!compressor.handle || width <= 0 || height <= 0) return false;
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int failed = tjCompress2(compressor.handle, rgb, width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420,
                                 quality, TJFLAG_FASTDCT);
  if (failed == 0) out.assign(reinterpret_cast<const char*>(jpeg), size);
  tjFree(jpeg);
  return failed == 0;
}
