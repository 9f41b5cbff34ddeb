// CP932 <-> UTF-16 through MultiByteToWideChar / WideCharToMultiByte with code page 932.
#include "common/win32_text.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "common/cp932_text.h"

namespace {
constexpr UINT kCodePage = 932;
}

bool cp932_to_wide(const char* text, std::wstring& out, InvalidCp932 invalid) {
  out.clear();
  const int len = int(std::strlen(text));
  if (len == 0) return true;
  // Without MB_ERR_INVALID_CHARS the system puts its default character (U+30FB) in their place.
  const DWORD flags = invalid == InvalidCp932::Refuse ? MB_ERR_INVALID_CHARS : 0;
  const int need = MultiByteToWideChar(kCodePage, flags, text, len, nullptr, 0);
  if (need <= 0) return false;
  out.resize(size_t(need));
  if (MultiByteToWideChar(kCodePage, flags, text, len, out.data(), need) != need) {
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

// The CP932 table on Windows: the system's own, through UTF-16.
Cp932Decoder::Cp932Decoder() = default;
Cp932Decoder::~Cp932Decoder() = default;

bool Cp932Decoder::Append(std::string_view cp932, std::string& out) {
  std::wstring wide;
  if (!cp932_to_wide(std::string(cp932).c_str(), wide)) return false;
  if (wide.empty()) return cp932.empty();
  const int need = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  if (need <= 0) return false;
  const size_t at = out.size();
  out.resize(at + size_t(need));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data() + at, need, nullptr, nullptr);
  return true;
}
