// The program's own path and folder, file deletion, process start and the registered-message link
// between processes. One case starts this test program again, found through program_folder(), as a
// child that reads its own command_line() and posts back to the parent.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/path.h"
#include "common/raw_file.h"
#include "common/command_line.h"
#include "platform/gui_link.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "tests/common/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr char kLinkName[] = "KERFCUT_00";

#ifdef _WIN32
const char kSelfName[] = "platform_test.exe";
#else
const char kSelfName[] = "platform_test";
#endif

// What the child reports: wParam 1 when its command line came back with the quoted argument
// intact, 2 otherwise; lParam is a value with every bit pattern that a 16-bit path would lose.
constexpr uint32_t kChildIntact = 1;
constexpr uint32_t kChildLparam = 0xFEDC0123u;
// What the child prints, each on a line of its own (CR LF in a Windows program's text mode),
// before it ends with the exit code it was asked for.
constexpr char kChildOut[] = "出力の行";
constexpr char kChildErr[] = "エラーの行";

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", unsigned(v));
  return buf;
}

std::string child_command(uint32_t handle) {
  return std::string("\"") + program_folder() + kSelfName + "\" --gtest_filter=PlatformChild.* " +
         "--post-to=" + hex(handle) + " \"--tag=a b\"";
}

// A small receiver for posted messages: a message-only window on Windows, a listener on POSIX.
class Receiver {
 public:
  Receiver();
  ~Receiver();
  bool ok() const;
  uint32_t handle() const { return handle_; }
  bool Wait(uint32_t& message, uint32_t& wparam, uint32_t& lparam, int timeout_ms);

 private:
  uint32_t handle_ = 0;
#ifdef _WIN32
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND window_ = nullptr;
  static std::vector<MSG> received_;
#else
  std::unique_ptr<GuiLinkListener> listener_;
#endif
};

#ifdef _WIN32
std::vector<MSG> Receiver::received_;

LRESULT CALLBACK Receiver::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg >= 0xC000 && msg <= 0xFFFF) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wp;
    m.lParam = lp;
    received_.push_back(m);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

Receiver::Receiver() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"KerfPlatformTestReceiver";
  RegisterClassW(&wc);  // fails harmlessly when already registered
  window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            wc.hInstance, nullptr);
  handle_ = uint32_t(reinterpret_cast<uintptr_t>(window_));
  received_.clear();
}

Receiver::~Receiver() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool Receiver::ok() const { return window_ != nullptr; }

bool Receiver::Wait(uint32_t& message, uint32_t& wparam, uint32_t& lparam, int timeout_ms) {
  const uint64_t deadline = monotonic_ms() + uint64_t(timeout_ms);
  for (;;) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    if (!received_.empty()) {
      message = received_.front().message;
      wparam = uint32_t(received_.front().wParam);
      lparam = uint32_t(received_.front().lParam);
      received_.erase(received_.begin());
      return true;
    }
    if (monotonic_ms() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}
#else
Receiver::Receiver() {
  // A handle of this process alone, so that test programs running side by side do not meet.
  handle_ = 0x40000000u | uint32_t(getpid());
  listener_ = std::make_unique<GuiLinkListener>(handle_);
}

Receiver::~Receiver() = default;

bool Receiver::ok() const { return listener_->ok(); }

bool Receiver::Wait(uint32_t& message, uint32_t& wparam, uint32_t& lparam, int timeout_ms) {
  return listener_->Receive(message, wparam, lparam, timeout_ms);
}
#endif

TEST(ProgramFiles, OwnPathLiesInTheProgramFolderAndBothAreFull) {
  EXPECT_EQ(std::string(program_path()), std::string(program_folder()) + kSelfName);
  EXPECT_EQ(path_is_full(program_folder()), 1);
  EXPECT_EQ(path_is_full(system_folder()), 1);
}

TEST(ProgramFiles, DeletionRemovesAFileCountsAMissingOneAsGoneAndRefusesAFolder) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string file = dir.Join("work.tmp");
  RawHandle h = raw_open(file.c_str(), "wb");
  ASSERT_NE(h, kInvalidRawHandle);
  raw_close(h);
  EXPECT_TRUE(delete_file(file.c_str()));
  EXPECT_EQ(path_exists(file.c_str()), 0);
  EXPECT_TRUE(delete_file(file.c_str()));
  EXPECT_FALSE(delete_file(dir.path().c_str()));
  EXPECT_EQ(path_exists(dir.path().c_str()), 1);
}

TEST(CommandLineSplit, QuotesBlanksAndTabs) {
  using V = std::vector<std::string>;
  EXPECT_EQ(split_command_line(""), V{});
  EXPECT_EQ(split_command_line(" \t "), V{});
  EXPECT_EQ(split_command_line("a b\tc"), (V{"a", "b", "c"}));
  EXPECT_EQ(split_command_line("  \"C:\\Program Files\\x.exe\" -h:1F"),
            (V{"C:\\Program Files\\x.exe", "-h:1F"}));
  // The scan goes on right after a closing quote, without a separator.
  EXPECT_EQ(split_command_line("\"a b\"\"c\"d e"), (V{"a b", "c", "d", "e"}));
  // A missing closing quote runs to the end; an empty pair is an empty argument.
  EXPECT_EQ(split_command_line("x \"open ended"), (V{"x", "open ended"}));
  EXPECT_EQ(split_command_line("x \"\" y"), (V{"x", "", "y"}));
  // A quote inside an unquoted token belongs to it.
  EXPECT_EQ(split_command_line("ab\"c d"), (V{"ab\"c", "d"}));
}

