// The motion stage of the preview decoder: motion_code, motion_residual and dmvector into vectors
// with their predictors (§7.6.3.1), and the rows a macroblock predicts from the reference picture
// with the truncating means of half-sample positions.
#include "mpeg2/motion.h"

#include "mpeg2/vlc_tables.h"

namespace {

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

// motion_vectors(s) (§6.2.5.2): `count` vectors of direction s.
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

}  // namespace

bool decode_macroblock_vectors(SliceContext& c, BitReader& br, const MacroblockModes& m) {
  const bool intra = m.flags & kMbIntra;
  const bool forward = m.flags & kMbMotionForward;
  // Concealment vectors of intra macroblocks are one frame (field) vector.
  const bool concealment = intra && c.d->headers.concealment_motion_vectors;
  if (forward || concealment) {
    const int n = concealment ? 1 : m.motion_vector_count;
    const bool ff = concealment ? !m.framePicture : m.fieldVectors;
    if (!decode_motion_vectors(c, br, 0, n, ff, concealment ? false : m.dmv, m.framePicture))
      return false;
  }
  if (forward && m.motion_vector_count == 0 && !concealment)
    std::memset(c.vector[0][0], 0, sizeof c.vector[0][0]);  // reserved motion type: no vectors
  if (m.flags & kMbMotionBackward) {
    if (!decode_motion_vectors(c, br, 1, m.motion_vector_count, m.fieldVectors, m.dmv,
                               m.framePicture))
      return false;
  }
  if (concealment) br.Get(1);  // marker_bit
  return true;
}

RefView reference_view(const SliceContext& c) {
  const FrameStore& fs = c.d->frames;
  const FrameGeometry& g = c.g;
  const int32_t picture_top = g.mbHeight * 16 - 1;
  const int32_t lowest_readable = picture_top - (c.maxRows - 1);
  return RefView{fs.buffer[fs.referenceIndex], g.rowStride, c.validWidth,
                 lowest_readable > 0 ? lowest_readable : 0, g.mbHeight * 16 - 1, picture_top};
}

namespace {

// Where row y of a macroblock is predicted from: the display column and row of its first sample,
// the step to the row that half-sample positions average with, and the vector used (half-sample
// units; 0, 0 without forward vectors).
struct RowOrigin {
  int32_t sx, sy, dy;
  int32_t hv, vv;
};

RowOrigin row_origin(const SliceContext& c, const MacroblockModes& m, int32_t x0, int32_t mb_row,
                     int y) {
  const int32_t display_y = 16 * mb_row + y;
  if (!(m.flags & kMbMotionForward)) return RowOrigin{x0, display_y, 1, 0, 0};
  // Frame vectors move all three samples together; field vectors (frame pictures, field-based
  // and dual-prime prediction) predict each field's lines from the selected reference field,
  // dual-prime from the field of the same parity. Field pictures use their vectors within the
  // stored field as if it were a frame; 16x8 uses the second vector for the lower eight lines.
  int vi = 0;
  int32_t sy, dy = 1;
  const bool field_based = m.motion == MotionType::kFieldBased;
  if (m.framePicture && (field_based || m.motion == MotionType::kDualPrime)) {
    const int parity = y & 1;
    vi = field_based ? parity : 0;
    const int select = field_based ? c.fieldSelect[vi][0] : parity;
    const int32_t v = c.vector[vi][0][1];
    const int32_t field_line = (16 * mb_row) / 2 + (y >> 1) + (v >> 1);
    sy = 2 * field_line + select;
    dy = 2;
  } else {
    if (m.motion == MotionType::k16x8 && y >= 8) vi = 1;
    sy = display_y + (c.vector[vi][0][1] >> 1);
  }
  const int32_t hv = c.vector[vi][0][0];
  return RowOrigin{x0 + (hv >> 1), sy, dy, hv, c.vector[vi][0][1]};
}

// Sample k of the prediction at stored column x of rows sy and sy + dy, its horizontal
// half-sample neighbour `step` columns on; the truncating means of predict_row.
inline int16_t predicted_sample(const RefView& ref, int32_t x, int32_t step, int32_t sy, int32_t dy,
                                bool half_x, bool half_y, int k) {
  const int32_t a = ref.at(x, sy)[k];
  if (!half_x && !half_y) return int16_t(a);
  if (!half_y) return int16_t((a + ref.at(x + step, sy)[k]) / 2);
  if (!half_x) return int16_t((a + ref.at(x, sy + dy)[k]) / 2);
  return int16_t((a + ref.at(x + step, sy)[k] + ref.at(x, sy + dy)[k] +
                  ref.at(x + step, sy + dy)[k]) / 4);
}

}  // namespace

void predict_macroblock_row(const SliceContext& c, const RefView& ref, const MacroblockModes& m,
                            int32_t x0, int32_t mb_row, int y, int16_t* dst, int32_t pixels) {
  const RowOrigin o = row_origin(c, m, x0, mb_row, y);
  predict_row(ref, o.sx, o.sy, o.dy, o.hv & 1, o.vv & 1, dst, pixels);
}

void predict_macroblock_row_422(const SliceContext& c, const RefView& ref,
                                const MacroblockModes& m, int32_t x0, int32_t mb_row, int y,
                                int16_t* dst, int32_t pixels) {
  const RowOrigin o = row_origin(c, m, x0, mb_row, y);
  const bool half_x = o.hv & 1, half_y = o.vv & 1;
  // Chroma has half the columns and all the rows: its vector is the horizontal component halved
  // (toward zero) and the vertical one as it is. Chroma column j is stored at pixels 2j and
  // 2j + 1, so the prediction reads the even pixel of each chroma column it needs.
  const int32_t hc = o.hv / 2;
  const int32_t chroma_x = 2 * (x0 / 2 + (hc >> 1));
  const bool chroma_half_x = hc & 1;
  for (int32_t x = 0; x < pixels; ++x) {
    dst[3 * x] = predicted_sample(ref, o.sx + x, 1, o.sy, o.dy, half_x, half_y, 0);
    const int32_t cx = chroma_x + 2 * (x >> 1);
    dst[3 * x + 1] = predicted_sample(ref, cx, 2, o.sy, o.dy, chroma_half_x, half_y, 1);
    dst[3 * x + 2] = predicted_sample(ref, cx, 2, o.sy, o.dy, chroma_half_x, half_y, 2);
  }
}
