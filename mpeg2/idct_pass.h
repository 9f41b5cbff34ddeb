// The vector form of the inverse DCT, written once over the register width. `Ops` is a small
// traits type naming the register type V and the few instructions the transform needs on it:
// 128-bit registers hold one block (lane j of row k is x_k of line j), 256-bit registers hold two
// blocks, one in each 128-bit half. The unpack and pack instructions of 256-bit registers work
// half by half, so each half runs exactly the 128-bit sequence on its own block and both widths
// give the same integers. Included by the IDCT's files of each instruction set (idct.cpp for SSE2,
// idct_avx2.cpp compiled for AVX2).
#pragma once
#include <cstdint>

#include "mpeg2/idct.h"

// The vector forms need GCC's or clang's vector intrinsics; any other compiler or processor takes
// the plain C++ form, which gives the same integers.
#if defined(__GNUC__) && defined(__SSE2__)
#define KERF_IDCT_VECTOR 1

// Two blocks at once with AVX2; only on a processor that has it (idct_avx2.cpp).
void idct_8x8_pair_avx2(int16_t* a, int16_t* b);

namespace idct_vector {

// One 1-D pass over eight lanes: lane j of x[k] is input x_k of line j; y[k] receives output y_k.
// pmaddwd sums two 16x16-bit products exactly into 32 bits.
template <class Ops, int32_t Round, int Shift>
inline void pass(typename Ops::V x[8]) {
  using V = typename Ops::V;
  const V c4c4 = Ops::pairs(kIdctC4, kIdctC4), c4n4 = Ops::pairs(kIdctC4, -kIdctC4);
  const V c2c6 = Ops::pairs(kIdctC2, kIdctC6), c6n2 = Ops::pairs(kIdctC6, -kIdctC2);
  const V c1c3 = Ops::pairs(kIdctC1, kIdctC3), c5c7 = Ops::pairs(kIdctC5, kIdctC7);
  const V c3n7 = Ops::pairs(kIdctC3, -kIdctC7), n1n5 = Ops::pairs(-kIdctC1, -kIdctC5);
  const V c5n1 = Ops::pairs(kIdctC5, -kIdctC1), c7c3 = Ops::pairs(kIdctC7, kIdctC3);
  const V c7n5 = Ops::pairs(kIdctC7, -kIdctC5), c3n1 = Ops::pairs(kIdctC3, -kIdctC1);
  const V round = Ops::set32(Round);
  V out[2][8];
  for (int half = 0; half < 2; ++half) {
    const auto il = [half](V a, V b) {
      return half ? Ops::unpackhi16(a, b) : Ops::unpacklo16(a, b);
    };
    const V p04 = il(x[0], x[4]), p26 = il(x[2], x[6]);
    const V p13 = il(x[1], x[3]), p57 = il(x[5], x[7]);
    const V a = Ops::add32(Ops::madd(p04, c4c4), round);
    const V b = Ops::add32(Ops::madd(p04, c4n4), round);
    const V p = Ops::madd(p26, c2c6);
    const V q = Ops::madd(p26, c6n2);
    const V e[4] = {Ops::add32(a, p), Ops::add32(b, q), Ops::sub32(b, q), Ops::sub32(a, p)};
    const V o[4] = {Ops::add32(Ops::madd(p13, c1c3), Ops::madd(p57, c5c7)),
                    Ops::add32(Ops::madd(p13, c3n7), Ops::madd(p57, n1n5)),
                    Ops::add32(Ops::madd(p13, c5n1), Ops::madd(p57, c7c3)),
                    Ops::add32(Ops::madd(p13, c7n5), Ops::madd(p57, c3n1))};
    for (int k = 0; k < 4; ++k) {
      out[half][k] = Ops::srai32(Ops::add32(e[k], o[k]), Shift);
      out[half][7 - k] = Ops::srai32(Ops::sub32(e[k], o[k]), Shift);
    }
  }
  // The values fit in 16 bits, so the saturating pack changes nothing.
  for (int k = 0; k < 8; ++k) x[k] = Ops::packs32(out[0][k], out[1][k]);
}

// Transposes the 8x8 block(s): 16-, 32- and 64-bit interleaves.
template <class Ops>
inline void transpose(typename Ops::V r[8]) {
  using V = typename Ops::V;
  V a[8], b[8];
  for (int k = 0; k < 8; k += 2) {
    a[k] = Ops::unpacklo16(r[k], r[k + 1]);
    a[k + 1] = Ops::unpackhi16(r[k], r[k + 1]);
  }
  for (int k = 0; k < 8; k += 4) {
    b[k] = Ops::unpacklo32(a[k], a[k + 2]);
    b[k + 1] = Ops::unpackhi32(a[k], a[k + 2]);
    b[k + 2] = Ops::unpacklo32(a[k + 1], a[k + 3]);
    b[k + 3] = Ops::unpackhi32(a[k + 1], a[k + 3]);
  }
  for (int k = 0; k < 4; ++k) {
    r[2 * k] = Ops::unpacklo64(b[k], b[k + 4]);
    r[2 * k + 1] = Ops::unpackhi64(b[k], b[k + 4]);
  }
}

// The 2-D transform: columns (lane j is column j, x_k is row k), then the same pass on the
// transposed block for the rows.
template <class Ops>
inline void transform(typename Ops::V r[8]) {
  pass<Ops, 2048, 12>(r);
  transpose<Ops>(r);
  pass<Ops, 16384, 15>(r);
  transpose<Ops>(r);
}

}  // namespace idct_vector

#endif
