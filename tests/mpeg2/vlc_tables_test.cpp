#include "mpeg2/vlc_tables.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct Code {
  uint32_t bits;
  int length;
};

Code parse(const char* text) {
  Code c{0, 0};
  for (const char* p = text; *p; ++p) {
    if (*p == ' ') continue;
    c.bits = (c.bits << 1) | uint32_t(*p == '1');
    ++c.length;
  }
  return c;
}

// Places a code at the top of an n-bit peek, followed by random bits.
uint32_t peek_of(const Code& c, int n, std::mt19937& rng) {
  const uint32_t tail = n > c.length ? uint32_t(rng()) & ((1u << (n - c.length)) - 1) : 0;
  return (c.bits << (n - c.length)) | tail;
}

template <size_t N>
void expect_every_row_decodes(std::span<const VlcRow> rows, const std::array<VlcEntry, N>& table,
                              int peek, const char* name) {
  std::mt19937 rng(11);
  for (const VlcRow& row : rows) {
    const Code c = parse(row.code);
    for (int trial = 0; trial < 8; ++trial) {
      const VlcEntry& e = table[peek_of(c, peek, rng)];
      ASSERT_EQ(e.length, c.length) << name << " code " << row.code;
      ASSERT_EQ(e.value, row.value) << name << " code " << row.code;
    }
  }
}

TEST(VlcTables, EveryMacroblockCodeDecodesBack) {
  expect_every_row_decodes(mba_rows(), kMbaTable11, 11, "B-1");
  expect_every_row_decodes(mb_type_rows(1), kMbTypeI6, 6, "B-2");
  expect_every_row_decodes(mb_type_rows(2), kMbTypeP6, 6, "B-3");
  expect_every_row_decodes(mb_type_rows(3), kMbTypeB6, 6, "B-4");
  expect_every_row_decodes(cbp_rows(), kCbpTable9, 9, "B-9");
  expect_every_row_decodes(motion_code_rows(), kMotionCodeTable11, 11, "B-10");
  expect_every_row_decodes(dmvector_rows(), kDmvectorTable2, 2, "B-11");
  expect_every_row_decodes(dc_size_luma_rows(), kDcSizeLuma9, 9, "B-12");
  expect_every_row_decodes(dc_size_chroma_rows(), kDcSizeChroma10, 10, "B-13");
}

TEST(VlcTables, EveryCoefficientCodeDecodesBackWithItsSign) {
  std::mt19937 rng(5);
  for (int t = 0; t < 2; ++t) {
    const auto rows = t ? dct_b15_rows() : dct_b14_rows();
    const DctEntry* first9 = t ? kDctB15First9.data() : kDctB14First9.data();
    const DctEntry* long11 = t ? kDctB15Long11.data() : kDctB14Long11.data();
    for (const VlcRow& row : rows) {
      const Code c = parse(row.code);
      const bool signed_row = row.value < 64;
      for (int trial = 0; trial < 8; ++trial) {
        const uint32_t sign = signed_row ? trial & 1 : 0;
        const Code with_sign = signed_row ? Code{(c.bits << 1) | sign, c.length + 1} : c;
        const DctEntry& e = dct_lookup(first9, long11, peek_of(with_sign, 17, rng));
        ASSERT_EQ(e.length, with_sign.length) << "B-" << (14 + t) << " " << row.code;
        ASSERT_EQ(e.run, row.value) << row.code;
        if (signed_row) {
          ASSERT_EQ(e.level, sign ? -row.value2 : row.value2) << row.code;
        }
      }
    }
  }
}

// Every value the standard gives a code has exactly one row, and no row decodes to anything else:
// a row lost or doubled in transcription shows here by its value.
void expect_each_value_once(std::span<const VlcRow> rows, int lowest, int highest, const char* name) {
  std::vector<int> seen(size_t(highest - lowest + 1), 0);
  for (const VlcRow& row : rows) {
    ASSERT_GE(row.value, lowest) << name << " code " << row.code;
    ASSERT_LE(row.value, highest) << name << " code " << row.code;
    ++seen[size_t(row.value - lowest)];
  }
  for (int v = lowest; v <= highest; ++v) EXPECT_EQ(seen[size_t(v - lowest)], 1) << name << " value " << v;
}

TEST(VlcTables, EveryValueOfTheStandardHasOneCode) {
  expect_each_value_once(mba_rows(), kMacroblockEscape, 33, "B-1");   // 1..33 and the escape
  expect_each_value_once(cbp_rows(), 0, 63, "B-9");
  expect_each_value_once(motion_code_rows(), -16, 16, "B-10");
}

TEST(VlcTables, EveryRunLevelPairAppearsOnceInEachCoefficientTable) {
  for (int t = 0; t < 2; ++t) {
    bool seen[32][41] = {};
    int pairs = 0, endOfBlock = 0, escape = 0;
    for (const VlcRow& row : t ? dct_b15_rows() : dct_b14_rows()) {
      endOfBlock += row.value == kDctEndOfBlock;
      escape += row.value == kDctEscape;
      if (row.value >= 64) continue;
      ASSERT_LT(row.value, 32);
      ASSERT_LE(row.value2, 40);
      EXPECT_FALSE(seen[row.value][row.value2]) << "run " << row.value << " level " << row.value2;
      seen[row.value][row.value2] = true;
      ++pairs;
    }
    // 111 (run, level) pairs have their own code; end of block and escape one each.
    EXPECT_EQ(pairs, 111) << "B-" << (14 + t);
    EXPECT_EQ(endOfBlock, 1) << "B-" << (14 + t);
    EXPECT_EQ(escape, 1) << "B-" << (14 + t);
  }
}

TEST(VlcTables, BitsThatAreNoCodeAreRejected) {
  EXPECT_EQ(kMbaTable11[0].length, 0);                               // 0000 0000 000
  EXPECT_EQ(kMbaTable11[0b00000001111].length, 0);                   // MPEG-1 stuffing
  EXPECT_EQ(kCbpTable9[0].length, 0);                                // 0000 0000 0
  EXPECT_EQ(kMotionCodeTable11[0].length, 0);
  EXPECT_EQ(dct_lookup(kDctB14First9.data(), kDctB14Long11.data(), 0x00000).length, 0);
  EXPECT_EQ(dct_lookup(kDctB14First9.data(), kDctB14Long11.data(), 0x0001F).length, 0);
  EXPECT_EQ(dct_lookup(kDctB15First9.data(), kDctB15Long11.data(), 0x0001F).length, 0);
  EXPECT_EQ(kMbTypeI6[0b001000].length, 0);
  EXPECT_EQ(kMbTypeP6[0].length, 0);
}

}  // namespace
