// Measuring a recording, positions, and the in-process demux engine (see kerf_session.h).
#include "cli/kerf_session.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

#include "cli/cli_text.h"
#include "common/path.h"
#include "common/timefmt.h"
#include "common/ts_packet.h"
#include "core/scan_window.h"
#include "platform/console.h"

int usage_error(const std::string& message, const char* help) {
  std::fprintf(stderr, "kerf: %s\n\n%s", message.c_str(), help);
  return kExitUsage;
}

std::string ms_text(int32_t ms) {
  char buf[16];
  return ms_to_text(ms, buf);
}

bool read_number(const std::string& text, int base, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, base);
  if (text.empty() || *end || v < 0 || v > 0x7FFFFFFF) return false;
  value = int(v);
  return true;
}

int32_t method_of(const Args& args) {
  const std::string m = args.value("method", "3");
  return m == "1" ? kMethodFirstLast : m == "2" ? kMethodEstimate : m == "3" ? kMethodAutomatic : -1;
}

int begin_command(const std::vector<std::string>& argv, const ArgDesc& desc, const char* help, Args& args,
                  int32_t& method) {
  std::string error;
  if (!parse_args(argv, 2, desc, args, error)) return usage_error(error, help);
  if (args.has("help")) return std::fputs(help, stdout), kExitOk;
  if (args.positional.size() != 1) return usage_error(argv[1] + " takes one FILE", help);
  method = method_of(args);
  if (method < 0) return usage_error("--method takes 1, 2 or 3", help);
  return -1;
}

TerminalBar::TerminalBar(bool shown) { Show(shown); }

void TerminalBar::Show(bool shown) { shown_ = shown && console_stderr_is_terminal(); }

void TerminalBar::Draw(int percent) {
  if (!shown_) return;
  const int whole = from_ + (percent < 0 ? 0 : percent > 100 ? 100 : percent) * (to_ - from_) / 100;
  if (whole == last_) return;
  last_ = whole;
  const int width = 40;
  const int filled = whole * width / 100;
  std::fprintf(stderr, "\r[%.*s%.*s] %3d%%", filled, "########################################",
               width - filled, "                                        ", whole);
  std::fflush(stderr);
}

void TerminalBar::End() {
  if (last_ >= 0) std::fputc('\n', stderr);
  last_ = -1;
}

bool StderrSink::Report(MessageKind, const char* text) {
  print_sjis(stderr, text);
  std::fputc('\n', stderr);
  return true;
}

