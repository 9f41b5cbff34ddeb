// Start-code loop, slice and macroblock decoding, inverse quantisation and the macroblock store of
// the preview decoder (ISO/IEC 13818-2 §6.2.4 to §6.2.6, §7.2 to §7.6).
#include "mpeg2/picture_decoder.h"

#include <cstddef>
#include <cstring>

// The SSSE3 row store needs GCC's or clang's target attributes and CPU tests; elsewhere the
// plain C++ store below serves.
#if defined(__GNUC__) && defined(__SSE2__)
#define KERF_STORE_VECTOR 1
#include <immintrin.h>
#endif

#include "mpeg2/bit_reader.h"
#include "mpeg2/idct.h"
#include "mpeg2/vlc_tables.h"

namespace {

// Table 7-6, q_scale_type 1.
constexpr int32_t kNonLinearQuantiserScale[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 12,
                                                  14, 16, 18, 20, 22, 24, 28, 32, 36, 40, 44,
                                                  48, 52, 56, 64, 72, 80, 88, 96, 104, 112};

// A decoded DC predictor or coefficient of a damaged stream can grow without bound over a long run
// of differentials; it is held within this magnitude (far beyond any legal value, 2^11 * 8) so the
// arithmetic that follows cannot overflow.
constexpr int32_t kDcLimit = 1 << 20;

constexpr int kMaxBlocks = 12;

// Inverse quantisation weights by scan index (§7.4.2): W[k] = quantiser_scale times the weight of
// the raster position that scan index k reaches, for one matrix, scan and quantiser scale. Kept
// while these stay the same, which is usually a whole slice.
struct ScanWeights {
  const int32_t* matrix = nullptr;
  int32_t scale = -1;
  int32_t alternate = -1;
  int32_t w[64];
};

// Everything one slice needs besides the header record; lives on the stack of DecodeStream.
struct SliceContext {
  PreviewDecoder* d;
  FrameGeometry g;
  int32_t maxRows;         // stored rows that fit the buffer at this row stride
  int32_t pixelsPerRow;    // pixels of a stored row that lie inside it
  int32_t validWidth;      // pixels a prediction may read: min(16 mb_width, pixelsPerRow)
  int32_t dcPredictor[3];
  int32_t pmv[2][2][2];    // PMV[r][s][t]
  int32_t vector[2][2][2];
  int32_t fieldSelect[2][2];
  int32_t dmvector[2];
  int32_t quantiserScaleCode;
  ScanWeights weights[2];  // luma (and 4:2:0 chroma), chroma of 4:2:2 and 4:4:4
  uint8_t coded[kMaxBlocks];
  alignas(16) int16_t samples[kMaxBlocks][64];  // raster order: coefficients, then IDCT output
};

void reset_dc(SliceContext& c) {
  const int32_t v = 128 << c.d->headers.intra_dc_precision;  // 128, 256, 512, 1024
  c.dcPredictor[0] = c.dcPredictor[1] = c.dcPredictor[2] = v;
}

void reset_pmv(SliceContext& c) { std::memset(c.pmv, 0, sizeof c.pmv); }

// One vector component, §7.6.3.1.
int32_t decode_motion_component(SliceContext& c, BitReader& br, int r, int s, int t,
                                bool field_in_frame, bool dmv, bool& ok) {
  const StreamHeaders& h = c.d->headers;
  const VlcEntry& e = kMotionCodeTable11[br.Show(11)];
  if (e.length == 0) {
    c.d->run.errorCode = kErrorMotionCode;
    ok = false;
    return 0;
  }
  br.Skip(e.length);
  const int32_t motion_code = e.value;
  const int32_t f_code = h.f_code[s][t];
  const int32_t r_size = f_code > 1 ? f_code - 1 : 0;  // a forbidden f_code 0 is taken as 1
  int32_t motion_residual = 0;
  if (r_size > 0 && motion_code != 0) motion_residual = int32_t(br.Get(r_size));
  if (dmv) {
    const VlcEntry& m = kDmvectorTable2[br.Show(2)];
    br.Skip(m.length);
    c.dmvector[t] = m.value;
  }
  const int32_t f = 1 << r_size;
  int32_t delta;
  if (f == 1 || motion_code == 0) {
    delta = motion_code;
  } else {
    delta = ((motion_code < 0 ? -motion_code : motion_code) - 1) * f + motion_residual + 1;
    if (motion_code < 0) delta = -delta;
  }
  int32_t prediction = c.pmv[r][s][t];
  const bool halve = field_in_frame && t == 1;
  if (halve) prediction >>= 1;
  int32_t v = prediction + delta;
  const int32_t low = -16 * f, high = 16 * f - 1, range = 32 * f;
  if (v < low) v += range;
  if (v > high) v -= range;
  c.pmv[r][s][t] = halve ? v * 2 : v;
  return v;
}

bool decode_motion_vectors(SliceContext& c, BitReader& br, int s, int count, bool field_format,
                           bool dmv, bool frame_picture) {
  bool ok = true;
  const bool field_in_frame = field_format && frame_picture;
  if (count == 1) {
    if (field_format && !dmv) c.fieldSelect[0][s] = int32_t(br.Get(1));
    for (int t = 0; t < 2 && ok; ++t)
      c.vector[0][s][t] = decode_motion_component(c, br, 0, s, t, field_in_frame, dmv, ok);
    // With one vector both predictors follow it (§7.6.3.1).
    c.pmv[1][s][0] = c.pmv[0][s][0];
    c.pmv[1][s][1] = c.pmv[0][s][1];
  } else if (count == 2) {
    for (int r = 0; r < 2 && ok; ++r) {
      c.fieldSelect[r][s] = int32_t(br.Get(1));
      for (int t = 0; t < 2 && ok; ++t)
        c.vector[r][s][t] = decode_motion_component(c, br, r, s, t, field_in_frame, false, ok);
    }
  }
  return ok;
}

inline int32_t saturate(int32_t v) { return v > 2047 ? 2047 : (v < -2048 ? -2048 : v); }

inline void zero_block(int16_t* out) {
  // A fixed 128-byte clear; written out because a library memset of this size costs more than
  // the inverse quantisation of a typical block.
  for (int i = 0; i < 64; i += 8) {
    uint64_t* p = reinterpret_cast<uint64_t*>(out + i);
    p[0] = 0;
    p[1] = 0;
  }
}

const ScanWeights& scan_weights(SliceContext& c, bool intra, bool chroma) {
  const StreamHeaders& h = c.d->headers;
  const bool chroma_matrix = chroma && h.chroma_format != 1;
  const int32_t* matrix = intra ? (chroma_matrix ? h.chromaIntraMatrix : h.intraMatrix)
                                : (chroma_matrix ? h.chromaNonIntraMatrix : h.nonIntraMatrix);
  // Table 7-6: linear 2 * code, or the non-linear scale.
  const int32_t code = c.quantiserScaleCode;
  const int32_t scale = h.q_scale_type ? kNonLinearQuantiserScale[code] : 2 * code;
  ScanWeights& sw = c.weights[chroma_matrix ? 1 : 0];
  if (sw.matrix != matrix || sw.scale != scale || sw.alternate != h.alternate_scan) {
    const uint8_t* scan = h.alternate_scan ? kAlternateScan : kZigzagScan;
    for (int k = 0; k < 64; ++k) sw.w[k] = matrix[kZigzagIndexOfRaster[scan[k]]] * scale;
    sw.matrix = matrix;
    sw.scale = scale;
    sw.alternate = h.alternate_scan;
  }
  return sw;
}

// The (run, level) codes of a block from scan index `index` to its end-of-block code, each value
// inverse-quantised into `out` at its raster position. Returns the sum of the stored values.
template <bool Intra>
int32_t coefficient_loop(SliceContext& c, BitReader& reader, int16_t* out,
                         const DctEntry* first9, const DctEntry* long11, const int32_t* w,
                         const uint8_t* scan, int32_t index) {
  // A local copy keeps the reader's cache in registers: nothing the loop stores can alias it.
  BitReader br = reader;
  int32_t sum = 0;
  for (;;) {
    // 17 bits: the longest code (16 bits) and its sign.
    const uint32_t bits = br.Show(17);
    const DctEntry& e = dct_lookup(first9, long11, bits);
    int32_t run, level;
    if (e.run < kDctEndOfBlock) {
      run = e.run;
      level = e.level;
      br.Skip(e.length);
    } else if (e.run == kDctEndOfBlock) {
      br.Skip(e.length);
      break;
    } else if (e.run == kDctEscape) {
      br.Skip(e.length);
      run = int32_t(br.Get(6));
      level = br.GetSigned(12);
    } else {
      c.d->run.errorCode = kErrorCoefficientCode;
      break;
    }
    index += run;
    if (index >= 64) {
      // Not stored; the block reads on to its end-of-block code. Held at 64 so a long damaged
      // block cannot overflow the index.
      c.d->run.errorCode = kErrorCoefficientIndex;
      index = 64;
      continue;
    }
    int32_t f;
    if (Intra) {
      f = (level * w[index] * 2) / 32;
    } else {
      const int32_t sign = (level > 0) - (level < 0);
      f = ((2 * level + sign) * w[index]) / 32;
    }
    f = saturate(f);
    out[scan[index]] = int16_t(f);
    sum += f;
    ++index;
  }
  reader = br;
  return sum;
}

// Coefficients of one block (§7.2), inverse-quantised as they are decoded (§7.4): each value QF
// at scan index k becomes F at the raster position the scan gives, saturated, and mismatch
// control runs at the end of the block. `out` receives the 64 raster values; an uncoded block is
// all zero. Errors go to the error code and end the block.
void decode_block(SliceContext& c, BitReader& reader, int16_t* out, bool coded, int component,
                  bool intra) {
  const StreamHeaders& h = c.d->headers;
  zero_block(out);
  if (!coded) return;
  BitReader br = reader;  // in registers for the block (see coefficient_loop)
  const ScanWeights& sw = scan_weights(c, intra, component != 0);
  const uint8_t* scan = h.alternate_scan ? kAlternateScan : kZigzagScan;
  int32_t sum = 0;
  int32_t index = 0;
  if (intra) {
    int32_t size;
    if (component == 0) {
      const VlcEntry& e = kDcSizeLuma9[br.Show(9)];
      br.Skip(e.length);
      size = e.value;
    } else {
      const VlcEntry& e = kDcSizeChroma10[br.Show(10)];
      br.Skip(e.length);
      size = e.value;
    }
    int32_t differential = 0;
    if (size > 0) {
      const int32_t v = int32_t(br.Get(size));
      differential = v >= (1 << (size - 1)) ? v : v + 1 - (1 << size);
    }
    int32_t dc = c.dcPredictor[component] + differential;
    if (dc > kDcLimit) dc = kDcLimit;
    if (dc < -kDcLimit) dc = -kDcLimit;
    c.dcPredictor[component] = dc;
    static constexpr int32_t kDcMult[4] = {8, 4, 2, 1};  // by intra_dc_precision
    const int32_t f = saturate(dc * kDcMult[h.intra_dc_precision & 3]);
    out[0] = int16_t(f);
    sum = f;
    index = 1;
  }
  const bool b15 = intra && h.intra_vlc_format;
  const DctEntry* first9 = b15 ? kDctB15First9.data() : kDctB14First9.data();
  const DctEntry* long11 = b15 ? kDctB15Long11.data() : kDctB14Long11.data();
  if (!intra && (br.Show(1))) {
    // First coefficient of a non-intra block: "1s" is run 0, level 1 (Table B-14 note).
    const int32_t level = br.Get(2) & 1 ? -1 : 1;
    const int32_t f = saturate(((2 * level + level) * sw.w[0]) / 32);
    out[scan[0]] = int16_t(f);
    sum = f;
    index = 1;
  }
  sum += intra ? coefficient_loop<true>(c, br, out, first9, long11, sw.w, scan, index)
               : coefficient_loop<false>(c, br, out, first9, long11, sw.w, scan, index);
  reader = br;
  // Mismatch control (§7.4.4): make the sum of the coefficients odd through F[63].
  if ((sum & 1) == 0) out[63] = int16_t(out[63] + ((out[63] & 1) ? -1 : 1));
}

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

// Predicts one row of 16 pixels from display row sy (its half-sample neighbour row sy + dy),
// starting at display column sx, with the truncating means of half-sample positions.
void predict_row(const RefView& ref, int32_t sx, int32_t sy, int32_t dy, bool half_x, bool half_y,
                 int16_t* dst, int32_t pixels) {
  for (int32_t x = 0; x < pixels; ++x) {
    const int16_t* a = ref.at(sx + x, sy);
    if (!half_x && !half_y) {
      dst[3 * x] = a[0];
      dst[3 * x + 1] = a[1];
      dst[3 * x + 2] = a[2];
    } else if (half_x && !half_y) {
      const int16_t* b = ref.at(sx + x + 1, sy);
      for (int k = 0; k < 3; ++k) dst[3 * x + k] = int16_t((a[k] + b[k]) / 2);
    } else if (!half_x) {
      const int16_t* b = ref.at(sx + x, sy + dy);
      for (int k = 0; k < 3; ++k) dst[3 * x + k] = int16_t((a[k] + b[k]) / 2);
    } else {
      const int16_t* b = ref.at(sx + x + 1, sy);
      const int16_t* e = ref.at(sx + x, sy + dy);
      const int16_t* f = ref.at(sx + x + 1, sy + dy);
      for (int k = 0; k < 3; ++k) dst[3 * x + k] = int16_t((a[k] + b[k] + e[k] + f[k]) / 4);
    }
  }
}

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

#if defined(KERF_STORE_VECTOR)
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

// Rows y of `rows` (a bit mask) go to stored row top_row - y, at sample x_sample of the row.
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

// AVX-512 (BW): a whole row of the macroblock from one register. The row's 16 luma samples and
// its 8 + 8 chroma samples fill the 32 words of a register; two word permutations lay them out as
// the row's 48 samples (pixel x: luma x, Cb and Cr of x / 2), one 64-byte and one 32-byte store.
// The rows are worked out here from the blocks: samples holds blocks 0-3 (luma), 4 (Cb), 5 (Cr).
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

// GCC 12 warns of an uninitialised value inside its own AVX-512 headers (_mm512_undefined).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// Rows y_first..y_last of the macroblock go to stored row top_row - y, at sample x_sample.
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

bool have_avx512bw() {
  static const bool avx512bw = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0;
  }();
  return avx512bw;
}

