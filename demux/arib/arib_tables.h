// Character tables of the ARIB STD-B24 8-unit code sets that convert to Shift-JIS.
// Every Shift-JIS value is the two-byte code as a number (0x8140 = bytes 81 40).
#pragma once
#include <cstdint>

namespace arib {

// Alphanumeric set (final byte 0x4A or 0x36) at normal size, codes 0x20..0x7E; 0x7F is not listed.
inline constexpr int kAlnumFirst = 0x20;
inline constexpr int kAlnumCount = 0x7E - 0x20 + 1;
extern const uint16_t kAlnumFull[kAlnumCount];

// Hiragana set (final byte 0x30 or 0x37), any code.
constexpr uint16_t hiragana_sjis(int code) {
  // ぁ..ん are contiguous in both the ARIB set and Shift-JIS row 0x82.
  if (code >= 0x21 && code <= 0x73) return uint16_t(0x829F + (code - 0x21));
  switch (code) {
    case 0x77: return 0x8152;  // ヽ
    case 0x78: return 0x8153;  // ヾ
    case 0x79: return 0x815B;  // ー
    case 0x7A: return 0x8142;  // 。
    case 0x7B: return 0x8175;  // 「
    case 0x7C: return 0x8176;  // 」
    case 0x7D: return 0x8141;  // 、
    case 0x7E: return 0x8145;  // ・
    default: return 0x8140;    // 0x20, 0x7F, and ゔ ゕ ゖ which Shift-JIS lacks
  }
}

// Katakana set (final bytes 0x31, 0x38, 0x49) as half-width bytes, codes 0x20..0x7F. The low byte
// is the half-width letter; the high byte is 0 or the voicing mark byte (0xDE dakuten, 0xDF
// handakuten) that follows it.
inline constexpr int kKatakanaFirst = 0x20;
inline constexpr int kKatakanaCount = 0x60;
extern const uint16_t kKatakanaHalf[kKatakanaCount];

// Half-width katakana byte 0xA0..0xDF widened to its full-width Shift-JIS code.
inline constexpr int kHalfFirst = 0xA0;
inline constexpr int kHalfCount = 0x40;
extern const uint16_t kHalfToFull[kHalfCount];

// A half-width letter with its voicing mark and the single full-width character they make.
struct VoicedPair {
  uint8_t letter;
  uint8_t mark;
  uint16_t full;
};
inline constexpr int kVoicedPairCount = 26;
extern const VoicedPair kVoicedPairs[kVoicedPairCount];

// Additional symbols (final byte 0x3B): row 0x7A, cells 0x4D..0x74, as bracketed texts.
inline constexpr int kSymbolRow = 0x7A;
inline constexpr int kSymbolFirstCell = 0x4D;
inline constexpr int kSymbolCount = 0x74 - 0x4D + 1;
extern const char* const kSymbolTexts[kSymbolCount];

}  // namespace arib
