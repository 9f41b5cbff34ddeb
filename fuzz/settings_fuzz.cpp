// libFuzzer target for the settings file: the input is the file beside the program. kerfcut
// starts on the headless window system with it (settings read, logo, main dialog set up from the
// record, the preview timer), and ends (settings written). Nothing may read or write outside the
// record or the controls, and what is written at exit must read back as the same record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cutter/main_frame.h"
#include "fuzz/fuzz_file.h"
#include "resources/templates.h"
#include "ui/headless/headless.h"

namespace hl = ui::headless;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzFolder* const folder = new FuzzFolder;
  if (!folder->ok() || !folder->Write("kerfcut.DAT", data, size)) return 0;
  const std::string program = folder->File("kerfcut.exe");
  const std::string settings = folder->File("kerfcut.DAT");

  hl::reset();
  ui::register_templates(res::dialog_templates(), res::menu_templates());
  Settings saved;
  {
    auto app = std::make_unique<TMyApp>(program.c_str(), "/");
    Check(app->Start());
    hl::advance(100);   // the preview timer
    const ui::Handle frame = app->frame().handle();
    hl::close_window(frame);
    Check(hl::find(frame) == nullptr);
    saved = app->state().settings;
  }
  hl::reset();

  // Whatever was read, the exit writes a whole file that gives back the record the window held.
  auto back = std::make_unique<Settings>();
  std::memset(back.get(), 0, sizeof *back);
  Check(settings_read(*back, settings.c_str()) == 0);
  Check(std::memcmp(back.get(), &saved, sizeof saved) == 0);
  return 0;
}
