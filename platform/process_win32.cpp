// Starting a program on Windows with CreateProcessW: start_process closes the handles at once and
// never waits; WatchedProcess keeps the process handle and reads the exit code when it has ended.
#include <windows.h>

#include <string>

#include "common/win32_text.h"
#include "platform/process.h"
#include "platform/process_hooks.h"

bool start_process(const char* command_line_cp932, bool hidden) {
  if (const StartProcessHandler& handler = start_process_handler()) return handler(command_line_cp932, hidden);
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

// ---- WatchedProcess ----

namespace {

// A temporary file that the system deletes once the last handle to it is closed; the handle is
// inheritable, so the started program writes its output through the same file object.
HANDLE output_file() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH) return INVALID_HANDLE_VALUE;
  wchar_t name[MAX_PATH + 1];
  if (GetTempFileNameW(folder, L"kdx", 0, name) == 0) return INVALID_HANDLE_VALUE;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) DeleteFileW(name);
  return h;
}

}  // namespace

WatchedProcess::~WatchedProcess() {
  if (process_ != -1) CloseHandle(HANDLE(process_));
  if (outputFile_ != -1) CloseHandle(HANDLE(outputFile_));
}

bool WatchedProcess::Start(const char* command_line_cp932) {
  if (process_ != -1) return false;
  if (const WatchedStartObserver& observer = watched_start_observer()) observer(command_line_cp932);
  std::wstring line;
  if (!cp932_to_wide(command_line_cp932, line) || line.empty()) return false;
  HANDLE out = output_file();
  if (out == INVALID_HANDLE_VALUE) return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = nullptr;
  startup.hStdOutput = out;
  startup.hStdError = out;
  PROCESS_INFORMATION info{};
  // A console program gets no console of its own: everything it prints goes to the file.
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &info)) {
    CloseHandle(out);
    return false;
  }
  CloseHandle(info.hThread);
  process_ = intptr_t(info.hProcess);
  outputFile_ = intptr_t(out);
  exitStatus_ = -1;
  output_.clear();
  return true;
}

bool WatchedProcess::Running() {
  if (process_ == -1) return false;
  if (WaitForSingleObject(HANDLE(process_), 0) == WAIT_TIMEOUT) return true;
  DWORD code = 0;
  if (!GetExitCodeProcess(HANDLE(process_), &code)) code = DWORD(-1);
  Finish(int(code));
  return false;
}

void WatchedProcess::Finish(int status) {
  CloseHandle(HANDLE(process_));
  process_ = -1;
  exitStatus_ = status;
  HANDLE file = HANDLE(outputFile_);
  output_.assign(kOutputMax, '\0');
  DWORD got = 0;
  LARGE_INTEGER start{};
  if (SetFilePointerEx(file, start, nullptr, FILE_BEGIN) &&
      !ReadFile(file, output_.data(), DWORD(kOutputMax), &got, nullptr)) {
    got = 0;
  }
  output_.resize(got);
  CloseHandle(file);
  outputFile_ = -1;
}
