// CP932 <-> UTF-16 at the Win32 boundary.
#include "common/win32_text.h"

#include <gtest/gtest.h>

#include "common/path.h"

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

// kerf's paths: UTF-8 that keeps every UTF-16 name the system can hold, a surrogate alone
// included; a broken sequence never names a file.
TEST(Win32Text, Utf8PathsKeepEveryNameAndRefuseBrokenBytes) {
  const struct {
    const char* utf8;
    std::wstring wide;
  } exact[] = {
      {"C:\\\xC3\x9Cn\xE2\x82\xAC", L"C:\\\u00DCn\u20AC"},
      {"\xF0\xA0\xAE\x9F\xE9\xB7\x97", L"\xD842\xDF9F\u9DD7"},  // U+20B9F, U+9DD7
      {"a\xED\xA0\x80" "b", std::wstring(L"a\xD800" L"b")},       // a high surrogate alone
  };
  for (const auto& c : exact) {
    std::wstring wide;
    EXPECT_TRUE(utf8_to_wide(c.utf8, wide)) << c.utf8;
    EXPECT_EQ(wide, c.wide) << c.utf8;
    EXPECT_EQ(wide_to_utf8(c.wide), c.utf8);
  }
  for (const char* broken : {"\x80", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xF4\x90\x80\x80", "\xE2\x82" "A"}) {
    std::wstring wide;
    EXPECT_FALSE(utf8_to_wide(broken, wide)) << broken;
  }
  // A console stream read in pieces: a character cut at the end waits for the rest.
  EXPECT_EQ(utf8_whole_length("ab\xF0\xA0\xAE"), 2u);
  EXPECT_EQ(utf8_whole_length("ab\xF0\xA0\xAE\x9F"), 6u);
  // In UTF-8 every backslash separates, also after a character whose last byte is a Shift-JIS lead
  // byte (ぁ, E3 81 81).
  use_path_text(PathText::Utf8);
  EXPECT_EQ(path_name_offset("C:\\\xE3\x81\x81\\x.ts"), 7u);
  use_path_text(PathText::Cp932);
}

}  // namespace
