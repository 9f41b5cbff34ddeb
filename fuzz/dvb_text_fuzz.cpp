// libFuzzer target for the DVB text decoder: any bytes must decode without reading past the input
// into well-formed UTF-8 (no surrogates, nothing past U+10FFFF), the same every time.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "demux/dvb/dvb_text.h"

namespace {

bool is_utf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const uint8_t lead = uint8_t(s[i]);
    const size_t n = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                                                      : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    uint32_t cp = n == 1 ? lead : lead & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
      if ((uint8_t(s[i + k]) & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (uint8_t(s[i + k]) & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> in(new uint8_t[size ? size : 1]);   // exactly sized, for ASan
  if (size) std::memcpy(in.get(), data, size);
  const std::string first = dvb_text_to_utf8(in.get(), size);
  if (!is_utf8(first) || dvb_text_to_utf8(in.get(), size) != first) std::abort();
  return 0;
}
