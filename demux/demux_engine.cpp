// The demux engine's run: control file and outputs, the packet loop, the information file, the
// summary and the progress link to the caller (see demux_engine.h).
#include "demux/demux_engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "demux/psi/table_layer.h"
#include "demux/work_files.h"
#include "ts/ts_packet.h"

namespace {

// The steady clock in nanoseconds (the engine's header keeps plain counts).
int64_t steady_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

constexpr uint32_t kOpenRange = 0x7FFFFFFF;   // packets to process when the end is open

const char kWriteError[] = "DEMUX用のファイルの書き込みでエラーが発生しました.\n";

}  // namespace

DemuxEngine::DemuxEngine(DemuxHost& host, const char* programFolder)
    : host_(host),
      control_(new DemuxControl),
      tables_(new TableLayer),
      readBuffer_(kDemuxReadBlockSize, true) {
  std::snprintf(programFolder_, sizeof programFolder_, "%s", programFolder);
  std::snprintf(lockPath_, sizeof lockPath_, "%s%s", programFolder_, kLockFileName);
  message_ = host_.RegisterMessage(kMessageName);
}

DemuxEngine::~DemuxEngine() = default;

void DemuxEngine::Print(const char* text) { host_.Print(text, std::strlen(text)); }

void DemuxEngine::WriteError() {
  Fail(DemuxFailure::WriteError);
  if (!writeErrorPrinted_) Print(kWriteError);
  writeErrorPrinted_ = true;
}

DemuxResult DemuxEngine::Run(const DemuxJob& job) {
  job_ = &job;
  *control_ = DemuxControl{};
  tables_->Reset();
  tables_->SetObserver(job.tables);
  packetsToProcess_ = 0;
  packetsProcessed_ = 0;
  nullPackets_ = 0;
  syncLosses_ = 0;
  lastPercent_ = -1;
  percentCheckAt_ = 0;
  giveWayCreditNs_ = 0;
  giveWayLookNs_ = steady_ns();
  writeErrorPrinted_ = false;
  failure_ = DemuxFailure::None;
  badControlLine_ = 0;

  DemuxResult result;
  const bool ready = job.request == DemuxRequest::Control     ? OpenControl(result)
                     : job.request == DemuxRequest::Information ? InformationApart(result)
                                                                : true;
  if (ready) ReadInput(result);
  // What was gathered before a failure still reaches the outputs; the final MODE=ALL write may
  // fail after the summary, which then stands but the run has failed.
  if (!CloseOutputs() && demux_succeeded(result)) result.outcome = DemuxOutcome::OutputError;
  result.summary = Summary();
  result.failure = failure_;
  result.badControlLine = badControlLine_;
  job_ = nullptr;
  return result;
}

bool DemuxEngine::OpenControl(DemuxResult& result) {
  int badLine = 0;
  switch (ReadDemuxControl(job_->requestPath, *control_, badLine)) {
    case ControlStatus::Ok:
      break;
    case ControlStatus::CannotOpen:
      Fail(DemuxFailure::CannotOpenControl);
      Print("DEMUX情報ファイルが開けません.\n");
      result.outcome = DemuxOutcome::ControlFileError;
      return false;
    case ControlStatus::BadLine: {
      char text[96];
      std::snprintf(text, sizeof text, "DEMUX情報ファイルの記述が正しくありません(%d行目).\n", badLine);
      Print(text);
      Fail(DemuxFailure::BadControlLine);
      badControlLine_ = badLine;
      result.outcome = DemuxOutcome::ControlFileError;
      return false;
    }
  }
  // Creating an output truncates it: one that is the recording would destroy it, and two outputs
  // that are one file would write over each other. Such a file is refused before any is created.
  if (!OutputsApart(result)) {
    result.outcome = DemuxOutcome::OutputError;
    return false;
  }
  // An output that cannot be created stops the run before it starts, without a message.
  result.uncreatedOutput = outputs_.Open(*control_, job_->appendOutputs);
  const int created = result.uncreatedOutput >= 0 ? result.uncreatedOutput : control_->outputCount;
  for (int i = 0; i < created; ++i) result.written.emplace_back(control_->outputs[i].path);
  if (result.uncreatedOutput < 0) return true;
  result.outcome = DemuxOutcome::OutputError;
  return false;
}

