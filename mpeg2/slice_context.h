// What the preview decoder's stages share inside a slice: the slice's running state (predictors,
// vectors, quantiser, the blocks of the current macroblock) and the modes of one macroblock.
#pragma once
#include <cstdint>

#include "mpeg2/picture_decoder.h"

// A 4:4:4 macroblock: four luma blocks and eight chroma blocks.
constexpr int kMaxBlocks = 12;

// The prediction a macroblock's vectors describe: frame_motion_type (Table 6-17) in frame pictures
// and field_motion_type (Table 6-18) in field pictures, whose code 2 means different predictions.
// Code 0 is reserved; a macroblock that carries it, or carries no vectors, has kNone.
enum class MotionType : uint8_t { kNone, kFieldBased, kFrameBased, k16x8, kDualPrime };

// The intra row store the processor allows (plain C++, SSSE3 or AVX-512 BW), chosen once per run.
enum class RowStore : uint8_t { kPlain, kSsse3, kAvx512 };

// macroblock_modes() of one macroblock (§6.2.5.1) with what they imply for its vectors.
struct MacroblockModes {
  int flags = 0;                         // MacroblockType bits
  MotionType motion = MotionType::kNone;
  int motion_vector_count = 0;           // 0, 1 or 2 vectors per direction
  bool fieldVectors = false;             // mv_format is field
  bool dmv = false;                      // dual-prime: a dmvector follows each vector component
  int dct_type = 0;                      // 1: the luma blocks hold fields
  bool framePicture = true;              // picture_structure is a frame (or reserved)
};

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
  RowStore rowStore;
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