bool have_ssse3() {
  static const bool ssse3 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return ssse3;
}
#endif

// Stores the reconstructed macroblock (4:2:0 only): prediction, then the residual of the blocks.
void store_macroblock(SliceContext& c, int32_t mb_col, int32_t mb_row, int flags, int dct_type,
                      int motion_type, bool frame_picture) {
  PreviewDecoder& d = *c.d;
  const StreamHeaders& h = d.headers;
  FrameStore& fs = d.frames;
  const FrameGeometry& g = c.g;
  const bool intra = flags & kMbIntra;
  const bool forward = flags & kMbMotionForward;
  const bool residual = intra || (flags & kMbPattern);
  // Stored row of the macroblock's top line (rows count from the bottom).
  const int32_t top_row = (g.mbHeight - mb_row) * 16 - 1;
  const int32_t x0 = 16 * mb_col;
  int32_t pixels = c.pixelsPerRow - x0;
  if (pixels <= 0) return;
  if (pixels > 16) pixels = 16;
  int16_t* cur = fs.buffer[fs.currentIndex];
  const int32_t picture_top = g.mbHeight * 16 - 1;
  const int32_t lowest_readable = picture_top - (c.maxRows - 1);
  const RefView ref{fs.buffer[fs.referenceIndex], g.rowStride, c.validWidth,
                    lowest_readable > 0 ? lowest_readable : 0, g.mbHeight * 16 - 1, picture_top};
  const bool progressive = h.progressive_frame != 0;
  const int16_t(*s)[64] = c.samples;

#if defined(KERF_STORE_VECTOR)
  if (intra && pixels == 16 && have_avx512bw()) {
    // The rows inside the buffer: stored rows 0..maxRows - 1.
    const int y_first = top_row - (c.maxRows - 1) > 0 ? top_row - (c.maxRows - 1) : 0;
    const int y_last = top_row < 15 ? top_row : 15;
    store_intra_rows_avx512(cur, top_row, g.rowStride, 3 * x0, s, dct_type, progressive, y_first,
                            y_last);
    return;
  }
  if (intra && pixels == 16 && have_ssse3()) {
    const int16_t* left[16];
    const int16_t* right[16];
    const int16_t* cb[16];
    const int16_t* cr[16];
    uint32_t rows = 0;
    for (int y = 0; y < 16; ++y) {
      const int32_t row = top_row - y;
      if (row < 0 || row >= c.maxRows) continue;
      rows |= 1u << y;
      left[y] = luma_row(s, y, dct_type);
      right[y] = left[y] + 64;
      cb[y] = s[4] + 8 * chroma_row(y, progressive);
      cr[y] = s[5] + 8 * chroma_row(y, progressive);
    }
    store_intra_rows_ssse3(cur, top_row, g.rowStride, 3 * x0, left, right, cb, cr, rows);
    return;
  }
#endif

  for (int y = 0; y < 16; ++y) {
    const int32_t row = top_row - y;
    if (row < 0 || row >= c.maxRows) continue;
    int16_t* dst = cur + size_t(row) * size_t(g.rowStride) + size_t(3 * x0);
    const int16_t* left = luma_row(s, y, dct_type);
    const int16_t* right = left + 64;
    const int16_t* cb = s[4] + 8 * chroma_row(y, progressive);
    const int16_t* cr = s[5] + 8 * chroma_row(y, progressive);
    if (intra) {
      // Prediction 0: the samples are the residual itself.
      for (int32_t x = 0; x < pixels; ++x) {
        dst[3 * x] = x < 8 ? left[x] : right[x - 8];
        dst[3 * x + 1] = cb[x >> 1];
        dst[3 * x + 2] = cr[x >> 1];
      }
      continue;
    }
    const int32_t display_y = 16 * mb_row + y;
    if (!forward) {
      predict_row(ref, x0, display_y, 1, false, false, dst, pixels);
    } else {
      // Frame vectors move all three samples together; field vectors (frame pictures, motion
      // types 1 and 3) predict each field's lines from the selected reference field, dual-prime
      // from the field of the same parity. Field pictures use their vectors within the stored
      // field as if it were a frame; 16x8 uses the second vector for the lower eight lines.
      int vi = 0;
      int32_t sy, dy = 1;
      if (frame_picture && (motion_type == 1 || motion_type == 3)) {
        const int parity = y & 1;
        vi = motion_type == 1 ? parity : 0;
        const int select = motion_type == 1 ? c.fieldSelect[vi][0] : parity;
        const int32_t v = c.vector[vi][0][1];
        const int32_t field_line = (16 * mb_row) / 2 + (y >> 1) + (v >> 1);
        sy = 2 * field_line + select;
        dy = 2;
      } else {
        if (!frame_picture && motion_type == 2 && y >= 8) vi = 1;
        sy = display_y + (c.vector[vi][0][1] >> 1);
      }
      const int32_t hv = c.vector[vi][0][0];
      const int32_t vv = c.vector[vi][0][1];
      predict_row(ref, x0 + (hv >> 1), sy, dy, hv & 1, vv & 1, dst, pixels);
    }
    if (!residual) continue;
    // Added with 16-bit wrap-around.
    for (int32_t x = 0; x < pixels; ++x) {
      const int16_t luma = x < 8 ? left[x] : right[x - 8];
      dst[3 * x] = int16_t(dst[3 * x] + luma);
      dst[3 * x + 1] = int16_t(dst[3 * x + 1] + cb[x >> 1]);
      dst[3 * x + 2] = int16_t(dst[3 * x + 2] + cr[x >> 1]);
    }
  }
}

