// Files beneath a root folder on Linux: openat2 resolves every path with RESOLVE_BENEATH, so the
// kernel, not a comparison of strings, keeps each request inside its root.
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/beneath.h"

namespace {

BeneathError error_of(int code) {
  switch (code) {
    case EXDEV:
    case ELOOP: return BeneathError::Outside;   // RESOLVE_BENEATH or RESOLVE_NO_MAGICLINKS said no
    case ENOENT: return BeneathError::NotFound;
    case ENOTDIR:
    case EISDIR: return BeneathError::WrongKind;
    case EEXIST: return BeneathError::Exists;
    case EACCES:
    case EPERM:
    case EROFS: return BeneathError::Denied;
    default: return BeneathError::Failed;
  }
}

int openat2_beneath(int base, const char* rel, uint64_t flags) {
  open_how how{};
  how.flags = flags | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  int fd;
  do {
    fd = int(syscall(SYS_openat2, base, rel, &how, sizeof how));
  } while (fd < 0 && errno == EAGAIN);   // a rename elsewhere raced the lookup: try again
  return fd;
}

int64_t ns_of(const struct stat& st) { return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec; }

}  // namespace

RawHandle beneath_open_root(const char* path) {
  const int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return fd < 0 ? kInvalidRawHandle : RawHandle(fd);
}

RawHandle beneath_open(RawHandle root, const std::string& rel, BeneathOpen how, BeneathError& error) {
  const uint64_t flags = how == BeneathOpen::Folder ? O_RDONLY | O_DIRECTORY : O_RDONLY | O_NOCTTY;
  const int fd = openat2_beneath(int(root), rel.empty() ? "." : rel.c_str(), flags);
  if (fd < 0) {
    error = error_of(errno);
    return kInvalidRawHandle;
  }
  struct stat st;
  if (how == BeneathOpen::ReadFile && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    error = BeneathError::WrongKind;
    return kInvalidRawHandle;
  }
  error = BeneathError::None;
  return RawHandle(fd);
}

bool beneath_list(RawHandle root, const std::string& rel, std::vector<BeneathEntry>& entries, BeneathError& error) {
  entries.clear();
  RawFile folder(beneath_open(root, rel, BeneathOpen::Folder, error));
  if (!folder.ok()) return false;
  DIR* dir = fdopendir(dup(int(folder.get())));
  if (!dir) {
    error = BeneathError::Failed;
    return false;
  }
  const std::string prefix = rel.empty() ? "" : rel + "/";
  while (const dirent* d = readdir(dir)) {
    const std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    // Each entry is resolved from the root again, so a link counts only when it stays inside.
    const int fd = openat2_beneath(int(root), (prefix + name).c_str(), O_PATH);
    if (fd < 0) continue;
    struct stat st;
    if (fstat(fd, &st) == 0 && (S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)))
      entries.push_back({name, S_ISDIR(st.st_mode), double(st.st_size), ns_of(st)});
    close(fd);
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(), [](const BeneathEntry& a, const BeneathEntry& b) { return a.name < b.name; });
  error = BeneathError::None;
  return true;
}

bool handle_stat(RawHandle h, double& size, int64_t& modifiedNs) {
  struct stat st;
  if (fstat(int(h), &st) != 0) return false;
  size = double(st.st_size);
  modifiedNs = ns_of(st);
  return true;
}

bool handle_same_file(RawHandle a, RawHandle b) {
  struct stat sa, sb;
  return fstat(int(a), &sa) == 0 && fstat(int(b), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string handle_path(RawHandle h) { return "/proc/self/fd/" + std::to_string(int(h)); }

double handle_free_bytes(RawHandle h) {
  struct statvfs vfs;
  if (fstatvfs(int(h), &vfs) != 0) return -1;
  return double(vfs.f_bavail) * double(vfs.f_frsize);
}

RawHandle folder_create_new(RawHandle folder, const std::string& name, BeneathError& error) {
  const int fd = openat(int(folder), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = error_of(errno);
    return kInvalidRawHandle;
  }
  error = BeneathError::None;
  return RawHandle(fd);
}

bool folder_has_entry(RawHandle folder, const std::string& name) {
  struct stat st;
  return fstatat(int(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool folder_rename(RawHandle folder, const std::string& from, const std::string& to, bool replace,
                   BeneathError& error) {
  const int f = int(folder);
  const long r = syscall(SYS_renameat2, f, from.c_str(), f, to.c_str(), replace ? 0u : unsigned(RENAME_NOREPLACE));
  error = r == 0 ? BeneathError::None : error_of(errno);
  return r == 0;
}

double folder_entry_size(RawHandle folder, const std::string& name) {
  struct stat st;
  return fstatat(int(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? double(st.st_size) : -1;
}

void folder_entry_drop_cache(RawHandle folder, const std::string& name) {
  // Never through a link, and without waiting on a FIFO's writer.
  const int fd = openat(int(folder), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
}

void folder_remove(RawHandle folder, const std::string& name) { unlinkat(int(folder), name.c_str(), 0); }

bool folder_entry_is(RawHandle folder, const std::string& name, RawHandle file) {
  struct stat se, sf;
  return fstatat(int(folder), name.c_str(), &se, 0) == 0 && fstat(int(file), &sf) == 0 && se.st_dev == sf.st_dev &&
         se.st_ino == sf.st_ino;
}

bool secure_random(void* buffer, size_t bytes) {
  auto* p = static_cast<unsigned char*>(buffer);
  while (bytes > 0) {
    const ssize_t got = getrandom(p, bytes, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += got;
    bytes -= size_t(got);
  }
  return true;
}

bool private_file_read(const std::string& path, std::string& text, bool& exists, std::string& error) {
  exists = false;
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;
    error = path + ": cannot be read (or is a symbolic link)";
    return false;
  }
  RawFile owner{RawHandle(fd)};
  exists = true;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    error = path + ": not a regular file of this user";
    return false;
  }
  if (st.st_mode & 077) {
    error = path + ": others may read or write it (chmod 600 it, or remove it for a new token)";
    return false;
  }
  char buffer[256];
  size_t got = 0;
  if (!raw_read_checked(buffer, sizeof buffer, owner.get(), got)) {
    error = path + ": cannot be read";
    return false;
  }
  text.assign(buffer, got);
  return true;
}

bool private_file_create(const std::string& path, const std::string& text, std::string& error) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    // Each missing folder on the way, for the owner only.
    for (size_t at = path.find('/', 1); at != std::string::npos && at <= slash; at = path.find('/', at + 1))
      mkdir(path.substr(0, at).c_str(), 0700);
  }
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = path + ": cannot be created";
    return false;
  }
  RawFile owner{RawHandle(fd)};
  if (fchmod(fd, 0600) != 0 || raw_write(text.data(), 1, text.size(), owner.get()) != text.size() || !owner.Close()) {
    error = path + ": cannot be written";
    unlink(path.c_str());
    return false;
  }
  return true;
}
