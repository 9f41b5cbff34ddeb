// Opening a document: the test handler when one is set, else the desktop's way.
#include "platform/shell.h"

#include "platform/shell_desktop.h"

namespace {
ShellOpenHandler g_handler = nullptr;
}

void set_shell_open_handler(ShellOpenHandler handler) { g_handler = handler; }

void shell_open(uintptr_t owner, const char* path) {
  if (g_handler != nullptr) {
    g_handler(owner, path);
    return;
  }
  desktop_open(owner, path);
}
