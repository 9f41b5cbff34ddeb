// Position arithmetic at its limits, where the window cannot take it: absurd sizes and damaged
// saved values give the bounds of the fields instead of overflowing.
#include "core/positions.h"

#include <gtest/gtest.h>

#include <climits>

TEST(Positions, AbsurdValuesSaturate) {
  EXPECT_EQ(packet_count(1e30, 188), INT32_MAX);
  EXPECT_EQ(packet_count(940000, 0), 0);
  EXPECT_EQ(step_time(INT32_MAX, 1800000, INT32_MAX), INT32_MAX);
  EXPECT_EQ(scroll_position_of(INT32_MAX, 188, 940000, 0, 629), 629);
  EXPECT_EQ(scroll_position_of(-5, 188, 940000, 0, 629), 0);
  EXPECT_EQ(scroll_position_of(100, 188, 0.5, 0, 629), 0);
  EXPECT_EQ(scroll_packet_at(629, 1e30, 0, 629, 188), INT32_MAX);
  EXPECT_EQ(scroll_packet_at(5, 940000, 0, 0, 188), 0);
  EXPECT_EQ(scroll_packet_at(5, 940000, 0, 629, 0), 0);
  EXPECT_EQ(play_range_after(INT32_MAX, 600, 940000, 4900, 188).to, 5000);
  EXPECT_EQ(play_range_before(500, 5, 940000, 4900, 188).from, 0);
}
