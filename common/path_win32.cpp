// Path functions on the Win32 file system (FindFirstFileW, CreateDirectoryW); paths are in the program's
// path text (CP932 or UTF-8, see win32_text.h).
#include <windows.h>

#include <cstring>
#include <string>

#include "common/path.h"
#include "common/win32_text.h"

namespace {

// The first entry that a find-first gives for the path (files and folders of every attribute).
bool find_entry(const char* path, WIN32_FIND_DATAW& found) {
  std::wstring wide;
  if (!path_to_wide(path, wide) || wide.empty()) return false;
  const HANDLE search = FindFirstFileW(wide.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool is_folder(const char* path) {
  WIN32_FIND_DATAW found;
  return find_entry(path, found) && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The identity of an existing file or folder: its volume serial number and file index. No
// access is asked, only the identity is read; a folder needs the backup-semantics flag.
bool file_identity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
  const HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const BOOL ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  return ok != 0;
}

bool same_identity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// The full form the system opens a path by: "..", "." and '/' resolved, trailing dots and
// blanks of the name dropped. Empty when it cannot be formed.
std::wstring full_form(const char* path) {
  std::wstring wide;
  if (!path_to_wide(path, wide) || wide.empty()) return L"";
  wchar_t full[32768];
  const DWORD n = GetFullPathNameW(wide.c_str(), DWORD(sizeof full / sizeof full[0]), full, nullptr);
  if (n == 0 || n >= sizeof full / sizeof full[0]) return L"";
  return std::wstring(full, n);
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
  if (!path_to_wide(path, wide) || wide.empty()) return 0;
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
    if (!path_to_wide(paths[i], wide) || wide.empty() || !file_identity(wide, info[i])) return 0;
  }
  return same_identity(info[0], info[1]) ? 1 : 0;
}

int path_same_target(const char* a, const char* b) {
  const std::wstring fullA = full_form(a), fullB = full_form(b);
  if (fullA.empty() || fullB.empty()) return 0;
  const bool hasA = GetFileAttributesW(fullA.c_str()) != INVALID_FILE_ATTRIBUTES;
  const bool hasB = GetFileAttributesW(fullB.c_str()) != INVALID_FILE_ATTRIBUTES;
  BY_HANDLE_FILE_INFORMATION infoA, infoB;
  if (hasA || hasB)
    return hasA && hasB && file_identity(fullA, infoA) && file_identity(fullB, infoB) && same_identity(infoA, infoB)
               ? 1
               : 0;
  // Neither exists yet: one entry when the names agree (as the file system compares them) in one
  // folder.
  const size_t slashA = fullA.find_last_of(L'\\'), slashB = fullB.find_last_of(L'\\');
  if (slashA == std::wstring::npos || slashB == std::wstring::npos) return 0;
  const std::wstring nameA = fullA.substr(slashA + 1), nameB = fullB.substr(slashB + 1);
  if (nameA.empty() || CompareStringOrdinal(nameA.c_str(), int(nameA.size()), nameB.c_str(), int(nameB.size()),
                                            TRUE) != CSTR_EQUAL)
    return 0;
  // A drive root keeps its backslash (C:\ stays whole), other folders lose theirs.
  const std::wstring folderA = fullA.substr(0, slashA == 2 ? 3 : slashA);
  const std::wstring folderB = fullB.substr(0, slashB == 2 ? 3 : slashB);
  return file_identity(folderA, infoA) && file_identity(folderB, infoB) && same_identity(infoA, infoB) ? 1 : 0;
}

int path_clear_read_only(const char* path) {
  std::wstring wide;
  if (!path_to_wide(path, wide) || wide.empty()) return 1;
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
    if (path_to_wide(prefix, wide)) CreateDirectoryW(wide.c_str(), nullptr);
    if (!is_folder(prefix)) return 1;
  }
  return 0;
}
