// TS packet layout, adaptation fields and PCRs, continuity counters and the stream clock.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/support/stream_builder.h"

namespace {

using tsb::Bytes;
using tsb::PacketDesc;

int pid_of(const Bytes& p) { return ((p[1] & 0x1F) << 8) | p[2]; }
int cc_of(const Bytes& p) { return p[3] & 0x0F; }
int afc_of(const Bytes& p) { return (p[3] >> 4) & 3; }

// Decodes the PCR of a packet from its bytes, by the field layout of ISO/IEC 13818-1 Table 2-6.
tsb::Pcr pcr_of(const Bytes& p) {
  const uint64_t b = (uint64_t(p[6]) << 40) | (uint64_t(p[7]) << 32) | (uint64_t(p[8]) << 24) |
                     (uint64_t(p[9]) << 16) | (uint64_t(p[10]) << 8) | p[11];
  return {b >> 15, uint16_t(b & 0x1FF)};
}

TEST(TsPacket, HeaderFieldsLandInTheirBits) {
  PacketDesc s;
  s.pid = 0x1ABC;
  s.payload_unit_start_indicator = true;
  s.transport_error_indicator = true;
  s.transport_priority = true;
  s.transport_scrambling_control = 2;
  s.payload.assign(184, 0x11);
  const Bytes p = tsb::MakePacket(s, 9);
  ASSERT_EQ(p.size(), 188u);
  EXPECT_EQ(p[0], 0x47);
  EXPECT_EQ(p[1], 0x80 | 0x40 | 0x20 | 0x1A);
  EXPECT_EQ(pid_of(p), 0x1ABC);
  EXPECT_EQ(p[3], 0x80 | 0x10 | 9) << tsb::hex_dump(p);
  EXPECT_EQ(p[4], 0x11);
}

TEST(TsPacket, PcrFieldAndStuffingForShortPayload) {
  PacketDesc s;
  s.pid = 0x100;
  s.pcr = tsb::Pcr{0x1FFFFFFFFull, 299};   // every base bit and the largest extension
  s.random_access_indicator = true;
  s.payload = {1, 2, 3};
  const Bytes p = tsb::MakePacket(s);
  EXPECT_EQ(afc_of(p), 3);
  EXPECT_EQ(p[4], 188 - 5 - 3) << "adaptation_field_length covers all but the payload";
  EXPECT_EQ(p[5], 0x40 | 0x10);
  EXPECT_EQ(pcr_of(p).base, 0x1FFFFFFFFull);
  EXPECT_EQ(pcr_of(p).extension, 299);
  EXPECT_EQ(p[10] & 0x7E, 0x7E) << "reserved bits are ones";
  for (size_t i = 12; i < 185; ++i) ASSERT_EQ(p[i], 0xFF) << "stuffing at " << i;
  EXPECT_EQ(Bytes(p.end() - 3, p.end()), (Bytes{1, 2, 3}));
}

TEST(TsPacket, ShortPayloadPaddedByStuffingOrTrailingFF) {
  PacketDesc s;
  s.payload.assign(183, 0x22);
  Bytes p = tsb::MakePacket(s);
  EXPECT_EQ(afc_of(p), 3);
  EXPECT_EQ(p[4], 0) << "one byte short: an adaptation field of length 0";
  EXPECT_EQ(p[5], 0x22);
  s.payload = {0x00, 0x42};
  s.padWithFF = true;
  p = tsb::MakePacket(s);
  EXPECT_EQ(afc_of(p), 1);
  EXPECT_EQ(p[5], 0x42);
  EXPECT_EQ(Bytes(p.begin() + 6, p.end()), Bytes(182, 0xFF));
}

TEST(TsPacket, OversizedPayloadThrows) {
  PacketDesc s;
  s.payload.assign(184, 0);
  s.pcr = tsb::Pcr{};
  EXPECT_THROW(tsb::MakePacket(s), std::length_error);
  s.pcr.reset();
  s.payload.push_back(0);
  EXPECT_THROW(tsb::MakePacket(s), std::length_error);
}

TEST(TsStream, ContinuityCountsPerPidWrapsAndSkipsAdaptationOnly) {
  tsb::TsStream ts;
  PacketDesc a;
  a.pid = 0x100;
  PacketDesc b;
  b.pid = 0x200;
  for (int i = 0; i < 17; ++i) ts.Packet(a);
  ts.Packet(b);
  ts.PcrPacket(0x100, tsb::Pcr{});
  ts.Packet(a);
  EXPECT_EQ(cc_of(ts.PacketAt(15)), 15);
  EXPECT_EQ(cc_of(ts.PacketAt(16)), 0);
  EXPECT_EQ(cc_of(ts.PacketAt(17)), 0) << "second PID counts on its own";
  EXPECT_EQ(cc_of(ts.PacketAt(18)), 1) << "adaptation-only packet shows the last counter";
  EXPECT_EQ(afc_of(ts.PacketAt(18)), 2);
  EXPECT_EQ(cc_of(ts.PacketAt(19)), 1) << "and does not advance it";
}

TEST(TsStream, ContinuityOverrideContinuesFromTheGivenValue) {
  tsb::TsStream ts;
  PacketDesc a;
  a.pid = 0x30;
  ts.Packet(a);
  a.continuity_counter = 7;
  ts.Packet(a);   // a jump, as in a damaged stream
  a.continuity_counter.reset();
  ts.Packet(a);
  ts.SetContinuity(0x30, 3);
  ts.Packet(a);
  EXPECT_EQ(cc_of(ts.PacketAt(1)), 7);
  EXPECT_EQ(cc_of(ts.PacketAt(2)), 8);
  EXPECT_EQ(cc_of(ts.PacketAt(3)), 3);
  EXPECT_EQ(ts.NextContinuity(0x30), 4);
}

TEST(TsStream, ClockFollowsPacketPositionAndWraps) {
  tsb::TsStream ts;
  ts.SetClock(1504000, tsb::Pcr::FromMs(1000));   // 1000 packets a second
  EXPECT_EQ(ts.ClockAt(0).Ticks(), 27000000u);
  EXPECT_EQ(ts.ClockAt(1).Ticks(), 27000000u + 27000);
  EXPECT_EQ(ts.ClockAt(123456).Ticks(), 27000000u + 123456ull * 27000);
  // Near the end of the 33-bit base the clock wraps to 0 instead of overflowing.
  ts.SetClock(1504000, tsb::Pcr{tsb::kPcrBaseWrap - 90, 0});   // 1 ms before the wrap
  EXPECT_EQ(ts.ClockAt(2).base, 90u);
  ts.Null(2);
  ts.PcrPacket(0x100);
  EXPECT_EQ(pcr_of(ts.PacketAt(2)).base, 90u);
}

}  // namespace