bool DemuxEngine::OutputsApart(DemuxResult& result) {
  constexpr int kApart = -3;
  for (int i = 0; i < control_->outputCount; ++i) {
    const char* path = control_->outputs[i].path;
    int sameAs = path_same_file(path, job_->inputPath) ? kClashInput : kApart;
    for (int k = 0; k < i && sameAs == kApart; ++k)
      if (path_same_target(path, control_->outputs[k].path)) sameAs = k;
    if (sameAs == kApart) continue;
    char text[kPathBuffer + 96];
    std::snprintf(text, sizeof text,
                  sameAs == kClashInput ? "出力ファイル(%s)は入力TSファイルと同じファイルです.\n"
                                        : "出力ファイル(%s)が重複して指定されています.\n",
                  path);
    Print(text);
    if (result.clashingOutput < 0) {
      result.clashingOutput = i;
      result.clashesWith = sameAs;
    }
  }
  return result.clashingOutput < 0;
}

bool DemuxEngine::InformationApart(DemuxResult& result) {
  if (!path_same_file(job_->requestPath, job_->inputPath)) return true;
  char text[kPathBuffer + 96];
  std::snprintf(text, sizeof text, "DEMUX情報ファイル(%s)は入力TSファイルと同じファイルです.\n", job_->requestPath);
  Print(text);
  result.clashingOutput = kInformationClash;
  result.clashesWith = kClashInput;
  result.outcome = DemuxOutcome::OutputError;
  return false;
}

void DemuxEngine::ReadInput(DemuxResult& result) {
  RawFile input(job_->inputPath, "rb");
  if (!input.ok()) {
    char text[kPathBuffer * 4 + 64];
    std::snprintf(text, sizeof text, "入力TSファイルが開けません(%s).\n", job_->inputPath);
    Print(text);
    Fail(DemuxFailure::CannotOpenInput);
    result.outcome = DemuxOutcome::InputError;
    return;
  }
  LoopEnd end = RunLoop(input.get());
  const bool normal = end == LoopEnd::Done || end == LoopEnd::Stopped;
  // MODE=DEMUX's gathered packets belong to the run: a failure to write them fails it.
  if (normal && !demuxWriter_.Flush()) {
    WriteError();
    end = LoopEnd::WriteFailed;
  }
  switch (end) {
    case LoopEnd::Done: result.outcome = DemuxOutcome::Done; break;
    case LoopEnd::Stopped: result.outcome = DemuxOutcome::Stopped; break;
    case LoopEnd::InputFailed: result.outcome = DemuxOutcome::InputError; return;
    case LoopEnd::WriteFailed: result.outcome = DemuxOutcome::OutputError; return;
  }
  if (job_->request == DemuxRequest::Information) {
    DemuxInfoOptions info;
    info.programFolder = programFolder_;
    info.firstProgrammeOnly = job_->firstProgrammeOnly;
    info.excludeEcmAndData = job_->excludeEcmAndData;
    // A file that cannot be written leaves the run's outcome as it is.
    if (WriteDemuxInfo(job_->requestPath, *tables_, info)) result.written.emplace_back(job_->requestPath);
  }
  char text[kSummaryTextSize];
  format_summary(Summary(), text);
  Print(text);
}

uint32_t DemuxEngine::NextPercentCheck() const {
  // The per cent, p x 100 / total in double precision, never falls as p grows, so it can first
  // reach lastPercent_ + 1 at about (lastPercent_ + 1) x total / 100. A few packets before that
  // estimate the exact formula is used again (packet by packet until it changes), so the posts
  // and lock-file tests fall on exactly the packets where the per cent changes.
  const double estimate = double(lastPercent_ + 1) * double(packetsToProcess_) / 100.0 - 2.0;
  const uint32_t next = packetsProcessed_ + 1;
  return estimate > double(next) ? (estimate >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(estimate)) : next;
}

