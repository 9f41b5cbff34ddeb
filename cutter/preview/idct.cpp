// Integer 8x8 inverse DCT. Each 1-D pass evaluates the 8-point kernel as even and odd halves:
//   e0 = c4 x0 + c4 x4 + c2 x2 + c6 x6   o0 = c1 x1 + c3 x3 + c5 x5 + c7 x7   y0 = e0+o0, y7 = e0-o0
//   e1 = c4 x0 - c4 x4 + c6 x2 - c2 x6   o1 = c3 x1 - c7 x3 - c1 x5 - c5 x7   y1, y6
//   e2 = c4 x0 - c4 x4 - c6 x2 + c2 x6   o2 = c5 x1 - c1 x3 + c7 x5 + c3 x7   y2, y5
//   e3 = c4 x0 + c4 x4 - c2 x2 - c6 x6   o3 = c7 x1 - c5 x3 + c3 x5 - c1 x7   y3, y4
// The column pass adds 2048 to c4 x0 and shifts by 12, the row pass adds 16384 and shifts by 15
// (the kernel's gain of 2 sqrt(2) per pass and the 1/8 of the 2-D transform). Factoring
// c4 x0 +- c4 x4 as c4 (x0 +- x4) changes no result: every product is exact in 32 bits (inputs are
// at most 2048 in magnitude, column outputs at most about 15,300).
#include "cutter/preview/idct.h"

namespace {

// One 1-D pass over eight lanes at once: lane j reads in[8 * k + j] as x_k and writes
// out[8 * k + j] as y_k. Written lane-wise so the compiler can vectorise it.
template <int32_t Round, int Shift>
inline void idct_pass(const int32_t* in, int32_t* out) {
  for (int j = 0; j < 8; ++j) {
    const int32_t x0 = in[j], x1 = in[8 + j], x2 = in[16 + j], x3 = in[24 + j];
    const int32_t x4 = in[32 + j], x5 = in[40 + j], x6 = in[48 + j], x7 = in[56 + j];
    const int32_t a = kIdctC4 * x0 + Round;
    const int32_t b = kIdctC4 * x4;
    const int32_t s = a + b, d = a - b;
    const int32_t p = kIdctC2 * x2 + kIdctC6 * x6;
    const int32_t q = kIdctC6 * x2 - kIdctC2 * x6;
    const int32_t e0 = s + p, e3 = s - p, e1 = d + q, e2 = d - q;
    const int32_t o0 = kIdctC1 * x1 + kIdctC3 * x3 + kIdctC5 * x5 + kIdctC7 * x7;
    const int32_t o1 = kIdctC3 * x1 - kIdctC7 * x3 - kIdctC1 * x5 - kIdctC5 * x7;
    const int32_t o2 = kIdctC5 * x1 - kIdctC1 * x3 + kIdctC7 * x5 + kIdctC3 * x7;
    const int32_t o3 = kIdctC7 * x1 - kIdctC5 * x3 + kIdctC3 * x5 - kIdctC1 * x7;
    out[j] = (e0 + o0) >> Shift;
    out[56 + j] = (e0 - o0) >> Shift;
    out[8 + j] = (e1 + o1) >> Shift;
    out[48 + j] = (e1 - o1) >> Shift;
    out[16 + j] = (e2 + o2) >> Shift;
    out[40 + j] = (e2 - o2) >> Shift;
    out[24 + j] = (e3 + o3) >> Shift;
    out[32 + j] = (e3 - o3) >> Shift;
  }
}

inline void transpose(const int32_t* in, int32_t* out) {
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) out[8 * c + r] = in[8 * r + c];
}

}  // namespace

void idct_8x8(int32_t block[64]) {
  // Columns: lane j is column j, x_k is row k.
  int32_t cols[64];
  idct_pass<2048, 12>(block, cols);
  // Rows: transpose so that lane j is row j and x_k is column k, then transpose back.
  int32_t t[64];
  transpose(cols, t);
  idct_pass<16384, 15>(t, cols);
  transpose(cols, block);
}
