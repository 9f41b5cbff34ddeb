// POSIX forms of the program's own path, the system folder and file deletion.
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/path.h"
#include "ui/system.h"

namespace ui {

const char* program_path() {
  static char path[kPathBuffer];
  if (path[0] == '\0') {
    ssize_t n = readlink("/proc/self/exe", path, kPathMax);
    path[n > 0 ? size_t(n) : 0] = '\0';
  }
  return path;
}

const char* system_folder() { return "/"; }

bool delete_file(const char* path) { return unlink(path) == 0 || errno == ENOENT; }

}  // namespace ui
