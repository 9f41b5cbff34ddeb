// libFuzzer target for the ARIB text converter: any bytes must convert without reading past the
// input or writing past the caller's buffer, give a terminated text of at most kAribTextMax
// bytes, and give the same result every time (nothing is kept between texts).
#include <cstdlib>
#include <cstring>
#include <memory>

#include "demux/arib/arib_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly sized heap copies, so that AddressSanitizer sees any access beyond them.
  std::unique_ptr<uint8_t[]> in(new uint8_t[size ? size : 1]);
  if (size) std::memcpy(in.get(), data, size);
  std::unique_ptr<char[]> first(new char[kAribTextMax + 1]);
  std::unique_ptr<char[]> second(new char[kAribTextMax + 1]);

  const int status1 = arib_convert(in.get(), size, first.get());
  const size_t len = strnlen(first.get(), kAribTextMax + 1);
  if (len > kAribTextMax) std::abort();

  const int status2 = arib_convert(in.get(), size, second.get());
  if (status1 != status2 || std::strcmp(first.get(), second.get()) != 0) std::abort();
  return 0;
}
