// Opening a document on POSIX desktops with xdg-open.
#include <string>

#include "platform/process.h"
#include "platform/shell_desktop.h"

void desktop_open(uintptr_t, const char* path) {
  // The command-line splitter takes a quoted token up to the next double quote.
  const std::string file(path);
  if (file.find('"') != std::string::npos) return;
  start_process(("xdg-open \"" + file + "\"").c_str(), true);
}
