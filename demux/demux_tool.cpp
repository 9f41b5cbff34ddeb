// The demux tool's run: command line, control file and outputs, the packet loop with sync
// recovery, output writing, the information file, the summary and the link to the caller.
#include "demux/demux_tool.h"

#include <cstdio>
#include <cstring>

#include "common/path.h"
#include "demux/psi/table_layer.h"
#include "platform/gui_link.h"
#include "platform/platform.h"

void PlatformDemuxHost::Print(const char* text, size_t length) {
  std::fwrite(text, 1, length, stdout);
  std::fflush(stdout);
}
int PlatformDemuxHost::Post(uint32_t handle, uint32_t message, uint32_t wparam, uint32_t lparam) {
  return post_message(handle, message, wparam, lparam);
}
uint32_t PlatformDemuxHost::RegisterMessage(const char* name) { return register_message(name); }
bool PlatformDemuxHost::LockFileExists(const char* path) { return path_exists(path) != 0; }
void PlatformDemuxHost::Sleep(uint32_t ms) { sleep_ms(ms); }

namespace {

constexpr uint32_t kNullPid = 0x1FFF;
constexpr uint32_t kPatPid = 0x0000;
constexpr uint32_t kNitPid = 0x0010;
constexpr uint32_t kOpenRange = 0x7FFFFFFF;
constexpr uint32_t kProgressPost = 1;
constexpr uint32_t kCompletionPost = 2;
constexpr size_t kPidSetBytes = 8192 / 8;
// Three sync bytes 188 apart, and the packet after the third held too, before a resync is taken.
constexpr size_t kResyncWindow = 3 * kPacketSize;

const char kWriteError[] = "DEMUX用のファイルの書き込みでエラーが発生しました.\n";

}  // namespace

DemuxTool::DemuxTool(DemuxHost& host, const char* programFolder)
    : host_(host),
      commandLine_(new CommandLineStore),
      control_(new DemuxControl),
      tables_(new TableLayer),
      readBuffer_(new uint8_t[kReadBufferSize]),
      allBuffer_(new uint8_t[kAllBufferSize]),
      demuxBuffers_(new uint8_t[kMaxOutputs * kDemuxGatherSize]),
      pidSets_(new uint8_t[kMaxOutputs * kPidSetBytes]) {
  std::snprintf(programFolder_, sizeof programFolder_, "%s", programFolder);
  std::snprintf(lockPath_, sizeof lockPath_, "%slockfile", programFolder_);
  for (auto& h : outputHandles_) h = kInvalidRawHandle;
}

DemuxTool::~DemuxTool() { CloseOutputs(); }

void DemuxTool::Print(const char* text) { host_.Print(text, std::strlen(text)); }

void DemuxTool::Reset() {
  options_ = DemuxOptions{};
  *control_ = DemuxControl{};
  tables_->Reset();
  counters_ = DemuxCounters{};
  allUsed_ = 0;
  packetsToProcess_ = 0;
  lastPercent_ = -1;
  matchTable_ = -2;
  matchServiceCount_ = -1;
  for (auto& m : matchedService_) m = -1;
  for (auto& h : outputHandles_) h = kInvalidRawHandle;
  for (auto& n : demuxUsed_) n = 0;
  writeFailed_ = false;
}

