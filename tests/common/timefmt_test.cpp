// Time, packet-number, bitrate and size texts; PCR arithmetic; proportional conversions.
#include "common/timefmt.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

std::string text_of(int32_t ms) {
  char buf[13];
  return ms_to_text(ms, buf);
}

int32_t parse(const char* text) {
  char buf[64];
  std::strcpy(buf, text);
  return text_to_ms(buf);
}

TEST(TimeText, HoursAloneAreLimited) {
  EXPECT_EQ(text_of(-5), "00:00:00.000");
  EXPECT_EQ(text_of(86399999), "23:59:59.999");
  EXPECT_EQ(text_of(360000000), "99:00:00.000");
  EXPECT_EQ(text_of(363600000), "99:00:00.000");
  EXPECT_EQ(text_of(INT32_MAX), "99:31:23.647");
}

TEST(TimeText, ParsesUpToFourLimitedTokens) {
  EXPECT_EQ(parse(""), 0);
  EXPECT_EQ(parse("1:2:3"), 3723000);
  EXPECT_EQ(parse("00:75:00.000"), 3540000);
  EXPECT_EQ(parse("00:00:00.1234"), 999);
  EXPECT_EQ(parse("-1:00"), 0);
  EXPECT_EQ(parse("150:0"), 356400000);
  EXPECT_EQ(parse("99999999999999999999"), 356400000);  // limited, not wrapped
  // The fourth token counts milliseconds; it is no decimal fraction.
  EXPECT_EQ(parse("00:00:01.5"), 1005);
  EXPECT_EQ(parse("1.5"), 3900000);
  EXPECT_EQ(parse(" ::1,2 3.4:5"), 3723004);
  EXPECT_EQ(parse("12abc"), 43200000);
}

TEST(TimeText, WrittenTextReadsBack) {
  for (int64_t ms = 0; ms < 360000000; ms += 999983) {
    char buf[13];
    EXPECT_EQ(text_to_ms(ms_to_text(int32_t(ms), buf)), ms);
  }
}

TEST(NumberText, BitrateSizeAndPacketForms) {
  char buf[32];
  EXPECT_STREQ(bitrate_to_text(16500000, buf), "16.500000");
  EXPECT_STREQ(bitrate_to_text(1500000, buf), " 1.500000");
  EXPECT_EQ(text_to_bitrate(" 1.500000"), 1500000);
  EXPECT_EQ(text_to_bitrate("16.851234"), 16851234);
  EXPECT_EQ(text_to_bitrate("abc"), 0);
  EXPECT_EQ(text_to_bitrate("99999999"), INT32_MAX);
  EXPECT_STREQ(size_to_text(4294967296.0, buf), " 4.295GB");
  EXPECT_STREQ(size_to_text(12345678901.0, buf), "12.346GB");
  EXPECT_STREQ(packet_to_text(-1, buf), "FFFFFFFF");
  EXPECT_STREQ(packet_to_text(0xC350, buf), "0000C350");
  int32_t packet = 1234;
  EXPECT_EQ(text_to_packet("xyz", packet), 0);
  EXPECT_EQ(packet, 1234);
  EXPECT_EQ(text_to_packet("80000000", packet), 1);
  EXPECT_EQ(packet, INT32_MIN);
}

TEST(PcrClock, TopOfTheClockIsOneWrap) {
  const long double top = pcr_to_seconds((uint64_t(1) << 33) - 1, 299);
  EXPECT_LT(top, 95443.7177L);
  EXPECT_GT(top, 95443.7176L);
  EXPECT_EQ(pcr_to_ms(1, 0xFFFFFFFFu, 299), kPcrWrapMs);
  EXPECT_EQ(pcr_to_ms(1, 0, 0), 47721859);  // the high bit is 2^32 ticks
  EXPECT_EQ(pcr_to_ms(0, 45, 0), 1);        // 0.5 ms rounds up
  EXPECT_EQ(pcr_to_ms(0, 44, 299), 0);
}

TEST(Conversions, ProportionsAndTheirZeroCases) {
  const double size = 188.0 * 1000;
  EXPECT_EQ(packet_to_ms(500, size, 10000, 188), 5000);
  EXPECT_EQ(ms_to_packet(5000, size, 10000, 188), 500);
  EXPECT_EQ(packet_to_ms(1, 188.0 * 4, 2, 188), 1);  // 0.5 rounds up
  EXPECT_EQ(packet_to_ms(12345, 0.0, 10000, 188), 0);
  EXPECT_EQ(ms_to_packet(5000, size, 0, 188), 0);
  EXPECT_EQ(total_to_bitrate(1000, 2000000.0), 16000000);
  EXPECT_EQ(bitrate_to_total(16000000, 2000000.0), 1000);
  EXPECT_EQ(bitrate_to_total(0, 1e9), 0);
  EXPECT_EQ(total_to_bitrate(0, 1e9), 0);
  // 20 GB at 1000 bit/s would be 160000000 s: limited to 23:59:59.999.
  EXPECT_EQ(bitrate_to_total(1000, 20e9), kMaxTotalMs);
  EXPECT_EQ(total_to_bitrate(1, 1e12), INT32_MAX);  // saturates rather than wraps
}

}  // namespace
