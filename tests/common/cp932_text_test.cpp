// CP932 to UTF-8 through the platform's table.
#include "common/cp932_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

TEST(Cp932Text, UsesTheMicrosoftTableCharacterByCharacter) {
  // Literals are compiled to CP932.
  EXPECT_EQ(cp932_to_utf8("PRG1 ニュース７"), utf8(u8"PRG1 ニュース７"));
  // Where CP932 and plain Shift_JIS differ: the wave dash, and NEC's circled digits.
  EXPECT_EQ(cp932_to_utf8("\x81\x60\x87\x40"), utf8(u8"\uFF5E\u2460"));
  // An unassigned pair and a lead byte at the end become one U+FFFD each; the rest is kept.
  EXPECT_EQ(cp932_to_utf8("a\x85\x40" "b\x82"), utf8(u8"a\uFFFDb\uFFFD"));
  EXPECT_EQ(cp932_to_utf8(""), "");
}

}  // namespace
