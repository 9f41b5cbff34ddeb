// The block stage of the preview decoder: DCT coefficients of a macroblock's blocks decoded from
// Tables B-12 to B-15 and inverse-quantised as they are read (§7.2 to §7.4).
#pragma once
#include <cstdint>

#include "mpeg2/bit_reader.h"
#include "mpeg2/slice_context.h"

// The DC predictors' reset value for the picture's intra_dc_precision (§7.2.1): at the start of a
// slice, after a non-intra macroblock and after skipped macroblocks.
inline void reset_dc_predictors(SliceContext& c) {
  const int32_t v = 128 << c.d->headers.intra_dc_precision;  // 128, 256, 512, 1024
  c.dcPredictor[0] = c.dcPredictor[1] = c.dcPredictor[2] = v;
}

// Decodes the block_count blocks of one macroblock into c.samples (raster order) and marks each in
// c.coded; block i is coded when bit block_count - 1 - i of `pattern` is set (the order of
// coded_block_pattern). An uncoded block is all zero. A damaged code sets the error code and ends
// its block.
void decode_blocks(SliceContext& c, BitReader& br, uint32_t pattern, int block_count, bool intra);
