// Real file-system faults for tests on Linux: a small tmpfs that fills up partway through a write,
// and a file or folder that cannot be written, even by root (a read-only bind mount over it).
// Mounting needs root (CAP_SYS_ADMIN); without it a read-only view falls back to taking the
// write permission away, and a small file system cannot be made: ok() is false and why() tells
// the test what to print when it skips. Each view is undone when its object goes.
#pragma once
#ifndef _WIN32
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace tsb {

class TestMount {
 public:
  // A tmpfs of `bytes` (whole pages) mounted on folder, which must exist.
  static TestMount SmallFileSystem(const std::string& folder, size_t bytes) {
    TestMount m;
    if (geteuid() != 0) {
      m.why_ = "a file system that fills up is mounted only when the tests run as root";
      return m;
    }
    const std::string options = "size=" + std::to_string(bytes);
    if (mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
      m.why_ = "mounting a tmpfs on " + folder + " failed: " + std::strerror(errno);
      return m;
    }
    m.mounted_ = folder;
    return m;
  }

  // The file or folder at path, seen read-only at its own path. Writing, creating, deleting or
  // renaming in it fails for every user afterwards; the test checks that it really does.
  static TestMount ReadOnly(const std::string& path) {
    TestMount m;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      m.why_ = path + " does not exist";
      return m;
    }
    if (geteuid() == 0) {
      if (mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        m.why_ = "bind-mounting " + path + " failed: " + std::strerror(errno);
        return m;
      }
      m.mounted_ = path;
      if (mount(nullptr, path.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        m.why_ = "remounting " + path + " read-only failed: " + std::strerror(errno);
        return m;
      }
    } else {
      m.chmodded_ = path;
      m.mode_ = st.st_mode & 07777;
      chmod(path.c_str(), S_ISDIR(st.st_mode) ? 0555 : 0444);
    }
    // Whatever made it read-only, the test goes on only when writing really fails.
    const int fd = S_ISDIR(st.st_mode) ? open((path + "/.kerf-write-probe").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644)
                                       : open(path.c_str(), O_WRONLY);
    if (fd >= 0) {
      close(fd);
      if (S_ISDIR(st.st_mode)) unlink((path + "/.kerf-write-probe").c_str());
      m.why_ = path + " could still be written";
    }
    return m;
  }

  TestMount(TestMount&& other) noexcept { *this = std::move(other); }
  TestMount& operator=(TestMount&& other) noexcept {
    std::swap(mounted_, other.mounted_);
    std::swap(chmodded_, other.chmodded_);
    std::swap(mode_, other.mode_);
    std::swap(why_, other.why_);
    return *this;
  }
  TestMount(const TestMount&) = delete;
  TestMount& operator=(const TestMount&) = delete;
  ~TestMount() { Undo(); }

  bool ok() const { return why_.empty() && (!mounted_.empty() || !chmodded_.empty()); }
  const std::string& why() const { return why_; }
  // Undoes the view now (before the folder under it is removed).
  void Undo() {
    if (!mounted_.empty()) umount2(mounted_.c_str(), MNT_DETACH);
    if (!chmodded_.empty()) chmod(chmodded_.c_str(), mode_);
    mounted_.clear();
    chmodded_.clear();
  }

 private:
  TestMount() = default;
  std::string mounted_, chmodded_;
  mode_t mode_ = 0;
  std::string why_;
};

}  // namespace tsb
#endif
