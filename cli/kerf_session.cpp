// Measuring a recording, positions, and the in-process demux engine (see kerf_session.h).
#include "cli/kerf_session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "cli/cli_text.h"
#include "common/path.h"
#include "common/timefmt.h"
#include "demux/demux_tool.h"
#include "platform/console.h"

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
  return ms_to_packet(t, size, m.totalMs, kPacket);
}

int32_t Recording::ToMs(int32_t packet) const { return packet_to_ms(packet, size, m.totalMs, kPacket); }

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
  rec.packets = int32_t(rec.size / kPacket);
  static std::unique_ptr<uint8_t[]> readBuffer(new uint8_t[kCutterReadBufferSize]);
  PcrScanner scanner(readBuffer.get(), kPacket);
  StderrSink sink;
  rec.measured = scanner.MeasureInput(path.c_str(), rec.size, method, sink) == 0;
  rec.m = scanner.result();
  rec.bitrate = total_to_bitrate(rec.m.totalMs, rec.size);
  // A file that cannot be opened is no recording; one without PCRs still is (total 0).
  RawHandle probe = raw_open(path.c_str(), "rb");
  if (probe == kInvalidRawHandle) return kExitInput;
  raw_close(probe);
  return kExitOk;
}

// The engine's surroundings inside kerf: its text is collected (and echoed as UTF-8), progress
// posts draw a bar, the completion posts and the pause between them are not needed, and there is
// no lock file (the stop flag ends a run instead).
class EngineHost : public DemuxHost {
 public:
  void Print(const char* text, size_t length) override { printed.append(text, length); }
  int Post(uint32_t, uint32_t, uint32_t wparam, uint32_t lparam) override {
    if (wparam == 1 && showProgress) DrawBar(int(lparam));
    return 1;
  }
  uint32_t RegisterMessage(const char*) override { return 0xC000; }
  bool LockFileExists(const char*) override { return true; }
  void Sleep(uint32_t) override {}

  void DrawBar(int percent) {
    if (percent == lastPercent) return;
    lastPercent = percent;
    const int width = 40;
    const int filled = percent * width / 100;
    std::fprintf(stderr, "\r[%.*s%.*s] %3d%%", filled, "########################################",
                 width - filled, "                                        ", percent);
    std::fflush(stderr);
  }
  void EndBar() {
    if (lastPercent >= 0) std::fputc('\n', stderr);
    lastPercent = -1;
  }

  std::string printed;
  bool showProgress = false;
  int lastPercent = -1;
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
  if (!folder_.empty()) tool_ = std::make_unique<DemuxTool>(*host_, folder_.c_str());
}

Engine::~Engine() {
  tool_.reset();
  if (!folder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
}

bool Engine::Run(const std::string& input, int32_t first, int32_t last, const std::string& options,
                 bool progress, const std::atomic<bool>* stop) {
  host_->printed.clear();
  host_->showProgress = progress && console_stderr_is_terminal();
  char line[kPathBuffer * 2 + 128];
  // The handle is any value but the broadcast one: posts stay inside this process.
  std::snprintf(line, sizeof line, "\"kerfdmx\" \"%s\" -h:1 -s:%X -e:%X %s", input.c_str(),
                unsigned(first), unsigned(last), options.c_str());
  tool_->Run(line, stop);
  host_->EndBar();
  printed_ = host_->printed;
  // The summary opens with this line; only a run that ended normally prints it.
  return printed_.find("＜集計情報＞") != std::string::npos;
}

std::vector<ProgrammeInfo> read_structure_file(const std::string& path) {
  std::vector<ProgrammeInfo> list;
  std::string text;
  RawHandle h = raw_open(path.c_str(), "rb");
  if (h == kInvalidRawHandle) return list;
  char block[4096];
  for (size_t got; (got = raw_read(block, 1, sizeof block, h)) > 0;) text.append(block, got);
  raw_close(h);

  const std::string titleKey = "// 番組名:";
  std::string pendingName;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(titleKey, 0) == 0) {
      pendingName = line.substr(titleKey.size());
    } else if (line.rfind("NAME=", 0) == 0) {
      ProgrammeInfo info;
      info.ordinal = int(list.size()) + 1;
      info.name = pendingName;
      pendingName.clear();
      list.push_back(std::move(info));
    } else if (!list.empty() && line.rfind("SERVICE_ID=", 0) == 0) {
      list.back().serviceId = int(std::strtoul(line.c_str() + 11, nullptr, 16));
    } else if (!list.empty() && line.rfind("PID=", 0) == 0) {
      const size_t comma = line.find(',');
      const int pid = int(std::strtoul(line.c_str() + 4, nullptr, 16));
      list.back().pids.push_back({pid, comma == std::string::npos ? "" : line.substr(comma + 1)});
    }
  }
  return list;
}
