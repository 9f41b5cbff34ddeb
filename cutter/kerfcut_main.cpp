// Entry point of kerfcut: the application object and its message loop.
#include "cutter/main_frame.h"
#include "platform/platform.h"
#include "ui/system.h"

#ifdef _WIN32
#include "ui/win32/entry.h"
KERF_WINDOWED_ENTRY(kerfcut_main)
#endif

int kerfcut_main() {
  static TMyApp app(ui::program_path(), ui::system_folder(), command_line());
  return app.Run();
}
