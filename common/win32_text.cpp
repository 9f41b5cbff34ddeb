// CP932 <-> UTF-16 through MultiByteToWideChar / WideCharToMultiByte with code page 932; UTF-8
// (WTF-8) <-> UTF-16 by hand, so that a surrogate alone survives both ways; the program's path text.
#include "common/win32_text.h"

#include <windows.h>

#include <cstdint>
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

namespace {
PathText g_pathText = PathText::Cp932;
}

void use_path_text(PathText text) { g_pathText = text; }

PathText path_text() { return g_pathText; }

bool path_to_wide(const char* path, std::wstring& out) {
  return g_pathText == PathText::Utf8 ? utf8_to_wide(path, out) : cp932_to_wide(path, out);
}

bool wide_to_path(const wchar_t* text, std::string& out) {
  if (g_pathText == PathText::Cp932) return wide_to_cp932(text, out);
  out = wide_to_utf8(text);
  return true;
}

bool wide_to_path(const wchar_t* text, char* out, size_t out_bytes) {
  if (g_pathText == PathText::Cp932) return wide_to_cp932(text, out, out_bytes);
  const std::string utf8 = wide_to_utf8(text);
  if (out_bytes == 0) return false;
  if (utf8.size() >= out_bytes) {
    out[0] = 0;
    return false;
  }
  std::memcpy(out, utf8.c_str(), utf8.size() + 1);
  return true;
}

namespace {

// The length of the sequence a lead byte starts (1 for ASCII), 0 for a byte that starts none.
size_t utf8_sequence_length(uint8_t b) {
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 0;
}

}  // namespace

bool utf8_to_wide(std::string_view text, std::wstring& out, bool replace) {
  out.clear();
  for (size_t i = 0; i < text.size();) {
    const size_t len = utf8_sequence_length(uint8_t(text[i]));
    bool ok = len != 0 && i + len <= text.size();
    uint32_t c = len == 1 ? uint8_t(text[i]) : uint8_t(text[i]) & (0x7F >> len);
    for (size_t k = 1; ok && k < len; ++k) {
      ok = (uint8_t(text[i + k]) & 0xC0) == 0x80;
      c = c << 6 | (uint8_t(text[i + k]) & 0x3F);
    }
    // The shortest form only, and nothing beyond the last code point. Surrogates pass (WTF-8).
    if (ok && ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)))) ok = false;
    if (!ok) {
      if (!replace) {
        out.clear();
        return false;
      }
      out += L'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += wchar_t(0xD800 + ((c - 0x10000) >> 10));
      out += wchar_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += wchar_t(c);
    }
    i += len;
  }
  return true;
}

std::string wide_to_utf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = uint16_t(text[i]);
    // A pair is one code point; a surrogate alone keeps its own three-byte form.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && uint16_t(text[i + 1]) >= 0xDC00 &&
        uint16_t(text[i + 1]) <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (uint16_t(text[++i]) - 0xDC00);
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12);
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18);
      out += char(0x80 | (c >> 12 & 0x3F));
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

size_t utf8_whole_length(std::string_view text) {
  // A lead byte among the last three whose sequence runs past the end starts the rest.
  for (size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const uint8_t b = uint8_t(text[text.size() - back]);
    if ((b & 0xC0) == 0x80) continue;
    const size_t len = utf8_sequence_length(b);
    return len > back ? text.size() - back : text.size();
  }
  return text.size();
}