int DemuxTool::Run(const char* commandLine, const std::atomic<bool>* stop) {
  Reset();
  stop_ = stop;
  message_ = host_.RegisterMessage(kMessageName);
  CommandLineStore& store = *commandLine_;
  // A line beyond the copy is refused whole: a cut line could name another file.
  bool fits = SplitCommandLine(commandLine, store) == 0;

  if (!fits) {
    Print(OptionErrorText(OptionError::UnknownOption));
  } else if (store.count < 2) {
    Print(OptionErrorText(OptionError::NoCallerWindow));
  } else if (OptionError e = ParseOptions(store, programFolder_, options_); e != OptionError::None) {
    Print(OptionErrorText(e));
  } else {
    bool ready = true;
    if (options_.controlMode) {
      int badLine = 0;
      switch (ReadDemuxControl(options_.controlPath, *control_, badLine)) {
        case ControlStatus::Ok:
          ready = OpenOutputs();
          break;
        case ControlStatus::CannotOpen:
          Print("DEMUX情報ファイルが開けません.\n");
          ready = false;
          break;
        case ControlStatus::BadLine: {
          char text[96];
          std::snprintf(text, sizeof text, "DEMUX情報ファイルの記述が正しくありません(%d行目).\n",
                        badLine);
          Print(text);
          ready = false;
          break;
        }
      }
    }
    if (ready) {
      RawHandle input = raw_open(options_.inputPath, "rb");
      if (input == kInvalidRawHandle) {
        char text[kCommandLineCopy + 64];   // the input path is a token of the command line
        std::snprintf(text, sizeof text, "入力TSファイルが開けません(%s).\n", options_.inputPath);
        Print(text);
      } else {
        LoopEnd end = PacketLoop(input);
        if (end == LoopEnd::Normal && !FlushDemux()) end = LoopEnd::Failed;
        if (end == LoopEnd::Normal) {
          if (options_.infoOutput) {
            DemuxInfoOptions info;
            info.programFolder = programFolder_;
            info.firstProgrammeOnly = options_.firstProgrammeOnly;
            info.excludeEcmAndData = options_.excludeEcmAndData;
            WriteDemuxInfo(options_.infoPath, *tables_, info);
          }
          PrintSummary();
        }
        raw_close(input);
      }
    }
    CloseOutputs();
  }

  host_.Post(options_.callerWindow, message_, kCompletionPost, 0);
  host_.Sleep(100);
  return host_.Post(options_.callerWindow, message_, kCompletionPost, 0);
}

bool DemuxTool::OpenOutputs() {
  std::memset(pidSets_.get(), 0, kMaxOutputs * kPidSetBytes);
  for (int i = 0; i < control_->outputCount; ++i) {
    const DemuxOutputSpec& desc = control_->outputs[i];
    outputHandles_[i] = raw_open(desc.path, "wb");
    if (outputHandles_[i] == kInvalidRawHandle) {
      CloseOutputs();
      return false;
    }
    uint8_t* set = pidSets_.get() + i * kPidSetBytes;
    for (int k = 0; k < desc.pidCount; ++k)
      if (desc.pids[k] <= kNullPid) set[desc.pids[k] >> 3] |= uint8_t(1u << (desc.pids[k] & 7));
  }
  return true;
}

void DemuxTool::CloseOutputs() {
  FlushDemux();
  if (allUsed_ > 0) {
    RawHandle first = control_->outputCount > 0 ? outputHandles_[0] : kInvalidRawHandle;
    if (first != kInvalidRawHandle && raw_write(allBuffer_.get(), 1, allUsed_, first) != allUsed_)
      Print(kWriteError);
    allUsed_ = 0;
  }
  for (auto& h : outputHandles_) {
    if (h != kInvalidRawHandle) raw_close(h);
    h = kInvalidRawHandle;
  }
}

