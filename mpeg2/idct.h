// The decoder's 8x8 inverse DCT: a separable integer transform with 12-bit constants, columns
// first, then rows. The result is exact integer arithmetic, identical on every platform and in
// every implementation (SSE2 where available, plain C++ otherwise).
#pragma once
#include <cstdint>

// c_k = round(4096 * sqrt(2) * cos(k * pi / 16)).
constexpr int32_t kIdctC1 = 5681;
constexpr int32_t kIdctC2 = 5352;
constexpr int32_t kIdctC3 = 4816;
constexpr int32_t kIdctC4 = 4096;
constexpr int32_t kIdctC5 = 3218;
constexpr int32_t kIdctC6 = 2217;
constexpr int32_t kIdctC7 = 1130;

// Transforms 64 raster-order coefficients in place into 64 raster-order samples (not clamped).
// Inputs must be saturated values of inverse quantisation (-2048..2047); every intermediate and
// output value then fits in 16 bits (column outputs at most 15,303 in magnitude, row outputs at
// most 14,293).
void idct_8x8(int16_t block[64]);
void idct_8x8(int32_t block[64]);
// Two blocks at once (with AVX2 where the processor has it); the same results as two single calls.
void idct_8x8_pair(int16_t a[64], int16_t b[64]);
