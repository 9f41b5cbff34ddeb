// A fresh folder for one test, removed with everything in it afterwards. Its path is in the
// program's own form: CP932 with backslashes on Windows, '/' on POSIX; it ends in no separator.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include "common/win32_text.h"
#else
#include <stdlib.h>
#endif

class TempFolder {
 public:
  TempFolder() {
#ifdef _WIN32
    static int serial = 0;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 1000 && native_.empty(); ++attempt) {
      std::filesystem::path candidate =
          base / (L"kerf-test-" + std::to_wstring(GetTickCountish()) + L"-" +
                  std::to_wstring(++serial));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) native_ = candidate;
    }
    wide_to_cp932(native_.wstring().c_str(), path_);
#else
    char templ[] = "/tmp/kerf-test-XXXXXX";
    if (mkdtemp(templ) != nullptr) {
      path_ = templ;
      native_ = path_;
    }
#endif
  }
  ~TempFolder() {
    std::error_code ec;
    if (!native_.empty()) std::filesystem::remove_all(native_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  // The folder's path joined with a name in the program's form (CP932 on Windows).
  std::string Join(const std::string& name) const {
#ifdef _WIN32
    return path_ + "\\" + name;
#else
    return path_ + "/" + name;
#endif
  }
  // The same entry as the file system library sees it, for checks independent of the code under
  // test. The name is given in UTF-16 so that a wrong conversion cannot agree with itself.
  std::filesystem::path Native(const std::wstring& name) const { return native_ / name; }

 private:
#ifdef _WIN32
  static unsigned long long GetTickCountish() {
    return static_cast<unsigned long long>(
        std::filesystem::file_time_type::clock::now().time_since_epoch().count());
  }
#endif
  std::string path_;
  std::filesystem::path native_;
};
