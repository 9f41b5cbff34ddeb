// The demux engine's typed front door: a job in (the input, the packet range, an information or
// a control-file request, the caller's window, options), a result out (the outcome, the summary's
// counters, the files written). kerfdmx's command line and kerf both drive it; neither reads its
// printed text to learn what happened. The engine prints the tool's messages and summary through
// its host, where a front end may show them.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/path.h"
#include "demux/demux_control.h"
#include "demux/demux_host.h"
#include "demux/demux_summary.h"
#include "demux/output_writers.h"
#include "ts/packet_reader.h"

// The input is read in blocks of 4096 packets (770048 bytes), topped up when fewer than 1024
// packets are held.
constexpr size_t kDemuxReadBlockSize = 4096 * kPacketSize;
// A job's stop flag and give-way count are looked at least this often (in packets), between the
// per-cent checks.
constexpr uint32_t kStopCheckPackets = 1024;

class TableLayer;
class TableObserver;

enum class DemuxRequest {
  None,          // read the range, count and print the summary, write nothing
  Information,   // then write the information file describing the programmes found
  Control,       // read the control file first and write the outputs it names during the run
};

struct DemuxJob {
  const char* inputPath = "";            // used as given
  int32_t startPacket = -1;              // first packet; -1 or 0 from the start of the file
  int32_t endPacket = -1;                // last packet (inclusive); -1 to the end of the file
  DemuxRequest request = DemuxRequest::None;
  const char* requestPath = "";          // the information file to write or the control file to read
  bool firstProgrammeOnly = false;       // Information: only the first programme's block
  bool excludeEcmAndData = false;        // Information: no ECM lines, no streams of class D or ECM
  bool keepNetworkEntry = false;         // Control: the one-programme PAT keeps the network entry
  bool appendOutputs = false;            // Control: outputs are written after what they hold
  uint32_t callerWindow = 0;            // receives the progress posts; 0 for none
  const std::atomic<bool>* stop = nullptr;   // when set (Ctrl-C), ends the run as the lock file's removal does
  // When given: while the count is above zero (work a person waits for is running, such as a
  // picture being decoded), the run pauses, so that work has the cores to itself.
  const std::atomic<int>* giveWay = nullptr;
  TableObserver* tables = nullptr;       // when set, told of the tables as the run parses them
};

constexpr int kClashInput = -1;          // DemuxResult::clashesWith: the output is the input file
constexpr int kInformationClash = -2;    // DemuxResult::clashingOutput: the information file is the input

enum class DemuxOutcome {
  Done,               // the range was read to its end or to the end of the file
  Stopped,            // the lock file went or the stop flag was set; the summary was printed
  InputError,         // the input could not be opened, positioned or read, or its sync was lost for good
  OutputError,        // an output could not be created or written
  ControlFileError,   // the control file could not be opened or has a wrong line
  UsageError,         // the command line was refused (kerfdmx's front end only)
};

// Which of the engine's messages a failed run printed, for front ends that say it in their own
// words.
enum class DemuxFailure {
  None,
  CannotOpenControl,   // the control file could not be opened
  BadControlLine,      // a line of the control file is wrong (DemuxResult::badControlLine)
  CannotOpenInput,
  Seek,                // the input could not be positioned at the range's start
  SyncLossLimit,       // too many packets without the sync byte
  NoResync,            // the sync was lost and not found again
  ReadError,
  WriteError,          // writing an output failed
};

struct DemuxResult {
  DemuxOutcome outcome = DemuxOutcome::Done;
  DemuxFailure failure = DemuxFailure::None;   // the first failure message printed
  int badControlLine = 0;              // BadControlLine: the line, from 1
  DemuxSummary summary;                // the counters as the run left them, printed or not
  int uncreatedOutput = -1;            // OutputError before the run: the output that could not be created
  // OutputError before the run, nothing created: the first output refused because it is the input
  // file (clashesWith kClashInput) or the same file as an earlier output (clashesWith its index);
  // kInformationClash when the information file to write is the input.
  int clashingOutput = -1;
  int clashesWith = -1;
  std::vector<std::string> written;    // the files created: the information file or the outputs
};

// True for the two outcomes after which the summary was printed and the outputs are complete as
// far as the run went.
inline bool demux_succeeded(const DemuxResult& r) {
  return r.outcome == DemuxOutcome::Done || r.outcome == DemuxOutcome::Stopped;
}