DemuxEngine::LoopEnd DemuxEngine::StoppedAt() const {
  // A stop seen at the last packet of the range leaves nothing out.
  return packetsProcessed_ < packetsToProcess_ ? LoopEnd::Stopped : LoopEnd::Done;
}

DemuxSummary DemuxEngine::Summary() const {
  DemuxSummary s;
  s.packets = packetsProcessed_;
  s.distinctPids = tables_->distinctPids();
  s.descriptorKinds = tables_->descriptorKinds();
  s.nullPackets = nullPackets_;
  s.syncLosses = syncLosses_;
  s.crcErrors = tables_->crcErrors();
  return s;
}

bool DemuxEngine::CloseOutputs() {
  bool ok = true;
  if (!demuxWriter_.Flush()) {
    WriteError();
    ok = false;
  }
  if (!allWriter_.Flush()) {
    WriteError();
    ok = false;
  }
  allWriter_.Start(kInvalidRawHandle);
  if (!outputs_.Close()) ok = false;
  return ok;
}

DemuxEngine::LoopEnd DemuxEngine::RunLoop(RawHandle input) {
  const int32_t s = job_->startPacket, e = job_->endPacket;
  PacketReaderConfig config = PacketReaderConfig::Blocks(kDemuxReadBlockSize);
  config.ring = readBuffer_.mirrored();
  PacketReader reader(readBuffer_.get(), config);
  bool positioned;
  if (s > 0) {
    packetsToProcess_ = e > s ? uint32_t(e - s) + 1 : e >= 0 ? 1 : kOpenRange;
    positioned = reader.BeginAt(input, uint64_t(uint32_t(s)) * kPacketSize);
  } else {
    packetsToProcess_ = e >= 0 ? uint32_t(e) + 1 : kOpenRange;
    positioned = reader.Begin(input);
  }
  if (!positioned) {
    Fail(DemuxFailure::Seek);
    Print("シークエラーが発生しました.\n");
    return LoopEnd::InputFailed;
  }
  if (job_->request != DemuxRequest::Control) {
    NoWriter none;
    return PacketLoop(none, reader);
  }
  if (control_->mode == DemuxMode::All) {
    allWriter_.Start(outputs_.count() > 0 ? outputs_.handle(0) : kInvalidRawHandle);
    return PacketLoop(allWriter_, reader);
  }
  demuxWriter_.Start(*control_, outputs_, *tables_, job_->keepNetworkEntry);
  return PacketLoop(demuxWriter_, reader);
}

namespace {

// One stretch of packets through the table layer and (MODE=DEMUX) the writer; MODE=ALL writes the
// stretch where it stands in the reader's block before the block's data moves. Returns the packets
// passed: fewer than count when a write failed, counting those before the one being written.
// Inlined into the packet loop, so that the loop's counters and the reader stay in registers.
template <typename Writer>
[[gnu::always_inline]] inline size_t pass_stretch(Writer& writer, PacketReader& reader, TableLayer& tables,
                                                  const uint8_t* first, size_t count, uint32_t& nulls) {
  // Each packet goes to the table layer and then (MODE=DEMUX) to the writer: what the tables
  // learn from a packet applies to the packet itself.
  size_t done = 0;
  for (const uint8_t* packet = first; done < count; ++done, packet += kPacketSize) {
    const uint32_t pid = ts_pid(packet);
    if (pid == kTsNullPid) {
      tables.CountPid(pid);
      ++nulls;
    } else {
      tables.HandlePacket(packet, pid);
    }
    if constexpr (!Writer::kPointsIntoReadData) {
      if (!writer.Write(packet, pid)) break;
    }
  }
  if constexpr (Writer::kPointsIntoReadData) {
    if (!writer.Append(first, count)) {
      done = 0;
    } else if (!reader.NextKeepsData() && !writer.Flush()) {
      done = count - 1;
    }
  }
  return done;
}

}  // namespace

