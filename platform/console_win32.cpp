// The console on Windows. kerf's text is UTF-8: a file or pipe gets the bytes unchanged, a console
// gets the characters through WriteConsoleW, so that every character shows whatever the console's
// code page (which is left as the user had it).
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/console.h"

#include "common/cp932_text.h"
#include "common/win32_text.h"

namespace {
std::atomic<bool>* g_interrupted = nullptr;
bool g_stderrConsole = false;

BOOL WINAPI on_control(DWORD type) {
  if ((type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) && g_interrupted) {
    g_interrupted->store(true);
    return TRUE;
  }
  return FALSE;
}

// The streams that reach a console write into one pipe instead (one, so that standard output and
// standard error keep their order); a thread reads it and writes the text to the console as UTF-16.
// The printing code stays the same for a console, a file and a pipe.
struct ConsoleRelay {
  HANDLE read = nullptr;
  HANDLE console = nullptr;
  HANDLE thread = nullptr;
  bool relayed[3] = {};   // by descriptor: 1 standard output, 2 standard error
};
ConsoleRelay g_relay;

void write_console(const std::wstring& text) {
  for (size_t at = 0; at < text.size();) {
    const DWORD piece = DWORD(text.size() - at < 8192 ? text.size() - at : 8192);
    DWORD put = 0;
    if (!WriteConsoleW(g_relay.console, text.data() + at, piece, &put, nullptr) || put == 0) return;
    at += put;
  }
}

DWORD WINAPI relay_text(void*) {
  std::string pending;
  std::wstring wide;
  char block[4096];
  DWORD got = 0;
  while (ReadFile(g_relay.read, block, sizeof block, &got, nullptr) && got > 0) {
    pending.append(block, got);
    // A character cut by the pipe's pieces waits for its other bytes.
    const size_t whole = utf8_whole_length(pending);
    utf8_to_wide(std::string_view(pending).substr(0, whole), wide, true);
    write_console(wide);
    pending.erase(0, whole);
  }
  utf8_to_wide(pending, wide, true);
  write_console(wide);
  return 0;
}

// At the end of the program: everything printed reaches the console before the process goes.
void end_relay() {
  std::fflush(stdout);
  std::fflush(stderr);
  // With the pipe's last writer closed, the thread reads to the end and stops.
  for (int fd = 1; fd <= 2; ++fd)
    if (g_relay.relayed[fd]) _close(fd);
  WaitForSingleObject(g_relay.thread, INFINITE);
}

}  // namespace

void console_use_utf8() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  DWORD mode = 0;
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const bool outConsole = GetConsoleMode(out, &mode) != 0;
  g_stderrConsole = GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
  if (!outConsole && !g_stderrConsole) return;
  HANDLE write = nullptr;
  if (!CreatePipe(&g_relay.read, &write, nullptr, 0)) return;   // the bytes go to the console as they are
  // A handle of the relay's own: putting the pipe in a stream's place closes the stream's handle.
  const HANDLE console = outConsole ? out : GetStdHandle(STD_ERROR_HANDLE);
  if (!DuplicateHandle(GetCurrentProcess(), console, GetCurrentProcess(), &g_relay.console, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    CloseHandle(write);
    return;
  }
  g_relay.thread = CreateThread(nullptr, 0, relay_text, nullptr, 0, nullptr);
  const int fd = g_relay.thread ? _open_osfhandle(intptr_t(write), _O_BINARY | _O_WRONLY) : -1;
  if (fd < 0) {
    CloseHandle(write);
    return;
  }
  for (FILE* stream : {stdout, stderr}) {
    if (stream == stdout ? !outConsole : !g_stderrConsole) continue;
    // Unbuffered, as a console stream is: each print reaches the console at once.
    std::setvbuf(stream, nullptr, _IONBF, 0);
    g_relay.relayed[_fileno(stream)] = _dup2(fd, _fileno(stream)) == 0;
  }
  _close(fd);
  std::atexit(end_relay);
}

void console_binary_output() { _setmode(_fileno(stdout), _O_BINARY); }

std::string console_path_text(const std::string& path) {
  return path_text() == PathText::Utf8 ? path : cp932_to_utf8(path);
}

bool console_stderr_is_terminal() { return g_stderrConsole || _isatty(_fileno(stderr)) != 0; }

void console_on_interrupt(std::atomic<bool>* flag) {
  g_interrupted = flag;
  SetConsoleCtrlHandler(on_control, TRUE);
}
