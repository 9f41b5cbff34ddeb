// The builder's CRC-32/MPEG-2 against published check values and sections written by FFmpeg.
#include <gtest/gtest.h>

#include "tests/support/stream_builder.h"

namespace {

struct CrcVector {
  const char* name;
  tsb::Bytes bytes;
  uint32_t crc;
};

// Sections as FFmpeg's MPEG-TS muxer writes them (PAT, PMT, SDT of a one-programme stream), with
// the CRC_32 FFmpeg put behind them.
const CrcVector kVectors[] = {
    {"check string", tsb::bytes_of("123456789"), 0x0376E6E7},
    {"empty", {}, 0xFFFFFFFF},
    {"FFmpeg PAT", {0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xF0, 0x00}, 0x2AB104B2},
    {"FFmpeg PMT",
     {0x02, 0xB0, 0x12, 0x00, 0x01, 0xC1, 0x00, 0x00, 0xE1, 0x00, 0xF0, 0x00, 0x02, 0xE1, 0x00, 0xF0, 0x00},
     0x9E8B23D1},
};

TEST(Crc32Mpeg2, KnownAnswersWholeAndInChunks) {
  for (const CrcVector& v : kVectors) {
    EXPECT_EQ(tsb::crc32_mpeg2(v.bytes), v.crc) << v.name;
    for (size_t cut = 0; cut <= v.bytes.size(); ++cut) {
      const uint32_t first = tsb::crc32_mpeg2(v.bytes.data(), cut);
      EXPECT_EQ(tsb::crc32_mpeg2(v.bytes.data() + cut, v.bytes.size() - cut, first), v.crc)
          << v.name << " cut at " << cut;
    }
  }
}

TEST(Crc32Mpeg2, SectionWithItsCrcLeavesZero) {
  for (const CrcVector& v : kVectors) {
    tsb::Bytes whole = v.bytes;
    tsb::put_be(whole, v.crc, 4);
    EXPECT_EQ(tsb::crc32_mpeg2(whole), 0u) << v.name;
  }
}

}  // namespace
