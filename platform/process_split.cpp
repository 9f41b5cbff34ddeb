// The command-line splitting rule shared by start_process on POSIX and its tests.
#include "platform/process.h"

std::vector<std::string> split_command_line(const char* line) {
  std::vector<std::string> tokens;
  const char* p = line;
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == 0) break;
    const char* start;
    if (*p == '"') {
      start = ++p;
      while (*p != 0 && *p != '"') ++p;
      tokens.emplace_back(start, p);
      if (*p == '"') ++p;
    } else {
      start = p;
      while (*p != 0 && *p != ' ' && *p != '\t') ++p;
      tokens.emplace_back(start, p);
    }
  }
  return tokens;
}
