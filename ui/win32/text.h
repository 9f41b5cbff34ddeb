// CP932 <-> UTF-16 at the Win32 boundary through the common converter, lenient in both
// directions: bytes without a CP932 meaning come out as U+30FB, characters without a CP932 form
// as '?'.
#pragma once
#include <cstddef>
#include <string>

#include "common/win32_text.h"

namespace ui::win32 {

std::wstring widen(const char* cp932);
std::string narrow(const wchar_t* text);

}  // namespace ui::win32