class DemuxEngine {
 public:
  // programFolder (ending in the path separator) holds the caller's lock file, and the NAME=
  // lines of an information file point into it.
  DemuxEngine(DemuxHost& host, const char* programFolder);
  ~DemuxEngine();
  DemuxEngine(const DemuxEngine&) = delete;
  DemuxEngine& operator=(const DemuxEngine&) = delete;

  // One run over the job's range; the engine starts fresh every time.
  DemuxResult Run(const DemuxJob& job);

  DemuxHost& host() { return host_; }
  const char* programFolder() const { return programFolder_; }
  // The registered message that progress and completion posts carry.
  uint32_t message() const { return message_; }
  // The programme tables of the last run.
  const TableLayer& tables() const { return *tables_; }

 private:
  enum class LoopEnd { Done, Stopped, InputFailed, WriteFailed };
  // Writes nothing: a run without a control file.
  struct NoWriter {
    static constexpr bool kPointsIntoReadData = false;
    bool Write(const uint8_t*, uint32_t) { return true; }
  };

  void Print(const char* text);
  // Records the run's first failure (the one a front end names).
  void Fail(DemuxFailure failure) {
    if (failure_ == DemuxFailure::None) failure_ = failure;
  }
  // Prints the write-error message once per run.
  void WriteError();
  // Reads the control file and creates its outputs; false (outcome set) when the run cannot start.
  bool OpenControl(DemuxResult& result);
  // Prints a line for every output that is the input file or the same file as an earlier output
  // (by identity, however each is spelt) and records the first; true when there is none.
  bool OutputsApart(DemuxResult& result);
  // False (outcome set, message printed) when the information file to write is the input file.
  bool InformationApart(DemuxResult& result);
  // Reads the range and, at a normal end, writes the information file and prints the summary.
  void ReadInput(DemuxResult& result);
  // Positions a reader at the range's start and runs the packet loop with the job's writer.
  LoopEnd RunLoop(RawHandle input);
  // Every packet of the range: counted, handed to the table layer, written, progress posted. The
  // reader is the loop's own copy, so that its state stays in registers across the loop.
  template <typename Writer>
  LoopEnd PacketLoop(Writer& writer, PacketReader reader);
  // At a bookkeeping point: the per-cent post and lock-file look, then the stop flag; false (end
  // set) when the run stops there.
  bool Bookkeeping(uint32_t processed, LoopEnd& end);
  // The loop's end once the reader has stopped: a damaged or unreadable input overrides end
  // (message printed); the end of the file leaves it as it is.
  LoopEnd ReaderEnd(TsReadEnd why, LoopEnd end);
  // The first count of packets processed at which the per cent done may exceed lastPercent_.
  uint32_t NextPercentCheck() const;
  // The loop's end through the lock file or the stop flag.
  LoopEnd StoppedAt() const;
  DemuxSummary Summary() const;
  // Writes out what the writers hold and closes the outputs; false when a write fell short or a
  // close failed.
  bool CloseOutputs();

  DemuxHost& host_;
  char programFolder_[kPathBuffer] = {};
  char lockPath_[kPathBuffer + 16] = {};
  uint32_t message_ = 0;

  std::unique_ptr<DemuxControl> control_;
  std::unique_ptr<TableLayer> tables_;
  RawBlock readBuffer_;   // the reader's blocks
  OutputFiles outputs_;
  AllModeWriter allWriter_;
  DemuxModeWriter demuxWriter_;

  // The run in progress.
  const DemuxJob* job_ = nullptr;
  uint32_t packetsToProcess_ = 0;
  uint32_t packetsProcessed_ = 0;
  uint32_t nullPackets_ = 0;
  uint32_t syncLosses_ = 0;
  int lastPercent_ = -1;
  // The per cent done is worked out again only from this many packets processed on: before it,
  // it cannot have changed.
  uint32_t percentCheckAt_ = 0;
  // Giving way: the time the run may still spend waiting, earned by working (see Bookkeeping), and
  // when it last looked.
  int64_t giveWayCreditNs_ = 0;
  int64_t giveWayLookNs_ = 0;   // steady clock
  bool writeErrorPrinted_ = false;
  DemuxFailure failure_ = DemuxFailure::None;
  int badControlLine_ = 0;
};
