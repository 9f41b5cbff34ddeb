// Extraction of one video sequence for the preview, and the preview driver (see extract.h).
#include "mpeg2/extract.h"

#include <cstdio>
#include <cstring>

#include "common/bytes.h"
#include "common/raw_file.h"
#include "common/ts_packet.h"
#include "common/timefmt.h"

namespace {

constexpr int64_t kTwoTo32 = int64_t(1) << 32;

// True when p[0..3] is the sequence_header_code 00 00 01 B3 (ISO/IEC 13818-2 §6.2.2.1).
inline bool is_sequence_header(const uint8_t* p) {
  return p[0] == 0x00 && p[1] == 0x00 && p[2] == 0x01 && p[3] == 0xB3;
}

// PCR in milliseconds, rounded half up, computed exactly: base * 300 + extension ticks of 27 MHz.
int32_t pcr_ms(const uint8_t* packet) {
  uint32_t high, low;
  pcr_base_read(packet + 6, high, low);
  const uint32_t ext = be_read16(packet + 10) & 0x1FF;
  const uint64_t ticks = ((uint64_t(high) << 32) | low) * 300 + ext;
  return int32_t((ticks * 1000 + 13500000) / 27000000);
}

// Appends payload bytes to the ES, never beyond the room that must stay free for the end marker.
// False when they do not fit (the caller then ends the scan as with a full buffer).
bool es_append(EsBuffer& es, const uint8_t* p, int32_t n) {
  if (n <= 0) return true;
  if (int64_t(es.length) + n > int64_t(kEsBufferSize) - kEsEndMarkerSpace) return false;
  std::memcpy(es.data + es.length, p, size_t(n));
  es.length += n;
  return true;
}

}  // namespace

