// Integer 8x8 inverse DCT. Each 1-D pass evaluates the 8-point kernel as even and odd halves:
//   e0 = c4 x0 + c4 x4 + c2 x2 + c6 x6   o0 = c1 x1 + c3 x3 + c5 x5 + c7 x7   y0, y7 = e0 +- o0
//   e1 = c4 x0 - c4 x4 + c6 x2 - c2 x6   o1 = c3 x1 - c7 x3 - c1 x5 - c5 x7   y1, y6 = e1 +- o1
//   e2 = c4 x0 - c4 x4 - c6 x2 + c2 x6   o2 = c5 x1 - c1 x3 + c7 x5 + c3 x7   y2, y5 = e2 +- o2
//   e3 = c4 x0 + c4 x4 - c2 x2 - c6 x6   o3 = c7 x1 - c5 x3 + c3 x5 - c1 x7   y3, y4 = e3 +- o3
// The column pass adds 2048 to c4 x0 and shifts by 12, the row pass adds 16384 and shifts by 15
// (the kernel's gain of 2 sqrt(2) per pass and the 1/8 of the 2-D transform). Every product and
// sum is exact in 32 bits, and inputs and outputs of both passes fit in 16 bits, so the vector
// forms (idct_pass.h: pmaddwd, two 16x16-bit products summed exactly into 32 bits) give the same
// integers as the plain C++ form.
#include "mpeg2/idct.h"

#include "mpeg2/idct_pass.h"

#if defined(KERF_IDCT_VECTOR)
#include <immintrin.h>
#endif

namespace {

#if defined(KERF_IDCT_VECTOR)

// SSE2: one block in eight 128-bit registers.
struct Sse2Ops {
  using V = __m128i;
  static V pairs(int16_t a, int16_t b) { return _mm_setr_epi16(a, b, a, b, a, b, a, b); }
  static V set32(int32_t v) { return _mm_set1_epi32(v); }
  static V madd(V a, V b) { return _mm_madd_epi16(a, b); }
  static V add32(V a, V b) { return _mm_add_epi32(a, b); }
  static V sub32(V a, V b) { return _mm_sub_epi32(a, b); }
  static V srai32(V a, int n) { return _mm_srai_epi32(a, n); }
  static V packs32(V a, V b) { return _mm_packs_epi32(a, b); }
  static V unpacklo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
  static V unpackhi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
  static V unpacklo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
  static V unpackhi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
  static V unpacklo64(V a, V b) { return _mm_unpacklo_epi64(a, b); }
  static V unpackhi64(V a, V b) { return _mm_unpackhi_epi64(a, b); }
};

bool have_avx2() {
  static const bool avx2 = [] {
    __builtin_cpu_init();  // safe to repeat; needed where no constructor has run it yet
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return avx2;
}

#else

template <int32_t Round, int Shift>
inline void idct_pass_scalar(const int16_t* in, int16_t* out) {
  for (int j = 0; j < 8; ++j) {
    const int32_t x0 = in[j], x1 = in[8 + j], x2 = in[16 + j], x3 = in[24 + j];
    const int32_t x4 = in[32 + j], x5 = in[40 + j], x6 = in[48 + j], x7 = in[56 + j];
    const int32_t a = kIdctC4 * x0 + Round, b = kIdctC4 * x4;
    const int32_t s = a + b, d = a - b;
    const int32_t p = kIdctC2 * x2 + kIdctC6 * x6, q = kIdctC6 * x2 - kIdctC2 * x6;
    const int32_t e0 = s + p, e3 = s - p, e1 = d + q, e2 = d - q;
    const int32_t o0 = kIdctC1 * x1 + kIdctC3 * x3 + kIdctC5 * x5 + kIdctC7 * x7;
    const int32_t o1 = kIdctC3 * x1 - kIdctC7 * x3 - kIdctC1 * x5 - kIdctC5 * x7;
    const int32_t o2 = kIdctC5 * x1 - kIdctC1 * x3 + kIdctC7 * x5 + kIdctC3 * x7;
    const int32_t o3 = kIdctC7 * x1 - kIdctC5 * x3 + kIdctC3 * x5 - kIdctC1 * x7;
    out[j] = int16_t((e0 + o0) >> Shift);
    out[56 + j] = int16_t((e0 - o0) >> Shift);
    out[8 + j] = int16_t((e1 + o1) >> Shift);
    out[48 + j] = int16_t((e1 - o1) >> Shift);
    out[16 + j] = int16_t((e2 + o2) >> Shift);
    out[40 + j] = int16_t((e2 - o2) >> Shift);
    out[24 + j] = int16_t((e3 + o3) >> Shift);
    out[32 + j] = int16_t((e3 - o3) >> Shift);
  }
}

#endif

}  // namespace

void idct_8x8(int16_t block[64]) {
#if defined(KERF_IDCT_VECTOR)
  __m128i r[8];
  for (int k = 0; k < 8; ++k)
    r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * k));
  idct_vector::transform<Sse2Ops>(r);
  for (int k = 0; k < 8; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * k), r[k]);
#else
  int16_t cols[64], t[64];
  idct_pass_scalar<2048, 12>(block, cols);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) t[8 * c + r] = cols[8 * r + c];
  idct_pass_scalar<16384, 15>(t, cols);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) block[8 * c + r] = cols[8 * r + c];
#endif
}

void idct_8x8_pair(int16_t a[64], int16_t b[64]) {
#if defined(KERF_IDCT_VECTOR)
  if (have_avx2()) {
    idct_8x8_pair_avx2(a, b);
    return;
  }
#endif
  idct_8x8(a);
  idct_8x8(b);
}

void idct_8x8(int32_t block[64]) {
  int16_t b[64];
  for (int i = 0; i < 64; ++i) b[i] = int16_t(block[i]);
  idct_8x8(b);
  for (int i = 0; i < 64; ++i) block[i] = b[i];
}
