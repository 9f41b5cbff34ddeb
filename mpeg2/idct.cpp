// Integer 8x8 inverse DCT. Each 1-D pass evaluates the 8-point kernel as even and odd halves:
//   e0 = c4 x0 + c4 x4 + c2 x2 + c6 x6   o0 = c1 x1 + c3 x3 + c5 x5 + c7 x7   y0, y7 = e0 +- o0
//   e1 = c4 x0 - c4 x4 + c6 x2 - c2 x6   o1 = c3 x1 - c7 x3 - c1 x5 - c5 x7   y1, y6 = e1 +- o1
//   e2 = c4 x0 - c4 x4 - c6 x2 + c2 x6   o2 = c5 x1 - c1 x3 + c7 x5 + c3 x7   y2, y5 = e2 +- o2
//   e3 = c4 x0 + c4 x4 - c2 x2 - c6 x6   o3 = c7 x1 - c5 x3 + c3 x5 - c1 x7   y3, y4 = e3 +- o3
// The column pass adds 2048 to c4 x0 and shifts by 12, the row pass adds 16384 and shifts by 15
// (the kernel's gain of 2 sqrt(2) per pass and the 1/8 of the 2-D transform). Every product and
// sum is exact in 32 bits, and inputs and outputs of both passes fit in 16 bits, so the SSE2 form
// (pmaddwd: two 16x16-bit products summed exactly into 32 bits) gives the same integers.
#include "mpeg2/idct.h"

// The vector forms need GCC's or clang's target attributes and CPU tests; any other compiler or
// processor takes the plain C++ form, which gives the same integers.
#if defined(__GNUC__) && defined(__SSE2__)
#define KERF_IDCT_VECTOR 1
#include <immintrin.h>
#endif

