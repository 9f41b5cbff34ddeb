// The picture loop of the preview decoder: start code by start code through the elementary
// stream, headers to their parsers, slices to the slice stage, until the second picture starts.
#include <cstring>

#include "mpeg2/macroblock_store.h"
#include "mpeg2/picture_decoder.h"
#include "mpeg2/slice_decoder.h"

namespace {

// Start code values (§6.2.1, Table 6-1) the loop acts on; slice start codes run 0x01..0xAF.
constexpr uint8_t kPictureStartCode = 0x00;
constexpr uint8_t kLastSliceStartCode = 0xAF;
constexpr uint8_t kSequenceHeaderCode = 0xB3;
constexpr uint8_t kExtensionStartCode = 0xB5;
constexpr uint8_t kGroupStartCode = 0xB8;

// Next 00 00 01 prefix at or after i with its fourth byte inside the ES; -1 when none is left.
int32_t find_start_code(const uint8_t* es, int32_t length, int32_t i) {
  if (i < 0) i = 0;
  while (i < length - 3) {
    const void* hit = std::memchr(es + i + 2, 0x01, size_t(length - 1 - (i + 2)));
    if (!hit) return -1;
    const int32_t k = int32_t(static_cast<const uint8_t*>(hit) - es);  // candidate third byte
    if (es[k - 1] == 0 && es[k - 2] == 0) return k - 2;
    i = k - 1;
  }
  return -1;
}

// Fixes the geometry of the picture about to be decoded from the headers in force. A size the
// frame store cannot hold (a damaged sequence header, or a picture beyond Main profile High level)
// leaves no geometry and sets error 22; false then ends the run, so nothing of that picture is
// stored and nothing is converted.
bool take_picture_geometry(PreviewDecoder& d) {
  const FrameGeometry g = frame_geometry(d.headers);
  if (!frame_store_holds(g)) {
    d.run.picture = FrameGeometry{};
    d.run.errorCode = kErrorPictureTooLarge;
    return false;
  }
  d.run.picture = g;
  return true;
}

// What the loop does after a start code.
enum class LoopStep { kGoOn, kEnd, kStop };  // kEnd: return 0, kStop: return 1

// The start code at es[i] (its fourth byte is inside the ES).
LoopStep take_start_code(PreviewDecoder& d, SliceContext& c, const uint8_t* es, int32_t i,
                         const uint8_t* end) {
  const uint8_t code = es[i + 3];
  if (code == kPictureStartCode) {
    ++d.run.pictureCount;
    if (d.pictureStartHook) d.pictureStartHook(d, d.pictureStartContext);
    if (d.run.pictureCount > 1) return LoopStep::kEnd;  // only the first picture is decoded
    if (!take_picture_geometry(d)) return LoopStep::kStop;
    d.run.macroblockCounter = 0;
    ParsePictureHeader(d, es + i, end);
  } else if (code <= kLastSliceStartCode) {
    if (d.run.pictureCount == 0 && !take_picture_geometry(d)) return LoopStep::kStop;
    set_slice_picture(c, d.run.picture);
    decode_slice(c, es + i + 4, end);
    if (d.run.stopDecodeOnError == 1 && d.run.errorCode != kDecodeOk) return LoopStep::kEnd;
  } else if (code == kSequenceHeaderCode) {
    ParseSequenceHeader(d, es + i, end);
  } else if (code == kExtensionStartCode) {
    ParseExtension(d, es + i, end);
    if (d.run.errorCode == kErrorUnsupportedProfile) return LoopStep::kStop;
  } else if (code == kGroupStartCode) {
    ParseGroupHeader(d, es + i, end);
  }
  // Everything else (user data, sequence end, PES headers left in the ES) is passed over.
  return LoopStep::kGoOn;
}

}  // namespace

void ResetDecoderRun(PreviewDecoder& d, int32_t stopDecodeOnError) {
  d.run.scanPosition = 0;
  d.run.errorCode = kDecodeOk;
  d.run.pictureCount = 0;
  d.run.macroblockCounter = 0;
  d.run.stopDecodeOnError = stopDecodeOnError;
  d.run.picture = FrameGeometry{};
  d.frames.referenceIndex = 0;
  d.frames.currentIndex = 1;
}

int32_t DecodeStream(PreviewDecoder& d, const uint8_t* es, int32_t esLength, int64_t esCapacity) {
  if (esLength < 0 || !es) esLength = 0;
  if (esCapacity < esLength) esLength = int32_t(esCapacity < 0 ? 0 : esCapacity);
  const uint8_t* end = es + esLength;
  SliceContext c{};
  c.d = &d;
  c.rowStore = best_row_store();
  for (;;) {
    const int32_t i = find_start_code(es, esLength, d.run.scanPosition);
    if (i < 0) {
      d.run.scanPosition = esLength;
      return 0;
    }
    d.run.scanPosition = i;
    const LoopStep step = take_start_code(d, c, es, i, end);
    if (step != LoopStep::kGoOn) return step == LoopStep::kStop ? 1 : 0;
    d.run.scanPosition = i + 4;
  }
}
