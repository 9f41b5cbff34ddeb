// Path functions on the POSIX file system.
#include <sys/stat.h>

#include <cstring>

#include "common/path.h"

namespace {

bool is_folder(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int path_exists(const char* path) {
  struct stat st;
  return path[0] != 0 && stat(path, &st) == 0 ? 1 : 0;
}

double path_file_size(const char* path) {
  struct stat st;
  if (path[0] == 0 || stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return 0.0;
  return double(st.st_size);
}

int path_make_folders(const char* path) {
  // Only full paths below the root: "/" alone and relative paths are refused.
  const size_t len = std::strlen(path);
  if (len < 2 || path[0] != '/' || len > kPathMax) return 1;
  char prefix[kPathBuffer];
  for (size_t i = 1; i <= len; ++i) {
    if (path[i] != 0 && path[i] != '/') continue;
    if (path[i - 1] == '/') continue;  // an empty component ("//" or a trailing '/')
    std::memcpy(prefix, path, i);
    prefix[i] = 0;
    if (is_folder(prefix)) continue;
    mkdir(prefix, 0777);
    if (!is_folder(prefix)) return 1;
  }
  return 0;
}
