// The Windows build of kerfdmx and a receiving window of this test process: the registered
// message "KERFCUT_00" posted with progress and twice with completion, and the lock file.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "demux/tool_exit.h"
#include "tests/demux/kerfdmx_fixture.h"

namespace {

// A message-only window owned by this thread: what the tool posts waits in the thread's queue
// until the test collects it.
class Receiver {
 public:
  // topLevel: an ordinary (hidden) top-level window, which a broadcast reaches; otherwise a
  // message-only window.
  explicit Receiver(bool topLevel = false) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KerfdmxTestReceiver";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", topLevel ? WS_OVERLAPPED : 0, 0, 0, 0, 0,
                              topLevel ? nullptr : HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    message_ = RegisterWindowMessageW(L"KERFCUT_00");
  }
  ~Receiver() {
    if (window_) DestroyWindow(window_);
  }
  std::string Option() const {
    char h[24];
    std::snprintf(h, sizeof h, "-h:%X", unsigned(uintptr_t(window_)));
    return h;
  }
  bool ok() const { return window_ != nullptr && message_ != 0; }
  // {wParam, lParam} of every registered message waiting for the window.
  std::vector<std::pair<uint32_t, uint32_t>> Collect() {
    std::vector<std::pair<uint32_t, uint32_t>> got;
    MSG m;
    while (PeekMessageW(&m, window_, message_, message_, PM_REMOVE))
      got.push_back({uint32_t(m.wParam), uint32_t(m.lParam)});
    return got;
  }

 private:
  HWND window_ = nullptr;
  UINT message_ = 0;
};

TEST_F(Kerfdmx, WindowReceivesEveryPerCentThenCompletionTwice) {
  Receiver receiver;
  ASSERT_TRUE(receiver.ok());
  Input(PlainRecording(500));
  ToolResult r = run_tool(tool_, {data_.File("in put.ts"), receiver.Option(), "-e:1F3"});
  EXPECT_EQ(SummaryPackets(r.out), 500) << r.out;
  EXPECT_EQ(r.exitStatus, kToolExitDone);
  std::vector<std::pair<uint32_t, uint32_t>> expected;
  for (uint32_t p = 0; p <= 100; ++p) expected.push_back({1, p});
  expected.push_back({2, 0});
  expected.push_back({2, 0});
  EXPECT_EQ(receiver.Collect(), expected);
}

TEST_F(Kerfdmx, WindowSeesTheRunStopWhenTheLockFileIsGone) {
  Receiver receiver;
  Input(PlainRecording(500));
  std::filesystem::remove(prog_.File("lockfile"));
  ToolResult r = run_tool(tool_, {data_.File("in put.ts"), receiver.Option(), "-e:1F3",
                                  "-i:DEMUX.txt"});
  EXPECT_EQ(SummaryPackets(r.out), 1) << r.out;
  EXPECT_TRUE(std::filesystem::exists(prog_.File("DEMUX.txt")));
  EXPECT_EQ(r.exitStatus, kToolExitStopped);
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {{1, 0}, {2, 0}, {2, 0}};
  EXPECT_EQ(receiver.Collect(), expected);
}

TEST_F(Kerfdmx, WithoutCallerWindowCompletionIsBroadcast) {
  Receiver receiver(true);
  if (!receiver.ok()) GTEST_SKIP() << "a top-level window needs a display (run under xvfb-run)";
  ToolResult r = run_tool(tool_, {data_.File("in put.ts")});
  EXPECT_EQ(r.out, "KERFDMX.exeは、単体では使用できません.\n");
  EXPECT_EQ(r.exitStatus, kToolExitUsage);
  // A broadcast is sent to each top-level window; it is waited for (up to 30 s) in the queue.
  std::vector<std::pair<uint32_t, uint32_t>> got;
  for (int i = 0; i < 1500 && got.size() < 2; ++i) {
    auto more = receiver.Collect();
    got.insert(got.end(), more.begin(), more.end());
    if (got.size() < 2) Sleep(20);
  }
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {{2, 0}, {2, 0}};
  EXPECT_EQ(got, expected);
}

}  // namespace
#endif
