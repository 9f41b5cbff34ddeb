// Starting a program on Windows with CreateProcessW; the handles are closed at once, the program
// is never waited for.
#include <windows.h>

#include <string>

#include "common/win32_text.h"
#include "platform/process.h"

bool start_process(const char* command_line_cp932, bool hidden) {
  std::wstring line;
  if (!cp932_to_wide(command_line_cp932, line) || line.empty()) return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = WORD(hidden ? SW_HIDE : SW_SHOWNORMAL);
  PROCESS_INFORMATION info{};
  // CreateProcessW may write into the command line, so it gets a private, writable copy.
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}
