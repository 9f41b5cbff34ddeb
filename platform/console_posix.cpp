// The console on POSIX.
#include <signal.h>
#include <unistd.h>

#include "platform/console.h"

namespace {
std::atomic<bool>* g_interrupted = nullptr;

void on_signal(int) {
  if (g_interrupted) g_interrupted->store(true);
}
}  // namespace

void console_use_utf8() {}

void console_binary_output() {}

std::string console_path_text(const std::string& path) { return path; }

bool console_stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

void console_on_interrupt(std::atomic<bool>* flag) {
  g_interrupted = flag;
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}
