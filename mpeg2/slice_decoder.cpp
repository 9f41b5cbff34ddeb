// The slice stage of the preview decoder: the slice header, then macroblock by macroblock the
// address increment, macroblock_modes(), predictor resets, quantiser, vectors, coded block
// pattern, blocks and reconstruction (§6.2.4, §6.2.5, §7.2.1, §7.6.3.4).
#include "mpeg2/slice_decoder.h"

#include <array>
#include <cstddef>
#include <cstring>

#include "mpeg2/bit_reader.h"
#include "mpeg2/blocks.h"
#include "mpeg2/macroblock_store.h"
#include "mpeg2/motion.h"
#include "mpeg2/vlc_tables.h"

namespace {

// Blocks of a macroblock by chroma_format (§6.1.3): 4:2:0 and the reserved 0 carry six.
constexpr int kBlockCount[4] = {6, 6, 8, 12};

// Tables 6-17 (frame_motion_type) and 6-18 (field_motion_type) by code: the prediction, its
// motion_vector_count, whether mv_format is field, and dmv.
struct MotionTypeMeaning {
  MotionType motion;
  int8_t motion_vector_count;
  bool fieldVectors;
  bool dmv;
};
constexpr MotionTypeMeaning kFrameMotionTypes[4] = {
    {MotionType::kNone, 0, false, false},
    {MotionType::kFieldBased, 2, true, false},
    {MotionType::kFrameBased, 1, false, false},
    {MotionType::kDualPrime, 1, true, true},
};
constexpr MotionTypeMeaning kFieldMotionTypes[4] = {
    {MotionType::kNone, 0, true, false},
    {MotionType::kFieldBased, 1, true, false},
    {MotionType::k16x8, 2, true, false},
    {MotionType::kDualPrime, 1, true, true},
};

// macroblock_address_increment, Table B-1, with macroblock_escape adding 33. False when the code
// is unreadable: nothing after it can be trusted.
bool read_address_increment(SliceContext& c, BitReader& br, int32_t& increment) {
  increment = 0;
  for (;;) {
    const VlcEntry& e = kMbaTable11[br.Show(11)];
    if (e.length == 0) {
      c.d->run.errorCode = kErrorMacroblockAddress;
      return false;
    }
    br.Skip(e.length);
    if (e.value == kMacroblockEscape) {
      if (increment < (1 << 24)) increment += 33;
      continue;
    }
    increment += e.value;
    return true;
  }
}

// macroblock_modes() (§6.2.5.1): macroblock_type from Table B-2, B-3 or B-4 by picture type (none
// in other pictures), the motion type, read or implied by frame_pred_frame_dct, and dct_type.
MacroblockModes read_macroblock_modes(const StreamHeaders& h, BitReader& br) {
  using TypeTable = std::array<VlcEntry, 64>;
  static constexpr const TypeTable* kTypeTables[4] = {nullptr, &kMbTypeI6, &kMbTypeP6, &kMbTypeB6};
  const int32_t type = h.picture_coding_type;
  const TypeTable* table = type >= 0 && type <= kPictureB ? kTypeTables[type] : nullptr;
  MacroblockModes m;
  if (table) {
    const VlcEntry& e = (*table)[br.Show(6)];
    if (e.length) {
      m.flags = e.value;
      br.Skip(e.length);
    }
  }
  m.framePicture = h.picture_structure != kTopField && h.picture_structure != kBottomField;
  int32_t motion_type = 0;
  if (m.flags & (kMbMotionForward | kMbMotionBackward)) {
    if (m.framePicture && h.frame_pred_frame_dct)
      motion_type = 2;  // frame-based
    else
      motion_type = int32_t(br.Get(2));
  }
  const MotionTypeMeaning& t =
      (m.framePicture ? kFrameMotionTypes : kFieldMotionTypes)[motion_type];
  m.motion = t.motion;
  m.motion_vector_count = t.motion_vector_count;
  m.fieldVectors = t.fieldVectors;
  m.dmv = t.dmv;
  if (m.framePicture && !h.frame_pred_frame_dct && (m.flags & (kMbIntra | kMbPattern)))
    m.dct_type = int32_t(br.Get(1));
  return m;
}

// Predictor resets (§7.2.1, §7.6.3.4) after a macroblock's modes, `increment` telling whether
// macroblocks were skipped.
void reset_predictors(SliceContext& c, const MacroblockModes& m, int32_t increment) {
  const StreamHeaders& h = c.d->headers;
  const bool intra = m.flags & kMbIntra;
  if (!intra || increment > 1) reset_dc_predictors(c);
  if (h.picture_coding_type != kPictureP) return;
  if ((intra && !h.concealment_motion_vectors) || (!intra && !(m.flags & kMbMotionForward)) ||
      increment > 1)
    reset_motion_predictors(c);
}

// coded_block_pattern (Table B-9) with the extra chroma bits of 4:2:2 and 4:4:4; every block of
// an intra macroblock. False when the code is not in the table.
bool read_coded_block_pattern(SliceContext& c, BitReader& br, const MacroblockModes& m,
                              int block_count, uint32_t& pattern) {
  const ChromaFormat chroma_format = c.d->headers.chroma_format;
  pattern = 0;
  if (m.flags & kMbIntra) {
    pattern = (1u << block_count) - 1;
  } else if (m.flags & kMbPattern) {
    const VlcEntry& e = kCbpTable9[br.Show(9)];
    if (e.length == 0) {
      c.d->run.errorCode = kErrorCodedBlockPattern;
      return false;
    }
    br.Skip(e.length);
    pattern = uint32_t(e.value);
    if (chroma_format == kChroma422) pattern = (pattern << 2) | br.Get(2);
    if (chroma_format == kChroma444) pattern = (pattern << 6) | br.Get(6);
  }
  return true;
}

// One macroblock (§6.2.5). An unreadable address, motion code or pattern ends it at once.
void decode_macroblock(SliceContext& c, BitReader& br) {
  DecoderRun& run = c.d->run;
  const StreamHeaders& h = c.d->headers;
  int32_t increment;
  if (!read_address_increment(c, br, increment)) return;
  if (h.picture_coding_type == kPictureI) increment = 1;  // intra pictures code every macroblock
  const int32_t total = c.g.mbWidth * c.g.mbHeight;
  run.macroblockCounter += increment;
  if (run.macroblockCounter > total) run.macroblockCounter = total;

  const MacroblockModes m = read_macroblock_modes(h, br);
  reset_predictors(c, m, increment);
  if (m.flags & kMbQuant) c.quantiserScaleCode = int32_t(br.Get(5));
  if (has_vectors(c, m) && !decode_macroblock_vectors(c, br, m)) return;
  const int block_count = kBlockCount[h.chroma_format & 3];
  uint32_t pattern;
  if (!read_coded_block_pattern(c, br, m, block_count, pattern)) return;
  decode_blocks(c, br, pattern, block_count, m.flags & kMbIntra);
  reconstruct_macroblock(c, run.macroblockCounter - 1, m);
}

}  // namespace

void set_slice_picture(SliceContext& c, const FrameGeometry& g) {
  c.g = g;
  const int32_t stride = g.rowStride > 0 ? g.rowStride : 1;
  c.maxRows = int32_t(FrameStore::kBufferSamples / size_t(stride));
  c.pixelsPerRow = g.rowStride / 3;
  c.validWidth = g.mbWidth * 16 < c.pixelsPerRow ? g.mbWidth * 16 : c.pixelsPerRow;
}

void decode_slice(SliceContext& c, const uint8_t* p, const uint8_t* end) {
  const StreamHeaders& h = c.d->headers;
  reset_dc_predictors(c);
  reset_motion_predictors(c);
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
  } while (c.d->run.errorCode == kDecodeOk && br.Show(23) != 0);
}
