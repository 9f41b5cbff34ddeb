// Shift-JIS <-> JIS X 0208 and the ARIB 8-unit encoder's byte sequences.
#include <gtest/gtest.h>

#include <set>

#include "tests/support/stream_builder.h"

namespace {

using tsb::AribText;
using tsb::Bytes;

struct CodePair {
  uint8_t s1, s2, j1, j2;
};

// Known pairs: first and last cells of odd and even rows, the 0x7F gap, the lead byte jump.
const CodePair kPairs[] = {
    {0x81, 0x40, 0x21, 0x21}, {0x81, 0x5B, 0x21, 0x3C}, {0x88, 0x9F, 0x30, 0x21},
    {0x83, 0x7E, 0x25, 0x5F}, {0x83, 0x80, 0x25, 0x60}, {0x82, 0xA0, 0x24, 0x22},
    {0x9F, 0xFC, 0x5E, 0x7E}, {0xE0, 0x40, 0x5F, 0x21}, {0xEA, 0xA4, 0x74, 0x26},
    {0xEF, 0xFC, 0x7E, 0x7E},
};

TEST(ShiftJisToJis, KnownPairsBothWays) {
  for (const CodePair& c : kPairs) {
    uint8_t a = 0, b = 0;
    ASSERT_TRUE(tsb::sjis_to_jis(c.s1, c.s2, a, b));
    EXPECT_EQ((a << 8) | b, (c.j1 << 8) | c.j2) << std::hex << (c.s1 << 8 | c.s2);
    ASSERT_TRUE(tsb::jis_to_sjis(c.j1, c.j2, a, b));
    EXPECT_EQ((a << 8) | b, (c.s1 << 8) | c.s2) << std::hex << (c.j1 << 8 | c.j2);
  }
}

TEST(ShiftJisToJis, EveryJisCodeRoundTripsThroughADistinctShiftJisCode) {
  std::set<int> seen;
  for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
    for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
      uint8_t s1, s2, r1, r2;
      ASSERT_TRUE(tsb::jis_to_sjis(uint8_t(j1), uint8_t(j2), s1, s2));
      ASSERT_TRUE(tsb::sjis_to_jis(s1, s2, r1, r2));
      ASSERT_EQ((r1 << 8) | r2, (j1 << 8) | j2);
      seen.insert((s1 << 8) | s2);
    }
  }
  EXPECT_EQ(seen.size(), 94u * 94);
  uint8_t a, b;
  EXPECT_FALSE(tsb::sjis_to_jis(0x82, 0x7F, a, b));
  EXPECT_FALSE(tsb::sjis_to_jis(0xA0, 0x40, a, b));
  EXPECT_FALSE(tsb::sjis_to_jis(0x81, 0x3F, a, b));
  EXPECT_FALSE(tsb::jis_to_sjis(0x20, 0x21, a, b));
}

TEST(AribText, KanjiAndAlphanumericsSwitchWithLockingShifts) {
  EXPECT_EQ(AribText().Sjis("亜").bytes(), (Bytes{0x30, 0x21}));
  EXPECT_EQ(AribText().Sjis("AB C").bytes(), (Bytes{0x0E, 0x41, 0x42, 0x20, 0x43}));
  EXPECT_EQ(AribText().Sjis("亜A亜").bytes(), (Bytes{0x30, 0x21, 0x0E, 0x41, 0x0F, 0x30, 0x21}));
  EXPECT_EQ(AribText().Sjis("ニュース").bytes(), (Bytes{0x25, 0x4B, 0x25, 0x65, 0x21, 0x3C, 0x25, 0x39}));
  EXPECT_EQ(AribText().Kanji(0x30, 0x21).Alnum("1").Kanji({{0x21, 0x21}}).bytes(),
            (Bytes{0x30, 0x21, 0x0E, 0x31, 0x0F, 0x21, 0x21}));
  EXPECT_THROW(AribText().Sjis("\xB1"), std::invalid_argument);   // half-width katakana
  EXPECT_THROW(AribText().Sjis("\x88"), std::invalid_argument);   // lead byte without trail
}

TEST(AribText, KanaThroughSingleShiftsAndGR) {
  EXPECT_EQ(AribText().HiraganaSjis("あん").bytes(), (Bytes{0x19, 0x22, 0x19, 0x73}));
  EXPECT_EQ(AribText().HiraganaSjis("あー", true).bytes(), (Bytes{0xA2, 0xF9}));
  // G3 starts as the macro set, so katakana first needs its designation.
  AribText kata;
  kata.KatakanaSjis("ガヶ").KatakanaSjis("ア");
  EXPECT_EQ(kata.bytes(), (Bytes{0x1B, 0x2B, 0x31, 0x1D, 0x2C, 0x1D, 0x76, 0x1D, 0x22}));
  EXPECT_EQ(kata.designation(3), AribText::kKatakana);
  EXPECT_THROW(AribText().HiraganaSjis("ア"), std::invalid_argument);
}

TEST(AribText, DesignationsAndTheirEffectOnLaterText) {
  AribText t;
  t.Designate(1, AribText::kHiragana, false).Alnum("A");
  EXPECT_EQ(t.bytes(), (Bytes{0x1B, 0x29, 0x30, 0x1B, 0x29, 0x4A, 0x0E, 0x41}));
  EXPECT_EQ(AribText().Designate(0, AribText::kAdditionalSymbols, true).Kanji(0x30, 0x21).bytes(),
            (Bytes{0x1B, 0x24, 0x3B, 0x1B, 0x24, 0x42, 0x30, 0x21}));
  EXPECT_EQ(AribText().Designate(2, 0x39, true).bytes(), (Bytes{0x1B, 0x24, 0x2A, 0x39}));
  EXPECT_EQ(AribText().Designate(1, 0x41, false, true).bytes(), (Bytes{0x1B, 0x29, 0x20, 0x41}));
  EXPECT_EQ(AribText().Designate(0, 0x40, true, true).bytes(), (Bytes{0x1B, 0x24, 0x28, 0x20, 0x40}));
}

}  // namespace
