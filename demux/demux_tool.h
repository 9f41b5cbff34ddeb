// The demux tool as a library: one DemuxTool runs whole command lines in-process, as the kerfdmx
// program does and as the kerf command line may. Its surroundings (standard output, the caller's
// window, the lock file, sleeping) come through DemuxHost so tests and other front ends can
// replace them.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/raw_file.h"
#include "demux/demux_control.h"
#include "demux/demux_options.h"
#include "demux/psi/programme_table.h"

class TableLayer;

class DemuxHost {
 public:
  virtual ~DemuxHost() = default;
  // Bytes for standard output (Shift-JIS text, lines ending in a line feed).
  virtual void Print(const char* text, size_t length) = 0;
  // Posts a registered message to a caller window; non-zero when it was handed over.
  virtual int Post(uint32_t handle, uint32_t message, uint32_t wparam, uint32_t lparam) = 0;
  virtual uint32_t RegisterMessage(const char* name) = 0;
  // True while the caller's lock file exists.
  virtual bool LockFileExists(const char* path) = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// The real surroundings: stdout, registered window messages, the file system.
class PlatformDemuxHost : public DemuxHost {
 public:
  void Print(const char* text, size_t length) override;
  int Post(uint32_t handle, uint32_t message, uint32_t wparam, uint32_t lparam) override;
  uint32_t RegisterMessage(const char* name) override;
  bool LockFileExists(const char* path) override;
  void Sleep(uint32_t ms) override;
};

// Counters of one run, printed in the summary.
struct DemuxCounters {
  uint32_t packetsProcessed = 0;
  uint32_t nullPackets = 0;
  uint32_t syncLosses = 0;
};

constexpr uint32_t kPacketSize = 188;
constexpr uint8_t kSyncByte = 0x47;
constexpr size_t kReadBufferSize = 770048;       // 4096 packets per block read
constexpr size_t kRefillThreshold = 192512;      // refill below 1024 packets held
constexpr uint32_t kSyncLossLimit = 1000;
constexpr size_t kAllBufferSize = 1048576;       // MODE=ALL output gathering
constexpr size_t kAllFlushThreshold = 838860;    // write out once this much is gathered
constexpr size_t kPatScratchSize = 1024;         // synthesised PAT; 188 bytes are used
// MODE=DEMUX gathers each output's packets and writes them 256 at a time; every buffer is
// written out before the summary and at closing, so the files are the same as with one write
// per packet, and a failed write still ends the run with its message.
constexpr size_t kDemuxGatherSize = 256 * kPacketSize;
constexpr char kMessageName[] = "KERFCUT_00";

class DemuxTool {
 public:
  DemuxTool(DemuxHost& host, const char* programFolder);
  ~DemuxTool();
  DemuxTool(const DemuxTool&) = delete;
  DemuxTool& operator=(const DemuxTool&) = delete;

  // A whole run for one command line (token 0 = the tool's path), ending with the two completion
  // posts. stop, when given and set (Ctrl-C), ends the packet loop as the lock file's removal does.
  // Returns the exit status: the result of the last completion post.
  int Run(const char* commandLine, const std::atomic<bool>* stop = nullptr);

  // What the last run saw; for front ends and tests.
  const DemuxCounters& counters() const { return counters_; }
  const TableLayer& tables() const { return *tables_; }
  const DemuxOptions& options() const { return options_; }

 private:
  enum class LoopEnd { Normal, Failed };

  void Print(const char* text);
  void Reset();
  bool OpenOutputs();
  void CloseOutputs();
  LoopEnd PacketLoop(RawHandle input);
  bool PacketStep(const uint8_t* packet);
  bool WriteAll(const uint8_t* packet);
  bool WriteDemux(const uint8_t* packet, uint32_t pid);
  // Writes out every gathered MODE=DEMUX buffer; false (message printed) when a write fell short.
  bool FlushDemux();
  int MatchService(int output);
  void BuildPat(const uint8_t* packet, const Service& service);
  void PrintSummary();

  DemuxHost& host_;
  char programFolder_[kPathBuffer] = {};
  char lockPath_[kPathBuffer + 16] = {};
  const std::atomic<bool>* stop_ = nullptr;
  uint32_t message_ = 0;

  std::unique_ptr<CommandLineStore> commandLine_;
  DemuxOptions options_;
  std::unique_ptr<DemuxControl> control_;
  std::unique_ptr<TableLayer> tables_;
  DemuxCounters counters_;

  std::unique_ptr<uint8_t[]> readBuffer_;    // kReadBufferSize
  std::unique_ptr<uint8_t[]> allBuffer_;     // kAllBufferSize
  size_t allUsed_ = 0;
  uint8_t patScratch_[kPatScratchSize];

  RawHandle outputHandles_[kMaxOutputs];
  std::unique_ptr<uint8_t[]> demuxBuffers_;  // kMaxOutputs * kDemuxGatherSize
  size_t demuxUsed_[kMaxOutputs] = {};
  bool writeFailed_ = false;                 // the write-error message was printed in this run
  // Per output: which of the 8192 PIDs it takes (the PID list as a set).
  std::unique_ptr<uint8_t[]> pidSets_;       // kMaxOutputs * 1024 bytes
  // Per output: the matched service of the current programme table, recomputed when the table
  // grows or changes (matching only depends on the services' ids and PMT PIDs).
  int matchedService_[kMaxOutputs];
  int matchTable_ = -2;
  int matchServiceCount_ = -1;

  uint32_t packetsToProcess_ = 0;
  int lastPercent_ = -1;
};