DemuxTool::LoopEnd DemuxTool::PacketLoop(RawHandle input) {
  const int32_t s = options_.startPacket, e = options_.endPacket;
  if (s > 0) {
    uint64_t offset = uint64_t(uint32_t(s)) * kPacketSize;
    if (raw_seek(input, uint32_t(offset), int32_t(offset >> 32), 0) != 0) {
      Print("シークエラーが発生しました.\n");
      return LoopEnd::Failed;
    }
    packetsToProcess_ = e > s ? uint32_t(e - s) + 1 : e >= 0 ? 1 : kOpenRange;
  } else {
    packetsToProcess_ = e >= 0 ? uint32_t(e) + 1 : kOpenRange;
  }

  uint8_t* const buffer = readBuffer_.get();
  size_t cursor = 0, held = 0;
  bool eof = false;
  for (;;) {
    if (held < kRefillThreshold && !eof) {
      std::memmove(buffer, buffer + cursor, held);
      cursor = 0;
      size_t want = kReadBufferSize - held;
      size_t got = raw_read(buffer + held, 1, want, input);
      if (got < want) eof = true;
      held += got;
    }
    if (held < kPacketSize && eof) return LoopEnd::Normal;
    if (buffer[cursor] != kSyncByte) {
      if (++counters_.syncLosses >= kSyncLossLimit) {
        Print("SYNC BYTEエラーが規定値を超えました.\n");
        return LoopEnd::Failed;
      }
      // Only what is held is searched; with less than three packets' worth there is nothing to
      // look through.
      size_t span = held > kResyncWindow ? held - kResyncWindow : 0;
      size_t i = 0;
      while (i < span && !(buffer[cursor + i] == kSyncByte &&
                           buffer[cursor + i + kPacketSize] == kSyncByte &&
                           buffer[cursor + i + 2 * kPacketSize] == kSyncByte))
        ++i;
      if (i == span) {
        Print("再同期エラー：SYNC BYTEが見つかりません.\n");
        return LoopEnd::Failed;
      }
      cursor += i;
      held -= i;
    }
    if (!PacketStep(buffer + cursor)) return LoopEnd::Failed;
    ++counters_.packetsProcessed;

    int percent = int(double(counters_.packetsProcessed) * 100.0 / double(packetsToProcess_));
    if (percent != lastPercent_) {
      host_.Post(options_.callerWindow, message_, kProgressPost, uint32_t(percent));
      if (!host_.LockFileExists(lockPath_)) return LoopEnd::Normal;
    }
    lastPercent_ = percent;
    if (stop_ && stop_->load(std::memory_order_relaxed)) return LoopEnd::Normal;
    if (counters_.packetsProcessed >= packetsToProcess_) return LoopEnd::Normal;
    cursor += kPacketSize;
    held -= kPacketSize;
  }
}

bool DemuxTool::PacketStep(const uint8_t* packet) {
  const uint32_t pid = (uint32_t(packet[1] & 0x1F) << 8) | packet[2];
  tables_->CountPid(pid);
  if (pid == kNullPid) {
    ++counters_.nullPackets;
  } else {
    tables_->HandlePacket(packet, pid);
  }
  if (!options_.controlMode) return true;
  return control_->mode == DemuxMode::All ? WriteAll(packet) : WriteDemux(packet, pid);
}

bool DemuxTool::WriteAll(const uint8_t* packet) {
  // With no NAME line there is no first output: the packets go nowhere.
  if (control_->outputCount == 0) return true;
  std::memcpy(allBuffer_.get() + allUsed_, packet, kPacketSize);
  allUsed_ += kPacketSize;
  if (allUsed_ >= kAllFlushThreshold) {
    size_t n = allUsed_;
    allUsed_ = 0;
    if (raw_write(allBuffer_.get(), 1, n, outputHandles_[0]) != n) {
      Print(kWriteError);
      return false;
    }
  }
  return true;
}

int DemuxTool::MatchService(int output) {
  const DemuxOutputSpec& desc = control_->outputs[output];
  const int current = tables_->currentTable();
  if (current < 0) return -1;
  const ProgrammeTable& table = tables_->table(current);
  const int services = table.serviceCount < kMaxServices ? table.serviceCount : kMaxServices;
  for (int k = 0; k < desc.pidCount; ++k) {
    for (int s = 0; s < services; ++s) {
      const Service& svc = table.services[s];
      if (desc.serviceId != 0 ? desc.serviceId == svc.serviceId : desc.pids[k] == svc.pmtPid)
        return s;
    }
  }
  return -1;
}

bool DemuxTool::WriteDemux(const uint8_t* packet, uint32_t pid) {
  const int current = tables_->currentTable();
  const int serviceCount = current >= 0 ? tables_->table(current).serviceCount : -1;
  // Matching depends only on the services' ids and PMT PIDs, which change with the PAT alone.
  if (pid == kPatPid || current != matchTable_ || serviceCount != matchServiceCount_) {
    for (int i = 0; i < control_->outputCount; ++i) matchedService_[i] = MatchService(i);
    matchTable_ = current;
    matchServiceCount_ = serviceCount;
  }
  for (int i = 0; i < control_->outputCount; ++i) {
    const uint8_t* set = pidSets_.get() + i * kPidSetBytes;
    if (!(set[pid >> 3] & (1u << (pid & 7)))) continue;
    const uint8_t* out = packet;
    if (pid == kPatPid && matchedService_[i] >= 0) {
      BuildPat(packet, tables_->table(current).services[matchedService_[i]]);
      out = patScratch_;
    }
    uint8_t* buffer = demuxBuffers_.get() + size_t(i) * kDemuxGatherSize;
    std::memcpy(buffer + demuxUsed_[i], out, kPacketSize);
    demuxUsed_[i] += kPacketSize;
    if (demuxUsed_[i] == kDemuxGatherSize) {
      demuxUsed_[i] = 0;
      if (raw_write(buffer, 1, kDemuxGatherSize, outputHandles_[i]) != kDemuxGatherSize) {
        Print(kWriteError);
        writeFailed_ = true;
        return false;
      }
    }
  }
  return true;
}

