// Sequence headers in video packets and the ES they delimit (see sequence_scanner.h).
#include "mpeg2/sequence_scanner.h"

#include <cstring>

#include "ts/ts_packet.h"

namespace {

// True when p[0..3] is the sequence_header_code 00 00 01 B3 (ISO/IEC 13818-2 §6.2.2.1).
inline bool is_sequence_header(const uint8_t* p) {
  return p[0] == 0x00 && p[1] == 0x00 && p[2] == 0x01 && p[3] == 0xB3;
}

}  // namespace

SequenceScanner::SequenceScanner(EsBuffer& es, int64_t position, int32_t packetSize, bool firstPictureOnly)
    : es_(es), position_(position), ps_(packetSize), firstPictureOnly_(firstPictureOnly) {
  es_.length = 0;
}

bool SequenceHeaderSearch::Find(const uint8_t* payload, int32_t len, bool unitStart, int32_t& s,
                                int& back) {
  s = 0;
  back = 0;
  bool found = false;
  if (unitStart) {
    // The whole payload of a unit start. Its PES header is not parsed: the copy of the first
    // sequence starts at its header, and later PES headers pass into the ES, where the decoder
    // steps over them.
    for (int32_t i = 0; i + 4 <= len && !found; ++i) {
      if (is_sequence_header(payload + i)) {
        s = i;
        found = true;
      }
    }
  } else {
    // Elsewhere only the seam between the previous video payload and this one: the start code
    // may begin in the last three bytes of the previous payload. Only bytes that exist are
    // compared.
    uint8_t seam[6];
    std::memcpy(seam, carry_, 3);
    const int32_t head = len < 3 ? len : 3;
    std::memcpy(seam + 3, payload, size_t(head));
    for (int i = 0; i <= 2 && i + 4 <= 3 + head && !found; ++i) {
      if (is_sequence_header(seam + i)) {
        back = i - 3;
        found = true;
      }
    }
  }
  KeepCarry(payload, len);
  return found;
}

void SequenceHeaderSearch::KeepCarry(const uint8_t* payload, int32_t len) {
  if (len >= 3) {
    std::memcpy(carry_, payload + len - 3, 3);
    return;
  }
  for (int32_t i = 0; i < len; ++i) {
    carry_[0] = carry_[1];
    carry_[1] = carry_[2];
    carry_[2] = payload[i];
  }
}

bool SequenceScanner::Append(const uint8_t* p, int32_t n) {
  if (n <= 0) return true;
  if (int64_t(es_.length) + n > int64_t(kEsBufferSize) - kEsEndMarkerSpace) {
    full_ = true;
    return false;
  }
  std::memcpy(es_.data + es_.length, p, size_t(n));
  es_.length += n;
  return true;
}

bool SequenceScanner::FirstPictureWhole() {
  // Start codes 00 00 01 00, looked for from three bytes before the last search's end so that
  // one split over two appends is met.
  int32_t i = searched_ > 3 ? searched_ - 3 : 0;
  const int32_t length = es_.length;
  while (i + 4 <= length) {
    const void* hit = std::memchr(es_.data + i + 2, 0x01, size_t(length - 1 - (i + 2)));
    if (!hit) break;
    const int32_t k = int32_t(static_cast<const uint8_t*>(hit) - es_.data);
    if (es_.data[k - 1] == 0 && es_.data[k - 2] == 0 && es_.data[k + 1] == 0x00 && k - 2 >= searched_ - 3 &&
        ++pictureStarts_ == 2)
      return true;
    i = k - 1;
  }
  searched_ = length;
  return false;
}

SequenceScanner::Step SequenceScanner::VideoPacket(const uint8_t* packet, int64_t n) {
  const uint8_t* payload;
  int32_t len;
  if (!ts_video_payload(packet, ps_, payload, len)) return Step::GoOn;
  if (len <= 0) return Step::NoPayload;

  int32_t s;
  int back;
  const bool found = search_.Find(payload, len, ts_unit_start(packet), s, back);

  if (found) {
    ++headers_;
    if (n >= position_) ++headersAfter_;
    if (headers_ == 1) {
      prevSeq_ = lastSeq_;
      lastSeq_ = es_.length;
      // When the first header's start code began in the previous packet, its first bytes (the
      // start code's own, 00 / 00 00 / 00 00 01) are put back so the ES opens with a whole
      // sequence header.
      static const uint8_t kStartCode[3] = {0x00, 0x00, 0x01};
      if (back >= 0 || Append(kStartCode, -back)) Append(payload + s, len - s);
    } else {
      Append(payload, s);
      prevSeq_ = lastSeq_;
      lastSeq_ = int64_t(es_.length) + back;
      if (headersAfter_ >= 2) return Step::Done;
      if (!full_) Append(payload + s, len - s);
    }
  } else if (headers_ >= 1) {
    Append(payload, len);
  }
  if (firstPictureOnly_ && headers_ == 1 && headersAfter_ == 1 && FirstPictureWhole()) {
    pictureWhole_ = true;
    return Step::Done;
  }
  // Room stays for the last payload and the end marker.
  return full_ || es_.length > kEsBufferSize - 2 * ps_ ? Step::Done : Step::GoOn;
}

bool SequenceScanner::Finish(bool loneHeaderToEnd) {
  if (headers_ == 1 && loneHeaderToEnd) return es_.length > 0;   // the ES opens with that header
  if (pictureWhole_) return true;   // the ES holds the first header on, nothing before it
  if (headers_ < 2) return false;
  if (prevSeq_ > 0) {
    es_.length = int32_t(lastSeq_ - prevSeq_);
    std::memmove(es_.data, es_.data + prevSeq_, size_t(es_.length));
  }
  return true;
}
