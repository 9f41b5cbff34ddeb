// A fresh folder for one test, removed with its contents afterwards. path() is in the program's
// own form (CP932 on Windows); Native() gives an entry as the file system library sees it, for
// checks that do not go through the code under test.
#pragma once
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
    const auto stamp = std::filesystem::file_time_type::clock::now().time_since_epoch().count();
    native_ = std::filesystem::temp_directory_path() /
              (L"kerf-test-" + std::to_wstring(stamp) + L"-" + std::to_wstring(++serial));
    std::error_code ec;
    if (std::filesystem::create_directory(native_, ec)) wide_to_cp932(native_.c_str(), path_);
#else
    char templ[] = "/tmp/kerf-test-XXXXXX";
    if (mkdtemp(templ) != nullptr) path_ = templ;
    native_ = path_;
#endif
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(native_, ec);
  }
  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  std::string Join(const std::string& name) const {
#ifdef _WIN32
    return path_ + "\\" + name;
#else
    return path_ + "/" + name;
#endif
  }
  std::filesystem::path Native(const std::wstring& name) const { return native_ / name; }

 private:
  std::string path_;
  std::filesystem::path native_;
};
