// Shift-JIS byte classification by walking a string from its start.
#include "common/sjis.h"

namespace {

// The walk takes 0x80 for a lead byte as well: it only has to keep a trail byte from being
// mistaken for a separator, and treating the stray 0x80 as a pair opener is the safe side.
bool walk_lead(uint8_t b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

int sjis_byte_kind(const char* str, size_t i) {
  size_t j = 0;
  while (j <= i) {
    const uint8_t b = uint8_t(str[j]);
    if (b == 0) return 0;
    if (!walk_lead(b)) {
      if (j == i) return 0;
      ++j;
      continue;
    }
    if (j == i) return 1;
    // A lead byte directly before the terminator has no trail: i lies at or past the end.
    if (str[j + 1] == 0) return 0;
    if (j + 1 == i) return 2;
    j += 2;
  }
  return 0;
}
