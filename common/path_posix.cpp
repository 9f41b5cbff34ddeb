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

int path_is_folder(const char* path) { return path[0] != 0 && is_folder(path) ? 1 : 0; }

uint64_t path_write_time(const char* path) {
  struct stat st;
  if (path[0] == 0 || stat(path, &st) != 0) return 0;
  return uint64_t(st.st_mtim.tv_sec) * 1000000000u + uint64_t(st.st_mtim.tv_nsec);
}

int path_same_file(const char* a, const char* b) {
  struct stat sa, sb;
  if (a[0] == 0 || b[0] == 0 || stat(a, &sa) != 0 || stat(b, &sb) != 0) return 0;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino ? 1 : 0;
}

int path_clear_read_only(const char* path) {
  struct stat st;
  if (path[0] == 0 || stat(path, &st) != 0) return 1;
  if (st.st_mode & S_IWUSR) return 0;
  return chmod(path, (st.st_mode & 07777) | S_IWUSR) == 0 ? 0 : 1;
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
