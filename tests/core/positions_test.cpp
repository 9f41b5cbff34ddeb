// Position arithmetic at its limits: empty inputs, absurd sizes and damaged saved values give the
// bounds of the fields instead of overflowing.
#include "core/positions.h"

#include <gtest/gtest.h>

#include <climits>

TEST(Positions, PacketCountAndLimit) {
  EXPECT_EQ(packet_count(940000, 188), 5000);
  EXPECT_EQ(packet_count(187, 188), 0);
  EXPECT_EQ(packet_count(0, 188), 0);
  EXPECT_EQ(packet_count(940000, 0), 0);
  EXPECT_EQ(packet_count(1e30, 188), INT32_MAX);
  EXPECT_EQ(limit_packet(-1, 5000), 5000);
  EXPECT_EQ(limit_packet(5001, 5000), 5000);
  EXPECT_EQ(limit_packet(5000, 5000), 5000);
  EXPECT_EQ(limit_packet(0, 5000), 0);
}

TEST(Positions, StepsStayWithinZeroAndTheTotal) {
  EXPECT_EQ(step_time(600000, -1800000, 3600000), 0);
  EXPECT_EQ(step_time(3500000, 1800000, 3600000), 3600000);
  EXPECT_EQ(step_time(INT32_MAX, 1800000, INT32_MAX), INT32_MAX);
  EXPECT_EQ(step_time(1000, 500, 0), 0);
}

TEST(Positions, ScrollBarMapsBothWaysAndSaturates) {
  EXPECT_EQ(scroll_position_of(2500, 188, 940000, 0, 629), 314);  // 314.5
  EXPECT_EQ(scroll_position_of(INT32_MAX, 188, 940000, 0, 629), 629);
  EXPECT_EQ(scroll_position_of(-5, 188, 940000, 0, 629), 0);
  EXPECT_EQ(scroll_position_of(100, 188, 0.5, 0, 629), 0);
  EXPECT_EQ(scroll_packet_at(314, 940000, 0, 629, 188), 2496);
  EXPECT_EQ(scroll_packet_at(629, 1e30, 0, 629, 188), INT32_MAX);
  EXPECT_EQ(scroll_packet_at(5, 940000, 0, 0, 188), 0);
  EXPECT_EQ(scroll_packet_at(5, 940000, 0, 629, 0), 0);
}

TEST(Positions, PlayRangesKeepTheirEndsInsideTheFile) {
  PacketRange r = play_range_before(500, 5, 940000, 4900, 188);
  EXPECT_EQ(r.from, 0);
  EXPECT_EQ(r.to, 510);
  r = play_range_after(4900, 600, 940000, 4900, 188);
  EXPECT_EQ(r.from, 5000);
  EXPECT_EQ(r.to, 5000);
  r = play_range_after(INT32_MAX, 600, 940000, 4900, 188);
  EXPECT_EQ(r.to, 5000);
}
