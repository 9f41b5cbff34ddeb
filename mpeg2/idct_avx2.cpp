// The inverse DCT of two blocks at once in 256-bit registers, one block in each 128-bit half.
// This file alone is compiled for AVX2 (mpeg2/CMakeLists.txt); idct_8x8_pair calls it only on a
// processor that has AVX2.
#include "mpeg2/idct_pass.h"

#if defined(KERF_IDCT_VECTOR)
#if !defined(__AVX2__)
#error "idct_avx2.cpp is compiled for AVX2 (-mavx2)"
#endif
#include <immintrin.h>

namespace {

struct Avx2Ops {
  using V = __m256i;
  static V pairs(int16_t a, int16_t b) {
    return _mm256_setr_epi16(a, b, a, b, a, b, a, b, a, b, a, b, a, b, a, b);
  }
  static V set32(int32_t v) { return _mm256_set1_epi32(v); }
  static V madd(V a, V b) { return _mm256_madd_epi16(a, b); }
  static V add32(V a, V b) { return _mm256_add_epi32(a, b); }
  static V sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
  static V srai32(V a, int n) { return _mm256_srai_epi32(a, n); }
  static V packs32(V a, V b) { return _mm256_packs_epi32(a, b); }
  static V unpacklo16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
  static V unpackhi16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
  static V unpacklo32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
  static V unpackhi32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
  static V unpacklo64(V a, V b) { return _mm256_unpacklo_epi64(a, b); }
  static V unpackhi64(V a, V b) { return _mm256_unpackhi_epi64(a, b); }
};

}  // namespace

void idct_8x8_pair_avx2(int16_t* a, int16_t* b) {
  __m256i r[8];
  for (int k = 0; k < 8; ++k) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 8 * k));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * k));
    r[k] = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  }
  idct_vector::transform<Avx2Ops>(r);
  for (int k = 0; k < 8; ++k) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 8 * k), _mm256_castsi256_si128(r[k]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b + 8 * k), _mm256_extracti128_si256(r[k], 1));
  }
}

#endif
