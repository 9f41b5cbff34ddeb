// Annex B code tables of ISO/IEC 13818-2, transcribed row by row and expanded into direct-lookup
// arrays at compile time. An expansion that finds two rows claiming the same bits, or a code too
// long for its array, does not compile.
#include "mpeg2/vlc_tables.h"

#include <array>
#include <cstddef>

namespace {

struct ParsedCode {
  uint32_t bits;
  int length;
};

constexpr ParsedCode parse_code(const char* text) {
  ParsedCode c{0, 0};
  for (const char* p = text; *p; ++p) {
    if (*p == ' ') continue;
    if (*p != '0' && *p != '1') throw "bad code character";
    c.bits = (c.bits << 1) | uint32_t(*p - '0');
    ++c.length;
  }
  return c;
}

template <int Bits, size_t N>
constexpr std::array<VlcEntry, (1u << Bits)> expand(const VlcRow (&rows)[N]) {
  std::array<VlcEntry, (1u << Bits)> table{};
  for (const VlcRow& row : rows) {
    ParsedCode c = parse_code(row.code);
    if (c.length > Bits || c.length == 0) throw "code longer than the lookup";
    uint32_t first = c.bits << (Bits - c.length);
    uint32_t count = 1u << (Bits - c.length);
    for (uint32_t i = first; i < first + count; ++i) {
      if (table[i].length != 0) throw "two rows claim the same bits";
      table[i] = VlcEntry{row.value, uint8_t(c.length)};
    }
  }
  return table;
}

struct DctTables {
  std::array<DctEntry, 512> first9{};
  std::array<DctEntry, 2048> long11{};
};

constexpr DctEntry kNoCode{kDctInvalid, 0, 0};

constexpr void place_dct(DctTables& t, uint32_t bits, int length, DctEntry e) {
  if (length <= 9) {
    const uint32_t first = bits << (9 - length);
    if (first < 8) throw "short code in the long-code range";
    for (uint32_t i = first; i < first + (1u << (9 - length)); ++i) {
      if (t.first9[i].length != 0) throw "two rows claim the same bits";
      t.first9[i] = e;
    }
  } else {
    if (length > 17) throw "code longer than 16 bits and sign";
    const uint32_t left = bits << (17 - length);
    if (left >= 0x0800) throw "long code without six leading zeros";
    for (uint32_t i = left; i < left + (1u << (17 - length)); ++i) {
      if (t.long11[i].length != 0) throw "two rows claim the same bits";
      t.long11[i] = e;
    }
  }
}

// Every (run, level) code is entered twice, followed by each value of its sign bit, with the
// signed level and the length including the sign; end of block and escape have no sign bit.
// Entries of up to 9 bits go into the array indexed by the next 9 bits; longer ones begin with six
// zeros and go into the array indexed by the 11 bits that follow them (17 bits in all).
template <size_t N>
constexpr DctTables expand_dct(const VlcRow (&rows)[N]) {
  DctTables t;
  for (auto& e : t.first9) e = kNoCode;
  for (auto& e : t.long11) e = kNoCode;
  for (const VlcRow& row : rows) {
    const ParsedCode c = parse_code(row.code);
    if (row.value >= kDctEndOfBlock) {
      place_dct(t, c.bits, c.length, DctEntry{uint8_t(row.value), uint8_t(c.length), 0});
      continue;
    }
    for (uint32_t sign = 0; sign < 2; ++sign) {
      const int16_t level = sign ? int16_t(-row.value2) : row.value2;
      place_dct(t, (c.bits << 1) | sign, c.length + 1,
                DctEntry{uint8_t(row.value), uint8_t(c.length + 1), level});
    }
  }
  // Prefixes of 0000 00 that no long code uses must not fall into a short entry.
  for (uint32_t i = 0; i < 8; ++i) {
    if (t.first9[i].length != 0) throw "first-table entry shadows the long codes";
  }
  return t;
}

// Table B-1 macroblock_address_increment.
constexpr VlcRow kMbaRows[] = {
    {"1", 1, 0},              {"011", 2, 0},            {"010", 3, 0},
    {"0011", 4, 0},           {"0010", 5, 0},           {"0001 1", 6, 0},
    {"0001 0", 7, 0},         {"0000 111", 8, 0},       {"0000 110", 9, 0},
    {"0000 1011", 10, 0},     {"0000 1010", 11, 0},     {"0000 1001", 12, 0},
    {"0000 1000", 13, 0},     {"0000 0111", 14, 0},     {"0000 0110", 15, 0},
    {"0000 0101 11", 16, 0},  {"0000 0101 10", 17, 0},  {"0000 0101 01", 18, 0},
    {"0000 0101 00", 19, 0},  {"0000 0100 11", 20, 0},  {"0000 0100 10", 21, 0},
    {"0000 0100 011", 22, 0}, {"0000 0100 010", 23, 0}, {"0000 0100 001", 24, 0},
    {"0000 0100 000", 25, 0}, {"0000 0011 111", 26, 0}, {"0000 0011 110", 27, 0},
    {"0000 0011 101", 28, 0}, {"0000 0011 100", 29, 0}, {"0000 0011 011", 30, 0},
    {"0000 0011 010", 31, 0}, {"0000 0011 001", 32, 0}, {"0000 0011 000", 33, 0},
    {"0000 0001 000", kMacroblockEscape, 0},
};

// Table B-2 macroblock_type in I pictures.
constexpr VlcRow kMbTypeIRows[] = {
    {"1", kMbIntra, 0},
    {"01", kMbQuant | kMbIntra, 0},
};

// Table B-3 macroblock_type in P pictures.
constexpr VlcRow kMbTypePRows[] = {
    {"1", kMbMotionForward | kMbPattern, 0},
    {"01", kMbPattern, 0},
    {"001", kMbMotionForward, 0},
    {"0001 1", kMbIntra, 0},
    {"0001 0", kMbQuant | kMbMotionForward | kMbPattern, 0},
    {"0000 1", kMbQuant | kMbPattern, 0},
    {"0000 01", kMbQuant | kMbIntra, 0},
};

// Table B-4 macroblock_type in B pictures.
constexpr VlcRow kMbTypeBRows[] = {
    {"10", kMbMotionForward | kMbMotionBackward, 0},
    {"11", kMbMotionForward | kMbMotionBackward | kMbPattern, 0},
    {"010", kMbMotionBackward, 0},
    {"011", kMbMotionBackward | kMbPattern, 0},
    {"0010", kMbMotionForward, 0},
    {"0011", kMbMotionForward | kMbPattern, 0},
    {"0001 1", kMbIntra, 0},
    {"0001 0", kMbQuant | kMbMotionForward | kMbMotionBackward | kMbPattern, 0},
    {"0000 11", kMbQuant | kMbMotionForward | kMbPattern, 0},
    {"0000 10", kMbQuant | kMbMotionBackward | kMbPattern, 0},
    {"0000 01", kMbQuant | kMbIntra, 0},
};

// Table B-9 coded_block_pattern.
constexpr VlcRow kCbpRows[] = {
    {"111", 60, 0},         {"1101", 4, 0},         {"1100", 8, 0},         {"1011", 16, 0},
    {"1010", 32, 0},        {"1001 1", 12, 0},      {"1001 0", 48, 0},      {"1000 1", 20, 0},
    {"1000 0", 40, 0},      {"0111 1", 28, 0},      {"0111 0", 44, 0},      {"0110 1", 52, 0},
    {"0110 0", 56, 0},      {"0101 1", 1, 0},       {"0101 0", 61, 0},      {"0100 1", 2, 0},
    {"0100 0", 62, 0},      {"0011 11", 24, 0},     {"0011 10", 36, 0},     {"0011 01", 3, 0},
    {"0011 00", 63, 0},     {"0010 111", 5, 0},     {"0010 110", 9, 0},     {"0010 101", 17, 0},
    {"0010 100", 33, 0},    {"0010 011", 6, 0},     {"0010 010", 10, 0},    {"0010 001", 18, 0},
    {"0010 000", 34, 0},    {"0001 1111", 7, 0},    {"0001 1110", 11, 0},   {"0001 1101", 19, 0},
    {"0001 1100", 35, 0},   {"0001 1011", 13, 0},   {"0001 1010", 49, 0},   {"0001 1001", 21, 0},
    {"0001 1000", 41, 0},   {"0001 0111", 14, 0},   {"0001 0110", 50, 0},   {"0001 0101", 22, 0},
    {"0001 0100", 42, 0},   {"0001 0011", 15, 0},   {"0001 0010", 51, 0},   {"0001 0001", 23, 0},
    {"0001 0000", 43, 0},   {"0000 1111", 25, 0},   {"0000 1110", 37, 0},   {"0000 1101", 26, 0},
    {"0000 1100", 38, 0},   {"0000 1011", 29, 0},   {"0000 1010", 45, 0},   {"0000 1001", 53, 0},
    {"0000 1000", 57, 0},   {"0000 0111", 30, 0},   {"0000 0110", 46, 0},   {"0000 0101", 54, 0},
    {"0000 0100", 58, 0},   {"0000 0011 1", 31, 0}, {"0000 0011 0", 47, 0}, {"0000 0010 1", 55, 0},
    {"0000 0010 0", 59, 0}, {"0000 0001 1", 27, 0}, {"0000 0001 0", 39, 0}, {"0000 0000 1", 0, 0},
};

// Table B-10 motion_code; the last bit of every code but the first is the sign (1 = negative).
constexpr VlcRow kMotionCodeRows[] = {
    {"0000 0011 001", -16, 0}, {"0000 0011 011", -15, 0}, {"0000 0011 101", -14, 0},
    {"0000 0011 111", -13, 0}, {"0000 0100 001", -12, 0}, {"0000 0100 011", -11, 0},
    {"0000 0100 11", -10, 0},  {"0000 0101 01", -9, 0},   {"0000 0101 11", -8, 0},
    {"0000 0111", -7, 0},      {"0000 1001", -6, 0},      {"0000 1011", -5, 0},
    {"0000 111", -4, 0},       {"0001 1", -3, 0},         {"0011", -2, 0},
    {"011", -1, 0},            {"1", 0, 0},               {"010", 1, 0},
    {"0010", 2, 0},            {"0001 0", 3, 0},          {"0000 110", 4, 0},
    {"0000 1010", 5, 0},       {"0000 1000", 6, 0},       {"0000 0110", 7, 0},
    {"0000 0101 10", 8, 0},    {"0000 0101 00", 9, 0},    {"0000 0100 10", 10, 0},
    {"0000 0100 010", 11, 0},  {"0000 0100 000", 12, 0},  {"0000 0011 110", 13, 0},
    {"0000 0011 100", 14, 0},  {"0000 0011 010", 15, 0},  {"0000 0011 000", 16, 0},
};

// Table B-11 dmvector.
constexpr VlcRow kDmvectorRows[] = {{"11", -1, 0}, {"0", 0, 0}, {"10", 1, 0}};

// Table B-12 dct_dc_size_luminance.
constexpr VlcRow kDcSizeLumaRows[] = {
    {"100", 0, 0},        {"00", 1, 0},          {"01", 2, 0},          {"101", 3, 0},
    {"110", 4, 0},        {"1110", 5, 0},        {"1111 0", 6, 0},      {"1111 10", 7, 0},
    {"1111 110", 8, 0},   {"1111 1110", 9, 0},   {"1111 1111 0", 10, 0}, {"1111 1111 1", 11, 0},
};

// Table B-13 dct_dc_size_chrominance.
constexpr VlcRow kDcSizeChromaRows[] = {
    {"00", 0, 0},          {"01", 1, 0},          {"10", 2, 0},           {"110", 3, 0},
    {"1110", 4, 0},        {"1111 0", 5, 0},      {"1111 10", 6, 0},      {"1111 110", 7, 0},
    {"1111 1110", 8, 0},   {"1111 1111 0", 9, 0}, {"1111 1111 10", 10, 0}, {"1111 1111 11", 11, 0},
};

// Codes of at least 13 bits (after 0000 0000 0): shared by Tables B-14 and B-15.
#define KERF_DCT_SHARED_LONG_ROWS                                                             \
  {"0000 0000 0111 11", 0, 16}, {"0000 0000 0111 10", 0, 17}, {"0000 0000 0111 01", 0, 18},   \
      {"0000 0000 0111 00", 0, 19}, {"0000 0000 0110 11", 0, 20},                             \
      {"0000 0000 0110 10", 0, 21}, {"0000 0000 0110 01", 0, 22},                             \
      {"0000 0000 0110 00", 0, 23}, {"0000 0000 0101 11", 0, 24},                             \
      {"0000 0000 0101 10", 0, 25}, {"0000 0000 0101 01", 0, 26},                             \
      {"0000 0000 0101 00", 0, 27}, {"0000 0000 0100 11", 0, 28},                             \
      {"0000 0000 0100 10", 0, 29}, {"0000 0000 0100 01", 0, 30},                             \
      {"0000 0000 0100 00", 0, 31}, {"0000 0000 0011 000", 0, 32},                            \
      {"0000 0000 0010 111", 0, 33}, {"0000 0000 0010 110", 0, 34},                           \
      {"0000 0000 0010 101", 0, 35}, {"0000 0000 0010 100", 0, 36},                           \
      {"0000 0000 0010 011", 0, 37}, {"0000 0000 0010 010", 0, 38},                           \
      {"0000 0000 0010 001", 0, 39}, {"0000 0000 0010 000", 0, 40},                           \
      {"0000 0000 0011 111", 1, 8}, {"0000 0000 0011 110", 1, 9},                             \
      {"0000 0000 0011 101", 1, 10}, {"0000 0000 0011 100", 1, 11},                           \
      {"0000 0000 0011 011", 1, 12}, {"0000 0000 0011 010", 1, 13},                           \
      {"0000 0000 0011 001", 1, 14}, {"0000 0000 0001 0011", 1, 15},                          \
      {"0000 0000 0001 0010", 1, 16}, {"0000 0000 0001 0001", 1, 17},                         \
      {"0000 0000 0001 0000", 1, 18}, {"0000 0000 0001 0100", 6, 3},                          \
      {"0000 0000 0001 1010", 11, 2}, {"0000 0000 0001 1001", 12, 2},                         \
      {"0000 0000 0001 1000", 13, 2}, {"0000 0000 0001 0111", 14, 2},                         \
      {"0000 0000 0001 0110", 15, 2}, {"0000 0000 0001 0101", 16, 2},                         \
      {"0000 0000 0001 1111", 27, 1}, {"0000 0000 0001 1110", 28, 1},                         \
      {"0000 0000 0001 1101", 29, 1}, {"0000 0000 0001 1100", 30, 1},                         \
      {"0000 0000 0001 1011", 31, 1}, {"0000 0000 1011 0", 1, 6}, {"0000 0000 1010 1", 1, 7}, \
      {"0000 0000 1010 0", 2, 5}, {"0000 0000 1001 1", 3, 4}, {"0000 0000 1001 0", 5, 3},     \
      {"0000 0000 1000 1", 9, 2}, {"0000 0000 1000 0", 10, 2}, {"0000 0000 1111 1", 22, 1},   \
      {"0000 0000 1111 0", 23, 1}, {"0000 0000 1110 1", 24, 1}, {"0000 0000 1110 0", 25, 1},  \
      {"0000 0000 1101 1", 26, 1}, {"0000 0001 1100", 3, 3}, {"0000 0001 0010", 4, 3},        \
      {"0000 0001 1110", 6, 2}, {"0000 0001 0101", 7, 2}, {"0000 0001 0001", 8, 2},           \
      {"0000 0001 1111", 17, 1}, {"0000 0001 1010", 18, 1}, {"0000 0001 1001", 19, 1},        \
      {"0000 0001 0111", 20, 1}, {"0000 0001 0110", 21, 1}

// Table B-14 DCT coefficients table zero (value = run, value2 = level; sign bit follows). The
// first coefficient of a non-intra block, "1s" = run 0 level 1, is handled by the decoder.
constexpr VlcRow kDctB14Rows[] = {
    {"10", kDctEndOfBlock, 0},
    {"0000 01", kDctEscape, 0},
    {"11", 0, 1},
    {"011", 1, 1},
    {"0100", 0, 2},
    {"0101", 2, 1},
    {"0010 1", 0, 3},
    {"0011 1", 3, 1},
    {"0011 0", 4, 1},
    {"0001 10", 1, 2},
    {"0001 11", 5, 1},
    {"0001 01", 6, 1},
    {"0001 00", 7, 1},
    {"0000 110", 0, 4},
    {"0000 100", 2, 2},
    {"0000 111", 8, 1},
    {"0000 101", 9, 1},
    {"0010 0110", 0, 5},
    {"0010 0001", 0, 6},
    {"0010 0101", 1, 3},
    {"0010 0100", 3, 2},
    {"0010 0111", 10, 1},
    {"0010 0011", 11, 1},
    {"0010 0010", 12, 1},
    {"0010 0000", 13, 1},
    {"0000 0010 10", 0, 7},
    {"0000 0011 00", 1, 4},
    {"0000 0010 11", 2, 3},
    {"0000 0011 11", 4, 2},
    {"0000 0010 01", 5, 2},
    {"0000 0011 10", 14, 1},
    {"0000 0011 01", 15, 1},
    {"0000 0010 00", 16, 1},
    {"0000 0001 1101", 0, 8},
    {"0000 0001 1000", 0, 9},
    {"0000 0001 0011", 0, 10},
    {"0000 0001 0000", 0, 11},
    {"0000 0001 1011", 1, 5},
    {"0000 0001 0100", 2, 4},
    {"0000 0000 1101 0", 0, 12},
    {"0000 0000 1100 1", 0, 13},
    {"0000 0000 1100 0", 0, 14},
    {"0000 0000 1011 1", 0, 15},
    KERF_DCT_SHARED_LONG_ROWS,
};

// Table B-15 DCT coefficients table one (intra_vlc_format 1).
constexpr VlcRow kDctB15Rows[] = {
    {"0110", kDctEndOfBlock, 0},
    {"0000 01", kDctEscape, 0},
    {"10", 0, 1},
    {"010", 1, 1},
    {"110", 0, 2},
    {"0010 1", 2, 1},
    {"0111", 0, 3},
    {"0011 1", 3, 1},
    {"0001 10", 4, 1},
    {"0011 0", 1, 2},
    {"0001 11", 5, 1},
    {"0000 110", 6, 1},
    {"0000 100", 7, 1},
    {"1110 0", 0, 4},
    {"0000 111", 2, 2},
    {"0000 101", 8, 1},
    {"1111 000", 9, 1},
    {"1110 1", 0, 5},
    {"0001 01", 0, 6},
    {"1111 001", 1, 3},
    {"0010 0110", 3, 2},
    {"1111 010", 10, 1},
    {"0010 0001", 11, 1},
    {"0010 0101", 12, 1},
    {"0010 0100", 13, 1},
    {"0001 00", 0, 7},
    {"0010 0111", 1, 4},
    {"1111 1100", 2, 3},
    {"1111 1101", 4, 2},
    {"0000 0010 0", 5, 2},
    {"0000 0010 1", 14, 1},
    {"0000 0011 1", 15, 1},
    {"0000 0011 01", 16, 1},
    {"1111 011", 0, 8},
    {"1111 100", 0, 9},
    {"0010 0011", 0, 10},
    {"0010 0010", 0, 11},
    {"0010 0000", 1, 5},
    {"0000 0011 00", 2, 4},
    {"1111 1010", 0, 12},
    {"1111 1011", 0, 13},
    {"1111 1110", 0, 14},
    {"1111 1111", 0, 15},
    KERF_DCT_SHARED_LONG_ROWS,
};
#undef KERF_DCT_SHARED_LONG_ROWS

}  // namespace

