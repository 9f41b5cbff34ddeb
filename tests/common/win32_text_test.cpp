// CP932 <-> UTF-16 at the Win32 boundary.
#include "common/win32_text.h"

#include <gtest/gtest.h>

namespace {

TEST(Win32Text, ConvertsWithTheMicrosoftTableAndRefusesLookAlikes) {
  std::wstring wide;
  EXPECT_TRUE(cp932_to_wide("C:\\\x95\x5C\\\x81\x60", wide));  // C:\表\～
  EXPECT_EQ(wide, L"C:\\\u8868\\\uFF5E");
  EXPECT_FALSE(cp932_to_wide("\x81\x20", wide));  // a lead byte without a valid trail
  EXPECT_TRUE(wide.empty());
  // Window texts show such bytes as the system's default character instead.
  EXPECT_TRUE(cp932_to_wide("a\x81\x20" "b", wide, InvalidCp932::Replace));
  EXPECT_EQ(wide.front(), L'a');
  EXPECT_EQ(wide.back(), L'b');
  EXPECT_NE(wide.find(L'\u30FB'), std::wstring::npos);
  std::string text;
  EXPECT_TRUE(wide_to_cp932(L"C:\\\u8868\\\uFF5E", text));
  EXPECT_EQ(text, "C:\\\x95\x5C\\\x81\x60");
  // é has no CP932 form; a best-fit "e" would name another file.
  EXPECT_FALSE(wide_to_cp932(L"caf\u00E9", text));
  EXPECT_EQ(text, "caf?");
  char small[4];
  EXPECT_FALSE(wide_to_cp932(L"\u8868\u8868", small, sizeof small));
  EXPECT_STREQ(small, "");
}

}  // namespace
