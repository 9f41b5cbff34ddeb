// CP932 <-> UTF-16 at the Win32 boundary.
#include "common/win32_text.h"

#include <gtest/gtest.h>

namespace {

TEST(Win32Text, ConvertsWithTheMicrosoftTableAndRefusesLookAlikes) {
  std::wstring wide;
  EXPECT_TRUE(cp932_to_wide("C:\\\x95\x5C\\\x81\x60", wide));  // C:\表\～
  EXPECT_EQ(wide, L"C:\\\u8868\\\uFF5E");
  EXPECT_FALSE(cp932_to_wide("\x81\x20", wide));  // a lead byte without a valid trail
  std::string text;
  EXPECT_TRUE(wide_to_cp932(L"C:\\\u8868\\\uFF5E", text));
  EXPECT_EQ(text, "C:\\\x95\x5C\\\x81\x60");
  // é has no CP932 form; a best-fit "e" would name another file.
  EXPECT_FALSE(wide_to_cp932(L"caf\u00E9", text));
  char small[4];
  EXPECT_FALSE(wide_to_cp932(L"\u8868\u8868", small, sizeof small));
  EXPECT_STREQ(small, "");
}

}  // namespace
