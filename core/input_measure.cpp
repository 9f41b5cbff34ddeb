// Measuring an input recording from its PCRs (see input_measure.h).
#include "core/input_measure.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "common/path.h"
#include "common/timefmt.h"
#include "ts/packet_reader.h"

namespace {
constexpr int kHeadPcrLimit = 100;
}  // namespace

int PcrScanner::ScanPcrWindow(RawHandle file, int32_t start, bool tail) {
  const uint32_t ps = uint32_t(packetSize_);
  PacketReader reader(buffer_, PacketReaderConfig::Blocks(kCutterReadBufferSize, ps));
  if (!reader.BeginAt(file, uint64_t(uint32_t(start)) * ps)) return kScanSeekError;

  long double lastPcrSeconds = 0;
  int32_t lastPcrPacket = 0;
  for (int32_t count = 0; count < kPcrWindowPackets; ++count) {
    const uint8_t* p = reader.Next();
    if (p == nullptr) {
      if (reader.end() == TsReadEnd::SyncLossLimit) return kScanSyncLimit;
      if (reader.end() == TsReadEnd::NoResync) return kScanNoResync;
      break;
    }
    if (!ts_has_pcr(p)) continue;
    const TsPcr pcr = ts_pcr(p);
    const int32_t pid = int32_t(ts_pid(p));
    const long double seconds = pcr_to_seconds(pcr.base, pcr.extension);
    if (tail) {
      if (pid == m_.pcrPid) m_.pcrTailMs = seconds_to_ms(seconds);
    } else if (m_.pcrCount == 0) {
      m_.pcrHeadMs = seconds_to_ms(seconds);
      m_.pcrPid = pid;
      lastPcrPacket = count;
      lastPcrSeconds = seconds;
      m_.pcrCount = 1;
    } else if (pid == m_.pcrPid) {
      double sample = 0;
      if (seconds > lastPcrSeconds) {
        sample = double(static_cast<long double>(count - lastPcrPacket) * ps * 8 /
                        (seconds - lastPcrSeconds));
      }
      rateSamples_[m_.pcrCount - 1] = sample;
      lastPcrPacket = count;
      lastPcrSeconds = seconds;
      if (++m_.pcrCount >= kHeadPcrLimit) break;
    }
  }

  if (!tail) {
    const int n = m_.pcrCount - 1;
    m_.rateEstimate = 0;
    if (n > 0) {
      std::sort(rateSamples_, rateSamples_ + n);
      // PCRs a few ticks apart over many packets give rates beyond any int32_t (damage, not a
      // broadcast); such an estimate stays at the largest rate the record holds.
      const double median = rateSamples_[(n - 1) / 2] + 0.5;
      m_.rateEstimate = median >= double(INT32_MAX) ? INT32_MAX : int32_t(median);
    }
  }
  return 0;
}

int PcrScanner::MeasureInput(const char* path, double size, int32_t method, MessageSink& sink) {
  m_ = InputMeasurement{};
  failure_ = MeasureFailure::None;
  failureCode_ = 0;
  if (!path_exists(path)) {
    failure_ = MeasureFailure::Missing;
    return 1;
  }

  char text[kPathBuffer + 128];
  RawFile file(path, "rb");
  if (!file.ok()) {
    std::snprintf(text, sizeof text, "%sが開けません.", path);
    sink.Report(MessageKind::Error, text);
    failure_ = MeasureFailure::CannotOpen;
    return 1;
  }
  int code = ScanPcrWindow(file.get(), 0, false);
  if (code == 0) {
    const double packets = size / packetSize_;
    const int32_t start = packets - kScanWindowLast > 0 ? int32_t(packets - kScanWindowLast) : 0;
    code = ScanPcrWindow(file.get(), start, true);
  }
  file.Close();
  if (code != 0) {
    std::snprintf(text, sizeof text, "%sの読み込みでエラーが発生しました（ｴﾗｰｺｰﾄﾞ=%d）.", path, code);
    sink.Report(MessageKind::Error, text);
    failure_ = MeasureFailure::ReadError;
    failureCode_ = code;
    return 1;
  }
  if (m_.pcrHeadMs == kNoPcrMs || m_.pcrTailMs == kNoPcrMs) {
    sink.Report(MessageKind::Error, "PCRが検出できません.");
    failure_ = MeasureFailure::NoPcr;
    return 1;
  }
  if (m_.pcrTailMs < m_.pcrHeadMs) m_.pcrTailMs += kPcrWrapMs;

  switch (method) {
    case kMethodFirstLast:
      m_.totalMs = m_.pcrTailMs - m_.pcrHeadMs;
      break;
    case kMethodEstimate:
      m_.totalMs = bitrate_to_total(m_.rateEstimate, size);
      break;
    case kMethodAutomatic: {
      m_.totalMs = m_.pcrTailMs - m_.pcrHeadMs;
      const int32_t r = total_to_bitrate(m_.totalMs, size);
      // The first/last PCR total stands while the average bitrate it implies lies within
      // +-10 % (bounds included) of the estimate from the head of the file.
      if (m_.rateEstimate * 0.9 > r || r > m_.rateEstimate * 1.1)
        m_.totalMs = bitrate_to_total(m_.rateEstimate, size);
      break;
    }
    default:
      m_.totalMs = 0;
      break;
  }
  m_.startPcrMs = m_.pcrHeadMs;
  m_.endPcrMs = m_.pcrTailMs;
  return 0;
}