// One macroblock (§6.2.5). An unreadable address, motion code or pattern ends it at once.
void decode_macroblock(SliceContext& c, BitReader& br) {
  PreviewDecoder& d = *c.d;
  const StreamHeaders& h = d.headers;
  const int32_t type = h.picture_coding_type;

  // macroblock_address_increment, Table B-1, with macroblock_escape adding 33.
  int32_t increment = 0;
  for (;;) {
    const VlcEntry& e = kMbaTable11[br.Show(11)];
    if (e.length == 0) {
      d.run.errorCode = kErrorMacroblockAddress;
      return;  // nothing after an unreadable address can be trusted
    }
    br.Skip(e.length);
    if (e.value == kMacroblockEscape) {
      if (increment < (1 << 24)) increment += 33;
      continue;
    }
    increment += e.value;
    break;
  }
  if (type == kPictureI) increment = 1;  // intra pictures code every macroblock
  const int32_t total = c.g.mbWidth * c.g.mbHeight;
  d.run.macroblockCounter += increment;
  if (d.run.macroblockCounter > total) d.run.macroblockCounter = total;

  // macroblock_modes
  const std::array<VlcEntry, 64>* table = type == kPictureI   ? &kMbTypeI6
                                          : type == kPictureP ? &kMbTypeP6
                                          : type == kPictureB ? &kMbTypeB6
                                                              : nullptr;
  int flags = 0;
  if (table) {
    const VlcEntry& e = (*table)[br.Show(6)];
    if (e.length) {
      flags = e.value;
      br.Skip(e.length);
    }
  }
  const bool intra = flags & kMbIntra;
  const bool frame_picture =
      h.picture_structure != kTopField && h.picture_structure != kBottomField;
  int motion_type = 0;
  if (flags & (kMbMotionForward | kMbMotionBackward)) {
    if (frame_picture && h.frame_pred_frame_dct)
      motion_type = 2;  // frame-based
    else
      motion_type = int32_t(br.Get(2));
  }
  int count = 0;
  bool field_format = false, dmv = false;
  if (frame_picture) {
    if (motion_type == 1) count = 2, field_format = true;
    if (motion_type == 2) count = 1;
    if (motion_type == 3) count = 1, field_format = true, dmv = true;
  } else {
    field_format = true;
    if (motion_type == 1) count = 1;
    if (motion_type == 2) count = 2;
    if (motion_type == 3) count = 1, dmv = true;
  }
  int dct_type = 0;
  if (frame_picture && !h.frame_pred_frame_dct && (intra || (flags & kMbPattern)))
    dct_type = int32_t(br.Get(1));

  // Predictor resets (§7.2.1, §7.6.3.4).
  if (!intra || increment > 1) reset_dc(c);
  if (type == kPictureP) {
    if ((intra && !h.concealment_motion_vectors) || (!intra && !(flags & kMbMotionForward)) ||
        increment > 1)
      reset_pmv(c);
  }

  if (flags & kMbQuant) c.quantiserScaleCode = int32_t(br.Get(5));

  // Motion vectors; concealment vectors of intra macroblocks are one frame (field) vector.
  const bool concealment = intra && h.concealment_motion_vectors;
  if ((flags & kMbMotionForward) || concealment) {
    const int n = concealment ? 1 : count;
    const bool ff = concealment ? !frame_picture : field_format;
    if (!decode_motion_vectors(c, br, 0, n, ff, concealment ? false : dmv, frame_picture)) return;
  }
  if ((flags & kMbMotionForward) && count == 0 && !concealment)
    std::memset(c.vector[0][0], 0, sizeof c.vector[0][0]);  // motion type 0: no vectors sent
  if (flags & kMbMotionBackward) {
    if (!decode_motion_vectors(c, br, 1, count, field_format, dmv, frame_picture)) return;
  }
  if (concealment) br.Get(1);  // marker_bit

  // coded_block_pattern, Table B-9, plus the extra chroma bits of 4:2:2 and 4:4:4.
  const int block_count = h.chroma_format == 2 ? 8 : (h.chroma_format == 3 ? 12 : 6);
  uint32_t pattern = 0;
  if (intra) {
    pattern = (1u << block_count) - 1;
  } else if (flags & kMbPattern) {
    const VlcEntry& e = kCbpTable9[br.Show(9)];
    if (e.length == 0) {
      d.run.errorCode = kErrorCodedBlockPattern;
      return;
    }
    br.Skip(e.length);
    pattern = uint32_t(e.value);
    if (h.chroma_format == 2) pattern = (pattern << 2) | br.Get(2);
    if (h.chroma_format == 3) pattern = (pattern << 6) | br.Get(6);
  }
  for (int i = 0; i < block_count; ++i) {
    c.coded[i] = (pattern >> (block_count - 1 - i)) & 1;
    decode_block(c, br, c.samples[i], c.coded[i], i < 4 ? 0 : 1 + (i & 1), intra);
  }

  // Reconstruction of I and P pictures; 4:2:0 only, other formats leave the store untouched.
  if ((type != kPictureI && type != kPictureP) || h.chroma_format != 1 || total == 0) return;
  // Uncoded blocks stay all zero: they add nothing to the prediction.
  for (int i = 0; i < 6; i += 2) {
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
    for (int k = 0; k < 64; ++k) c.samples[4][k] = int16_t(c.samples[4][k] - 128);
    for (int k = 0; k < 64; ++k) c.samples[5][k] = int16_t(c.samples[5][k] - 128);
  }
  const int32_t address = d.run.macroblockCounter - 1;
  if (address < 0) return;
  store_macroblock(c, address % c.g.mbWidth, address / c.g.mbWidth, flags, dct_type, motion_type,
                   frame_picture);
}

