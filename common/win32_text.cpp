// CP932 <-> UTF-16 through MultiByteToWideChar / WideCharToMultiByte with code page 932.
#include "common/win32_text.h"

#include <windows.h>

#include <cstring>

namespace {
constexpr UINT kCodePage = 932;
}

bool cp932_to_wide(const char* text, std::wstring& out) {
  out.clear();
  const int len = int(std::strlen(text));
  if (len == 0) return true;
  const int need = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text, len, nullptr, 0);
  if (need <= 0) return false;
  out.resize(size_t(need));
  if (MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text, len, out.data(), need) != need) {
    out.clear();
    return false;
  }
  return true;
}

bool wide_to_cp932(const wchar_t* text, std::string& out) {
  out.clear();
  const int len = int(std::wcslen(text));
  if (len == 0) return true;
  BOOL lossy = FALSE;
  const int need =
      WideCharToMultiByte(kCodePage, 0, text, len, nullptr, 0, nullptr, &lossy);
  if (need <= 0) return false;
  out.resize(size_t(need));
  lossy = FALSE;
  if (WideCharToMultiByte(kCodePage, 0, text, len, out.data(), need, nullptr, &lossy) != need) {
    out.clear();
    return false;
  }
  return !lossy;
}

bool wide_to_cp932(const wchar_t* text, char* out, size_t out_bytes) {
  std::string converted;
  const bool exact = wide_to_cp932(text, converted);
  if (out_bytes == 0) return false;
  if (converted.size() + 1 > out_bytes) {
    out[0] = 0;
    return false;
  }
  std::memcpy(out, converted.c_str(), converted.size() + 1);
  return exact;
}
