// Big-endian field readers, the PCR base reader and the 16-bit writer.
#include "common/bytes.h"

#include <gtest/gtest.h>

namespace {

// A PCR field as ISO/IEC 13818-1 2.4.3.5 lays it out: 33-bit base, 6 reserved bits set, 9-bit
// extension, most significant byte first.
void put_pcr(uint8_t* p, uint64_t base, uint32_t ext) {
  const uint64_t word = (base << 15) | (0x3Fu << 9) | ext;
  for (int i = 0; i < 6; ++i) p[i] = uint8_t(word >> (40 - 8 * i));
}

TEST(BigEndianReaders, AllBitsSetKeepOnlyTheFieldWidth) {
  const uint8_t ff[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(be_read13(ff), 0x1FFFu);
  EXPECT_EQ(be_read12(ff), 0x0FFFu);
  EXPECT_EQ(be_read16(ff), 0xFFFFu);
  EXPECT_EQ(be_read32(ff), 0xFFFFFFFFu);
}

TEST(BigEndianReaders, ByteOrderIsMostSignificantFirst) {
  // A TS header: sync, then transport_error/payload_unit_start/priority bits around PID 0x0123.
  const uint8_t header[4] = {0x47, 0xE1, 0x23, 0x10};
  EXPECT_EQ(be_read13(header + 1), 0x0123u);
  const uint8_t section[2] = {0xB0, 0x11};  // syntax indicator etc. above section_length 0x011
  EXPECT_EQ(be_read12(section), 0x011u);
  const uint8_t word[4] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(be_read16(word), 0x1234u);
  EXPECT_EQ(be_read32(word), 0x12345678u);
}

TEST(PcrBaseReader, HighBitGoesToHighAndTheRestToLow) {
  const uint8_t all[5] = {0xFF, 0xFF, 0xFF, 0xFF, 0x80};
  uint32_t high = 7, low = 7;
  pcr_base_read(all, high, low);
  EXPECT_EQ(high, 1u);
  EXPECT_EQ(low, 0xFFFFFFFFu);

  const uint8_t only_top[5] = {0x80, 0x00, 0x00, 0x00, 0x00};
  pcr_base_read(only_top, high, low);
  EXPECT_EQ(high, 1u);
  EXPECT_EQ(low, 0u);
}

TEST(PcrBaseReader, ReadsBackBaseAndExtensionOfWrittenFields) {
  const struct { uint64_t base; uint32_t ext; } cases[] = {
      {0, 0}, {1, 1}, {0x123456789ull, 0x1AB}, {0x1FFFFFFFFull, 299}, {0x0FFFFFFFFull, 0},
      {0x100000000ull, 298}};
  for (const auto& c : cases) {
    uint8_t field[6];
    put_pcr(field, c.base, c.ext);
    uint32_t high = 0, low = 0;
    pcr_base_read(field, high, low);
    EXPECT_EQ((uint64_t(high) << 32) | low, c.base) << std::hex << "base 0x" << c.base;
    EXPECT_EQ(be_read16(field + 4) & 0x1FF, c.ext) << std::hex << "base 0x" << c.base;
  }
}

TEST(BigEndianWriter, WritesLowSixteenBitsAndReturnsTheBuffer) {
  uint8_t buf[3] = {0, 0, 0xAA};
  EXPECT_EQ(be_write16(buf, 0x12345), buf);
  EXPECT_EQ(buf[0], 0x23);
  EXPECT_EQ(buf[1], 0x45);
  EXPECT_EQ(buf[2], 0xAA);  // nothing beyond the two bytes
  be_write16(buf, 0xFFFF);
  EXPECT_EQ(be_read16(buf), 0xFFFFu);
}

}  // namespace
