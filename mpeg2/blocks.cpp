// The block stage of the preview decoder: intra DC differentials, (run, level) codes of Tables
// B-14 and B-15, inverse quantisation and mismatch control (§7.2.1, §7.2.2, §7.4).
#include "mpeg2/blocks.h"

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
  const bool chroma_matrix = chroma && h.chroma_format != kChroma420;
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

// The DC coefficient of an intra block (§7.2.1): dct_dc_size, the differential, the predictor of
// the block's colour component, scaled by intra_dc_precision (§7.4.1).
int32_t intra_dc(SliceContext& c, BitReader& br, int component) {
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
  return saturate(dc * kDcMult[c.d->headers.intra_dc_precision & 3]);
}

// Coefficients of one coded block (§7.2), inverse-quantised as they are decoded (§7.4): each value
// QF at scan index k becomes F at the raster position the scan gives, saturated, and mismatch
// control runs at the end of the block. `out` is all zero on entry. Errors go to the error code
// and end the block.
void decode_block(SliceContext& c, BitReader& reader, int16_t* out, int component, bool intra) {
  const StreamHeaders& h = c.d->headers;
  BitReader br = reader;  // in registers for the block (see coefficient_loop)
  const ScanWeights& sw = scan_weights(c, intra, component != 0);
  const uint8_t* scan = h.alternate_scan ? kAlternateScan : kZigzagScan;
  int32_t sum = 0;
  int32_t index = 0;
  if (intra) {
    const int32_t f = intra_dc(c, br, component);
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

}  // namespace

void decode_blocks(SliceContext& c, BitReader& br, uint32_t pattern, int block_count, bool intra) {
  for (int i = 0; i < block_count; ++i) {
    c.coded[i] = (pattern >> (block_count - 1 - i)) & 1;
    zero_block(c.samples[i]);
    // Blocks 0-3 are luma; after them Cb and Cr alternate (§6.1.3).
    if (c.coded[i]) decode_block(c, br, c.samples[i], i < 4 ? 0 : 1 + (i & 1), intra);
  }
}
