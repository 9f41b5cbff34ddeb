// A scratch folder of one fuzzing process, for the parsers that read their data from a file: on
// tmpfs (/dev/shm) when there is one, so that an input costs no disk write. Removed with what it
// holds when the process ends; the folders of processes that ended without removing theirs (a
// signal, a crash) are removed by the next one.
#pragma once
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include <cstdint>
#include <cstdio>
#include <string>

class FuzzFolder {
 public:
  FuzzFolder() {
    for (const char* base : {"/dev/shm", "/tmp"}) {
      RemoveStale(base);
      char name[96];
      std::snprintf(name, sizeof name, "%s/kerf-fuzz-%d", base, int(getpid()));
      if (mkdir(name, 0700) == 0) {
        path_ = std::string(name) + "/";
        return;
      }
    }
  }
  ~FuzzFolder() {
    if (!path_.empty()) RemoveFolder(path_);
  }
  FuzzFolder(const FuzzFolder&) = delete;
  FuzzFolder& operator=(const FuzzFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  // The folder, ending in '/'.
  const std::string& path() const { return path_; }
  std::string File(const char* name) const { return path_ + name; }
  // Writes the bytes to the named file (replacing it); false when that fails.
  bool Write(const char* name, const uint8_t* data, size_t size) const {
    FILE* f = std::fopen(File(name).c_str(), "wb");
    if (f == nullptr) return false;
    const bool whole = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && whole;
  }

 private:
  static void RemoveFolder(const std::string& folder) {
    if (DIR* d = opendir(folder.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") std::remove((folder + "/" + name).c_str());
      }
      closedir(d);
    }
    rmdir(folder.c_str());
  }
  // kerf-fuzz-<pid> folders in base whose process no longer exists.
  static void RemoveStale(const char* base) {
    DIR* d = opendir(base);
    if (d == nullptr) return;
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.rfind("kerf-fuzz-", 0) != 0) continue;
      const int pid = std::atoi(name.c_str() + 10);
      if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH) RemoveFolder(std::string(base) + "/" + name);
    }
    closedir(d);
  }

  std::string path_;
};
