// Folders and drives as the program's own path chooser sees them: the entries of a folder with
// their attributes, and the drives with their types and current folders. Names are in the
// program's path text on Windows (CP932 or UTF-8, see common/win32_text.h) and the file system's
// own bytes on POSIX, where the one root "/" stands for the drives.
#pragma once
#include <cstddef>
#include <memory>

#include "common/path.h"

// One entry of a folder.
struct FolderEntry {
  char name[kPathBuffer];
  bool isFolder = false;
  bool hidden = false;    // Windows: the hidden attribute; POSIX: a name that starts with '.'
  bool system = false;    // Windows only
  bool readOnly = false;
};

// Reads the entries of one folder, one at a time, whatever their attributes: hidden and system
// entries, "." and ".." as the file system gives them, except that a root never lists "..".
// A folder that cannot be read simply has no entries. Names that do not fit a path buffer (or,
// on Windows, have neither a CP932 form nor a short name) are passed over.
class FolderListing {
 public:
  // folder: with or without its final separator.
  explicit FolderListing(const char* folder);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // The next entry; false when there are no more.
  bool Next(FolderEntry& entry);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The kinds of drive the window system reports for a root (the values of GetDriveType).
enum class DriveType {
  Unknown = 0,
  NoRootFolder = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

constexpr size_t kDriveRootBuffer = 4;  // "X:\" and its terminator

// Where the drives come from: the system's (system_drives()), or a machine of a test's own making.
class DriveSource {
 public:
  virtual ~DriveSource() = default;
  // The roots that may hold a drive, in the order a drive list shows them: "A:\" to "Z:\" on
  // Windows, the one root "/" on POSIX.
  virtual int RootCount() const = 0;
  virtual void Root(int index, char root[kDriveRootBuffer]) const = 0;
  virtual DriveType Type(const char* root) const = 0;
  // Makes the drive of root the process's current drive and writes that drive's current folder
  // (a full path) into folder; false when the drive is not ready (no medium, gone).
  virtual bool Enter(const char* root, char* folder, size_t size) const = 0;
};

// The drives of this machine. POSIX: "/", a fixed drive whose current folder is the process's.
const DriveSource& system_drives();
