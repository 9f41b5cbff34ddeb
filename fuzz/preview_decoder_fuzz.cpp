// libFuzzer target for the preview's MPEG-2 decoder and colour conversion: the input is an
// elementary stream. A real sequence header is placed first on every other input so that the
// fuzzer reaches slices quickly. No stream may read outside the ES or write outside the frame
// stores, the preview bitmap and the full-size rows.
//
// Nothing is kept from one input to the next: each gets a decoder as the program starts with one
// (all zero) and exactly sized heap buffers, so a saved crash reproduces on its own.
#include <cstdint>
#include <cstring>
#include <memory>

#include "mpeg2/convert.h"
#include "mpeg2/picture_decoder.h"

namespace {

// A 720x480 Main profile sequence header with its extension, a GOP and an I picture header with
// its coding extension (frame picture, intra VLC 0, zigzag scan). The extension's two bytes after
// its start code are replaced by kProfile422 to make the sequence 4:2:2 profile, 4:2:2 chroma.
constexpr size_t kProfileAt = 16;
const uint8_t kProfile422[2] = {0x18, 0x5C};
const uint8_t kPrologue[] = {
    0x00, 0x00, 0x01, 0xB3, 0x2D, 0x01, 0xE0, 0x34, 0xFF, 0xFF, 0xE0, 0x00,   // sequence header
    0x00, 0x00, 0x01, 0xB5, 0x14, 0x8A, 0x00, 0x01, 0x00, 0x00,               // sequence extension
    0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x00,                           // GOP
    0x00, 0x00, 0x01, 0x00, 0x00, 0x0F, 0xFF, 0xF8,                           // picture, I
    0x00, 0x00, 0x01, 0xB5, 0x8F, 0xFF, 0xF3, 0x80, 0x80,                     // coding extension
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The decoder every input starts with is all zero, as the program's static one is at start-up.
  // One allocation serves the whole run and is cleared whole before each input (about 38 MB: most
  // of the time per input, but handing the pages back to the kernel instead costs more in faults).
  static PreviewDecoder* const decoder = new PreviewDecoder();
  std::memset(static_cast<void*>(decoder), 0, sizeof *decoder);

  // Bit 0 of the first byte: the prologue; bit 1: stop on error; bit 2: the extended profiles (as
  // kerf decodes); bit 3: a 4:2:2 prologue.
  const size_t prologue = (data[0] & 1) ? sizeof kPrologue : 0;
  const size_t length = prologue + size - 1;
  std::unique_ptr<uint8_t[]> es(new uint8_t[length]);
  std::memcpy(es.get(), kPrologue, prologue);
  if (prologue && (data[0] & 8)) std::memcpy(es.get() + kProfileAt, kProfile422, sizeof kProfile422);
  decoder->extendedProfiles = (data[0] & 4) != 0;
  std::memcpy(es.get() + prologue, data + 1, size - 1);
  std::unique_ptr<uint8_t[]> dib(new uint8_t[kPreviewDibBytes]);

  ConvertTarget target{dib.get(), false};
  decoder->pictureStartHook = ConvertPicture;
  decoder->pictureStartContext = &target;
  ResetDecoderRun(*decoder, (data[0] >> 1) & 1);
  // The capacity is exactly the data: nothing past it may be touched.
  DecodeStream(*decoder, es.get(), int32_t(length), int64_t(length));

  // The full-size path reads the same store: every 37th row and the top one, into an exact row.
  const PictureView view = current_picture_view(*decoder);
  const int32_t width = full_width(view), height = full_height(view);
  if (target.converted && width > 0 && height > 0) {
    std::unique_ptr<uint8_t[]> row(new uint8_t[size_t(width) * 3]);
    for (int32_t r = 0; r < height; r += 37) convert_full_row(view, r, row.get());
    convert_full_row(view, height - 1, row.get());
  }
  return 0;
}
