// Program folder, command line and sleeping on Windows (W functions, converted to CP932).
#include <windows.h>

#include <string>

#include "common/win32_text.h"
#include "platform/platform.h"

const char* program_folder() {
  static std::string folder = [] {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n == 0 || n >= path.size()) return std::string(".\\");
    path.resize(n);
    // Cut in UTF-16, where a backslash is always a backslash, then convert.
    const size_t slash = path.rfind(L'\\');
    path.resize(slash == std::wstring::npos ? 0 : slash + 1);
    std::string cp932;
    if (!wide_to_cp932(path.c_str(), cp932)) {
      // A folder name with characters outside CP932: its 8.3 short form is plain ASCII.
      std::wstring short_path(32768, L'\0');
      const DWORD s = GetShortPathNameW(path.c_str(), short_path.data(), DWORD(short_path.size()));
      if (s > 0 && s < short_path.size()) {
        short_path.resize(s);
        wide_to_cp932(short_path.c_str(), cp932);
      }
    }
    return cp932;
  }();
  return folder.c_str();
}

void platform_set_args(int, char**) {
  // Windows keeps the command line itself (GetCommandLineW).
}

const char* command_line() {
  static std::string line = [] {
    std::string cp932;
    wide_to_cp932(GetCommandLineW(), cp932);
    return cp932;
  }();
  return line.c_str();
}

void sleep_ms(uint32_t ms) { Sleep(ms); }

uint64_t monotonic_ms() { return GetTickCount64(); }
