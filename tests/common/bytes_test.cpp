// Big-endian field readers, the PCR base reader and the 16-bit writer.
#include "common/bytes.h"

#include <gtest/gtest.h>

namespace {

TEST(BigEndian, AllBitsSetKeepOnlyTheFieldWidth) {
  const uint8_t ff[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(be_read13(ff), 0x1FFFu);
  EXPECT_EQ(be_read12(ff), 0x0FFFu);
  EXPECT_EQ(be_read16(ff), 0xFFFFu);
  EXPECT_EQ(be_read32(ff), 0xFFFFFFFFu);
  uint8_t buf[3] = {0, 0, 0xAA};
  EXPECT_EQ(be_write16(buf, 0x12345), buf);
  EXPECT_EQ(buf[0], 0x23);
  EXPECT_EQ(buf[1], 0x45);
  EXPECT_EQ(buf[2], 0xAA);
}

TEST(BigEndian, PcrBaseReadsBackWhatWasWritten) {
  const uint8_t top[5] = {0xFF, 0xFF, 0xFF, 0xFF, 0x80};
  uint32_t high = 0, low = 0;
  pcr_base_read(top, high, low);
  EXPECT_EQ(high, 1u);
  EXPECT_EQ(low, 0xFFFFFFFFu);
  // ISO/IEC 13818-1 2.4.3.5: 33-bit base, 6 reserved bits, 9-bit extension.
  for (const uint64_t base : {0ull, 1ull, 0x123456789ull, 0x0FFFFFFFFull, 0x100000000ull}) {
    const uint64_t word = (base << 15) | (0x3Fu << 9) | 0x12B;
    uint8_t field[6];
    for (int i = 0; i < 6; ++i) field[i] = uint8_t(word >> (40 - 8 * i));
    pcr_base_read(field, high, low);
    EXPECT_EQ((uint64_t(high) << 32) | low, base) << std::hex << base;
    EXPECT_EQ(be_read16(field + 4) & 0x1FF, 0x12Bu);
  }
}

}  // namespace
