// Variable-length code tables of ISO/IEC 13818-2 Annex B, as rows transcribed from the standard
// and as the direct-lookup arrays the slice decoder indexes with the next bits of the stream.
#pragma once
#include <array>
#include <cstdint>
#include <span>

// One row as the standard prints it: the code's bits ('0'/'1', blanks ignored, the sign bit 's'
// of the coefficient and motion tables left out) and one or two values.
struct VlcRow {
  const char* code;
  int16_t value;
  int16_t value2;  // level of a DCT coefficient row; unused elsewhere
};

// Lookup result: length 0 means the bits are not a code of the table.
struct VlcEntry {
  int16_t value;
  uint8_t length;
};

// Table B-1 macroblock_address_increment, indexed by the next 11 bits.
constexpr int16_t kMacroblockEscape = 0;  // value of macroblock_escape (adds 33)
extern const std::array<VlcEntry, 2048> kMbaTable11;

// Tables B-2, B-3, B-4 macroblock_type, indexed by the next 6 bits; the value is a set of these
// flags, one for each field of macroblock_type the code sets (macroblock_quant, ... _intra).
enum MacroblockType : int16_t {
  kMbQuant = 1,
  kMbMotionForward = 2,
  kMbMotionBackward = 4,
  kMbPattern = 8,
  kMbIntra = 16,
};
extern const std::array<VlcEntry, 64> kMbTypeI6;
extern const std::array<VlcEntry, 64> kMbTypeP6;
extern const std::array<VlcEntry, 64> kMbTypeB6;

// Table B-9 coded_block_pattern, indexed by the next 9 bits.
extern const std::array<VlcEntry, 512> kCbpTable9;
// Table B-10 motion_code (sign included), indexed by the next 11 bits.
extern const std::array<VlcEntry, 2048> kMotionCodeTable11;
// Table B-11 dmvector, indexed by the next 2 bits.
extern const std::array<VlcEntry, 4> kDmvectorTable2;
// Tables B-12 and B-13 dct_dc_size, indexed by the next 9 and 10 bits.
extern const std::array<VlcEntry, 512> kDcSizeLuma9;
extern const std::array<VlcEntry, 1024> kDcSizeChroma10;

// Tables B-14 and B-15 DCT coefficients, looked up with the next 17 bits: the longest code (16
// bits) and its sign. A (run, level) entry carries the signed level and a length that includes
// the sign bit; end of block and escape have no sign. Entries of up to 9 bits are found in the
// array indexed by the next 9 bits; longer ones all begin with six zeros and are found in the
// second array indexed by the 11 bits after them.
struct DctEntry {
  uint8_t run;     // 0..31, or kDctEndOfBlock / kDctEscape / kDctInvalid (all 64 and above)
  uint8_t length;  // bits to consume; 0: not a code of the table
  int16_t level;   // signed
};
constexpr uint8_t kDctEndOfBlock = 64;
constexpr uint8_t kDctEscape = 65;
constexpr uint8_t kDctInvalid = 66;  // run of the entries that are no code (length 0)
extern const std::array<DctEntry, 512> kDctB14First9;
extern const std::array<DctEntry, 2048> kDctB14Long11;
extern const std::array<DctEntry, 512> kDctB15First9;
extern const std::array<DctEntry, 2048> kDctB15Long11;

// Looks up a coefficient code from the next 17 bits (right-aligned in `bits17`).
inline const DctEntry& dct_lookup(const DctEntry* first9, const DctEntry* long11,
                                  uint32_t bits17) {
  return bits17 >= 0x0800 ? first9[bits17 >> 8] : long11[bits17 & 0x7FF];
}

// The transcribed rows, for tests that decode every code back.
std::span<const VlcRow> mba_rows();
std::span<const VlcRow> mb_type_rows(int picture_coding_type);  // 1, 2 or 3
std::span<const VlcRow> cbp_rows();
std::span<const VlcRow> motion_code_rows();
std::span<const VlcRow> dmvector_rows();
std::span<const VlcRow> dc_size_luma_rows();
std::span<const VlcRow> dc_size_chroma_rows();
std::span<const VlcRow> dct_b14_rows();
std::span<const VlcRow> dct_b15_rows();
