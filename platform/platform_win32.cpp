// The program's path, the system folder, file deletion, the command line and sleeping on Windows
// (W functions, converted to the program's path text, see common/win32_text.h).
#include <windows.h>

#include <string>

#include "common/win32_text.h"
#include "platform/platform.h"

const char* program_path() {
  static const std::string path = [] {
    std::wstring wide(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, wide.data(), DWORD(wide.size()));
    if (n == 0 || n >= wide.size()) return std::string();
    wide.resize(n);
    std::string text;
    if (wide_to_path(wide.c_str(), text)) return text;
    // A name with characters outside CP932 (Chinese or Korean, say): its 8.3 short form is plain
    // ASCII, so the settings file and the tool beside the program can still be named.
    std::wstring short_path(32768, L'\0');
    const DWORD s = GetShortPathNameW(wide.c_str(), short_path.data(), DWORD(short_path.size()));
    if (s > 0 && s < short_path.size()) {
      short_path.resize(s);
      wide_to_path(short_path.c_str(), text);
    }
    return text;
  }();
  return path.c_str();
}

const char* system_folder() {
  static const std::string folder = [] {
    wchar_t wide[MAX_PATH];
    const UINT n = GetSystemDirectoryW(wide, MAX_PATH);
    std::string text;
    if (n > 0 && n < MAX_PATH) wide_to_path(wide, text);
    return text;
  }();
  return folder.c_str();
}

bool delete_file(const char* path) {
  std::wstring wide;
  if (!path_to_wide(path, wide)) return false;
  if (DeleteFileW(wide.c_str())) return true;
  const DWORD e = GetLastError();
  return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
}

void platform_set_args(int, char**) {
  // Windows keeps the command line itself (GetCommandLineW).
}

const char* command_line() {
  static std::string line = [] {
    std::string text;
    wide_to_path(GetCommandLineW(), text);
    return text;
  }();
  return line.c_str();
}

void sleep_ms(uint32_t ms) { Sleep(ms); }

uint64_t monotonic_ms() { return GetTickCount64(); }
