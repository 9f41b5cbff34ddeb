// CP932 to UTF-8 character by character (see cp932_text.h).
#include "common/cp932_text.h"

#include <cstdint>

#include "common/sjis.h"

std::string cp932_to_utf8(std::string_view cp932) {
  Cp932Decoder decoder;
  std::string out;
  out.reserve(cp932.size() * 3 / 2);
  for (size_t i = 0; i < cp932.size();) {
    const uint8_t b = uint8_t(cp932[i]);
    if (b < 0x80) {
      out += char(b);
      ++i;
      continue;
    }
    const size_t n = sjis_is_lead(b) && i + 1 < cp932.size() ? 2 : 1;
    if (!decoder.Append(cp932.substr(i, n), out)) out += "\xEF\xBF\xBD";   // U+FFFD
    i += n;
  }
  return out;
}
