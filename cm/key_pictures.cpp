// Key pictures: the ring of kept PES bytes, the decode of one picture with the preview decoder,
// and its cell signature.
#include "cm/key_pictures.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "mpeg2/convert.h"
#include "mpeg2/extract.h"
#include "mpeg2/picture_decoder.h"
#include "mpeg2/sequence_scanner.h"

namespace {

constexpr int32_t kSlotStride = kKeyPictureBytes + kEsEndMarkerSpace;

// The signature of the decoded picture: cells sampled every fourth pixel and line, which is
// plenty for a mean and keeps the cost far below the decode's.
PictureSignature signature_of(const PreviewDecoder& decoder) {
  const PictureView view = current_picture_view(decoder);
  PictureSignature s;
  const int32_t width = view.width, height = view.height;
  if (width < kSignatureColumns || height < kSignatureRows) return s;
  constexpr int kStep = 4;
  for (int r = 0; r < kSignatureRows; ++r) {
    for (int c = 0; c < kSignatureColumns; ++c) {
      int64_t sum = 0, n = 0;
      for (int32_t y = r * height / kSignatureRows; y < (r + 1) * height / kSignatureRows; y += kStep) {
        const StoreRow row = store_row(view, picture_store_row(view, y));
        const int32_t x1 = (c + 1) * width / kSignatureColumns;
        for (int32_t x = c * width / kSignatureColumns; x < x1 && x < row.pixels; x += kStep) {
          const int v = row.samples[3 * x];
          sum += v < 0 ? 0 : v > 255 ? 255 : v;
          ++n;
        }
      }
      s.cells[r * kSignatureColumns + c] = uint8_t(n ? sum / n : 0);
    }
  }
  return s;
}

}  // namespace

float picture_change(const PictureSignature& a, const PictureSignature& b) {
  int sum = 0;
  for (int i = 0; i < kSignatureColumns * kSignatureRows; ++i) sum += std::abs(int(a.cells[i]) - int(b.cells[i]));
  return float(sum) / float(255 * kSignatureColumns * kSignatureRows);
}

KeyPictureRing::KeyPictureRing() : bytes_(new uint8_t[size_t(kKeyPictureSlots) * kSlotStride]) {}

KeyPictureRing::~KeyPictureRing() { std::free(decoder_); }

void KeyPictureRing::Begin(int64_t packet, int64_t ms) {
  if (collecting_) End();
  slot_ = count_ < kKeyPictureSlots ? SlotOf(count_) : first_;
  if (count_ == kKeyPictureSlots) {
    first_ = (first_ + 1) % kKeyPictureSlots;
    --count_;
  }
  KeyPicture& p = pictures_[slot_];
  p = KeyPicture{};
  p.packet = packet;
  p.ms = ms;
  collecting_ = true;
}

void KeyPictureRing::Append(const uint8_t* data, int32_t size) {
  if (!collecting_ || size <= 0) return;
  KeyPicture& p = pictures_[slot_];
  const int32_t room = kKeyPictureBytes - p.length;
  const int32_t n = size < room ? size : room;
  if (n > 0) std::memcpy(bytes_.get() + size_t(slot_) * kSlotStride + p.length, data, size_t(n));
  p.length += n;
}

void KeyPictureRing::End() {
  if (!collecting_) return;
  collecting_ = false;
  ++count_;
}

KeyPicture& KeyPictureRing::at(int index) { return pictures_[SlotOf(index)]; }

const KeyPicture& KeyPictureRing::Decoded(int index) {
  const int slot = SlotOf(index);
  KeyPicture& p = pictures_[slot];
  if (p.decoded) return p;
  p.decoded = true;
  if (!decoder_) {
    // Zeroed as the decoder expects; calloc leaves the pages of the frame stores untouched until
    // a picture is written into them.
    decoder_ = static_cast<PreviewDecoder*>(std::calloc(1, sizeof(PreviewDecoder)));
    if (!decoder_) throw std::bad_alloc();
    decoder_->extendedProfiles = true;  // key pictures of 4:2:2 and High profile video too
  }
  uint8_t* es = bytes_.get() + size_t(slot) * kSlotStride;
  EsBuffer buffer;
  buffer.data = es;
  buffer.length = p.length;
  AppendEsEndMarker(buffer);
  ResetDecoderRun(*decoder_, 0);
  ++decodes_;
  const int32_t stopped = DecodeStream(*decoder_, es, buffer.length, kSlotStride);
  if (stopped != 0 || decoder_->run.pictureCount < 1) return p;
  p.usable = true;
  p.signature = signature_of(*decoder_);
  return p;
}