void decode_slice(SliceContext& c, const uint8_t* p, const uint8_t* end) {
  PreviewDecoder& d = *c.d;
  const StreamHeaders& h = d.headers;
  reset_dc(c);
  reset_pmv(c);
  std::memset(c.vector, 0, sizeof c.vector);
  std::memset(c.fieldSelect, 0, sizeof c.fieldSelect);
  c.weights[0].matrix = c.weights[1].matrix = nullptr;  // the matrices may have changed
  BitReader br(p, end);
  if (h.vertical_size_value > 2800) br.Get(3);  // slice_vertical_position_extension
  if (h.sequenceScalable && h.scalable_mode == 0) br.Get(7);  // priority_breakpoint
  c.quantiserScaleCode = int32_t(br.Get(5));
  if (br.Show(1)) {
    br.Get(1);  // slice_extension_flag
    br.Get(1);  // intra_slice
    br.Get(7);  // slice_picture_id_enable, slice_picture_id
    while (br.Get(1)) br.Get(8);  // extra_bit_slice, extra_information_slice
  } else {
    br.Get(1);  // extra_bit_slice
  }
  // The slice's vertical position is not used: macroblocks are placed by the running counter.
  do {
    decode_macroblock(c, br);
  } while (d.run.errorCode == kDecodeOk && br.Show(23) != 0);
}