namespace {

#if defined(KERF_IDCT_VECTOR)

inline __m128i pair(int16_t a, int16_t b) {
  return _mm_setr_epi16(a, b, a, b, a, b, a, b);
}

// One 1-D pass over eight lanes: lane j of x[k] is input x_k of line j; y[k] receives output y_k.
template <int32_t Round, int Shift>
inline void idct_pass(__m128i x[8]) {
  const __m128i c4c4 = pair(kIdctC4, kIdctC4), c4n4 = pair(kIdctC4, -kIdctC4);
  const __m128i c2c6 = pair(kIdctC2, kIdctC6), c6n2 = pair(kIdctC6, -kIdctC2);
  const __m128i c1c3 = pair(kIdctC1, kIdctC3), c5c7 = pair(kIdctC5, kIdctC7);
  const __m128i c3n7 = pair(kIdctC3, -kIdctC7), n1n5 = pair(-kIdctC1, -kIdctC5);
  const __m128i c5n1 = pair(kIdctC5, -kIdctC1), c7c3 = pair(kIdctC7, kIdctC3);
  const __m128i c7n5 = pair(kIdctC7, -kIdctC5), c3n1 = pair(kIdctC3, -kIdctC1);
  const __m128i round = _mm_set1_epi32(Round);
  __m128i out[2][8];
  for (int half = 0; half < 2; ++half) {
    const auto il = [half](__m128i a, __m128i b) {
      return half ? _mm_unpackhi_epi16(a, b) : _mm_unpacklo_epi16(a, b);
    };
    const __m128i p04 = il(x[0], x[4]), p26 = il(x[2], x[6]);
    const __m128i p13 = il(x[1], x[3]), p57 = il(x[5], x[7]);
    const __m128i a = _mm_add_epi32(_mm_madd_epi16(p04, c4c4), round);
    const __m128i b = _mm_add_epi32(_mm_madd_epi16(p04, c4n4), round);
    const __m128i p = _mm_madd_epi16(p26, c2c6);
    const __m128i q = _mm_madd_epi16(p26, c6n2);
    const __m128i e0 = _mm_add_epi32(a, p), e3 = _mm_sub_epi32(a, p);
    const __m128i e1 = _mm_add_epi32(b, q), e2 = _mm_sub_epi32(b, q);
    const __m128i o0 = _mm_add_epi32(_mm_madd_epi16(p13, c1c3), _mm_madd_epi16(p57, c5c7));
    const __m128i o1 = _mm_add_epi32(_mm_madd_epi16(p13, c3n7), _mm_madd_epi16(p57, n1n5));
    const __m128i o2 = _mm_add_epi32(_mm_madd_epi16(p13, c5n1), _mm_madd_epi16(p57, c7c3));
    const __m128i o3 = _mm_add_epi32(_mm_madd_epi16(p13, c7n5), _mm_madd_epi16(p57, c3n1));
    out[half][0] = _mm_srai_epi32(_mm_add_epi32(e0, o0), Shift);
    out[half][7] = _mm_srai_epi32(_mm_sub_epi32(e0, o0), Shift);
    out[half][1] = _mm_srai_epi32(_mm_add_epi32(e1, o1), Shift);
    out[half][6] = _mm_srai_epi32(_mm_sub_epi32(e1, o1), Shift);
    out[half][2] = _mm_srai_epi32(_mm_add_epi32(e2, o2), Shift);
    out[half][5] = _mm_srai_epi32(_mm_sub_epi32(e2, o2), Shift);
    out[half][3] = _mm_srai_epi32(_mm_add_epi32(e3, o3), Shift);
    out[half][4] = _mm_srai_epi32(_mm_sub_epi32(e3, o3), Shift);
  }
  // The values fit in 16 bits, so the saturating pack changes nothing.
  for (int k = 0; k < 8; ++k) x[k] = _mm_packs_epi32(out[0][k], out[1][k]);
}

inline void transpose(__m128i r[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  r[0] = _mm_unpacklo_epi64(b0, b4);
  r[1] = _mm_unpackhi_epi64(b0, b4);
  r[2] = _mm_unpacklo_epi64(b1, b5);
  r[3] = _mm_unpackhi_epi64(b1, b5);
  r[4] = _mm_unpacklo_epi64(b2, b6);
  r[5] = _mm_unpackhi_epi64(b2, b6);
  r[6] = _mm_unpacklo_epi64(b3, b7);
  r[7] = _mm_unpackhi_epi64(b3, b7);
}

// AVX2: two blocks at once, one in each 128-bit lane. The 256-bit unpack and pack instructions
// work lane by lane, so each lane runs exactly the SSE2 sequence above on its own block.
__attribute__((target("avx2"))) inline __m256i pair256(int16_t a, int16_t b) {
  return _mm256_setr_epi16(a, b, a, b, a, b, a, b, a, b, a, b, a, b, a, b);
}

template <int32_t Round, int Shift>
__attribute__((target("avx2"))) inline void idct_pass256(__m256i x[8]) {
  const __m256i c4c4 = pair256(kIdctC4, kIdctC4), c4n4 = pair256(kIdctC4, -kIdctC4);
  const __m256i c2c6 = pair256(kIdctC2, kIdctC6), c6n2 = pair256(kIdctC6, -kIdctC2);
  const __m256i c1c3 = pair256(kIdctC1, kIdctC3), c5c7 = pair256(kIdctC5, kIdctC7);
  const __m256i c3n7 = pair256(kIdctC3, -kIdctC7), n1n5 = pair256(-kIdctC1, -kIdctC5);
  const __m256i c5n1 = pair256(kIdctC5, -kIdctC1), c7c3 = pair256(kIdctC7, kIdctC3);
  const __m256i c7n5 = pair256(kIdctC7, -kIdctC5), c3n1 = pair256(kIdctC3, -kIdctC1);
  const __m256i round = _mm256_set1_epi32(Round);
  __m256i out[2][8];
  for (int half = 0; half < 2; ++half) {
    const auto il = [half](__m256i a, __m256i b) __attribute__((target("avx2"))) {
      return half ? _mm256_unpackhi_epi16(a, b) : _mm256_unpacklo_epi16(a, b);
    };
    const __m256i p04 = il(x[0], x[4]), p26 = il(x[2], x[6]);
    const __m256i p13 = il(x[1], x[3]), p57 = il(x[5], x[7]);
    const __m256i a = _mm256_add_epi32(_mm256_madd_epi16(p04, c4c4), round);
    const __m256i b = _mm256_add_epi32(_mm256_madd_epi16(p04, c4n4), round);
    const __m256i p = _mm256_madd_epi16(p26, c2c6);
    const __m256i q = _mm256_madd_epi16(p26, c6n2);
    const __m256i e0 = _mm256_add_epi32(a, p), e3 = _mm256_sub_epi32(a, p);
    const __m256i e1 = _mm256_add_epi32(b, q), e2 = _mm256_sub_epi32(b, q);
    const __m256i o0 =
        _mm256_add_epi32(_mm256_madd_epi16(p13, c1c3), _mm256_madd_epi16(p57, c5c7));
    const __m256i o1 =
        _mm256_add_epi32(_mm256_madd_epi16(p13, c3n7), _mm256_madd_epi16(p57, n1n5));
    const __m256i o2 =
        _mm256_add_epi32(_mm256_madd_epi16(p13, c5n1), _mm256_madd_epi16(p57, c7c3));
    const __m256i o3 =
        _mm256_add_epi32(_mm256_madd_epi16(p13, c7n5), _mm256_madd_epi16(p57, c3n1));
    out[half][0] = _mm256_srai_epi32(_mm256_add_epi32(e0, o0), Shift);
    out[half][7] = _mm256_srai_epi32(_mm256_sub_epi32(e0, o0), Shift);
    out[half][1] = _mm256_srai_epi32(_mm256_add_epi32(e1, o1), Shift);
    out[half][6] = _mm256_srai_epi32(_mm256_sub_epi32(e1, o1), Shift);
    out[half][2] = _mm256_srai_epi32(_mm256_add_epi32(e2, o2), Shift);
    out[half][5] = _mm256_srai_epi32(_mm256_sub_epi32(e2, o2), Shift);
    out[half][3] = _mm256_srai_epi32(_mm256_add_epi32(e3, o3), Shift);
    out[half][4] = _mm256_srai_epi32(_mm256_sub_epi32(e3, o3), Shift);
  }
  for (int k = 0; k < 8; ++k) x[k] = _mm256_packs_epi32(out[0][k], out[1][k]);
}

__attribute__((target("avx2"))) inline void transpose256(__m256i r[8]) {
  const __m256i a0 = _mm256_unpacklo_epi16(r[0], r[1]), a1 = _mm256_unpackhi_epi16(r[0], r[1]);
  const __m256i a2 = _mm256_unpacklo_epi16(r[2], r[3]), a3 = _mm256_unpackhi_epi16(r[2], r[3]);
  const __m256i a4 = _mm256_unpacklo_epi16(r[4], r[5]), a5 = _mm256_unpackhi_epi16(r[4], r[5]);
  const __m256i a6 = _mm256_unpacklo_epi16(r[6], r[7]), a7 = _mm256_unpackhi_epi16(r[6], r[7]);
  const __m256i b0 = _mm256_unpacklo_epi32(a0, a2), b1 = _mm256_unpackhi_epi32(a0, a2);
  const __m256i b2 = _mm256_unpacklo_epi32(a1, a3), b3 = _mm256_unpackhi_epi32(a1, a3);
  const __m256i b4 = _mm256_unpacklo_epi32(a4, a6), b5 = _mm256_unpackhi_epi32(a4, a6);
  const __m256i b6 = _mm256_unpacklo_epi32(a5, a7), b7 = _mm256_unpackhi_epi32(a5, a7);
  r[0] = _mm256_unpacklo_epi64(b0, b4);
  r[1] = _mm256_unpackhi_epi64(b0, b4);
  r[2] = _mm256_unpacklo_epi64(b1, b5);
  r[3] = _mm256_unpackhi_epi64(b1, b5);
  r[4] = _mm256_unpacklo_epi64(b2, b6);
  r[5] = _mm256_unpackhi_epi64(b2, b6);
  r[6] = _mm256_unpacklo_epi64(b3, b7);
  r[7] = _mm256_unpackhi_epi64(b3, b7);
}

__attribute__((target("avx2"))) void idct_pair_avx2(int16_t* a, int16_t* b) {
  __m256i r[8];
  for (int k = 0; k < 8; ++k) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 8 * k));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * k));
    r[k] = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  }
  idct_pass256<2048, 12>(r);
  transpose256(r);
  idct_pass256<16384, 15>(r);
  transpose256(r);
  for (int k = 0; k < 8; ++k) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 8 * k), _mm256_castsi256_si128(r[k]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b + 8 * k), _mm256_extracti128_si256(r[k], 1));
  }
}

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
  // Columns: lane j is column j, x_k is row k. Rows: the same pass on the transposed block.
  __m128i r[8];
  for (int k = 0; k < 8; ++k)
    r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * k));
  idct_pass<2048, 12>(r);
  transpose(r);
  idct_pass<16384, 15>(r);
  transpose(r);
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
    idct_pair_avx2(a, b);
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
