// The character tables behind the DVB text decoder (dvb_tables.cpp), private to it.
#pragma once
#include <cstdint>

constexpr int kUpperHalf = 96;       // 0xA0..0xFF: the half in which the tables differ
constexpr int kIso8859Tables = 14;   // parts 1-11 and 13-15 (part 12 was never published)
constexpr int kDiacriticCount = 13;  // 0xC1-0xCF less the unused 0xC9 and 0xCC

// ISO/IEC 8859 parts 1-11, 13-15 in that order.
extern const uint16_t kIso8859UpperHalves[kIso8859Tables][kUpperHalf];
extern const uint16_t kLatin00UpperHalf[kUpperHalf];

// A non-spacing diacritic of table 00: it precedes the letter it marks.
struct Diacritic {
  uint8_t code;
  char16_t mark;          // the combining character
  char16_t spacing;       // the diacritic on its own
  const char* bases;      // letters with a composed form ...
  const char16_t* composed;   // ... and those forms, index for index
};
extern const Diacritic kDiacritics[kDiacriticCount];
