// Measuring an input recording from its PCRs: the PCR PID, the first and last PCR, a bitrate
// estimate from the PCRs near the start, and the total playing time by one of three methods.
// Two windows of at most 50001 packets are read, at the head and the tail, whatever the file size.
#pragma once
#include <cstdint>
#include "common/message_sink.h"
#include "common/raw_file.h"
#include "common/ts_packet.h"
#include "core/scan_window.h"

constexpr int kPcrWindowPackets = kScanWindowPackets;   // packets of one measuring window
constexpr uint32_t kCutterReadBufferSize = 4194304;  // the cutter's shared read buffer (4 MiB)
constexpr int kMaxPcrSamples = 99;             // rate samples between the first 100 PCRs
constexpr int32_t kNoPcrMs = 2147483647;       // "no PCR found yet"

// Result codes of ScanPcrWindow.
constexpr int kScanSeekError = 200;
constexpr int kScanSyncLimit = 201;
constexpr int kScanNoResync = 202;

// Total-time methods: [1] first and last PCR, [2] estimate from the head, [3] automatic.
enum TotalTimeMethod : int32_t { kMethodFirstLast = 0, kMethodEstimate = 1, kMethodAutomatic = 2 };

struct InputMeasurement {
  int32_t totalMs = 0;
  int32_t startPcrMs = 0;
  int32_t endPcrMs = 0;
  int32_t pcrPid = 0;
  // Working values, kept for callers that show them (the command line does).
  int32_t pcrHeadMs = kNoPcrMs;
  int32_t pcrTailMs = kNoPcrMs;   // unwrapped once MeasureInput succeeds
  int32_t rateEstimate = 0;       // bits per second, lower median of the head samples
  int pcrCount = 0;               // PCRs seen in the head window
};

// Why MeasureInput failed, for callers that say it in their own words.
enum class MeasureFailure {
  None,
  Missing,      // no such file
  CannotOpen,
  ReadError,    // ScanPcrWindow's code (kScanSeekError, kScanSyncLimit, kScanNoResync)
  NoPcr,        // no PCR in the head or in the tail window
};

class PcrScanner {
 public:
  // readBuffer: kCutterReadBufferSize bytes owned by the caller (shared with other users in turn).
  PcrScanner(uint8_t* readBuffer, int32_t packetSize = kPacketSize) : buffer_(readBuffer), packetSize_(packetSize) {}

  // Measures the file at path (size in bytes as path_file_size gives it). 0 on success; 1 on
  // failure, after reporting the reason through sink (nothing is reported for a missing file).
  int MeasureInput(const char* path, double size, int32_t method, MessageSink& sink);
  // Scans one window of the open file from packet start: the head window (tail false) finds the
  // PCR PID, the first PCR and the rate samples; the tail window (tail true) the last PCR.
  int ScanPcrWindow(RawHandle file, int32_t start, bool tail);

  const InputMeasurement& result() const { return m_; }
  // Why the last MeasureInput failed (None after a success), and the window scan's code of a
  // ReadError.
  MeasureFailure failure() const { return failure_; }
  int failureCode() const { return failureCode_; }

 private:
  uint8_t* buffer_;
  int32_t packetSize_;
  InputMeasurement m_;
  MeasureFailure failure_ = MeasureFailure::None;
  int failureCode_ = 0;
  double rateSamples_[kMaxPcrSamples] = {};
};
