// Gathering one MPEG-2 video sequence from the transport packets of its PID: finds the sequence
// header start codes in the payloads and copies the payloads from the first header on into the
// elementary-stream buffer, up to the second header at or after the wanted packet.
#pragma once
#include <cstdint>

#include "ts/ts_packet.h"

// Elementary-stream buffer: one sequence of a 1080i broadcast fits with a wide margin.
constexpr int32_t kEsBufferSize = 20971520;
// End marker: a picture start code, then 128 zero bytes of which 8 count towards esLength, so
// the decoder finishes the last picture and its bit reader may look ahead without leaving data.
constexpr int32_t kEsEndMarkerSpace = 4 + 128;
constexpr int32_t kEsEndMarkerCounted = 4 + 8;

// The elementary stream a preview works on. data holds kEsBufferSize bytes.
struct EsBuffer {
  uint8_t* data = nullptr;
  int32_t length = 0;   // esLength: valid bytes, end marker included once it is appended
};

// The search for sequence header start codes (00 00 01 B3) in the payloads of one video PID, in
// file order. In a payload that starts a PES packet the whole payload is searched; elsewhere only
// the seam with the previous video payload (a start code whose first bytes ended that payload). A
// start code wholly inside a continuation payload is not looked for: broadcasters open a PES
// packet with the sequence header, and the search stays cheap.
class SequenceHeaderSearch {
 public:
  // One video payload (len > 0). True when a sequence header begins in it at offset s (back 0),
  // or began back bytes (-3..-1) before it at the end of the previous video payload (s 0).
  bool Find(const uint8_t* payload, int32_t len, bool unitStart, int32_t& s, int& back);

 private:
  void KeepCarry(const uint8_t* payload, int32_t len);
  uint8_t carry_[3] = {0xFF, 0xFF, 0xFF};   // last three bytes of the video payloads so far
};

// The payload of a video packet for the search: false for a packet without one (the flag clear,
// or an adaptation_field_length that runs past the packet, which is damage and is passed over
// rather than read beyond); len 0 for a packet that flags a payload its header and adaptation
// field leave no room for.
inline bool ts_video_payload(const uint8_t* packet, int32_t packetSize, const uint8_t*& payload,
                             int32_t& len) {
  if (!ts_has_payload(packet)) return false;
  const int32_t h = int32_t(ts_payload_offset(packet));
  if (h > packetSize) return false;
  payload = packet + h;
  len = packetSize - h;
  return true;
}

class SequenceScanner {
 public:
  enum class Step { GoOn, Done, NoPayload };

  // Empties es. position: the packet number from which a sequence is wanted; packetSize: the
  // packet stride (at least 188). firstPictureOnly: when the first header met lies at or after
  // the position, the scan is Done as soon as the ES holds that sequence's first picture whole
  // (the next picture's start code has been copied), which is all a decoder of one picture reads.
  SequenceScanner(EsBuffer& es, int64_t position, int32_t packetSize, bool firstPictureOnly = false);

  // One packet of the video PID with packet number n. Done once the second sequence header at
  // or after the position has been met (its bytes are not kept) or the ES buffer is full;
  // NoPayload for a packet that flags a payload but whose header and adaptation field fill it.
  Step VideoPacket(const uint8_t* packet, int64_t n);

  // After the last packet: false when fewer than two sequence headers were met. Otherwise the
  // ES is cut to the last complete sequence gathered (from the last header but one up to the
  // last), which is the first one at or after the position when two headers followed it. With
  // loneHeaderToEnd, a single header met is also a sequence: from it to the end of what was read
  // (a short recording may hold one header, which no later header closes).
  bool Finish(bool loneHeaderToEnd = false);

 private:
  // Appends payload bytes, never into the room the end marker needs; false (and the scan is
  // full) when they do not fit.
  bool Append(const uint8_t* p, int32_t n);
  // In the firstPictureOnly case: true once two picture start codes follow the first header.
  bool FirstPictureWhole();

  EsBuffer& es_;
  int64_t position_;
  int32_t ps_;
  int headers_ = 0;           // sequence headers met (k)
  int headersAfter_ = 0;      // of them at or after the position (k2)
  int64_t prevSeq_ = -1;      // ES offsets of the last header but one and the last header
  int64_t lastSeq_ = -1;
  SequenceHeaderSearch search_;
  bool full_ = false;
  bool firstPictureOnly_ = false;
  bool pictureWhole_ = false;
  int pictureStarts_ = 0;       // picture start codes met in the ES so far (firstPictureOnly)
  int32_t searched_ = 0;        // ES bytes searched for them
};
