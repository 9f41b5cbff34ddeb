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
  std::strncpy(buf, text, sizeof buf - 1);
  buf[sizeof buf - 1] = 0;
  return text_to_ms(buf);
}

TEST(TimeText, FieldsAndLimits) {
  EXPECT_EQ(text_of(0), "00:00:00.000");
  EXPECT_EQ(text_of(-5), "00:00:00.000");
  EXPECT_EQ(text_of(INT32_MIN), "00:00:00.000");
  EXPECT_EQ(text_of(1), "00:00:00.001");
  EXPECT_EQ(text_of(3723004), "01:02:03.004");
  EXPECT_EQ(text_of(86399999), "23:59:59.999");
  EXPECT_EQ(text_of(359999999), "99:59:59.999");
  // Only the hour field is limited; the others keep the real remainder.
  EXPECT_EQ(text_of(360000000), "99:00:00.000");
  EXPECT_EQ(text_of(363600000), "99:00:00.000");
  EXPECT_EQ(text_of(INT32_MAX), "99:31:23.647");
}

TEST(TimeText, ParsesTokensWithLimits) {
  EXPECT_EQ(parse(""), 0);
  EXPECT_EQ(parse("   "), 0);
  EXPECT_EQ(parse("1:2:3"), 3723000);
  EXPECT_EQ(parse("00:75:00.000"), 3540000);
  EXPECT_EQ(parse("00:00:75.000"), 59000);
  EXPECT_EQ(parse("00:00:00.1234"), 999);
  EXPECT_EQ(parse("-1:00"), 0);
  EXPECT_EQ(parse("00:-5:10"), 10000);
  EXPECT_EQ(parse("150:00:00.000"), 356400000);
  // Digits far beyond 32 bits are limited, not wrapped.
  EXPECT_EQ(parse("99999999999999999999:0"), 356400000);
  EXPECT_EQ(parse("0:0:0:99999999999999999999"), 999);
}

TEST(TimeText, FourthTokenCountsMillisecondsNotAFraction) {
  EXPECT_EQ(parse("00:00:01.5"), 1005);
  EXPECT_EQ(parse("1.5"), 3900000);
  EXPECT_EQ(parse("1,2 3.4"), 3723004);
  // Runs of separators and leading separators are skipped; a fifth token is ignored.
  EXPECT_EQ(parse("::1::2"), 3720000);
  EXPECT_EQ(parse("1:2:3.4:5"), 3723004);
  // A token is read up to its first non-digit.
  EXPECT_EQ(parse("12abc"), 43200000);
  EXPECT_EQ(parse("x:30"), 1800000);
  EXPECT_EQ(parse("+1"), 3600000);
}

TEST(TimeText, WrittenTextReadsBackToTheSameTime) {
  for (int64_t ms = 0; ms < 360000000; ms += 999983) {
    char buf[13];
    ms_to_text(int32_t(ms), buf);
    EXPECT_EQ(text_to_ms(buf), ms) << "ms " << ms;
  }
  for (int32_t ms : {0, 1, 999, 1000, 59999, 60000, 3599999, 3600000, 86399999, 359999999}) {
    char buf[13];
    ms_to_text(ms, buf);
    EXPECT_EQ(text_to_ms(buf), ms) << "ms " << ms;
  }
}

TEST(NumberTexts, BitrateWithSixDecimalsAndReadBack) {
  char buf[32];
  EXPECT_STREQ(bitrate_to_text(16500000, buf), "16.500000");
  EXPECT_STREQ(bitrate_to_text(1500000, buf), " 1.500000");
  EXPECT_STREQ(bitrate_to_text(0, buf), " 0.000000");
  EXPECT_STREQ(bitrate_to_text(123456789, buf), "123.456789");
  EXPECT_EQ(text_to_bitrate("16.500000"), 16500000);
  EXPECT_EQ(text_to_bitrate(" 1.500000"), 1500000);
  EXPECT_EQ(text_to_bitrate("16.5"), 16500000);
  EXPECT_EQ(text_to_bitrate("0.0000006"), 1);   // 0.6 bit rounds to 1
  EXPECT_EQ(text_to_bitrate("0.0000004"), 0);
  EXPECT_EQ(text_to_bitrate("abc"), 0);
  EXPECT_EQ(text_to_bitrate(""), 0);
  // Out of the 32-bit range the result saturates instead of wrapping.
  EXPECT_EQ(text_to_bitrate("99999999"), INT32_MAX);
  EXPECT_EQ(text_to_bitrate("inf"), 0);
  for (int32_t b : {1, 999999, 1000000, 16851234, 24000000, 2147483647}) {
    EXPECT_EQ(text_to_bitrate(bitrate_to_text(b, buf)), b) << b;
  }
}

TEST(NumberTexts, SizeInDecimalGigabytes) {
  char buf[32];
  EXPECT_STREQ(size_to_text(0.0, buf), " 0.000GB");
  EXPECT_STREQ(size_to_text(4294967296.0, buf), " 4.295GB");
  EXPECT_STREQ(size_to_text(12345678901.0, buf), "12.346GB");
  EXPECT_STREQ(size_to_text(123456789012.0, buf), "123.457GB");
}

