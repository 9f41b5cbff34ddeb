// Entry point of kerfcut: its dialogs and menu handed to the framework, then the application
// object and its message loop.
#include "cutter/main_frame.h"
#include "platform/platform.h"
#include "resources/templates.h"
#include "ui/entry.h"

UI_PROGRAM_ENTRY(kerfcut_main)

int kerfcut_main() {
  ui::register_templates(res::dialog_templates(), res::menu_templates());
  static TMyApp app(program_path(), system_folder(), command_line());
  return app.Run();
}
