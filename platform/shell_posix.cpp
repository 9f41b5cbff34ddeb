// Opening a document on POSIX desktops with xdg-open.
#include <string>

#include "platform/process.h"
#include "platform/shell.h"

namespace {
ShellOpenHandler g_handler = nullptr;
}

void set_shell_open_handler(ShellOpenHandler handler) { g_handler = handler; }

void shell_open(uintptr_t owner, const char* path) {
  if (g_handler != nullptr) {
    g_handler(owner, path);
    return;
  }
  // The command-line splitter takes a quoted token up to the next double quote.
  const std::string file(path);
  if (file.find('"') != std::string::npos) return;
  start_process(("xdg-open \"" + file + "\"").c_str(), true);
}
