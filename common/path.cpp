// Platform-neutral path helpers: separators, full-path tests and name offsets, Shift-JIS aware.
#include "common/path.h"

#include <cstring>

#include "common/sjis.h"
#ifdef _WIN32
#include "common/win32_text.h"
#endif

// On Windows a 0x5C that is the trail byte of a two-byte character is not a backslash. On POSIX
// the separator 0x2F can never be a Shift-JIS trail byte (those are 0x40 and above), and file
// names there are often UTF-8, which the Shift-JIS walk would misread: every '/' counts. The same
// holds for a Windows program that keeps its paths in UTF-8, where no ASCII byte is ever part of
// another character.
bool path_is_separator_at(const char* path, size_t i) {
  if (path[i] != kPathSeparator) return false;
#ifdef _WIN32
  return path_text() == PathText::Utf8 || sjis_byte_kind(path, i) != 2;
#else
  return true;
#endif
}

void path_add_backslash(char* path) {
  const size_t len = std::strlen(path);
  if (len == 0) {
    path[0] = kPathSeparator;
    path[1] = 0;
    return;
  }
  if (path_is_separator_at(path, len - 1)) return;
  // A path buffer holds kPathMax characters; a full one cannot take another byte.
  if (len >= kPathMax) return;
  path[len] = kPathSeparator;
  path[len + 1] = 0;
}

int path_is_full(const char* path) { return path_root_length(path) != 0 ? 1 : 0; }

size_t path_root_length(const char* path) {
#ifdef _WIN32
  // The rule the whole program applies to full paths: a colon second and a backslash third.
  if (path[0] != 0 && path[1] == ':' && path[2] == '\\') return 3;
  return 0;
#else
  return path[0] == '/' ? 1 : 0;
#endif
}

size_t path_name_offset(const char* path) {
  size_t offset = 0;
  for (size_t i = 0; path[i] != 0; ++i) {
    if (path_is_separator_at(path, i)) offset = i + 1;
#ifdef _WIN32
    // "C:NAME" names a file in the current folder of drive C.
    if (i == 1 && path[1] == ':') offset = 2;
#endif
  }
  return offset;
}

void path_cut_to_parent(char* folder) {
  size_t last = 0, secondLast = 0;
  bool seen = false, seenTwo = false;
  for (size_t i = 0; folder[i] != 0; ++i) {
    if (!path_is_separator_at(folder, i)) continue;
    seenTwo = seen;
    secondLast = last;
    last = i;
    seen = true;
  }
  if (seenTwo) folder[secondLast + 1] = 0;
}