// Next 00 00 01 prefix at or after i with its fourth byte inside the ES; -1 when none is left.
int32_t find_start_code(const uint8_t* es, int32_t length, int32_t i) {
  if (i < 0) i = 0;
  while (i < length - 3) {
    const void* hit = std::memchr(es + i + 2, 0x01, size_t(length - 1 - (i + 2)));
    if (!hit) return -1;
    const int32_t k = int32_t(static_cast<const uint8_t*>(hit) - es);  // candidate third byte
    if (es[k - 1] == 0 && es[k - 2] == 0) return k - 2;
    i = k - 1;
  }
  return -1;
}

// Fixes the geometry of the picture about to be decoded from the headers in force. A size the
// frame store cannot hold (a damaged sequence header, or a picture beyond Main profile High level)
// leaves no geometry and sets error 22; false then ends the run, so nothing of that picture is
// stored and nothing is converted.
bool take_picture_geometry(PreviewDecoder& d) {
  const FrameGeometry g = frame_geometry(d.headers);
  if (!frame_store_holds(g)) {
    d.run.picture = FrameGeometry{};
    d.run.errorCode = kErrorPictureTooLarge;
    return false;
  }
  d.run.picture = g;
  return true;
}

}  // namespace

void ResetDecoderRun(PreviewDecoder& d, int32_t stopDecodeOnError) {
  d.run.scanPosition = 0;
  d.run.errorCode = kDecodeOk;
  d.run.pictureCount = 0;
  d.run.macroblockCounter = 0;
  d.run.stopDecodeOnError = stopDecodeOnError;
  d.run.picture = FrameGeometry{};
  d.frames.referenceIndex = 0;
  d.frames.currentIndex = 1;
}

