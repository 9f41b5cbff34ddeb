// Code page 932 <-> UTF-16 at the Win32 boundary. The program keeps its text in CP932 and calls
// the W functions, so it behaves the same on a Windows of any language. Windows builds only.
#pragma once
#include <cstddef>
#include <string>

// What cp932_to_wide does with bytes that have no CP932 meaning.
enum class InvalidCp932 {
  Refuse,    // false and an empty result: a path or command line must name exactly what it says
  Replace,   // each becomes U+30FB, as window texts show them
};

// False for a byte sequence that is not valid CP932 under Refuse (out is then empty).
bool cp932_to_wide(const char* text, std::wstring& out, InvalidCp932 invalid = InvalidCp932::Refuse);
// Characters without a CP932 form become '?'; false when any did or the conversion failed.
bool wide_to_cp932(const wchar_t* text, std::string& out);
// Fixed-buffer form: false when the result (with its terminator) does not fit out_bytes, out then
// being the empty text, or when a character had no CP932 form.
bool wide_to_cp932(const wchar_t* text, char* out, size_t out_bytes);
