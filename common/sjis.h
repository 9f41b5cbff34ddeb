// Shift-JIS byte tests that keep path and text handling from splitting a two-byte character.
#pragma once
#include <cstddef>
#include <cstdint>

// 1 for a lead byte (0x81-0x9F, 0xE0-0xFC), else 0.
inline int sjis_is_lead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// What the byte at index i of the zero-terminated string is, found by walking from the start:
// 0 single-byte character (also at or past the end), 1 lead byte, 2 trail byte.
// This walk also takes 0x80 for a lead byte.
int sjis_byte_kind(const char* str, size_t i);
