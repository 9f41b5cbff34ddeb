// The IDCT must be exactly the integer transform (compared with a literal evaluation of its
// formulas) and accurate against a double-precision reference in the manner of IEEE 1180.
#include "mpeg2/idct.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// The 8-point kernel evaluated term by term, as it is defined.
void literal_1d(const int64_t x[8], int64_t y[8], int64_t round, int shift) {
  const int64_t c1 = 5681, c2 = 5352, c3 = 4816, c4 = 4096, c5 = 3218, c6 = 2217, c7 = 1130;
  const int64_t e0 = (c4 * x[0] + round) + c4 * x[4] + c2 * x[2] + c6 * x[6];
  const int64_t e1 = (c4 * x[0] + round) - c4 * x[4] + c6 * x[2] - c2 * x[6];
  const int64_t e2 = (c4 * x[0] + round) - c4 * x[4] - c6 * x[2] + c2 * x[6];
  const int64_t e3 = (c4 * x[0] + round) + c4 * x[4] - c2 * x[2] - c6 * x[6];
  const int64_t o0 = c1 * x[1] + c3 * x[3] + c5 * x[5] + c7 * x[7];
  const int64_t o1 = c3 * x[1] - c7 * x[3] - c1 * x[5] - c5 * x[7];
  const int64_t o2 = c5 * x[1] - c1 * x[3] + c7 * x[5] + c3 * x[7];
  const int64_t o3 = c7 * x[1] - c5 * x[3] + c3 * x[5] - c1 * x[7];
  y[0] = (e0 + o0) >> shift;
  y[7] = (e0 - o0) >> shift;
  y[1] = (e1 + o1) >> shift;
  y[6] = (e1 - o1) >> shift;
  y[2] = (e2 + o2) >> shift;
  y[5] = (e2 - o2) >> shift;
  y[3] = (e3 + o3) >> shift;
  y[4] = (e3 - o3) >> shift;
}

void literal_idct(const int32_t in[64], int64_t out[64]) {
  int64_t tmp[64];
  for (int c = 0; c < 8; ++c) {
    int64_t x[8], y[8];
    for (int k = 0; k < 8; ++k) x[k] = in[8 * k + c];
    literal_1d(x, y, 2048, 12);
    for (int k = 0; k < 8; ++k) tmp[8 * k + c] = y[k];
  }
  for (int r = 0; r < 8; ++r) literal_1d(&tmp[8 * r], &out[8 * r], 16384, 15);
}

constexpr double kPi = 3.14159265358979323846;

void reference_idct(const int32_t in[64], double out[64]) {
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      double s = 0;
      for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
          const double cu = u ? 1.0 : std::sqrt(0.5), cv = v ? 1.0 : std::sqrt(0.5);
          s += cu * cv * in[8 * v + u] * std::cos((2 * x + 1) * u * kPi / 16) *
               std::cos((2 * y + 1) * v * kPi / 16);
        }
      out[8 * y + x] = s / 4;
    }
}

TEST(Idct, EqualsTheIntegerTransformOverTheWholeInputRange) {
  std::mt19937 rng(1234);
  for (int n = 0; n < 20000; ++n) {
    int32_t block[64];
    const int density = 1 + n % 64;
    for (int i = 0; i < 64; ++i)
      block[i] = int(rng() % 64) < density ? int32_t(rng() % 4096) - 2048 : 0;
    if (n % 97 == 0)
      for (int i = 0; i < 64; ++i) block[i] = (n & 1) ? 2047 : -2048;  // extremes
    int64_t expected[64];
    literal_idct(block, expected);
    idct_8x8(block);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(block[i], expected[i]) << "block " << n << " at " << i;
  }
}

TEST(Idct, AccuracyAgainstDoublePrecisionReference) {
  // IEEE 1180-style random blocks in three input ranges; the bounds are what this 12-bit
  // integer transform attains (peak error 1 per sample, small mean errors), so a change that
  // breaks a constant, a rounding term or a shift fails here.
  struct Range {
    int low, high;
  };
  for (const Range range : {Range{-256, 255}, Range{-5, 5}, Range{-300, 300}}) {
    std::mt19937 rng(42);
    double sum_err[64] = {}, sum_sq[64] = {};
    int peak = 0;
    const int kBlocks = 10000;
    for (int n = 0; n < kBlocks; ++n) {
      int32_t block[64];
      for (int i = 0; i < 64; ++i)
        block[i] = range.low + int32_t(rng() % uint32_t(range.high - range.low + 1));
      double ref[64];
      reference_idct(block, ref);
      idct_8x8(block);
      for (int i = 0; i < 64; ++i) {
        const double r = std::floor(ref[i] + 0.5);
        const double e = block[i] - r;
        sum_err[i] += e;
        sum_sq[i] += e * e;
        peak = std::max(peak, int(std::fabs(e)));
      }
    }
    double overall_sq = 0;
    for (int i = 0; i < 64; ++i) {
      EXPECT_LE(std::fabs(sum_err[i] / kBlocks), 0.1) << "mean error at " << i;
      EXPECT_LE(sum_sq[i] / kBlocks, 0.2) << "mean square error at " << i;
      overall_sq += sum_sq[i];
    }
    EXPECT_LE(peak, 1) << "range " << range.low << ".." << range.high;
    EXPECT_LE(overall_sq / (64.0 * kBlocks), 0.1);
  }
}

TEST(Idct, PairGivesTheSameResultsAsTwoSingleTransforms) {
  std::mt19937 rng(77);
  for (int n = 0; n < 5000; ++n) {
    int16_t a[64], b[64], a1[64], b1[64];
    for (int i = 0; i < 64; ++i) {
      a[i] = a1[i] = int16_t(int(rng() % 4096) - 2048);
      b[i] = b1[i] = int16_t(rng() % 3 ? 0 : int(rng() % 4096) - 2048);
    }
    idct_8x8_pair(a, b);
    idct_8x8(a1);
    idct_8x8(b1);
    for (int i = 0; i < 64; ++i) {
      ASSERT_EQ(a[i], a1[i]) << n << " a " << i;
      ASSERT_EQ(b[i], b1[i]) << n << " b " << i;
    }
  }
}

TEST(Idct, DcOnlyBlockIsFlatAtAnEighth) {
  int32_t block[64] = {};
  block[0] = 8 * 100 + 1;
  idct_8x8(block);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 100);
  int32_t neg[64] = {};
  neg[0] = -8 * 50;
  idct_8x8(neg);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(neg[i], -50);
}

}  // namespace
