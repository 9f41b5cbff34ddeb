// A scratch folder of one fuzzing process, for the parsers that read their data from a file: on
// tmpfs (/dev/shm) when there is one, so that an input costs no disk write. Removed with what it
// holds when the process ends.
#pragma once
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

class FuzzFolder {
 public:
  FuzzFolder() {
    for (const char* base : {"/dev/shm", "/tmp"}) {
      char name[96];
      std::snprintf(name, sizeof name, "%s/kerf-fuzz-%d", base, int(getpid()));
      if (mkdir(name, 0700) == 0) {
        path_ = std::string(name) + "/";
        return;
      }
    }
  }
  ~FuzzFolder() {
    if (path_.empty()) return;
    if (DIR* d = opendir(path_.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") std::remove((path_ + name).c_str());
      }
      closedir(d);
    }
    rmdir(path_.c_str());
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
  std::string path_;
};
