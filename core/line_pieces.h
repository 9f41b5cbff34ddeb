// Reading the demux information files the way the cutter does: lines taken in pieces of at most
// kLinePieceMax characters, line ends removed, keys compared without regard to letter case.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/raw_file.h"

constexpr size_t kLinePieceMax = 254;

inline char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// True when s starts with the upper-case prefix, letters compared without regard to case.
inline bool starts_with_nocase(const char* s, const char* prefix) {
  for (; *prefix; ++s, ++prefix)
    if (ascii_upper(*s) != *prefix) return false;
  return true;
}

// Feeds the open file to take(piece) piece by piece (a line, or kLinePieceMax characters of a
// longer one), the line feed and a CR before it removed; take returns false to stop.
template <typename Take>
void for_each_line_piece(RawHandle h, Take take) {
  char piece[kLinePieceMax + 1];
  size_t used = 0;
  uint8_t block[4096];
  for (size_t got; (got = raw_read(block, 1, sizeof block, h)) > 0;) {
    for (size_t i = 0; i < got; ++i) {
      const char c = char(block[i]);
      if (c != '\n') piece[used++] = c;
      if (c == '\n' || used == kLinePieceMax) {
        if (c == '\n' && used > 0 && piece[used - 1] == '\r') --used;
        piece[used] = '\0';
        used = 0;
        if (!take(static_cast<char*>(piece))) return;
      }
    }
  }
  if (used > 0) {
    if (piece[used - 1] == '\r') --used;
    piece[used] = '\0';
    take(static_cast<char*>(piece));
  }
}