int CollectVideoSequence(const SequenceSource& src, int32_t position, int32_t videoPid,
                         uint8_t* readBuffer, EsBuffer& es, int32_t& pcrMs) {
  const int64_t ps = src.packetSize;
  es.length = 0;
  // Packets are at least the 188 bytes of ISO/IEC 13818-1 (header and adaptation field fit).
  if (ps < kPacketSize || 3 * ps > kPreviewReadSize) return kExtractSeekFailed;

  // Window: normally the packets from the position on; near the end the last packets of the file.
  const int64_t packets = int64_t(src.inputSize / double(ps));
  const int64_t p = position;
  int64_t first = p;
  if (packets < p + kPreviewWindowPackets) {
    first = packets - kPreviewWindowPackets;
    if (first < 0) first = 0;
  }
  int64_t last = p + kPreviewWindowPackets;
  if (packets <= last) last = packets - 1;
  const int64_t count = last - first + 1;

  // A negative position (packet texts of 80000000 and above read back negative) names no packet
  // of the file: the window cannot be positioned.
  if (first < 0) return kExtractSeekFailed;
  const double offset = double(first) * double(ps);
  const int64_t high = int64_t(offset / double(kTwoTo32));
  const int64_t low = int64_t(offset - double(high) * double(kTwoTo32));
  if (raw_seek(src.file, uint32_t(low), int32_t(high), 0) == -1) return kExtractSeekFailed;
  // An empty window (no whole packet in the file, by the size given) is not scanned at all, so a
  // stale size can never turn the scan into a read of the whole file.
  if (count <= 0) return kExtractNoSequence;

  const bool readPcr = src.pcrPid != videoPid;
  int32_t buffered = 0;
  int32_t cursor = 0;
  bool eof = false;
  int losses = 0;
  int k = 0, k2 = 0;
  int64_t prevSeq = -1, lastSeq = -1;
  uint8_t carry[3] = {0xFF, 0xFF, 0xFF};
  int64_t processed = 0;
  int64_t n = first;
  bool full = false;

  for (;;) {
    if (buffered < ps * 1024 && !eof) {
      std::memmove(readBuffer, readBuffer + cursor, size_t(buffered));
      cursor = 0;
      const int32_t want = kPreviewReadSize - buffered;
      const size_t got = raw_read(readBuffer + buffered, 1, size_t(want), src.file);
      if (got < size_t(want)) eof = true;
      buffered += int32_t(got);
    }
    if (buffered < ps) break;   // at end of file (a refill leaves more whenever more exists)

    if (readBuffer[cursor] != 0x47) {
      if (++losses >= kSyncLossLimit) return kExtractSyncLimit;
      // Three sync bytes a packet apart, looked for only inside what is buffered.
      const int64_t tries = int64_t(buffered) - 3 * ps;
      int64_t j = 0;
      for (; j < tries; ++j) {
        const uint8_t* q = readBuffer + cursor + j;
        if (q[0] == 0x47 && q[ps] == 0x47 && q[2 * ps] == 0x47) break;
      }
      if (j >= tries) return kExtractNoResync;
      cursor += int32_t(j);
      buffered -= int32_t(j);
    }

    const uint8_t* pkt = readBuffer + cursor;
    const int32_t pid = int32_t(be_read13(pkt + 1));
    const bool adaptation = (pkt[3] & 0x20) != 0;
    const bool payloadFlag = (pkt[3] & 0x10) != 0;

    if (pid == videoPid && payloadFlag) {
      const bool unitStart = (pkt[1] & 0x40) != 0;
      int64_t h = 4;
      if (adaptation) h += 1 + pkt[4];
      // An adaptation_field_length that runs past the packet is damage: the packet is passed
      // over like one without payload rather than read beyond its end.
      if (h <= ps) {
        const int32_t len = int32_t(ps - h);
        if (len <= 0) return kExtractNoPayload;
        const uint8_t* payload = pkt + h;

        bool found = false;
        int32_t s = 0;
        int back = 0;
        if (unitStart) {
          for (int32_t i = 0; i + 4 <= len; ++i) {
            if (is_sequence_header(payload + i)) {
              found = true;
              s = i;
              break;
            }
          }
        } else {
          // Seam between the previous video payload and this one: the start code may begin in
          // the last three bytes of the previous payload. Only bytes that exist are compared.
          uint8_t seam[6];
          std::memcpy(seam, carry, 3);
          const int32_t head = len < 3 ? len : 3;
          std::memcpy(seam + 3, payload, size_t(head));
          for (int i = 0; i <= 2 && i + 4 <= 3 + head; ++i) {
            if (is_sequence_header(seam + i)) {
              found = true;
              back = i - 3;
              break;
            }
          }
        }

        // The carry is the last three bytes of the video payload stream so far.
        if (len >= 3) {
          std::memcpy(carry, payload + len - 3, 3);
        } else {
          for (int32_t i = 0; i < len; ++i) {
            carry[0] = carry[1];
            carry[1] = carry[2];
            carry[2] = payload[i];
          }
        }

        if (found) {
          ++k;
          if (n >= p) ++k2;
          if (k == 1) {
            prevSeq = lastSeq;
            lastSeq = es.length;
            // When the first header's start code began in the previous packet, its first bytes
            // (the start code's own, 00 / 00 00 / 00 00 01) are put back so the ES opens with a
            // whole sequence header.
            if (back < 0) {
              static const uint8_t kStartCode[3] = {0x00, 0x00, 0x01};
              full = !es_append(es, kStartCode, -back);
            }
            if (!full) full = !es_append(es, payload + s, len - s);
          } else {
            full = !es_append(es, payload, s);
            prevSeq = lastSeq;
            lastSeq = int64_t(es.length) + back;
            if (k2 >= 2) break;
            if (!full) full = !es_append(es, payload + s, len - s);
          }
        } else if (k >= 1) {
          full = !es_append(es, payload, len);
        }
      }
    } else if (readPcr && pid == src.pcrPid) {
      if (adaptation && pkt[4] > 0 && (pkt[5] & 0x10)) pcrMs = pcr_ms(pkt);
    }

    ++processed;
    if (full || es.length > kEsBufferSize - 2 * ps) break;
    if (processed == count) break;
    cursor += int32_t(ps);
    buffered -= int32_t(ps);
    ++n;
  }

  if (k < 2) return kExtractNoSequence;
  if (prevSeq > 0) {
    es.length = int32_t(lastSeq - prevSeq);
    std::memmove(es.data, es.data + prevSeq, size_t(es.length));
  }
  return kExtractOk;
}

void AppendEsEndMarker(EsBuffer& es) {
  static const uint8_t kPictureStart[4] = {0x00, 0x00, 0x01, 0x00};
  std::memcpy(es.data + es.length, kPictureStart, 4);
  es.length += 4;
  std::memset(es.data + es.length, 0, kEsEndMarkerSpace - 4);
  es.length += kEsEndMarkerCounted - 4;
}