template <typename Writer>
DemuxEngine::LoopEnd DemuxEngine::PacketLoop(Writer& writer, PacketReader reader) {
  TableLayer& tables = *tables_;
  const bool checks = job_->stop || job_->giveWay;
  LoopEnd end = LoopEnd::Done;
  // The counts live in registers; the members get them back at each bookkeeping point and at
  // the end.
  uint32_t processed = packetsProcessed_;
  uint32_t nulls = nullPackets_;
  // The next count at which more than the packet is due: a per-cent check, a look at the stop
  // flag and the give-way count (at least every kStopCheckPackets packets) or the range's end.
  auto nextDue = [&] {
    uint32_t due = std::min(percentCheckAt_, packetsToProcess_);
    if (checks && due - processed > kStopCheckPackets) due = processed + kStopCheckPackets;
    return due;
  };
  uint32_t due = nextDue();
  for (;;) {
    // A stretch of packets up to the next bookkeeping point: the quick ones straight from the
    // reader's block, or one packet through the reader's slower steps (a top-up, a resync).
    const uint8_t* first;
    size_t count = reader.NextRun(due - processed, first);
    if (count == 0) {
      first = reader.Next();
      if (!first) break;
      count = 1;
    }
    const size_t done = pass_stretch(writer, reader, tables, first, count, nulls);
    processed += uint32_t(done);
    if (done < count) {
      WriteError();
      end = LoopEnd::WriteFailed;
      break;
    }
    if (processed < due) continue;
    packetsProcessed_ = processed;
    if (!Bookkeeping(processed, end) || processed >= packetsToProcess_) break;
    due = nextDue();
  }
  packetsProcessed_ = processed;
  nullPackets_ = nulls;
  syncLosses_ = reader.syncLosses();
  return ReaderEnd(reader.end(), end);
}

bool DemuxEngine::Bookkeeping(uint32_t processed, LoopEnd& end) {
  // Progress: each whole per cent once; the lock file is looked at only then.
  if (processed >= percentCheckAt_) {
    const int percent = int(double(processed) * 100.0 / double(packetsToProcess_));
    if (percent != lastPercent_) {
      host_.Post(job_->callerWindow, message_, kProgressPost, uint32_t(percent));
      if (!host_.LockFileExists(lockPath_)) {
        end = StoppedAt();
        return false;
      }
    }
    lastPercent_ = percent;
    percentCheckAt_ = NextPercentCheck();
  }
  const std::atomic<bool>* const stop = job_->stop;
  const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
  // The run waits while others' work is marked, but never for longer than it has run since it last
  // waited (saved up to 100 ms): a client asking for pictures without a pause halves a cut's speed
  // at worst, and cannot hold it still.
  if (const std::atomic<int>* giveWay = job_->giveWay) {
    constexpr int64_t kStepNs = 1'000'000, kMostSavedNs = 100'000'000;
    const int64_t now = steady_ns();
    giveWayCreditNs_ = std::min(giveWayCreditNs_ + (now - giveWayLookNs_), kMostSavedNs);
    while (giveWayCreditNs_ >= kStepNs && giveWay->load(std::memory_order_relaxed) > 0 && !stopped()) {
      std::this_thread::sleep_for(std::chrono::nanoseconds(kStepNs));
      giveWayCreditNs_ -= kStepNs;
    }
    giveWayLookNs_ = steady_ns();
  }
  if (stopped()) {
    end = StoppedAt();
    return false;
  }
  return true;
}

DemuxEngine::LoopEnd DemuxEngine::ReaderEnd(TsReadEnd why, LoopEnd end) {
  // The reader tells why it handed out no packet; the end of the file ends the run normally.
  switch (why) {
    case TsReadEnd::None:
    case TsReadEnd::EndOfFile:
      break;
    case TsReadEnd::SyncLossLimit:
      Fail(DemuxFailure::SyncLossLimit);
      Print("SYNC BYTEエラーが規定値を超えました.\n");
      return LoopEnd::InputFailed;
    case TsReadEnd::NoResync:
      Fail(DemuxFailure::NoResync);
      Print("再同期エラー：SYNC BYTEが見つかりません.\n");
      return LoopEnd::InputFailed;
    case TsReadEnd::ReadError:
      Fail(DemuxFailure::ReadError);
      Print("入力TSファイルの読み込みでエラーが発生しました.\n");
      return LoopEnd::InputFailed;
  }
  return end;
}
