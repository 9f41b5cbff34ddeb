// The console on Windows.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdio>

#include "platform/console.h"

#include "common/cp932_text.h"

namespace {
std::atomic<bool>* g_interrupted = nullptr;

BOOL WINAPI on_control(DWORD type) {
  if ((type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) && g_interrupted) {
    g_interrupted->store(true);
    return TRUE;
  }
  return FALSE;
}
}  // namespace

void console_use_utf8() {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void console_binary_output() { _setmode(_fileno(stdout), _O_BINARY); }

std::string console_path_text(const std::string& path) { return cp932_to_utf8(path); }

bool console_stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

void console_on_interrupt(std::atomic<bool>* flag) {
  g_interrupted = flag;
  SetConsoleCtrlHandler(on_control, TRUE);
}
