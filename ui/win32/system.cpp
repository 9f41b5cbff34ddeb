// Windows forms of the program's own path, the system folder and file deletion (W functions).
#include <windows.h>

#include <cstring>

#include "common/path.h"
#include "ui/system.h"
#include "ui/win32/text.h"

namespace ui {

namespace {
void copy_out(const std::string& s, char* out) {
  size_t n = s.size() < kPathMax ? s.size() : kPathMax;
  memcpy(out, s.data(), n);
  out[n] = '\0';
}

// True when every character of the text has a CP932 form.
bool fits_cp932(const wchar_t* text) {
  BOOL lossy = FALSE;
  WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lossy);
  return !lossy;
}
}  // namespace

const char* program_path() {
  static char path[kPathBuffer];
  if (path[0] == '\0') {
    wchar_t wide[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, wide, DWORD(sizeof wide / sizeof wide[0]));
    if (n == 0 || n >= sizeof wide / sizeof wide[0]) return path;
    // A folder name without a CP932 form (Chinese or Korean characters, say) is taken in its 8.3
    // short form, so the settings file beside the program can still be named.
    wchar_t shortPath[MAX_PATH * 4];
    DWORD m = fits_cp932(wide) ? 0 : GetShortPathNameW(wide, shortPath, DWORD(sizeof shortPath / sizeof shortPath[0]));
    copy_out(win32::narrow(m > 0 && m < sizeof shortPath / sizeof shortPath[0] ? shortPath : wide), path);
  }
  return path;
}

const char* system_folder() {
  static char path[kPathBuffer];
  if (path[0] == '\0') {
    wchar_t wide[MAX_PATH];
    UINT n = GetSystemDirectoryW(wide, MAX_PATH);
    if (n > 0 && n < MAX_PATH) copy_out(win32::narrow(wide), path);
  }
  return path;
}

bool delete_file(const char* path) {
  std::wstring w = win32::widen(path);
  if (DeleteFileW(w.c_str())) return true;
  DWORD e = GetLastError();
  return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
}

}  // namespace ui
