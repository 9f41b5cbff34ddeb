// The reconstruction stage of the preview decoder: inverse DCT of the coded blocks, then the rows
// of the macroblock into the current frame buffer, intra rows as the samples themselves and
// predicted rows as the prediction plus the residual (§7.6.8). 4:2:0 and 4:2:2 macroblocks share
// the stores; a layout says which block and row each pixel row's samples come from.
#include "mpeg2/macroblock_store.h"

#include <cstddef>

#include "mpeg2/idct.h"
#include "mpeg2/motion.h"
#include "mpeg2/vlc_tables.h"

namespace {

// Where a macroblock lies in the current buffer.
struct MacroblockPlace {
  int16_t* buffer;  // the current frame buffer
  int32_t topRow;   // stored row of the macroblock's top line (rows count from the bottom)
  int32_t x0;       // display column of its left pixel
  int32_t pixels;   // pixels of each row inside the stored row: 1..16
  int32_t mbRow;
};

// The rows of the blocks that pixel row y reads: the luma halves and the chroma rows.
struct RowSources {
  const int16_t* left;
  const int16_t* right;
  const int16_t* cb;
  const int16_t* cr;
};

// Where the rows of a 4:2:0 macroblock take their samples: blocks 4 (Cb) and 5 (Cr) hold the
// chroma, each chroma row serving two pixel rows.
struct Layout420 {
  static constexpr int kBlocks = 6;
  int dct_type;
  bool progressive;
  RowSources operator()(const int16_t (*s)[64], int y) const {
    const int16_t* left = luma_row(s, y, dct_type);
    const int chroma = 8 * chroma_row(y, progressive);
    return RowSources{left, left + 64, s[4] + chroma, s[5] + chroma};
  }
};

// Where the rows of a 4:2:2 macroblock take their samples: every pixel row has a chroma row of
// its own, blocks 4 (Cb) and 5 (Cr) holding the upper eight and 6 and 7 the lower eight. With
// field DCT the chroma blocks hold fields as the luma blocks do: 4 and 5 the top field's rows,
// 6 and 7 the bottom field's.
struct Layout422 {
  static constexpr int kBlocks = 8;
  int dct_type;
  RowSources operator()(const int16_t (*s)[64], int y) const {
    const int16_t* left = luma_row(s, y, dct_type);
    const int lower = dct_type ? (y & 1) : (y >= 8);
    const int line = dct_type ? (y >> 1) : (y & 7);
    const int16_t* cb = s[4 + 2 * lower] + 8 * line;
    return RowSources{left, left + 64, cb, cb + 64};  // each Cr block follows its Cb block
  }
};

bool row_inside(const SliceContext& c, const MacroblockPlace& at, int y) {
  const int32_t row = at.topRow - y;
  return row >= 0 && row < c.maxRows;
}

int16_t* row_start(const SliceContext& c, const MacroblockPlace& at, int y) {
  return at.buffer + size_t(at.topRow - y) * size_t(c.g.rowStride) + size_t(3 * at.x0);
}

// The inverse DCT of the coded blocks of a macroblock of `Blocks` blocks, two at a time where
// both of a pair are coded. Uncoded blocks stay all zero: they add nothing to the prediction.
template <int Blocks>
void inverse_dct(SliceContext& c, bool intra) {
  for (int i = 0; i < Blocks; i += 2) {
    if (c.coded[i] && c.coded[i + 1])
      idct_8x8_pair(c.samples[i], c.samples[i + 1]);
    else if (c.coded[i])
      idct_8x8(c.samples[i]);
    else if (c.coded[i + 1])
      idct_8x8(c.samples[i + 1]);
  }
  // The store adds chroma as (output - 128); intra chroma is centred on 128, non-intra chroma is
  // a difference and is taken as it is (+128 - 128).
  if (intra) {
    for (int b = 4; b < Blocks; ++b)
      for (int k = 0; k < 64; ++k) c.samples[b][k] = int16_t(c.samples[b][k] - 128);
  }
}

#if defined(KERF_STORE_VECTOR)
// A whole-width intra macroblock with the processor's vector row store; false when the processor
// has none. The AVX-512 store works out the rows of 4:2:0 itself; 4:2:2 takes the SSSE3 store,
// which every processor with AVX-512 has.
template <class Layout>
bool store_intra_vector(const SliceContext& c, const MacroblockPlace& at, const Layout& layout) {
  const int16_t(*s)[64] = c.samples;
  if constexpr (Layout::kBlocks == 6) {
    if (c.rowStore == RowStore::kAvx512) {
      // The rows inside the buffer: stored rows 0..maxRows - 1.
      const int y_first = at.topRow - (c.maxRows - 1) > 0 ? at.topRow - (c.maxRows - 1) : 0;
      const int y_last = at.topRow < 15 ? at.topRow : 15;
      store_intra_rows_avx512(at.buffer, at.topRow, c.g.rowStride, 3 * at.x0, s,
                              layout.dct_type, layout.progressive, y_first, y_last);
      return true;
    }
  }
  if (c.rowStore == RowStore::kPlain) return false;
  const int16_t* left[16];
  const int16_t* right[16];
  const int16_t* cb[16];
  const int16_t* cr[16];
  uint32_t rows = 0;
  for (int y = 0; y < 16; ++y) {
    if (!row_inside(c, at, y)) continue;
    rows |= 1u << y;
    const RowSources r = layout(s, y);
    left[y] = r.left;
    right[y] = r.right;
    cb[y] = r.cb;
    cr[y] = r.cr;
  }
  store_intra_rows_ssse3(at.buffer, at.topRow, c.g.rowStride, 3 * at.x0, left, right, cb, cr,
                         rows);
  return true;
}
#endif

// Intra rows: prediction 0, so the samples are the residual itself.
template <class Layout>
void store_intra(const SliceContext& c, const MacroblockPlace& at, const Layout& layout) {
#if defined(KERF_STORE_VECTOR)
  if (at.pixels == 16 && store_intra_vector(c, at, layout)) return;
#endif
  for (int y = 0; y < 16; ++y) {
    if (!row_inside(c, at, y)) continue;
    int16_t* dst = row_start(c, at, y);
    const RowSources r = layout(c.samples, y);
    for (int32_t x = 0; x < at.pixels; ++x) {
      dst[3 * x] = x < 8 ? r.left[x] : r.right[x - 8];
      dst[3 * x + 1] = r.cb[x >> 1];
      dst[3 * x + 2] = r.cr[x >> 1];
    }
  }
}

// Predicted rows: each row's prediction, then the residual of the coded blocks added with 16-bit
// wrap-around. A row is finished before the next is predicted.
template <class Layout>
void store_predicted(const SliceContext& c, const MacroblockPlace& at, const MacroblockModes& m,
                     const Layout& layout) {
  const RefView ref = reference_view(c);
  const bool residual = m.flags & kMbPattern;
  for (int y = 0; y < 16; ++y) {
    if (!row_inside(c, at, y)) continue;
    int16_t* dst = row_start(c, at, y);
    if constexpr (Layout::kBlocks == 6)
      predict_macroblock_row(c, ref, m, at.x0, at.mbRow, y, dst, at.pixels);
    else
      predict_macroblock_row_422(c, ref, m, at.x0, at.mbRow, y, dst, at.pixels);
    if (!residual) continue;
    const RowSources r = layout(c.samples, y);
    for (int32_t x = 0; x < at.pixels; ++x) {
      const int16_t luma = x < 8 ? r.left[x] : r.right[x - 8];
      dst[3 * x] = int16_t(dst[3 * x] + luma);
      dst[3 * x + 1] = int16_t(dst[3 * x + 1] + r.cb[x >> 1]);
      dst[3 * x + 2] = int16_t(dst[3 * x + 2] + r.cr[x >> 1]);
    }
  }
}

// The inverse DCT of the macroblock, then its rows into the current buffer at macroblock address
// `address` (none when the address or the macroblock's columns lie outside the picture).
template <class Layout>
void store_macroblock(SliceContext& c, int32_t address, const MacroblockModes& m,
                      const Layout& layout) {
  const FrameGeometry& g = c.g;
  const bool intra = m.flags & kMbIntra;
  inverse_dct<Layout::kBlocks>(c, intra);
  if (address < 0) return;
  MacroblockPlace at;
  at.mbRow = address / g.mbWidth;
  at.x0 = 16 * (address % g.mbWidth);
  at.topRow = (g.mbHeight - at.mbRow) * 16 - 1;
  at.pixels = c.pixelsPerRow - at.x0;
  if (at.pixels <= 0) return;
  if (at.pixels > 16) at.pixels = 16;
  at.buffer = c.d->frames.Current();
  if (intra)
    store_intra(c, at, layout);
  else
    store_predicted(c, at, m, layout);
}

}  // namespace

void reconstruct_macroblock(SliceContext& c, int32_t address, const MacroblockModes& m) {
  const StreamHeaders& h = c.d->headers;
  if ((h.picture_coding_type != kPictureI && h.picture_coding_type != kPictureP) ||
      c.g.mbWidth * c.g.mbHeight == 0)
    return;
  if (h.chroma_format == kChroma420)
    store_macroblock(c, address, m, Layout420{m.dct_type, h.progressive_frame != 0});
  else if (h.chroma_format == kChroma422 && c.d->extendedProfiles)
    store_macroblock(c, address, m, Layout422{m.dct_type});
}
