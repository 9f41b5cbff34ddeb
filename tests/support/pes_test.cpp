// PES packets, their packetisation, access-unit splitting and the PCR timeline of embedded ES.
#include <gtest/gtest.h>

#include "tests/support/stream_builder.h"

namespace {

using tsb::Bytes;

// Reads a 5-byte time stamp field back and checks its prefix and marker bits.
uint64_t read_timestamp(const uint8_t* p, uint8_t prefix) {
  EXPECT_EQ(p[0] >> 4, prefix);
  EXPECT_EQ(p[0] & 1, 1);
  EXPECT_EQ(p[2] & 1, 1);
  EXPECT_EQ(p[4] & 1, 1);
  return (uint64_t((p[0] >> 1) & 7) << 30) | (uint64_t(p[1]) << 22) | (uint64_t(p[2] >> 1) << 15) |
         (uint64_t(p[3]) << 7) | (p[4] >> 1);
}

TEST(Pes, HeaderWithPtsAndDts) {
  const uint64_t pts = 0x1ABCDEF01ull, dts = 0x012345678ull;
  const Bytes pes = tsb::BuildPes({.stream_id = 0xE0, .pts = pts, .dts = dts, .data = {9, 8, 7}});
  ASSERT_EQ(pes.size(), 6u + 3 + 10 + 3);
  EXPECT_EQ(Bytes(pes.begin(), pes.begin() + 4), (Bytes{0, 0, 1, 0xE0}));
  EXPECT_EQ((pes[4] << 8) | pes[5], 3 + 10 + 3);
  EXPECT_EQ(pes[6], 0x80);
  EXPECT_EQ(pes[7], 0xC0);
  EXPECT_EQ(pes[8], 10);
  EXPECT_EQ(read_timestamp(&pes[9], 3), pts);
  EXPECT_EQ(read_timestamp(&pes[14], 1), dts);
  EXPECT_EQ(pes.back(), 7);
}

TEST(Pes, PtsOnlyUnboundedAndHeaderlessStreams) {
  const Bytes pes = tsb::BuildPes({.stream_id = 0xC0, .pts = 90000, .data = Bytes(10, 0)});
  EXPECT_EQ(pes[7], 0x80);
  EXPECT_EQ(read_timestamp(&pes[9], 2), 90000u);
  const Bytes open = tsb::BuildPes({.stream_id = 0xE0, .data = Bytes(70000, 0)});
  EXPECT_EQ(open[4] | open[5], 0) << "too long for the length field";
  const Bytes padding = tsb::BuildPes({.stream_id = 0xBE, .data = {0xFF, 0xFF}});
  EXPECT_EQ(padding, (Bytes{0, 0, 1, 0xBE, 0, 2, 0xFF, 0xFF}));
  EXPECT_THROW(tsb::BuildPes({.stream_id = 0xE0, .dts = 1}), std::invalid_argument);
}

TEST(Pes, PacketisedWithUnitStartPcrAndFinalStuffing) {
  const Bytes pes = tsb::BuildPes({.stream_id = 0xE0, .pts = 0, .data = Bytes(400, 0x5A)});
  tsb::TsStream ts;
  ts.Packets(tsb::PacketisePes(0x100, pes, tsb::Pcr{1234, 5}));
  // 414 bytes: 176 behind the PCR field, then 184, then 54 padded by stuffing.
  ASSERT_EQ(ts.PacketCount(), 3u);
  const Bytes p0 = ts.PacketAt(0), p1 = ts.PacketAt(1), p2 = ts.PacketAt(2);
  EXPECT_EQ(p0[1] & 0x40, 0x40);
  EXPECT_EQ(p0[5] & 0x10, 0x10);
  EXPECT_EQ(p1[1] & 0x40, 0);
  EXPECT_EQ(p2[4], 188 - 5 - 54);
  Bytes back;
  for (const Bytes* p : {&p0, &p1, &p2}) {
    const size_t at = ((*p)[3] & 0x20) ? 5 + (*p)[4] : 4;
    back.insert(back.end(), p->begin() + at, p->end());
  }
  EXPECT_EQ(back, pes);
}

// A fake MPEG-2 ES: sequence header, GOP, picture, slices; then picture, slices; then sequence
// header, picture, slices, sequence end.
Bytes fake_es(std::vector<size_t>& expectedStarts) {
  Bytes es;
  auto code = [&](uint8_t c, size_t pad) {
    es.insert(es.end(), {0, 0, 1, c});
    es.insert(es.end(), pad, 0x55);
  };
  expectedStarts = {0};
  code(0xB3, 8); code(0xB5, 6); code(0xB8, 4); code(0x00, 4); code(0xB5, 5); code(0x01, 50); code(0x02, 50);
  expectedStarts.push_back(es.size());
  code(0x00, 4); code(0x01, 300);
  expectedStarts.push_back(es.size());
  code(0xB3, 8); code(0xB2, 3); code(0x00, 4); code(0x01, 40); code(0xB7, 0);
  return es;
}

TEST(EsEmbedding, AccessUnitsStartAtHeadersBeforePictures) {
  std::vector<size_t> expected;
  const Bytes es = fake_es(expected);
  EXPECT_EQ(tsb::PictureAccessUnits(es), expected);
  EXPECT_TRUE(tsb::PictureAccessUnits({}).empty());
}

TEST(EsEmbedding, PesPerPictureAndPcrNeverLate) {
  std::vector<size_t> starts;
  Bytes es;
  for (int i = 0; i < 40; ++i) {   // 120 pictures, about 45 KB
    const Bytes part = fake_es(starts);
    es.insert(es.end(), part.begin(), part.end());
  }
  tsb::TsStream ts;
  ts.SetClock(2000000, tsb::Pcr::FromMs(500));
  tsb::EsEmbedding how;
  how.pcrIntervalMs = 30;
  size_t hookCalls = 0;
  how.beforePacket = [&](tsb::TsStream& s, size_t i) {
    ++hookCalls;
    if (i % 50 == 0) s.Null();
  };
  const size_t esPackets = tsb::EmbedEs(ts, es, how);
  EXPECT_EQ(hookCalls, esPackets);

  Bytes back;
  size_t unitStarts = 0;
  std::optional<uint64_t> lastPcr;
  for (size_t i = 0; i < ts.PacketCount(); ++i) {
    const Bytes p = ts.PacketAt(i);
    if ((((p[1] & 0x1F) << 8) | p[2]) != 0x100) continue;
    size_t at = 4;
    if (p[3] & 0x20) {
      at = 5 + p[4];
      if (p[4] > 0 && (p[5] & 0x10)) {
        const uint64_t b = (uint64_t(p[6]) << 25) | (p[7] << 17) | (p[8] << 9) | (p[9] << 1) | (p[10] >> 7);
        const uint64_t ticks = b * 300 + (((p[10] & 1) << 8) | p[11]);
        EXPECT_EQ(ticks, ts.ClockAt(i).Ticks()) << "PCR of packet " << i;
        if (lastPcr) {
          EXPECT_LE(ticks - *lastPcr, 30u * 27000) << "gap before packet " << i;
        }
        lastPcr = ticks;
      }
    }
    if (p[1] & 0x40) {
      ++unitStarts;
      // Skip the PES header: 6 bytes, 3 flag bytes, PES_header_data_length.
      at += 9 + p[at + 8];
    }
    back.insert(back.end(), p.begin() + at, p.end());
  }
  EXPECT_EQ(unitStarts, 120u);
  EXPECT_EQ(back, es);
  EXPECT_THROW(tsb::EmbedEs(ts, es, {.pcrIntervalMs = 101}), std::invalid_argument);
}

TEST(EsEmbedding, SeparatePcrPidGetsAdaptationOnlyPackets) {
  tsb::TsStream ts;
  ts.SetClock(1000000);
  tsb::EsEmbedding how;
  how.pcrPid = 0x1FF;
  how.pesChunk = 1000;
  tsb::EmbedEs(ts, Bytes(20000, 0x33), how);
  size_t pcrPackets = 0;
  for (size_t i = 0; i < ts.PacketCount(); ++i) {
    const Bytes p = ts.PacketAt(i);
    if ((((p[1] & 0x1F) << 8) | p[2]) == 0x1FF) {
      EXPECT_EQ((p[3] >> 4) & 3, 2);
      ++pcrPackets;
    } else {
      EXPECT_FALSE((p[3] & 0x20) && p[4] > 0 && (p[5] & 0x10)) << "no PCR on the ES PID";
    }
  }
  // 20 PES of 1014 bytes: 6 packets each, 120 packets at 1.5 ms: about 180 ms, one PCR per 40 ms.
  EXPECT_GE(pcrPackets, 4u);
  EXPECT_LE(pcrPackets, 6u);
}

}  // namespace
