// libFuzzer target for the preview's MPEG-2 decoder and colour conversion: the input is an
// elementary stream. A real sequence header is placed first on every other input so that the
// fuzzer reaches slices quickly. No stream may read outside the ES or write outside the frame
// stores and the preview bitmap.
#include <cstdint>
#include <cstring>
#include <vector>

#include "mpeg2/convert.h"
#include "mpeg2/picture_decoder.h"

namespace {

// A 720x480 Main profile sequence header with its extension, a GOP and an I picture header with
// its coding extension (frame picture, intra VLC 0, zigzag scan).
const uint8_t kPrologue[] = {
    0x00, 0x00, 0x01, 0xB3, 0x2D, 0x01, 0xE0, 0x34, 0xFF, 0xFF, 0xE0, 0x00,   // sequence header
    0x00, 0x00, 0x01, 0xB5, 0x14, 0x8A, 0x00, 0x01, 0x00, 0x00,               // sequence extension
    0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x00,                           // GOP
    0x00, 0x00, 0x01, 0x00, 0x00, 0x0F, 0xFF, 0xF8,                           // picture, I
    0x00, 0x00, 0x01, 0xB5, 0x8F, 0xFF, 0xF3, 0x80, 0x80,                     // coding extension
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static PreviewDecoder* decoder = new PreviewDecoder();
  static std::vector<uint8_t> dib(kPreviewDibBytes);
  static std::vector<uint8_t> es;
  if (size == 0) return 0;
  es.clear();
  if (data[0] & 1) es.insert(es.end(), kPrologue, kPrologue + sizeof kPrologue);
  es.insert(es.end(), data + 1, data + size);

  ConvertTarget target{dib.data(), false};
  decoder->pictureStartHook = ConvertPicture;
  decoder->pictureStartContext = &target;
  ResetDecoderRun(*decoder, (data[0] >> 1) & 1);
  // The capacity is exactly the data: nothing past it may be touched.
  DecodeStream(*decoder, es.data(), int32_t(es.size()), int64_t(es.size()));
  return 0;
}
