// Helpers of the kerfdmx process tests.
#include "tests/demux/kerfdmx_fixture.h"

#include <algorithm>
#include <cstdio>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

using tsb::Bytes;

std::string Summary(uint32_t packets, uint32_t pids, uint32_t descriptors, uint32_t nulls,
                    uint32_t syncs, uint32_t crcs) {
  char text[512];
  std::snprintf(text, sizeof text,
                "\n＜集計情報＞\nTSﾊﾟｹｯﾄの総数 =%08Xh\nPIDの種類数   =%08Xh\n"
                "記述子の種類数=%08Xh\n\nNULLﾊﾟｹｯﾄの数 =%08Xh\nSYNCｴﾗｰの数   =%08Xh\n"
                "CRCｴﾗｰの数    =%08Xh\n\n",
                packets, pids, descriptors, nulls, syncs, crcs);
  return text;
}

long SummaryPackets(const std::string& out) {
  const std::string key = "TSﾊﾟｹｯﾄの総数 =";
  size_t at = out.find(key);
  if (at == std::string::npos) return -1;
  return std::stol(out.substr(at + key.size(), 8), nullptr, 16);
}

std::string SummaryLine(const std::string& out, const std::string& key) {
  size_t at = out.find(key);
  return at == std::string::npos ? "" : out.substr(at, out.find('\n', at) - at);
}

namespace {

std::filesystem::path sjis_path(const std::string& path) {
#ifdef _WIN32
  int n = MultiByteToWideChar(932, 0, path.data(), int(path.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  MultiByteToWideChar(932, 0, path.data(), int(path.size()), w.data(), n);
  return std::filesystem::path(w);
#else
  return std::filesystem::path(path);
#endif
}

}  // namespace

void WriteSjisFile(const std::string& path, const Bytes& bytes) {
  std::ofstream f(sjis_path(path), std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

Bytes ReadSjisFile(const std::string& path) {
  std::ifstream f(sjis_path(path), std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

Bytes Slice(const Bytes& b, size_t firstPacket, size_t count) {
  return Bytes(b.begin() + long(firstPacket * kPacket),
               b.begin() + long((firstPacket + count) * kPacket));
}

namespace {

tsb::PacketDesc VideoPacket(uint8_t fill) {
  tsb::PacketDesc desc;
  desc.pid = 0x0100;
  desc.payload = Bytes(184, fill);
  return desc;
}

}  // namespace

Bytes PlainRecording(size_t packets) {
  tsb::TsStream ts;
  ts.Section(0x0000, tsb::Pat(0x7FE1, {{0x0400, 0x01F0}}).Build());
  ts.Section(0x01F0, tsb::Pmt(0x0400, 0x0100, {{0x02, 0x0100, tsb::StreamIdentifierDescriptor(0)}})
                         .Build());
  while (ts.PacketCount() < packets) {
    if (ts.PacketCount() % 10 == 0)
      ts.Null();
    else
      // Payload bytes never look like sync bytes, so resync can only land on packet starts.
      ts.Packet(VideoPacket(uint8_t(0x80 | (ts.PacketCount() & 0x3F))));
  }
  return ts.bytes();
}

#ifndef _WIN32
PostLog::PostLog(uint32_t handle) : listener_(handle) {
  thread_ = std::thread([this] {
    uint32_t m, w, l;
    while (!done_) {
      if (listener_.Receive(m, w, l, 50)) {
        std::lock_guard<std::mutex> g(mutex_);
        posts_.push_back({m, w, l});
      }
    }
  });
}

PostLog::~PostLog() { Stop(); }

std::vector<std::array<uint32_t, 3>> PostLog::Finish() {
  for (int i = 0; i < 600 && Completions() < 2; ++i)
    usleep(50000);
  Stop();
  return posts_;
}

int PostLog::Completions() {
  std::lock_guard<std::mutex> g(mutex_);
  return int(std::count_if(posts_.begin(), posts_.end(), [](auto& p) { return p[1] == 2; }));
}

void PostLog::Stop() {
  done_ = true;
  if (thread_.joinable()) thread_.join();
}
#endif

void Kerfdmx::SetUp() {
  tool_ = install_tool(prog_.path());
#ifndef _WIN32
  // A handle of this process alone: tests of several engineers may listen at the same time.
  static std::atomic<uint32_t> next{0};
  handle_ = 0x40000000u | (uint32_t(getpid() & 0xFFFF) << 8) | (next++ & 0xFF);
#endif
  char h[16];
  std::snprintf(h, sizeof h, "-h:%X", unsigned(handle_));
  hOption_ = h;
  Lock();
}

ToolResult Kerfdmx::Run(const std::vector<std::string>& options) {
  std::vector<std::string> args{data_.File("in put.ts"), hOption_};
  args.insert(args.end(), options.begin(), options.end());
  return run_tool(tool_, args);
}
