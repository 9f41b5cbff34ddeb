// The outputs of a control-file run: the files the control file names, MODE=ALL (every packet
// into the first output, gathered into large writes) and MODE=DEMUX (each output takes the
// packets of its PID list, the PAT rewritten to name only its service). Write runs for every
// packet: inline, no allocation, no virtual call.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "common/raw_file.h"
#include "common/ts_packet.h"
#include "demux/demux_control.h"
#include "demux/psi/programme_table.h"
#include "demux/psi/table_layer.h"
#include "ts/ts_packet.h"

// MODE=DEMUX gathers each output's packets and writes them 256 at a time; every buffer is written
// out before the summary and at closing, so the files are the same as with one write per packet,
// and a failed write still ends the run with its message.
constexpr size_t kDemuxGatherSize = 256 * kPacketSize;
constexpr uint32_t kPatPid = 0x0000;
constexpr uint32_t kNitPid = 0x0010;

// After a write that fell short (a full disk): drops the part of a packet it left at the end of
// the output, so that the output holds whole packets, as far as they got.
void keep_whole_packets(RawHandle output);

// The files of a control record, created for one run and closed after it.
class OutputFiles {
 public:
  // Creates every output of control in order (an existing file is replaced, or written on after
  // its end with append). -1 when all were created; otherwise the index of the first that could
  // not be, those before it closed again.
  int Open(const DemuxControl& control, bool append = false);
  // Closes every output; false when a close failed (what the system still held may be lost).
  bool Close();
  int count() const { return count_; }
  RawHandle handle(int i) const { return files_[i].get(); }

 private:
  RawFile files_[kMaxOutputs];
  int count_ = 0;
};

// MODE=ALL: every packet, unchanged, into one file. The packets are not copied: the writer keeps
// the run of consecutive packets it was handed in the reader's block and writes it straight from
// there, when packets do not follow the run (bytes dropped by a resync) and before the reader's
// next top-up moves or reads over them (kPointsIntoReadData: the loop calls Flush() then).
class AllModeWriter {
 public:
  static constexpr bool kPointsIntoReadData = true;
  // first: the first output, or kInvalidRawHandle when there is none (the packets go nowhere).
  void Start(RawHandle first);
  // Takes count consecutive packets from first; false when writing out a run they do not follow
  // fell short.
  bool Append(const uint8_t* first, size_t count) {
    if (first != runEnd_) {
      if (!Flush()) return false;
      runStart_ = first;
    }
    runEnd_ = first + count * kPacketSize;
    return true;
  }
  // Writes out the run and forgets it; false when the write fell short.
  bool Flush();

 private:
  const uint8_t* runStart_ = nullptr;
  const uint8_t* runEnd_ = nullptr;
  RawHandle first_ = kInvalidRawHandle;
};

// The one-programme PAT written in place of a PAT packet (ISO/IEC 13818-1 2.4.4.3): the input
// packet's header with its continuity counter, one section naming the service, or the network
// PID entry and the service with networkEntry; the rest of the 188 bytes 0xFF.
void build_service_pat(const uint8_t* packet, uint16_t transportStreamId, uint8_t version,
                       const Service& service, bool networkEntry, uint8_t* out);

// MODE=DEMUX: each output its PIDs.
class DemuxModeWriter {
 public:
  static constexpr bool kPointsIntoReadData = false;   // it copies what it keeps
  DemuxModeWriter();
  void Start(const DemuxControl& control, const OutputFiles& files, const TableLayer& tables,
             bool keepNetworkEntry);
  bool Write(const uint8_t* packet, uint32_t pid) {
    const int current = tables_->currentTable();
    const int serviceCount = current >= 0 ? tables_->table(current).serviceCount : -1;
    // Matching depends only on the services' ids and PMT PIDs, which change with the PAT alone.
    if (pid == kPatPid || current != matchTable_ || serviceCount != matchServiceCount_)
      MatchServices(current, serviceCount);
    for (int i = 0; i < outputCount_; ++i) {
      if (!(pidSets_[size_t(i) * kPidSetBytes + (pid >> 3)] & (1u << (pid & 7)))) continue;
      const uint8_t* out = packet;
      if (pid == kPatPid && matched_[i] >= 0) {
        build_service_pat(packet, tables_->transportStreamId(), tables_->patVersion(),
                          tables_->table(current).services[matched_[i]], keepNetworkEntry_, pat_);
        out = pat_;
      }
      uint8_t* gathered = buffers_.get() + size_t(i) * kDemuxGatherSize;
      std::memcpy(gathered + used_[i], out, kPacketSize);
      used_[i] += kPacketSize;
      if (used_[i] == kDemuxGatherSize) {
        used_[i] = 0;
        if (raw_write(gathered, 1, kDemuxGatherSize, files_->handle(i)) != kDemuxGatherSize) {
          keep_whole_packets(files_->handle(i));
          return false;
        }
      }
    }
    return true;
  }
  // Writes out every output's gathered packets; false when a write fell short (the other outputs
  // still get theirs).
  bool Flush();

 private:
  static constexpr size_t kPidSetBytes = 8192 / 8;
  // Per output, the service of the current programme table it matches, -1 for none: the first
  // service whose id is the output's (or, without one, whose PMT PID is in its list) in PID-list
  // order.
  void MatchServices(int current, int serviceCount);

  const DemuxControl* control_ = nullptr;
  const OutputFiles* files_ = nullptr;
  const TableLayer* tables_ = nullptr;
  bool keepNetworkEntry_ = false;
  int outputCount_ = 0;
  std::unique_ptr<uint8_t[]> buffers_;   // kMaxOutputs * kDemuxGatherSize
  size_t used_[kMaxOutputs] = {};
  // Per output: which of the 8192 PIDs it takes (the PID list as a set).
  std::unique_ptr<uint8_t[]> pidSets_;   // kMaxOutputs * kPidSetBytes
  int matched_[kMaxOutputs];
  int matchTable_ = -2;                  // the table and service count matched_ was made for
  int matchServiceCount_ = -1;
  uint8_t pat_[kPacketSize];
};
