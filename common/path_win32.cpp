// Path functions on the Win32 file system (FindFirstFileW, CreateDirectoryW); paths are CP932.
#include <windows.h>

#include <cstring>
#include <string>

#include "common/path.h"
#include "common/win32_text.h"

namespace {

// The first entry that a find-first gives for the path (files and folders of every attribute).
bool find_entry(const char* path, WIN32_FIND_DATAW& found) {
  std::wstring wide;
  if (!cp932_to_wide(path, wide) || wide.empty()) return false;
  const HANDLE search = FindFirstFileW(wide.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool is_folder(const char* path) {
  WIN32_FIND_DATAW found;
  return find_entry(path, found) && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

int path_exists(const char* path) {
  WIN32_FIND_DATAW found;
  return find_entry(path, found) ? 1 : 0;
}

double path_file_size(const char* path) {
  WIN32_FIND_DATAW found;
  if (!find_entry(path, found)) return 0.0;
  return double(found.nFileSizeHigh) * 4294967296.0 + double(found.nFileSizeLow);
}

int path_is_folder(const char* path) { return is_folder(path) ? 1 : 0; }

uint64_t path_write_time(const char* path) {
  std::wstring wide;
  if (!cp932_to_wide(path, wide) || wide.empty()) return 0;
  // Asked of the file itself: a folder entry's copy may lag behind a file another process wrote.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return 0;
  return uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
}

int path_same_file(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION info[2];
  const char* paths[2] = {a, b};
  for (int i = 0; i < 2; ++i) {
    std::wstring wide;
    if (!cp932_to_wide(paths[i], wide) || wide.empty()) return 0;
    // No access asked: only the identity is read. A folder needs the backup-semantics flag.
    const HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    const BOOL ok = GetFileInformationByHandle(h, &info[i]);
    CloseHandle(h);
    if (!ok) return 0;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
                 info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
                 info[0].nFileIndexLow == info[1].nFileIndexLow
             ? 1
             : 0;
}

int path_clear_read_only(const char* path) {
  std::wstring wide;
  if (!cp932_to_wide(path, wide) || wide.empty()) return 1;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return 1;
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return 0;
  return SetFileAttributesW(wide.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)) ? 0 : 1;
}

int path_make_folders(const char* path) {
  // Only full paths such as C:\A\B: a drive alone ("C:", "C:\") has nothing to create.
  const size_t len = std::strlen(path);
  if (len <= 3 || path[1] != ':' || path[2] != '\\' || len > kPathMax) return 1;
  char prefix[kPathBuffer];
  for (size_t i = 3; i <= len; ++i) {
    if (path[i] != 0 && !path_is_separator_at(path, i)) continue;
    if (path_is_separator_at(path, i - 1)) continue;  // an empty component or a trailing '\'
    std::memcpy(prefix, path, i);
    prefix[i] = 0;
    if (is_folder(prefix)) continue;
    std::wstring wide;
    if (cp932_to_wide(prefix, wide)) CreateDirectoryW(wide.c_str(), nullptr);
    if (!is_folder(prefix)) return 1;
  }
  return 0;
}
