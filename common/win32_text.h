// Code page 932 <-> UTF-16 at the Win32 boundary. The program keeps its text in CP932 and calls
// the W functions, so it behaves the same on a Windows of any language. Windows builds only.
// kerf keeps its paths in UTF-8 instead (below), as on Linux.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

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

// The text a program holds its paths in. The window program and the demux tool keep CP932, as
// their files, command lines and messages are. kerf keeps UTF-8, as on Linux, so that every name
// the system gives it, in any script, reaches the file layer unchanged: WTF-8 precisely, where a
// surrogate that a Windows name holds alone keeps its three-byte form. The program's entry chooses
// once, before any path is formed; the file layer, the path helpers and platform/ follow it.
enum class PathText { Cp932, Utf8 };
void use_path_text(PathText text);
PathText path_text();
// A path as UTF-16 for the W functions: false (out empty) for bytes that are not valid in the
// program's path text.
bool path_to_wide(const char* path, std::wstring& out);
// A name from the system in the program's path text; false when a character has no form in it
// (CP932 only; out then holds '?' in its place).
bool wide_to_path(const wchar_t* text, std::string& out);
// Fixed-buffer form, as the CP932 one above.
bool wide_to_path(const wchar_t* text, char* out, size_t out_bytes);

// UTF-8 (WTF-8) <-> UTF-16. An invalid sequence (a stray or missing continuation byte, an
// overlong form, beyond U+10FFFF) makes the result false and out empty, or with replace each of
// its bytes becomes U+FFFD (text for the console, never a path).
bool utf8_to_wide(std::string_view text, std::wstring& out, bool replace = false);
std::string wide_to_utf8(std::wstring_view text);
// The length of text's longest beginning that does not end inside a sequence, for a stream read in
// pieces: the rest (at most three bytes) waits for the next piece.
size_t utf8_whole_length(std::string_view text);
