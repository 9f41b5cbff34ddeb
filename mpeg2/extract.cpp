// Extraction of one video sequence for the preview, and the preview driver (see extract.h).
#include "mpeg2/extract.h"

#include <cstdio>
#include <cstring>

#include "common/timefmt.h"
#include "ts/packet_reader.h"

namespace {

// PCR in milliseconds, rounded half up, computed exactly from the 27 MHz ticks.
int32_t pcr_ms(const TsPcr& pcr) { return int32_t((pcr.ticks() * 1000 + 13500000) / 27000000); }

}  // namespace

PreviewWindow preview_window(double inputSize, int32_t packetSize, int32_t position) {
  const int64_t packets = int64_t(inputSize / double(packetSize));
  const int64_t p = position;
  PreviewWindow w;
  w.first = p;
  if (packets < p + kPreviewWindowPackets) {
    w.first = packets - kPreviewWindowPackets;
    if (w.first < 0) w.first = 0;
  }
  int64_t last = p + kPreviewWindowPackets;
  if (packets <= last) last = packets - 1;
  w.count = last - w.first + 1;
  return w;
}

namespace {

// Scans the packets of window for the sequence at or after position (see CollectVideoSequence).
int CollectInWindow(const SequenceSource& src, const PreviewWindow& window, int32_t position, int32_t videoPid,
                    uint8_t* readBuffer, EsBuffer& es, int32_t& pcrMs) {
  es.length = 0;
  const PacketReaderConfig config =
      PacketReaderConfig::Blocks(kPreviewReadSize, uint32_t(src.packetSize));
  if (!config.usable()) return kExtractSeekFailed;
  PacketReader reader(readBuffer, config);
  if (!reader.BeginAt(src.file, uint64_t(window.first) * config.packetSize))
    return kExtractSeekFailed;
  // An empty window (no whole packet in the file, by the size given) is not scanned at all, so a
  // stale size can never turn the scan into a read of the whole file.
  if (window.count <= 0) return kExtractNoSequence;

  SequenceScanner scanner(es, position, src.packetSize, src.firstPictureOnly);
  const bool readPcr = src.pcrPid != videoPid;
  for (int64_t n = window.first; n < window.first + window.count; ++n) {
    const uint8_t* packet = reader.Next();
    if (packet == nullptr) {
      if (reader.end() == TsReadEnd::SyncLossLimit) return kExtractSyncLimit;
      if (reader.end() == TsReadEnd::NoResync) return kExtractNoResync;
      break;
    }
    const int32_t pid = int32_t(ts_pid(packet));
    if (pid == videoPid) {
      const SequenceScanner::Step step = scanner.VideoPacket(packet, n);
      if (step == SequenceScanner::Step::NoPayload) return kExtractNoPayload;
      if (step == SequenceScanner::Step::Done) break;
    } else if (readPcr && pid == src.pcrPid && ts_has_pcr(packet)) {
      pcrMs = pcr_ms(ts_pcr(packet));
    }
  }
  return scanner.Finish(src.loneHeaderToEnd) ? kExtractOk : kExtractNoSequence;
}

}  // namespace

int CollectVideoSequence(const SequenceSource& src, int32_t position, int32_t videoPid,
                         uint8_t* readBuffer, EsBuffer& es, int32_t& pcrMs) {
  es.length = 0;
  const PreviewWindow window = preview_window(src.inputSize, src.packetSize, position);
  // A negative position (packet texts of 80000000 and above read back negative) names no packet
  // of the file: the window cannot be positioned.
  if (window.first < 0) return kExtractSeekFailed;
  // Near the end of the file the window reaches back before the position. Wanting only the first
  // picture, the packets from the position on are tried first: a sequence starting there whose
  // first picture is whole is what the wider window would give, without reading up to 100,000
  // packets before it.
  if (src.firstPictureOnly && window.first < position) {
    const PreviewWindow ahead{position, window.first + window.count - position};
    if (CollectInWindow(src, ahead, position, videoPid, readBuffer, es, pcrMs) == kExtractOk) return kExtractOk;
  }
  return CollectInWindow(src, window, position, videoPid, readBuffer, es, pcrMs);
}

void AppendEsEndMarker(EsBuffer& es) {
  static const uint8_t kPictureStart[4] = {0x00, 0x00, 0x01, 0x00};
  std::memcpy(es.data + es.length, kPictureStart, 4);
  es.length += 4;
  std::memset(es.data + es.length, 0, kEsEndMarkerSpace - 4);
  es.length += kEsEndMarkerCounted - 4;
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
  src.loneHeaderToEnd = request.loneHeaderToEnd;
  src.firstPictureOnly = request.firstPictureOnly;
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
  // A picture larger than the frame store is refused like an unsupported profile: the run stops
  // before anything of it is stored, and the preview keeps the picture it showed.
  if (error == kErrorUnsupportedProfile || error == kErrorPictureTooLarge) {
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