// Constant-initialised from the compile-time expansions: no start-up code, no run-time cost.
const std::array<VlcEntry, 2048> kMbaTable11 = expand<11>(kMbaRows);
const std::array<VlcEntry, 64> kMbTypeI6 = expand<6>(kMbTypeIRows);
const std::array<VlcEntry, 64> kMbTypeP6 = expand<6>(kMbTypePRows);
const std::array<VlcEntry, 64> kMbTypeB6 = expand<6>(kMbTypeBRows);
const std::array<VlcEntry, 512> kCbpTable9 = expand<9>(kCbpRows);
const std::array<VlcEntry, 2048> kMotionCodeTable11 = expand<11>(kMotionCodeRows);
const std::array<VlcEntry, 4> kDmvectorTable2 = expand<2>(kDmvectorRows);
const std::array<VlcEntry, 512> kDcSizeLuma9 = expand<9>(kDcSizeLumaRows);
const std::array<VlcEntry, 1024> kDcSizeChroma10 = expand<10>(kDcSizeChromaRows);

namespace {
constexpr DctTables kB14 = expand_dct(kDctB14Rows);
constexpr DctTables kB15 = expand_dct(kDctB15Rows);
}  // namespace

const std::array<DctEntry, 512> kDctB14First9 = kB14.first9;
const std::array<DctEntry, 2048> kDctB14Long11 = kB14.long11;
const std::array<DctEntry, 512> kDctB15First9 = kB15.first9;
const std::array<DctEntry, 2048> kDctB15Long11 = kB15.long11;

std::span<const VlcRow> mba_rows() { return kMbaRows; }
std::span<const VlcRow> mb_type_rows(int picture_coding_type) {
  if (picture_coding_type == 1) return kMbTypeIRows;
  if (picture_coding_type == 2) return kMbTypePRows;
  return kMbTypeBRows;
}
std::span<const VlcRow> cbp_rows() { return kCbpRows; }
std::span<const VlcRow> motion_code_rows() { return kMotionCodeRows; }
std::span<const VlcRow> dmvector_rows() { return kDmvectorRows; }
std::span<const VlcRow> dc_size_luma_rows() { return kDcSizeLumaRows; }
std::span<const VlcRow> dc_size_chroma_rows() { return kDcSizeChromaRows; }
std::span<const VlcRow> dct_b14_rows() { return kDctB14Rows; }
std::span<const VlcRow> dct_b15_rows() { return kDctB15Rows; }
