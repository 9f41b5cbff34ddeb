// What both systems derive alike: the program folder from the program's path.
#include <string>

#include "common/path.h"
#include "platform/platform.h"

const char* program_folder() {
  static const std::string folder = [] {
    const char* path = program_path();
    const size_t name = path_name_offset(path);
    if (name == 0) return std::string(".") + kPathSeparator;
    return std::string(path, name);
  }();
  return folder.c_str();
}
