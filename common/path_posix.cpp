// Path functions on the POSIX file system.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "common/path.h"

namespace {

bool is_folder(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool same_identity(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The entry that creating the path would make: a symbolic link that leads nowhere is followed to
// the name it holds (at most 16 links, as a loop would otherwise never end).
std::string created_entry(const char* path) {
  std::string p = path;
  for (int i = 0; i < 16; ++i) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    char target[PATH_MAX];
    const ssize_t n = readlink(p.c_str(), target, sizeof target - 1);
    if (n <= 0) break;
    target[n] = '\0';
    // A relative target is read from the link's own folder.
    const size_t slash = p.rfind('/');
    if (target[0] == '/' || slash == std::string::npos) p.clear();
    else p.erase(slash + 1);
    p.append(target);
  }
  return p;
}

// The folder and the name of an entry: "/a/b.ts" gives "/a" and "b.ts", "b.ts" gives "." and
// "b.ts", "/b.ts" gives "/" and "b.ts".
void split_entry(const std::string& path, std::string& folder, std::string& name) {
  const size_t slash = path.rfind('/');
  name.assign(path, slash == std::string::npos ? 0 : slash + 1);
  if (slash == std::string::npos)
    folder.assign(1, '.');
  else
    folder.assign(path, 0, slash == 0 ? 1 : slash);
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
  return same_identity(sa, sb) ? 1 : 0;
}

int path_same_target(const char* a, const char* b) {
  if (a[0] == 0 || b[0] == 0) return 0;
  struct stat sa, sb;
  const bool hasA = stat(a, &sa) == 0, hasB = stat(b, &sb) == 0;
  if (hasA || hasB) return hasA && hasB && same_identity(sa, sb) ? 1 : 0;
  std::string folderA, nameA, folderB, nameB;
  split_entry(created_entry(a), folderA, nameA);
  split_entry(created_entry(b), folderB, nameB);
  if (nameA.empty() || nameA != nameB) return 0;
  return stat(folderA.c_str(), &sa) == 0 && stat(folderB.c_str(), &sb) == 0 && same_identity(sa, sb) ? 1 : 0;
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
