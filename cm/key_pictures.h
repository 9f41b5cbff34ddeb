// The key pictures of the programme's video, the last few kept as elementary-stream bytes so that
// those around a silence can be decoded once the silence is known, and a small signature of a
// decoded picture (mean luma of a grid of cells) to tell a change of scene from motion.
#pragma once
#include <cstdint>
#include <memory>

struct PreviewDecoder;

// Key pictures kept: at two a second this reaches eight seconds back, more than audio and video
// are ever apart in a multiplex plus the longest silence that can bound a commercial.
constexpr int kKeyPictureSlots = 16;
// Bytes of one key picture's PES kept (sequence header to the end of the PES); an intra picture
// of a 1080-line broadcast takes well under half of it. What does not fit is left out and the
// picture's lower part decodes as damage.
constexpr int32_t kKeyPictureBytes = 1 << 20;

// Mean luma of kSignatureColumns x kSignatureRows cells of the picture.
constexpr int kSignatureColumns = 16;
constexpr int kSignatureRows = 9;
struct PictureSignature {
  uint8_t cells[kSignatureColumns * kSignatureRows] = {};
};
// How far two pictures lie apart: the mean absolute difference of their cells, over 255 (0: the
// same, 1: black against white everywhere).
float picture_change(const PictureSignature& a, const PictureSignature& b);

struct KeyPicture {
  int64_t ms = 0;          // presentation time on the recording's clock
  int64_t packet = -1;     // packet number where its PES (and sequence header) starts
  int32_t length = 0;      // bytes kept
  bool decoded = false;    // signature worked out
  bool usable = false;     // it decoded into a picture
  PictureSignature signature;
};

// Fixed ring of the last kKeyPictureSlots key pictures; nothing is allocated after construction
// but the decoder's frame stores, whose pages are touched only as far as pictures reach.
class KeyPictureRing {
 public:
  KeyPictureRing();
  ~KeyPictureRing();
  KeyPictureRing(const KeyPictureRing&) = delete;
  KeyPictureRing& operator=(const KeyPictureRing&) = delete;

  // A video PES that starts with a sequence header begins a key picture at packet, time ms; the
  // oldest slot is reused. Bytes of the PES follow with Append until End (the next PES starts).
  void Begin(int64_t packet, int64_t ms);
  void Append(const uint8_t* data, int32_t size);
  // The picture in progress is complete; it joins the ring.
  void End();
  bool collecting() const { return collecting_; }

  // Pictures held, oldest first (index 0 .. count() - 1).
  int count() const { return count_; }
  KeyPicture& at(int index);
  // Decodes the picture (once) and returns it with its signature.
  const KeyPicture& Decoded(int index);
  // Pictures decoded so far (for figures).
  int64_t decodes() const { return decodes_; }

 private:
  int SlotOf(int index) const { return (first_ + index) % kKeyPictureSlots; }

  KeyPicture pictures_[kKeyPictureSlots];
  std::unique_ptr<uint8_t[]> bytes_;   // kKeyPictureSlots x (kKeyPictureBytes + end marker)
  PreviewDecoder* decoder_ = nullptr;  // allocated zeroed on first use
  int first_ = 0;
  int count_ = 0;
  bool collecting_ = false;
  int slot_ = 0;                       // slot being filled
  int64_t decodes_ = 0;
};
