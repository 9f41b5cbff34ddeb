// The CP932 table on POSIX: iconv's "CP932", the Microsoft variant (NEC and IBM extensions, the
// same mapping as Windows).
#include <iconv.h>

#include "common/cp932_text.h"

Cp932Decoder::Cp932Decoder() {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd != iconv_t(-1)) state_ = cd;
}

Cp932Decoder::~Cp932Decoder() {
  if (state_) iconv_close(iconv_t(state_));
}

bool Cp932Decoder::Append(std::string_view cp932, std::string& out) {
  if (!state_ || cp932.empty()) return cp932.empty();
  const iconv_t cd = iconv_t(state_);
  std::string in(cp932);
  char result[64];
  std::string converted;
  char* inPtr = in.data();
  size_t inLeft = in.size();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (inLeft > 0) {
    char* outPtr = result;
    size_t outLeft = sizeof result;
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    converted.append(result, size_t(outPtr - result));
    if (r == size_t(-1) && outPtr == result) return false;   // invalid or cut short, not a full buffer
  }
  out += converted;
  return true;
}
