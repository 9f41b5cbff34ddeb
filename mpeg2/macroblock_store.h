// The reconstruction stage of the preview decoder: the inverse DCT of a macroblock's coded blocks
// and the store of its rows into the current frame buffer (4:2:0 I and P pictures, and 4:2:2 ones
// when the decoder reads the extended profiles), with row stores for SSSE3 and AVX-512 processors
// beside the plain one.
#pragma once
#include <cstdint>

#include "mpeg2/slice_context.h"

// The vector row stores need GCC's or clang's target attributes and CPU tests; elsewhere the
// plain C++ store serves.
#if defined(__GNUC__) && defined(__SSE2__)
#define KERF_STORE_VECTOR 1
#endif

// Reconstructs the macroblock just decoded (c.samples, c.coded) at macroblock address `address`
// of the picture: prediction, then the residual of the blocks. Only 4:2:0 I and P pictures are
// stored, and 4:2:2 ones when the decoder reads the extended profiles; in any other picture the
// blocks are left as they were decoded.
void reconstruct_macroblock(SliceContext& c, int32_t address, const MacroblockModes& m);

// Chroma row of the 8x8 block used by pixel row y: progressive frames take row y/2; interlaced
// frames place the rows field-wise, pixel rows 4i..4i+3 taking chroma rows 2i, 2i+1, 2i, 2i+1.
constexpr int chroma_row(int y, bool progressive) {
  return progressive ? (y >> 1) : (((y >> 1) & ~1) | (y & 1));
}

// Left half of pixel row y's luma (the right half is the next block, 64 samples on): frame DCT
// takes row y mod 8 of blocks 0/1 (upper) or 2/3 (lower); field DCT takes row y/2 of blocks 0/1
// (top field, even y) or 2/3 (bottom field, odd y).
inline const int16_t* luma_row(const int16_t (*s)[64], int y, int dct_type) {
  const int upper = dct_type ? 2 * (y & 1) : 2 * (y >= 8);
  const int line = dct_type ? (y >> 1) : (y & 7);
  return s[upper] + 8 * line;
}

// The fastest intra row store this processor runs.
RowStore best_row_store();

#if defined(KERF_STORE_VECTOR)

// Intra rows y of `rows` (a bit mask) go to stored row top_row - y, at sample x_sample of the row,
// from the luma halves and chroma rows of each y (SSSE3).
void store_intra_rows_ssse3(int16_t* buffer, int32_t top_row, int32_t stride, int32_t x_sample,
                            const int16_t* const* left, const int16_t* const* right,
                            const int16_t* const* cb, const int16_t* const* cr, uint32_t rows);

// Intra rows y_first..y_last go to stored row top_row - y, at sample x_sample, worked out from the
// blocks s (0-3 luma, 4 Cb, 5 Cr) with the macroblock's dct_type (AVX-512 BW).
void store_intra_rows_avx512(int16_t* buffer, int32_t top_row, int32_t stride, int32_t x_sample,
                             const int16_t (*s)[64], int dct_type, bool progressive, int y_first,
                             int y_last);
#endif
