// The motion stage of the preview decoder: motion vectors decoded against their predictors
// (§6.2.5.2, §7.6.3) and the prediction of a macroblock's rows from the reference picture (a
// simplified form of §7.6.4 to §7.6.6: the reference is the one stored frame, read as a frame or
// by field lines).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mpeg2/bit_reader.h"
#include "mpeg2/slice_context.h"
#include "mpeg2/vlc_tables.h"

// The vector predictors' reset (§7.6.3.4): at the start of a slice, and in P pictures after an
// intra macroblock without concealment vectors, a macroblock without forward vectors and skipped
// macroblocks.
inline void reset_motion_predictors(SliceContext& c) { std::memset(c.pmv, 0, sizeof c.pmv); }

// True when the macroblock carries vectors: forward or backward ones, or concealment vectors.
inline bool has_vectors(const SliceContext& c, const MacroblockModes& m) {
  return (m.flags & (kMbMotionForward | kMbMotionBackward)) ||
         ((m.flags & kMbIntra) && c.d->headers.concealment_motion_vectors);
}

// The vectors of a macroblock that has them (motion_vectors(0), motion_vectors(1) and the marker
// bit after concealment vectors) into c.vector and c.fieldSelect. False when a motion code is not
// in Table B-10 (the error code tells): nothing after it can be read.
bool decode_macroblock_vectors(SliceContext& c, BitReader& br, const MacroblockModes& m);

// Source pixel fetch for prediction, with coordinates held inside the reference picture.
struct RefView {
  const int16_t* base;
  int32_t stride;
  int32_t width;   // pixels that may be read per row (at least 1)
  int32_t minY;    // display rows that may be read: minY..maxY, all inside the buffer
  int32_t maxY;
  int32_t topRow;  // stored row of display row 0
  const int16_t* at(int32_t x, int32_t y) const {
    x = x < 0 ? 0 : (x >= width ? width - 1 : x);
    y = y < minY ? minY : (y > maxY ? maxY : y);
    return base + size_t(topRow - y) * size_t(stride) + size_t(3 * x);
  }
};

// The reference picture of the slice's picture, as predictions may read it.
RefView reference_view(const SliceContext& c);

// Predicts row y (0..15) of the macroblock at display column x0 in macroblock row mb_row into
// `pixels` pixels of dst: with the macroblock's forward vectors when it has them, from the same
// place otherwise.
void predict_macroblock_row(const SliceContext& c, const RefView& ref, const MacroblockModes& m,
                            int32_t x0, int32_t mb_row, int y, int16_t* dst, int32_t pixels);

// The same row of a 4:2:2 picture: luma as above, chroma from its own columns with the chroma
// vector (horizontal component halved, vertical as the luma's), so every sample is predicted from
// where the macroblock's vectors point.
void predict_macroblock_row_422(const SliceContext& c, const RefView& ref,
                                const MacroblockModes& m, int32_t x0, int32_t mb_row, int y,
                                int16_t* dst, int32_t pixels);