bool DemuxTool::FlushDemux() {
  bool ok = true;
  for (int i = 0; i < kMaxOutputs; ++i) {
    const size_t n = demuxUsed_[i];
    if (n == 0) continue;
    demuxUsed_[i] = 0;
    // After a failure the other outputs still get what they gathered, silently: one message per
    // failed run, as when each packet was written at once.
    if (raw_write(demuxBuffers_.get() + size_t(i) * kDemuxGatherSize, 1, n, outputHandles_[i]) != n) {
      if (!writeFailed_) Print(kWriteError);
      writeFailed_ = true;
      ok = false;
    }
  }
  return ok;
}

void DemuxTool::BuildPat(const uint8_t* packet, const Service& service) {
  uint8_t* p = patScratch_;
  std::memset(p, 0xFF, sizeof patScratch_);
  p[0] = packet[0];
  p[1] = packet[1];
  p[2] = packet[2];
  p[3] = uint8_t(0x10 | (packet[3] & 0x0F));   // payload only, not scrambled, same counter
  p[4] = 0;                                    // pointer_field
  uint8_t* sec = p + 5;
  const bool network = options_.keepNetworkEntry;
  const int entries = network ? 2 : 1;
  const uint32_t sectionLength = 4 * entries + 9;
  const uint32_t tsid = tables_->transportStreamId();
  sec[0] = 0x00;                               // table_id: program_association_section
  sec[1] = uint8_t(0xB0 | (sectionLength >> 8));
  sec[2] = uint8_t(sectionLength);
  sec[3] = uint8_t(tsid >> 8);
  sec[4] = uint8_t(tsid);
  sec[5] = uint8_t(0xC1 | ((tables_->patVersion() & 0x1F) << 1));
  sec[6] = 0;                                  // section_number
  sec[7] = 0;                                  // last_section_number
  uint8_t* entry = sec + 8;
  auto put = [&entry](uint32_t number, uint32_t pid) {
    entry[0] = uint8_t(number >> 8);
    entry[1] = uint8_t(number);
    entry[2] = uint8_t(0xE0 | ((pid >> 8) & 0x1F));
    entry[3] = uint8_t(pid);
    entry += 4;
  };
  if (network) put(0x0000, kNitPid);           // network_PID entry (ISO/IEC 13818-1 2.4.4.3)
  put(service.serviceId, service.pmtPid);
  const uint32_t crc = crc32_mpeg2(sec, uint32_t(entry - sec));
  entry[0] = uint8_t(crc >> 24);
  entry[1] = uint8_t(crc >> 16);
  entry[2] = uint8_t(crc >> 8);
  entry[3] = uint8_t(crc);
}

void DemuxTool::PrintSummary() {
  char text[512];
  std::snprintf(text, sizeof text,
                "\n"
                "＜集計情報＞\n"
                "TSﾊﾟｹｯﾄの総数 =%08Xh\n"
                "PIDの種類数   =%08Xh\n"
                "記述子の種類数=%08Xh\n"
                "\n"
                "NULLﾊﾟｹｯﾄの数 =%08Xh\n"
                "SYNCｴﾗｰの数   =%08Xh\n"
                "CRCｴﾗｰの数    =%08Xh\n"
                "\n",
                unsigned(counters_.packetsProcessed), unsigned(tables_->distinctPids()),
                unsigned(tables_->descriptorKinds()), unsigned(counters_.nullPackets),
                unsigned(counters_.syncLosses), unsigned(tables_->crcErrors()));
  Print(text);
}
