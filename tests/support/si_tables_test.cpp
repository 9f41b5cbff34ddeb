// ARIB SI table layouts: every loop length and descriptor lands at the offset the standard gives.
#include <gtest/gtest.h>

#include "tests/support/stream_builder.h"

namespace {

using tsb::Bytes;

int u16(const Bytes& b, size_t at) { return (b[at] << 8) | b[at + 1]; }
int u12(const Bytes& b, size_t at) { return ((b[at] & 0x0F) << 8) | b[at + 1]; }

class SiTables : public ::testing::Test {
 protected:
  const Bytes name = tsb::AribText().Sjis("ニュース7").bytes();
  const Bytes d1 = tsb::Descriptor(0xC1, {1, 2});
  const Bytes d2 = tsb::Descriptor(0xC2, {3});

  void ExpectValidSection(const Bytes& s) {
    EXPECT_EQ(u12(s, 1) + 3, int(s.size())) << tsb::hex_dump(s);
    EXPECT_EQ(tsb::crc32_mpeg2(s), 0u) << tsb::hex_dump(s);
  }
};

TEST_F(SiTables, EitPresentEventCarriesTheName) {
  const Bytes s = tsb::EitPf(0x0400, 0x7FE1, 0x7FE2, 0, 0x1234, name, 5).Build();
  ExpectValidSection(s);
  EXPECT_EQ(s[0], 0x4E);
  EXPECT_EQ(u16(s, 3), 0x0400);
  EXPECT_EQ(s[5], 0xC0 | (5 << 1) | 1);
  EXPECT_EQ(s[6], 0);
  EXPECT_EQ(s[7], 1);
  EXPECT_EQ(u16(s, 8), 0x7FE1);
  EXPECT_EQ(u16(s, 10), 0x7FE2);
  EXPECT_EQ(s[12], 1) << "segment_last_section_number of p/f";
  EXPECT_EQ(s[13], 0x4E);
  EXPECT_EQ(u16(s, 14), 0x1234);
  EXPECT_EQ(s[24] >> 5, 4) << "running";
  const size_t loop = u12(s, 24);
  ASSERT_EQ(loop, 2u + 3 + 1 + name.size() + 1);
  EXPECT_EQ(s[26], 0x4D);
  EXPECT_EQ(Bytes(s.begin() + 28, s.begin() + 31), tsb::bytes_of("jpn"));
  EXPECT_EQ(s[31], name.size());
  EXPECT_EQ(Bytes(s.begin() + 32, s.begin() + 32 + name.size()), name);
  EXPECT_EQ(s[32 + name.size()], 0) << "text_length";
  EXPECT_EQ(26 + loop + 4, s.size());
}

TEST_F(SiTables, EitScheduleSegmentsAndSeveralEvents) {
  tsb::EitDesc eit;
  eit.table_id = 0x50;
  eit.section_number = 9;
  eit.last_section_number = 0x1A;
  eit.events = {{.event_id = 1, .descriptors = d1}, {.event_id = 2, .descriptors = d2}};
  Bytes s = tsb::Eit(eit).Build();
  ExpectValidSection(s);
  EXPECT_EQ(s[12], 0x0F);
  eit.section_number = 0x18;
  EXPECT_EQ(tsb::Eit(eit).Build()[12], 0x1A) << "clipped to last_section_number";
  eit.segment_last_section_number = 0x19;
  eit.last_table_id = 0x51;
  s = tsb::Eit(eit).Build();
  EXPECT_EQ(s[12], 0x19);
  EXPECT_EQ(s[13], 0x51);
  const size_t second = 14 + 12 + d1.size();
  EXPECT_EQ(u16(s, second), 2);
  EXPECT_EQ(Bytes(s.begin() + second + 12, s.begin() + second + 12 + d2.size()), d2);
  EXPECT_EQ(Bytes(s.begin() + 16, s.begin() + 21), (Bytes(5, 0xFF))) << "undefined start_time";
}

TEST_F(SiTables, NitLoops) {
  const Bytes s = tsb::Nit(0x0004, d1, {{0x7FE1, 0x0004, d2}, {0x7FE2, 0x0004, {}}}).Build();
  ExpectValidSection(s);
  EXPECT_EQ(s[0], 0x40);
  EXPECT_EQ(u12(s, 8), int(d1.size()));
  const size_t tsLoop = 10 + d1.size();
  EXPECT_EQ(u12(s, tsLoop), int(6 + d2.size() + 6));
  EXPECT_EQ(u16(s, tsLoop + 2), 0x7FE1);
  EXPECT_EQ(u12(s, tsLoop + 2 + 4), int(d2.size()));
  EXPECT_EQ(s[tsLoop + 2 + 6], 0xC2);
  EXPECT_EQ(u16(s, tsLoop + 2 + 6 + d2.size()), 0x7FE2);
}

TEST_F(SiTables, SdttContentLengthsInTheirHigh12Bits) {
  tsb::SdttContent c;
  c.group = 1;
  c.target_version = 0x123;
  c.new_version = 0x456;
  c.download_level = 1;
  c.version_indicator = 2;
  c.schedule_timeshift_information = 3;
  c.schedules = {{tsb::mjd_bcd_time(2026, 12, 7, 3, 0, 0), tsb::bcd_duration(0, 30, 0)}};
  c.descriptors = tsb::cat({d1, d2});
  const Bytes s = tsb::Sdtt(0x0A, 0x0B, 0x7FE1, 0x0004, 0x0400, {c, c}).Build();
  ExpectValidSection(s);
  EXPECT_EQ(s[0], 0xC3);
  EXPECT_EQ(u16(s, 3), 0x0A0B);
  EXPECT_EQ(u16(s, 12), 0x0400);
  EXPECT_EQ(s[14], 2);
  EXPECT_EQ(u16(s, 15), 0x1123);
  EXPECT_EQ(u16(s, 17), (0x456 << 4) | (1 << 2) | 2);
  EXPECT_EQ(u16(s, 19) >> 4, int(8 + d1.size() + d2.size()));
  EXPECT_EQ(u16(s, 21), (8 << 4) | 3);
  EXPECT_EQ(s[23 + 8], 0xC1);
  EXPECT_EQ(u16(s, 23 + 8 + d1.size() + d2.size()), 0x1123) << "second content";
}

TEST_F(SiTables, BitSitCdtLoops) {
  Bytes s = tsb::Bit(0x0004, true, d1, {{0x01, d2}, {0x02, {}}}).Build();
  ExpectValidSection(s);
  EXPECT_EQ(s[0], 0xC4);
  EXPECT_EQ(s[8] >> 4, 0xF) << "reserved_future_use and broadcast_view_propriety";
  EXPECT_EQ(u12(s, 8), int(d1.size()));
  size_t at = 10 + d1.size();
  EXPECT_EQ(s[at], 0x01);
  EXPECT_EQ(u12(s, at + 1), int(d2.size()));
  EXPECT_EQ(s[at + 3], 0xC2);
  EXPECT_EQ(s[at + 3 + d2.size()], 0x02);

  s = tsb::Sit(d1, {{0x0400, 4, d2}}).Build();
  ExpectValidSection(s);
  EXPECT_EQ(s[0], 0x7F);
  EXPECT_EQ(u16(s, 3), 0xFFFF);
  at = 10 + d1.size();
  EXPECT_EQ(u16(s, at), 0x0400);
  EXPECT_EQ(u16(s, at + 2) >> 12, 0x8 | 4);
  EXPECT_EQ(u12(s, at + 2), int(d2.size()));
  EXPECT_EQ(s[at + 4], 0xC2);

  s = tsb::Cdt(0x0001, 0x0004, 0x01, d1, {0xDE, 0xAD}).Build();
  ExpectValidSection(s);
  EXPECT_EQ(s[0], 0xC8);
  EXPECT_EQ(u16(s, 8), 0x0004);
  EXPECT_EQ(s[10], 0x01);
  EXPECT_EQ(u12(s, 11), int(d1.size()));
  EXPECT_EQ(s[13], 0xC1);
  EXPECT_EQ(s[13 + d1.size()], 0xDE);
}

TEST_F(SiTables, MjdAcrossLeapDayAndDescriptorLimit) {
  EXPECT_EQ(tsb::mjd_bcd_time(2000, 1, 1, 0, 0, 0) >> 24, 51544u);
  EXPECT_EQ(tsb::mjd_bcd_time(2000, 2, 29, 23, 59, 59), (uint64_t(51603) << 24) | 0x235959);
  EXPECT_EQ(tsb::bcd_duration(1, 45, 30), 0x014530u);
  EXPECT_THROW(tsb::ShortEventDescriptor(Bytes(200), Bytes(100)), std::length_error)
      << "name and text fit one by one but not together";
}

}  // namespace
