// Folders and drives on Windows (FindFirstFileW, GetDriveTypeW, the current directory); names are
// converted between the program's path text (CP932 or UTF-8) and UTF-16 here.
#include <windows.h>

#include <cstring>
#include <string>

#include "common/win32_text.h"
#include "platform/folders.h"

namespace {

// Asking an empty floppy or CD drive must fail quietly, not raise the system's "no disk" box.
class QuietDriveErrors {
 public:
  QuietDriveErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_); }
  ~QuietDriveErrors() { SetThreadErrorMode(old_, nullptr); }
  QuietDriveErrors(const QuietDriveErrors&) = delete;
  QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;

 private:
  DWORD old_ = 0;
};

}  // namespace

struct FolderListing::State {
  HANDLE search = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW found{};
  bool pending = false;  // `found` holds an entry not yet handed out
};

FolderListing::FolderListing(const char* folder) : state_(std::make_unique<State>()) {
  char pattern[kPathBuffer + 4];
  const size_t len = std::strlen(folder);
  if (len > kPathMax) return;
  std::memcpy(pattern, folder, len + 1);
  if (len > 0 && !path_is_separator_at(pattern, len - 1)) std::strcat(pattern, "\\");
  std::strcat(pattern, "*.*");
  std::wstring wide;
  if (!path_to_wide(pattern, wide)) return;
  const QuietDriveErrors quiet;
  state_->search = FindFirstFileW(wide.c_str(), &state_->found);
  state_->pending = state_->search != INVALID_HANDLE_VALUE;
}

FolderListing::~FolderListing() {
  if (state_->search != INVALID_HANDLE_VALUE) FindClose(state_->search);
}

bool FolderListing::Next(FolderEntry& entry) {
  while (state_->pending) {
    const WIN32_FIND_DATAW f = state_->found;
    state_->pending = FindNextFileW(state_->search, &state_->found) != FALSE;
    // A name without a CP932 form (in a program that keeps CP932) is taken by its 8.3 short name,
    // which is plain ASCII.
    if (!wide_to_path(f.cFileName, entry.name, sizeof entry.name) &&
        (f.cAlternateFileName[0] == 0 || !wide_to_path(f.cAlternateFileName, entry.name, sizeof entry.name))) {
      continue;
    }
    const DWORD a = f.dwFileAttributes;
    entry.isFolder = (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.hidden = (a & FILE_ATTRIBUTE_HIDDEN) != 0;
    entry.system = (a & FILE_ATTRIBUTE_SYSTEM) != 0;
    entry.readOnly = (a & FILE_ATTRIBUTE_READONLY) != 0;
    return true;
  }
  return false;
}

namespace {

bool current_folder(char* folder, size_t size) {
  wchar_t wide[MAX_PATH * 4];
  const DWORD n = GetCurrentDirectoryW(DWORD(sizeof wide / sizeof wide[0]), wide);
  if (n == 0 || n >= sizeof wide / sizeof wide[0]) return false;
  if (wide_to_path(wide, folder, size)) return true;
  wchar_t shortForm[MAX_PATH * 4];
  const DWORD s = GetShortPathNameW(wide, shortForm, DWORD(sizeof shortForm / sizeof shortForm[0]));
  return s > 0 && s < sizeof shortForm / sizeof shortForm[0] && wide_to_path(shortForm, folder, size);
}

class Win32Drives : public DriveSource {
 public:
  int RootCount() const override { return 26; }
  void Root(int index, char root[kDriveRootBuffer]) const override {
    root[0] = char('A' + index);
    root[1] = ':';
    root[2] = '\\';
    root[3] = 0;
  }
  DriveType Type(const char* root) const override {
    std::wstring wide;
    if (!path_to_wide(root, wide)) return DriveType::Unknown;
    const UINT t = GetDriveTypeW(wide.c_str());
    return t <= UINT(DriveType::RamDisk) ? DriveType(t) : DriveType::Unknown;
  }
  bool Enter(const char* root, char* folder, size_t size) const override {
    // "X:" alone names the drive's own current folder; when that folder has gone, the root.
    const wchar_t drive[] = {wchar_t(root[0]), L':', 0};
    const wchar_t driveRoot[] = {wchar_t(root[0]), L':', L'\\', 0};
    const QuietDriveErrors quiet;
    if (!SetCurrentDirectoryW(drive) && !SetCurrentDirectoryW(driveRoot)) return false;
    if (current_folder(folder, size)) return true;
    if (size < kDriveRootBuffer) return false;
    std::memcpy(folder, root, 3);
    folder[3] = 0;
    return true;
  }
};

}  // namespace

const DriveSource& system_drives() {
  static const Win32Drives drives;
  return drives;
}
