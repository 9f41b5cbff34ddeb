#include "mpeg2/bit_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Bit i of the data, MSB first, or 0 past the end.
uint32_t slow_bits(const std::vector<uint8_t>& d, int64_t pos, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i, ++pos) {
    const uint32_t bit =
        pos / 8 < int64_t(d.size()) ? (d[size_t(pos / 8)] >> (7 - pos % 8)) & 1 : 0;
    v = (v << 1) | bit;
  }
  return v;
}

TEST(BitReader, MatchesBitByBitReadingForEveryWidth) {
  std::mt19937 rng(7);
  // Exact-size heap buffers: a read past the end would be caught by the sanitizer build.
  for (size_t size : {0u, 1u, 3u, 7u, 8u, 9u, 15u, 64u, 1000u}) {
    std::vector<uint8_t> data(size);
    for (auto& b : data) b = uint8_t(rng());
    BitReader br(data.data(), data.data() + data.size());
    int64_t pos = 0;
    while (pos < int64_t(size) * 8 + 100) {
      const int n = 1 + int(rng() % 32);
      ASSERT_EQ(br.Show(n), slow_bits(data, pos, n)) << "size " << size << " pos " << pos;
      ASSERT_EQ(br.Get(n), slow_bits(data, pos, n));
      pos += n;
      ASSERT_EQ(br.Position(), pos);
    }
  }
}

TEST(BitReader, ReadsZerosPastTheEnd) {
  const uint8_t data[2] = {0xFF, 0xFF};
  BitReader br(data, data + 2);
  EXPECT_EQ(br.Get(12), 0xFFFu);
  EXPECT_EQ(br.Get(8), 0xF0u);
  EXPECT_EQ(br.Get(32), 0u);
  EXPECT_EQ(br.Get(32), 0u);
}

TEST(BitReader, SignedReadsTwosComplement) {
  const uint8_t data[3] = {0x80, 0x0F, 0xFF};  // 1000 0000 0000 | 1111 1111 1111
  BitReader br(data, data + 3);
  EXPECT_EQ(br.GetSigned(12), -2048);
  EXPECT_EQ(br.GetSigned(12), -1);
}

}  // namespace