int32_t DecodeStream(PreviewDecoder& d, const uint8_t* es, int32_t esLength, int64_t esCapacity) {
  if (esLength < 0 || !es) esLength = 0;
  if (esCapacity < esLength) esLength = int32_t(esCapacity < 0 ? 0 : esCapacity);
  const uint8_t* end = es + esLength;
  SliceContext c{};
  c.d = &d;
  for (;;) {
    const int32_t i = find_start_code(es, esLength, d.run.scanPosition);
    if (i < 0) {
      d.run.scanPosition = esLength;
      return 0;
    }
    d.run.scanPosition = i;
    const uint8_t code = es[i + 3];
    if (code == 0x00) {
      ++d.run.pictureCount;
      if (d.pictureStartHook) d.pictureStartHook(d, d.pictureStartContext);
      if (d.run.pictureCount > 1) return 0;  // only the first picture of the ES is decoded
      if (!take_picture_geometry(d)) return 1;
      d.run.macroblockCounter = 0;
      ParsePictureHeader(d, es + i, end);
    } else if (code <= 0xAF) {
      if (d.run.pictureCount == 0 && !take_picture_geometry(d)) return 1;
      c.g = d.run.picture;
      const int32_t stride = c.g.rowStride > 0 ? c.g.rowStride : 1;
      c.maxRows = int32_t(FrameStore::kBufferSamples / size_t(stride));
      c.pixelsPerRow = c.g.rowStride / 3;
      c.validWidth = c.g.mbWidth * 16 < c.pixelsPerRow ? c.g.mbWidth * 16 : c.pixelsPerRow;
      decode_slice(c, es + i + 4, end);
      if (d.run.stopDecodeOnError == 1 && d.run.errorCode != kDecodeOk) return 0;
    } else if (code == 0xB3) {
      ParseSequenceHeader(d, es + i, end);
    } else if (code == 0xB5) {
      ParseExtension(d, es + i, end);
      if (d.run.errorCode == kErrorUnsupportedProfile) return 1;
    } else if (code == 0xB8) {
      ParseGroupHeader(d, es + i, end);
    }
    // Everything else (user data, sequence end, PES headers left in the ES) is passed over.
    d.run.scanPosition = i + 4;
  }
}