TEST(NumberTexts, PacketNumberHexAndReadBack) {
  char buf[9];
  EXPECT_STREQ(packet_to_text(0, buf), "00000000");
  EXPECT_STREQ(packet_to_text(0xC350, buf), "0000C350");
  EXPECT_STREQ(packet_to_text(-1, buf), "FFFFFFFF");
  EXPECT_STREQ(packet_to_text(INT32_MIN, buf), "80000000");

  int32_t packet = 5;
  EXPECT_EQ(text_to_packet("0000c350", packet), 1);
  EXPECT_EQ(packet, 0xC350);
  EXPECT_EQ(text_to_packet("7FFFFFFF", packet), 1);
  EXPECT_EQ(packet, INT32_MAX);
  EXPECT_EQ(text_to_packet("80000000", packet), 1);
  EXPECT_EQ(packet, INT32_MIN);
  EXPECT_EQ(text_to_packet("FFFFFFFF", packet), 1);
  EXPECT_EQ(packet, -1);
  EXPECT_EQ(text_to_packet("  1fz", packet), 1);
  EXPECT_EQ(packet, 0x1F);
  // Without hexadecimal digits the previous value stays.
  packet = 1234;
  EXPECT_EQ(text_to_packet("", packet), 0);
  EXPECT_EQ(text_to_packet("xyz", packet), 0);
  EXPECT_EQ(text_to_packet("   ", packet), 0);
  EXPECT_EQ(packet, 1234);
}

TEST(PcrClock, SecondsAndMilliseconds) {
  const long double top = pcr_to_seconds((uint64_t(1) << 33) - 1, 299);
  EXPECT_LT(top, 95443.7177L);
  EXPECT_GT(top, 95443.7176L);
  // The top of the clock rounds to exactly one wrap.
  EXPECT_EQ(pcr_to_ms(1, 0xFFFFFFFFu, 299), kPcrWrapMs);
  EXPECT_EQ(pcr_to_ms(0, 0, 0), 0);
  EXPECT_EQ(pcr_to_ms(0, 90000, 0), 1000);
  EXPECT_EQ(pcr_to_ms(0, 45, 0), 1);       // 0.5 ms rounds up
  EXPECT_EQ(pcr_to_ms(0, 44, 299), 0);     // 0.4999 ms does not
  // The high bit carries 2^32 ticks of 90 kHz: 47721858.84 s.
  EXPECT_EQ(pcr_to_ms(1, 0, 0), 47721859);
  EXPECT_EQ(seconds_to_ms(1.2345L), 1235);
  EXPECT_EQ(seconds_to_ms(0.0L), 0);
  EXPECT_EQ(seconds_to_ms(1e12L), INT32_MAX);
}

TEST(Conversions, PacketsAndTimesByProportion) {
  const double size = 188.0 * 1000;  // 1000 packets
  EXPECT_EQ(packet_to_ms(500, size, 10000, 188), 5000);
  EXPECT_EQ(ms_to_packet(5000, size, 10000, 188), 500);
  EXPECT_EQ(packet_to_ms(1000, size, 10000, 188), 10000);
  // Halves round up: packet 1 of 4 in 2 ms is 0.5 ms.
  EXPECT_EQ(packet_to_ms(1, 188.0 * 4, 2, 188), 1);
  EXPECT_EQ(ms_to_packet(1, 188.0 * 4, 8, 188), 1);  // 0.5 packets
  // A file of several gigabytes: packet numbers near the 32-bit limit keep their precision.
  const double big = 188.0 * 100000000;
  EXPECT_EQ(packet_to_ms(99999999, big, 86399999, 188), 86399998);
  EXPECT_EQ(ms_to_packet(86399999, big, 86399999, 188), 100000000);
}

TEST(Conversions, EmptyFileOrNoTimeGivesZero) {
  EXPECT_EQ(packet_to_ms(12345, 0.0, 10000, 188), 0);
  EXPECT_EQ(packet_to_ms(12345, 0.5, 10000, 188), 0);
  EXPECT_EQ(ms_to_packet(5000, 188000.0, 0, 188), 0);
  EXPECT_EQ(ms_to_packet(5000, 188000.0, -10, 188), 0);
  EXPECT_EQ(ms_to_packet(5000, 0.0, 10000, 188), 0);
  EXPECT_EQ(bitrate_to_total(0, 1e9), 0);
  EXPECT_EQ(bitrate_to_total(-1, 1e9), 0);
  EXPECT_EQ(total_to_bitrate(0, 1e9), 0);
  EXPECT_EQ(total_to_bitrate(-1, 1e9), 0);
  EXPECT_EQ(total_to_bitrate(1000, 0.0), 0);
}

TEST(Conversions, BitrateAndTotalTime) {
  EXPECT_EQ(total_to_bitrate(1000, 2000000.0), 16000000);
  EXPECT_EQ(bitrate_to_total(16000000, 2000000.0), 1000);
  EXPECT_EQ(total_to_bitrate(3, 1.0), 2667);       // 2666.67 rounds to nearest
  // The total time is limited to 23:59:59.999; 20 GB at 1000 bit/s would be 160000000 s.
  EXPECT_EQ(bitrate_to_total(1000, 20e9), kMaxTotalMs);
  EXPECT_EQ(bitrate_to_total(1, 1e15), kMaxTotalMs);
  EXPECT_EQ(bitrate_to_total(8, 86399.999), kMaxTotalMs);
  EXPECT_EQ(bitrate_to_total(8, 86399.998), 86399998);
  // The bitrate has no limit of its own but cannot leave the 32-bit range.
  EXPECT_EQ(total_to_bitrate(1, 1e12), INT32_MAX);
}

}  // namespace
