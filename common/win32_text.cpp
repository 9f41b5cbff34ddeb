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
  // No best fit: a character without a CP932 form must not quietly become a look-alike (é as e),
  // which would name another file.
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  const int need = WideCharToMultiByte(kCodePage, flags, text, len, nullptr, 0, nullptr, &lossy);
  if (need <= 0) return false;
  out.resize(size_t(need));
  lossy = FALSE;
  if (WideCharToMultiByte(kCodePage, flags, text, len, out.data(), need, nullptr, &lossy) != need) {
    out.clear();
    return false;
  }
  if (lossy) return false;
  // Belt and braces: the text must come back unchanged.
  std::wstring back;
  return cp932_to_wide(out.c_str(), back) && back == std::wstring(text, size_t(len));
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