TEST(Process, ProgramsThatCannotStartAreReported) {
  EXPECT_FALSE(start_process("", true));
  EXPECT_FALSE(start_process("   ", true));
  EXPECT_FALSE(start_process("\"\" x", true));
#ifdef _WIN32
  EXPECT_FALSE(start_process("\"C:\\no such folder\\nothing.exe\" -x", true));
#else
  EXPECT_FALSE(start_process("/no/such/program -x", true));
#endif
}

// A watched program's exit code and everything it printed, standard error included, come back
// once it has ended; a program that cannot be started is reported at once.
TEST(Process, WatchedProgramGivesItsOutputAndExitStatus) {
  WatchedProcess nothing;
  EXPECT_FALSE(nothing.Running());
#ifdef _WIN32
  EXPECT_FALSE(nothing.Start("\"C:\\no such folder\\nothing.exe\" -x"));
#else
  EXPECT_FALSE(nothing.Start("/no/such/program -x"));
#endif
  EXPECT_FALSE(nothing.Running());

  WatchedProcess child;
  ASSERT_TRUE(child.Start((std::string("\"") + program_folder() + kSelfName +
                           "\" --gtest_filter=PlatformChild.* --exit-with=7").c_str()));
  const uint64_t deadline = monotonic_ms() + 30000;
  while (child.Running() && monotonic_ms() < deadline) sleep_ms(20);
  EXPECT_FALSE(child.Running());
  EXPECT_EQ(child.exitStatus(), 7);
  EXPECT_NE(child.output().find(kChildOut), std::string::npos) << child.output();
  EXPECT_NE(child.output().find(kChildErr), std::string::npos) << child.output();
}

TEST(GuiLink, RegisteredMessageIsStableAndInTheRegisteredRange) {
  const uint32_t a = register_message(kLinkName);
  EXPECT_EQ(register_message(kLinkName), a);
  EXPECT_GE(a, 0xC000u);
  EXPECT_LE(a, 0xFFFFu);
  // Names compare without regard to case, as window message names do.
  EXPECT_EQ(register_message("kerfcut_00"), a);
  EXPECT_NE(register_message("KERFCUT_01"), a);
}

TEST(GuiLink, PostToAHandleNobodyOwnsFailsAndTheWindowDoesNotExist) {
#ifdef _WIN32
  const uint32_t nobody = 0x7FFFFFF0u;
#else
  const uint32_t nobody = 0x30000000u | uint32_t(getpid());
#endif
  EXPECT_EQ(post_message(nobody, register_message(kLinkName), 1, 0), 0);
  EXPECT_FALSE(window_exists(nobody));
  EXPECT_TRUE(window_exists(kBroadcastHandle));
  Receiver receiver;
  ASSERT_TRUE(receiver.ok());
  EXPECT_TRUE(window_exists(receiver.handle()));
}

TEST(GuiLink, PostsReachTheReceiverInOrder) {
  Receiver receiver;
  ASSERT_TRUE(receiver.ok());
  const uint32_t msg = register_message(kLinkName);
  EXPECT_NE(post_message(receiver.handle(), msg, 1, 0), 0);
  EXPECT_NE(post_message(receiver.handle(), msg, 1, 100), 0);
  EXPECT_NE(post_message(receiver.handle(), msg, 2, 0xFFFFFFFFu), 0);
  const uint32_t expected[3][2] = {{1, 0}, {1, 100}, {2, 0xFFFFFFFFu}};
  for (const auto& e : expected) {
    uint32_t m = 0, w = 0, l = 0;
    ASSERT_TRUE(receiver.Wait(m, w, l, 30000));
    EXPECT_EQ(m, msg);
    EXPECT_EQ(w, e[0]);
    EXPECT_EQ(l, e[1]);
  }
  uint32_t m, w, l;
  EXPECT_FALSE(receiver.Wait(m, w, l, 50));
}

TEST(GuiLink, PostFromAnotherProcessArrives) {
  Receiver receiver;
  ASSERT_TRUE(receiver.ok());
  ASSERT_TRUE(start_process(child_command(receiver.handle()).c_str(), true));
  uint32_t m = 0, w = 0, l = 0;
  ASSERT_TRUE(receiver.Wait(m, w, l, 30000)) << "no message from the child";
  EXPECT_EQ(m, register_message(kLinkName));
  EXPECT_EQ(w, kChildIntact) << "the child's command line lost its quoted argument";
  EXPECT_EQ(l, kChildLparam);
}

// Runs only when started by PostFromAnotherProcessArrives with --post-to=HEX: posts one message
// back to that handle.
TEST(PlatformChild, PostsBackWhenAsked) {
  const std::vector<std::string> tokens = split_command_line(command_line());
  uint32_t handle = 0;
  bool asked = false;
  bool intact = false;
  for (const std::string& t : tokens) {
    if (t.rfind("--post-to=", 0) == 0) {
      asked = std::sscanf(t.c_str() + 10, "%X", &handle) == 1;
    }
    if (t == "--tag=a b") intact = true;
  }
  if (!asked) return;
  EXPECT_NE(post_message(handle, register_message(kLinkName), intact ? kChildIntact : 2,
                         kChildLparam),
            0);
}

// Runs only when started by WatchedProgramGivesItsOutputAndExitStatus with --exit-with=N: prints
// a line to each of standard output and error, then ends with exit code N.
TEST(PlatformChild, PrintsAndExitsWhenAsked) {
  int code = -1;
  for (const std::string& t : split_command_line(command_line())) {
    if (t.rfind("--exit-with=", 0) == 0) code = std::atoi(t.c_str() + 12);
  }
  if (code < 0) return;
  std::fprintf(stdout, "%s\n", kChildOut);
  std::fprintf(stderr, "%s\n", kChildErr);
  std::fflush(nullptr);
  std::_Exit(code);
}

}  // namespace