bool parse_position(const std::string& text, Position& position) {
  position = Position{};
  if (text.rfind("p:", 0) == 0 || text.rfind("P:", 0) == 0) {
    const std::string digits = text.substr(2);
    if (digits.empty() || digits.size() > 8 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return false;
    position.isPacket = true;
    position.packet = int32_t(uint32_t(std::stoul(digits, nullptr, 16)));
    return true;
  }
  // The time-field syntax: up to four numbers separated by runs of " :.,".
  if (text.empty() || text.find_first_not_of("0123456789 :.,") != std::string::npos ||
      text.find_first_of("0123456789") == std::string::npos)
    return false;
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  position.ms = text_to_ms(buf.data());
  return true;
}

int32_t Recording::ToPacket(const Position& p) const {
  if (p.isPacket) return p.packet < 0 || p.packet > packets ? packets : p.packet;
  const int32_t t = p.ms > m.totalMs ? m.totalMs : p.ms;
  return ms_to_packet(t, size, m.totalMs, kPacketSize);
}

int32_t Recording::ToMs(int32_t packet) const {
  return packet_to_ms(packet, size, m.totalMs, kPacketSize);
}

bool position_of(const Args& args, const char* name, const Recording& rec, int32_t fallback,
                 int32_t& packet, std::string& error) {
  if (!args.has(name)) {
    packet = fallback;
    return true;
  }
  Position p;
  if (!parse_position(args.value(name), p)) {
    error = std::string("--") + name + " takes a time (hh:mm:ss.sss) or a packet number (p:hex)";
    return false;
  }
  packet = rec.ToPacket(p);
  return true;
}

int open_recording(const std::string& path, int32_t method, Recording& rec) {
  rec = Recording{};
  rec.path = path;
  rec.method = method;
  if (path.size() > kPathMax) {
    std::fprintf(stderr, "kerf: the path is longer than %d bytes: %s\n", int(kPathMax),
                 path_for_terminal(path).c_str());
    return kExitInput;
  }
  if (path.find('"') != std::string::npos) {
    std::fprintf(stderr, "kerf: a path with a double quote cannot be handed to the demux engine\n");
    return kExitInput;
  }
  if (!path_exists(path.c_str())) {
    std::fprintf(stderr, "kerf: no such file: %s\n", path_for_terminal(path).c_str());
    return kExitInput;
  }
  rec.size = path_file_size(path.c_str());
  rec.packets = int32_t(rec.size / kPacketSize);
  std::unique_ptr<uint8_t[]> readBuffer(new uint8_t[kCutterReadBufferSize]);
  PcrScanner scanner(readBuffer.get(), kPacketSize);
  StderrSink sink;
  rec.measured = scanner.MeasureInput(path.c_str(), rec.size, method, sink) == 0;
  rec.m = scanner.result();
  rec.bitrate = total_to_bitrate(rec.m.totalMs, rec.size);
  // A file that cannot be opened is no recording; one without PCRs still is (total 0).
  return RawFile(path.c_str(), "rb").ok() ? kExitOk : kExitInput;
}

// The engine's surroundings inside kerf: its text is collected (and shown as UTF-8 by the
// commands), progress posts draw the caller's bar, and there is no lock file (the stop flag ends
// a run instead).
class EngineHost : public DemuxHost {
 public:
  void Print(const char* text, size_t length) override { printed.append(text, length); }
  int Post(uint32_t, uint32_t, uint32_t wparam, uint32_t lparam) override {
    if (wparam == kProgressPost && bar) bar->Draw(int(lparam));
    return 1;
  }
  uint32_t RegisterMessage(const char*) override { return 0xC000; }
  bool LockFileExists(const char*) override { return true; }
  void Sleep(uint32_t) override {}

  std::string printed;
  TerminalBar* bar = nullptr;
};

Engine::Engine() : host_(new EngineHost) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) return;
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "kerf-%08x", unsigned(random()));
    const fs::path folder = base / name;
    if (fs::create_directory(folder, ec) && !ec) {
      folder_ = folder.string();
      folder_ += kPathSeparator;
      break;
    }
  }
  if (folder_.size() > kPathMax - 16) {   // the engine's file names must fit after it
    fs::remove_all(folder_, ec);
    folder_.clear();
  }
  if (!folder_.empty()) engine_ = std::make_unique<DemuxEngine>(*host_, folder_.c_str());
}

bool Engine::Ready() const {
  if (ok()) return true;
  std::fprintf(stderr, "kerf: cannot make a work folder\n");
  return false;
}

Engine::~Engine() {
  engine_.reset();
  if (!folder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
}

DemuxResult Engine::Run(const DemuxJob& job, TerminalBar* bar) {
  host_->printed.clear();
  host_->bar = bar;
  DemuxResult result = engine_->Run(job);
  host_->bar = nullptr;
  return result;
}

const std::string& Engine::printed() const { return host_->printed; }

ProgrammeStructure analyse(Engine& engine, const Recording& rec, int32_t first) {
  const std::string structure = engine.folder() + "DEMUX.txt";
  DemuxJob job;
  job.inputPath = rec.path.c_str();
  job.startPacket = first;
  job.endPacket = first > INT32_MAX - kScanWindowLast ? INT32_MAX : first + kScanWindowLast;
  job.request = DemuxRequest::Information;
  job.requestPath = structure.c_str();
  engine.Run(job, nullptr);
  ProgrammeStructure list;
  read_programme_list(structure.c_str(), list);
  return list;
}

const VideoEntry* programme_video(const std::vector<VideoEntry>& videos, int programme, int32_t listAt,
                                  const char* what) {
  for (const VideoEntry& v : videos)
    if (!programme || v.ordinal == programme) return &v;
  if (programme)
    std::fprintf(stderr, "kerf: %sprogramme %d has no video stream in the %d packets from %08X\n", what, programme,
                 int(kScanWindowPackets), unsigned(listAt));
  else
    std::fprintf(stderr, "kerf: %sno video stream found in the %d packets from %08X\n", what,
                 int(kScanWindowPackets), unsigned(listAt));
  return nullptr;
}
