// ARIB STD-B24 8-unit character code to Shift-JIS.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kAribTextMax = 1021;   // bytes of converted text, without the terminator

// Converts length bytes (at most 255) into out (kAribTextMax + 1 bytes, always terminated).
// 0 = converted; non-zero = a kanji code out of range (out then holds what came before it).
int arib_convert(const uint8_t* bytes, size_t length, char* out);
