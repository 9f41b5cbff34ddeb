// libFuzzer target for the reading of LOGO.BMP: any file must load without reading or writing
// outside the 320 x 200 picture and its palette, and a file refused leaves the picture untouched.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cutter/logo_dialog.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzFolder* const folder = new FuzzFolder;
  if (!folder->ok() || !folder->Write("LOGO.BMP", data, size)) return 0;
  // Exactly sized heap records, so that AddressSanitizer sees any access beyond them.
  auto picture = std::make_unique<ui::Picture8>();
  std::memset(picture->pixels, 0x5A, sizeof picture->pixels);
  auto before = std::make_unique<ui::Picture8>(*picture);
  const int status = logo_load(folder->File("LOGO.BMP").c_str(), *picture);
  if (status != 0 && std::memcmp(picture.get(), before.get(), sizeof *picture) != 0) std::abort();
  if (status != 0 && status != 1) std::abort();
  return 0;
}
