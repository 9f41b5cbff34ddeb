// Folders and the one root on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/folders.h"

struct FolderListing::State {
  DIR* dir = nullptr;
  bool isRoot = false;
};

FolderListing::FolderListing(const char* folder) : state_(std::make_unique<State>()) {
  state_->dir = opendir(folder[0] != 0 ? folder : ".");
  if (state_->dir == nullptr) return;
  // The root is its own parent: its ".." is no way up, as a drive root has none.
  struct stat self, parent;
  state_->isRoot = fstatat(dirfd(state_->dir), ".", &self, 0) == 0 &&
                   fstatat(dirfd(state_->dir), "..", &parent, 0) == 0 && self.st_dev == parent.st_dev &&
                   self.st_ino == parent.st_ino;
}

FolderListing::~FolderListing() {
  if (state_->dir != nullptr) closedir(state_->dir);
}

bool FolderListing::Next(FolderEntry& entry) {
  if (state_->dir == nullptr) return false;
  while (const dirent* d = readdir(state_->dir)) {
    const size_t len = std::strlen(d->d_name);
    if (len > kPathMax) continue;
    if (state_->isRoot && std::strcmp(d->d_name, "..") == 0) continue;
    std::memcpy(entry.name, d->d_name, len + 1);
    // Links are followed: a link to a folder is a folder to go into.
    struct stat st;
    const bool known = fstatat(dirfd(state_->dir), d->d_name, &st, 0) == 0;
    entry.isFolder = known && S_ISDIR(st.st_mode);
    entry.hidden = d->d_name[0] == '.' && std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0;
    entry.system = false;
    entry.readOnly = faccessat(dirfd(state_->dir), d->d_name, W_OK, 0) != 0;
    return true;
  }
  return false;
}

namespace {

class PosixDrives : public DriveSource {
 public:
  int RootCount() const override { return 1; }
  void Root(int, char root[kDriveRootBuffer]) const override { std::strcpy(root, "/"); }
  DriveType Type(const char*) const override { return DriveType::Fixed; }
  bool Enter(const char*, char* folder, size_t size) const override {
    // The one drive is always current; its current folder is the process's, or the root when
    // that is gone or too long for the buffer.
    if (size < 2) return false;
    if (getcwd(folder, size) == nullptr || folder[0] != '/') std::strcpy(folder, "/");
    return true;
  }
};

}  // namespace

const DriveSource& system_drives() {
  static const PosixDrives drives;
  return drives;
}