uint8_t* preview_es_buffer() {
  static uint8_t buffer[kEsBufferSize];
  return buffer;
}

namespace {

// Clears a busy flag on every way out of the routine that set it.
class BusyFlag {
 public:
  explicit BusyFlag(int32_t* flag) : flag_(flag) {
    if (flag_) *flag_ = 1;
  }
  ~BusyFlag() {
    if (flag_) *flag_ = 0;
  }
  BusyFlag(const BusyFlag&) = delete;
  BusyFlag& operator=(const BusyFlag&) = delete;

 private:
  int32_t* flag_;
};

void clear_pcr_range(PreviewRequest& request) {
  request.pcrRangeSet = true;
  request.pcrRangeText[0] = '\0';
}

}  // namespace

int PreviewDriver::ExtractPreviewStream(PreviewRequest& request, MessageSink& sink) {
  lastExtractCode_ = -1;
  request.pcrRangeSet = false;
  if (request.jobRunning && *request.jobRunning) return 1;
  BusyFlag busy(request.jobRunning);
  if (request.previewEnabled != 1) return 0;

  if (request.programmeCount <= 0) {
    sink.Report(MessageKind::Status,
                "状態：映像ﾊﾟｹｯﾄが検出できません。→入力元TSファイル名などを再確認");
    clear_pcr_range(request);
    return 1;
  }
  const int32_t position = request.activePoint == 0 ? request.startPacket : request.endPacket;

  es_.length = 0;
  RawFile file(request.inputPath, "rb");
  if (!file.ok()) {
    sink.Report(MessageKind::Status, "状態：入力元TSファイルが開けません。");
    clear_pcr_range(request);
    return 1;
  }
  SequenceSource src;
  src.file = file.get();
  src.inputSize = request.inputSize;
  src.packetSize = request.packetSize;
  src.pcrPid = request.pcrPid;
  int32_t& pcrMs = request.activePoint == 0 ? request.startPcrMs : request.endPcrMs;
  const int code = CollectVideoSequence(src, position, request.videoPid, readBuffer_, es_, pcrMs);
  file.Close();
  lastExtractCode_ = code;
  if (code >= 100) {
    char text[128];
    std::snprintf(text, sizeof text, "状態：映像ﾃﾞｰﾀが抽出できません（ｴﾗｰｺｰﾄﾞ=%d）。", code);
    sink.Report(MessageKind::Status, text);
    clear_pcr_range(request);
    return 1;
  }

  AppendEsEndMarker(es_);

  char from[16], to[16];
  ms_to_text(request.startPcrMs, from);
  ms_to_text(request.endPcrMs, to);
  request.pcrRangeSet = true;
  std::snprintf(request.pcrRangeText, sizeof request.pcrRangeText, "PCR：[%s～%s]", from, to);
  return 0;
}

int PreviewDriver::DecodePreviewStream(const PreviewRequest& request, MessageSink& sink,
                                       uint8_t* dib) {
  if (decoding_) return 1;
  decoding_ = true;
  ResetDecoderRun(decoder_, request.stopDecodeOnError);
  target_.dib = dib;
  target_.converted = false;
  decoder_.pictureStartHook = ConvertPicture;
  decoder_.pictureStartContext = &target_;
  DecodeStream(decoder_, es_.data, es_.length, kEsBufferSize);
  decoder_.pictureStartHook = nullptr;
  decoder_.pictureStartContext = nullptr;
  decoding_ = false;

  const int32_t error = decoder_.run.errorCode;
  char text[128];
  if (error == kErrorUnsupportedProfile) {
    std::snprintf(text, sizeof text, "状態：サポートしてない画像形式です（ｴﾗｰｺｰﾄﾞ=%d）。", error);
    sink.Report(MessageKind::Status, text);
    return 3;
  }
  if (error == kDecodeOk) {
    sink.Report(MessageKind::Status, "状態：正常");
    return 0;
  }
  std::snprintf(text, sizeof text, "状態：デコードエラーが発生しました（ｴﾗｰｺｰﾄﾞ=%d）。", error);
  sink.Report(MessageKind::Status, text);
  return 4;
}
