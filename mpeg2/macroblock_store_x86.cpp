// The macroblock store's rows for x86 processors with SSSE3 or AVX-512 BW, chosen at run time;
// each gives exactly the samples of the plain store.
#include "mpeg2/macroblock_store.h"

#if defined(KERF_STORE_VECTOR)
#include <immintrin.h>

#include <cstddef>

namespace {

// Eight pixels of an intra row with SSSE3 byte shuffles: luma y0..y7 and the chroma pairs
// (cb, cr) of pixels 0-1, 2-3, 4-5, 6-7 interleaved into 24 samples, three 16-byte stores.
__attribute__((target("ssse3"))) inline void store8_ssse3(int16_t* dst, const int16_t* luma,
                                                         const int16_t* cb, const int16_t* cr) {
  const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma));
  const __m128i c = _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb)),
                                       _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr)));
  const __m128i y0 =
      _mm_setr_epi8(0, 1, -128, -128, -128, -128, 2, 3, -128, -128, -128, -128, 4, 5, -128, -128);
  const __m128i c0 =
      _mm_setr_epi8(-128, -128, 0, 1, 2, 3, -128, -128, 0, 1, 2, 3, -128, -128, 4, 5);
  const __m128i y1 =
      _mm_setr_epi8(-128, -128, 6, 7, -128, -128, -128, -128, 8, 9, -128, -128, -128, -128, 10, 11);
  const __m128i c1 =
      _mm_setr_epi8(6, 7, -128, -128, 4, 5, 6, 7, -128, -128, 8, 9, 10, 11, -128, -128);
  const __m128i y2 =
      _mm_setr_epi8(-128, -128, -128, -128, 12, 13, -128, -128, -128, -128, 14, 15, -128, -128, -128,
                    -128);
  const __m128i c2 =
      _mm_setr_epi8(8, 9, 10, 11, -128, -128, 12, 13, 14, 15, -128, -128, 12, 13, 14, 15);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                   _mm_or_si128(_mm_shuffle_epi8(y, y0), _mm_shuffle_epi8(c, c0)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 8),
                   _mm_or_si128(_mm_shuffle_epi8(y, y1), _mm_shuffle_epi8(c, c1)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16),
                   _mm_or_si128(_mm_shuffle_epi8(y, y2), _mm_shuffle_epi8(c, c2)));
}

// AVX-512 (BW): a whole row of the macroblock from one register. The row's 16 luma samples and
// its 8 + 8 chroma samples fill the 32 words of a register; two word permutations lay them out as
// the row's 48 samples (pixel x: luma x, Cb and Cr of x / 2), one 64-byte and one 32-byte store.
struct RowPermutation {
  int16_t first[32], rest[32];
  constexpr RowPermutation() : first(), rest() {
    for (int j = 0; j < 48; ++j) {
      const int x = j / 3, k = j % 3;
      const int16_t word = int16_t(k == 0 ? x : (k == 1 ? 16 + x / 2 : 24 + x / 2));
      (j < 32 ? first[j] : rest[j - 32]) = word;
    }
  }
};
constexpr RowPermutation kRowPermutation;

}  // namespace

__attribute__((target("ssse3"))) void store_intra_rows_ssse3(
    int16_t* buffer, int32_t top_row, int32_t stride, int32_t x_sample, const int16_t* const* left,
    const int16_t* const* right, const int16_t* const* cb, const int16_t* const* cr,
    uint32_t rows) {
  for (int y = 0; y < 16; ++y) {
    if (!(rows & (1u << y))) continue;
    int16_t* d = buffer + size_t(top_row - y) * size_t(stride) + size_t(x_sample);
    store8_ssse3(d, left[y], cb[y], cr[y]);
    store8_ssse3(d + 24, right[y], cb[y] + 4, cr[y] + 4);
  }
}

// GCC 12 warns of an uninitialised value inside its own AVX-512 headers (_mm512_undefined).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f,avx512bw"))) void store_intra_rows_avx512(
    int16_t* buffer, int32_t top_row, int32_t stride, int32_t x_sample, const int16_t (*s)[64],
    int dct_type, bool progressive, int y_first, int y_last) {
  const __m512i first = _mm512_loadu_si512(kRowPermutation.first);
  const __m512i rest = _mm512_loadu_si512(kRowPermutation.rest);
  for (int y = y_first; y <= y_last; ++y) {
    const int16_t* luma = luma_row(s, y, dct_type);
    const int16_t* cb = s[4] + 8 * chroma_row(y, progressive);
    __m512i v = _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(luma)));
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + 64)), 1);
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb)), 2);
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + 64)), 3);
    int16_t* d = buffer + size_t(top_row - y) * size_t(stride) + size_t(x_sample);
    _mm512_storeu_si512(d, _mm512_permutexvar_epi16(first, v));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 32),
                        _mm512_castsi512_si256(_mm512_permutexvar_epi16(rest, v)));
  }
}
#pragma GCC diagnostic pop

#endif

RowStore best_row_store() {
#if defined(KERF_STORE_VECTOR)
  static const RowStore best = [] {
    __builtin_cpu_init();  // safe to repeat; needed where no constructor has run it yet
    if (__builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0)
      return RowStore::kAvx512;
    return __builtin_cpu_supports("ssse3") != 0 ? RowStore::kSsse3 : RowStore::kPlain;
  }();
  return best;
#else
  return RowStore::kPlain;
#endif
}
