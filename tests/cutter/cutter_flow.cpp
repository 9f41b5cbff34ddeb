// The cutter flow fixture.
#include "tests/cutter/cutter_flow.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "common/timefmt.h"
#include "platform/platform.h"
#include "resources/templates.h"
#include "platform/process.h"
#include "resources/ids.h"
#include "resources/templates.h"
#include "ui/dialog_template.h"

namespace flow {

namespace hl = ui::headless;

namespace {

constexpr uint64_t kGiveUpMs = 60000;

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Waits until the lock file of a run that has begun is gone: the run was cancelled (or ended).
// The lock file's coming is not watched for: on a busy machine it may come and go between two
// looks. Gives up after kGiveUpMs.
void await_cancel(const std::string& lockPath) {
  const uint64_t deadline = monotonic_ms() + kGiveUpMs;
  while (exists(lockPath) && monotonic_ms() < deadline) sleep_ms(10);
}

// Waits until the tool's first bytes are in the pipe, which nothing reads yet: the run has begun.
// Gives up after kGiveUpMs.
void await_first_bytes(int fd) {
  const uint64_t deadline = monotonic_ms() + kGiveUpMs;
  pollfd p{fd, POLLIN, 0};
  while (!(poll(&p, 1, 10) > 0 && (p.revents & POLLIN) != 0) && monotonic_ms() < deadline) {
  }
}

void write_all(int fd, const tsb::Bytes& b) {
  size_t done = 0;
  while (done < b.size()) {
    const ssize_t n = write(fd, b.data() + done, b.size() - done);
    if (n <= 0) return;  // the reader went: the rest is not wanted
    done += size_t(n);
  }
}

}  // namespace

const tsb::Bytes& recording() {
  static const tsb::Bytes bytes = [] {
    tsb::BroadcastDesc desc;
    desc.services.clear();
    for (uint16_t n = 0; n < 3; ++n) {
      desc.services.push_back({.service_id = uint16_t(0x0400 + n), .pmt_pid = uint16_t(0x01F0 + n),
                               .video_pid = uint16_t(0x0111 + 0x10 * n), .audio_pid = uint16_t(0x0112 + 0x10 * n)});
    }
    desc.packets = kRecordingPackets;
    return tsb::Broadcast(desc).bytes();
  }();
  return bytes;
}

tsb::Bytes packets(const tsb::Bytes& b, int32_t first, int32_t last) {
  return tsb::Bytes(b.begin() + std::ptrdiff_t(size_t(first) * kPacket),
                    b.begin() + std::ptrdiff_t(size_t(last + 1) * kPacket));
}

std::string text_of(const tsb::Bytes& b) { return std::string(b.begin(), b.end()); }

void install_kerfdmx(const std::string& path) {
  const char* build = std::getenv("KERF_BUILD_DIR");
  if (build == nullptr) return;
  tsb::WriteFile(path, tsb::ReadFile(std::string(build) + "/bin/kerfdmx"));
  ASSERT_EQ(chmod(path.c_str(), 0755), 0);
}

void CutterFlow::SetUp() {
  hl::reset();
  // Registered here as the program does at its start, so that a test run on its own has them.
  ui::register_templates(res::dialog_templates(), res::menu_templates());
  // A FIFO whose reader has gone must not end the test program.
  signal(SIGPIPE, SIG_IGN);
  const char* build = std::getenv("KERF_BUILD_DIR");
  ASSERT_NE(build, nullptr) << "KERF_BUILD_DIR is not set";
  // The tool finds its lock file beside its own executable, so a copy runs from the program folder.
  tsb::WriteFile(Prog("kerfdmx"), tsb::ReadFile(std::string(build) + "/bin/kerfdmx"));
  ASSERT_EQ(chmod(Prog("kerfdmx").c_str(), 0755), 0);
  input_ = data_.Write("in.ts", recording());
  app_ = std::make_unique<TMyApp>(Prog("kerfcut.exe").c_str(), "/");
  ASSERT_TRUE(app_->Start());
  dialog_ = app_->dialog().handle();
}

void CutterFlow::TearDown() {
  app_.reset();
  hl::reset();
}

void CutterFlow::Loaded(const std::string& path, int32_t start, int32_t end) {
  Settings& s = settings();
  std::snprintf(s.loadedInputPath, sizeof s.loadedInputPath, "%s", path.c_str());
  std::snprintf(s.inputPathText, sizeof s.inputPathText, "%s", path.c_str());
  s.inputSize = double(recording().size());
  s.totalMs = int32_t(kRecordingPackets);
  s.startPacket = start;
  s.endPacket = end;
  s.startMs = packet_to_ms(start, s.inputSize, s.totalMs, s.packetSize);
  s.endMs = packet_to_ms(end, s.inputSize, s.totalMs, s.packetSize);
  char buf[32];
  Type(res::kInputPath, path);
  Type(res::kTotalTime, ms_to_text(s.totalMs, buf));
  Type(res::kStartPacket, packet_to_text(start, buf));
  Type(res::kEndPacket, packet_to_text(end, buf));
  Type(res::kStartTime, ms_to_text(s.startMs, buf));
  Type(res::kEndTime, ms_to_text(s.endMs, buf));
}

std::vector<std::string> CutterFlow::NewBoxes() {
  std::vector<std::string> texts;
  const auto& boxes = hl::message_boxes();
  for (size_t i = boxesSeen_; i < boxes.size(); ++i) texts.push_back(boxes[i].text);
  boxesSeen_ = boxes.size();
  return texts;
}

bool CutterFlow::AwaitCompletion() {
  const uint64_t deadline = monotonic_ms() + kGiveUpMs;
  while (job().toolState != 2 && monotonic_ms() < deadline) hl::pump(50);
  return job().toolState == 2;
}

int CutterFlow::RunToolDirectly(const std::string& options) {
  tsb::WriteFile(Prog("lockfile"), tsb::Bytes{'\n'});
  WatchedProcess tool;
  if (!tool.Start(("\"" + Prog("kerfdmx") + "\" \"" + input_ + "\" -h:1 " + options).c_str())) return -1;
  const uint64_t deadline = monotonic_ms() + kGiveUpMs;
  while (tool.Running() && monotonic_ms() < deadline) sleep_ms(20);
  unlink(Prog("lockfile").c_str());
  return tool.exitStatus();
}

std::unique_ptr<GatedFifo> GatedFifo::Feeding(const std::string& path, const std::string& lockPath, tsb::Bytes head,
                                              tsb::Bytes tail) {
  std::unique_ptr<GatedFifo> f(new GatedFifo);
  mkfifo(path.c_str(), 0644);
  f->thread_ = std::thread([path, lockPath, head = std::move(head), tail = std::move(tail)] {
    // Non-blocking until a reader is there, so that a tool that never comes cannot hold the test.
    const uint64_t deadline = monotonic_ms() + kGiveUpMs;
    int fd;
    while ((fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0 && monotonic_ms() < deadline) sleep_ms(10);
    if (fd < 0) return;
    // The tool has opened its input: its run has begun.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    write_all(fd, head);
    await_cancel(lockPath);
    write_all(fd, tail);
    close(fd);
  });
  return f;
}

std::unique_ptr<GatedFifo> GatedFifo::Draining(const std::string& path, const std::string& lockPath) {
  std::unique_ptr<GatedFifo> f(new GatedFifo);
  mkfifo(path.c_str(), 0644);
  // The read end stays open from before the tool starts until the test has what it wants, so the
  // tool's opening never waits for a reader and its writes never meet a closed pipe.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  f->thread_ = std::thread([f = f.get(), fd, lockPath] {
    if (fd < 0) return;
    await_first_bytes(fd);
    await_cancel(lockPath);
    uint8_t buf[65536];
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      poll(&p, 1, 50);
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n > 0) {
        f->received_.insert(f->received_.end(), buf, buf + n);
      } else if (f->stop_) {
        break;
      }
    }
    close(fd);
  });
  return f;
}

GatedFifo::~GatedFifo() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

tsb::Bytes GatedFifo::Received() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return received_;
}

}  // namespace flow
