// Shared fixture of the kerfdmx process tests: a program folder holding a copy of the tool and
// the lock file, a data folder for recordings and outputs, and helpers to read what came out.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/demux/tool_process.h"
#include "tests/support/stream_builder.h"

#ifndef _WIN32
#include "platform/gui_link.h"
#endif

constexpr size_t kPacket = tsb::kPacketSize;

inline uint16_t pid_of(const uint8_t* p) { return uint16_t(((p[1] & 0x1F) << 8) | p[2]); }

// The summary exactly as the tool prints it.
std::string Summary(uint32_t packets, uint32_t pids, uint32_t descriptors, uint32_t nulls,
                    uint32_t syncs, uint32_t crcs);
// The packet count printed in a summary, -1 when there is none.
long SummaryPackets(const std::string& out);
// The summary line that starts with key, without its line feed ("" when absent).
std::string SummaryLine(const std::string& out, const std::string& key);
// Whole-file write and read for Shift-JIS paths (on Windows through UTF-16, whatever the ANSI
// code page is).
void WriteSjisFile(const std::string& path, const tsb::Bytes& bytes);
tsb::Bytes ReadSjisFile(const std::string& path);
tsb::Bytes Slice(const tsb::Bytes& b, size_t firstPacket, size_t count);
// PAT, PMT (service 0x0400, PMT 0x01F0, video 0x0100 with a stream identifier descriptor), then
// video packets with a null packet at every index divisible by ten.
tsb::Bytes PlainRecording(size_t packets);

#ifndef _WIN32
// Collects what the tool posts to one caller handle, on its own thread so that the datagram
// queue never fills.
class PostLog {
 public:
  explicit PostLog(uint32_t handle);
  ~PostLog();
  bool ok() const { return listener_.ok(); }
  // Waits (up to 30 s) until two completions arrived, then stops listening. Each post is
  // {message, wParam, lParam}.
  std::vector<std::array<uint32_t, 3>> Finish();

 private:
  int Completions();
  void Stop();
  GuiLinkListener listener_;
  std::thread thread_;
  std::atomic<bool> done_{false};
  std::mutex mutex_;
  std::vector<std::array<uint32_t, 3>> posts_;
};
#endif

class Kerfdmx : public ::testing::Test {
 protected:
  void SetUp() override;
  void Lock() { tsb::WriteFile(prog_.File("lockfile"), {}); }
  std::string Input(const tsb::Bytes& bytes) {
    input_ = bytes;
    return data_.Write("in put.ts", bytes);
  }
  // kerfdmx <input> -h:<handle> options...
  ToolResult Run(const std::vector<std::string>& options);
  // A control file in the program folder.
  void Control(const std::string& name, const std::string& text) {
    tsb::WriteFile(prog_.File(name), tsb::bytes_of(text));
  }
  std::string Out(const std::string& name) const { return data_.File(name); }
  tsb::Bytes Read(const std::string& path) const { return tsb::ReadFile(path); }
  std::string ReadText(const std::string& path) const {
    tsb::Bytes b = tsb::ReadFile(path);
    return std::string(b.begin(), b.end());
  }

  tsb::TempDir prog_, data_;
  std::string tool_;
  uint32_t handle_ = 0x1234;
  std::string hOption_;
  tsb::Bytes input_;
};
