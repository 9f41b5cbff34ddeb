// Splitting command lines (see command_line.h).
#include "common/command_line.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

char* cut_command_line_token(char*& cursor) {
  char* p = cursor;
  while (is_blank(*p)) ++p;
  if (*p == '\0') {
    cursor = p;
    return nullptr;
  }
  char* token;
  if (*p == '"') {
    token = ++p;
    while (*p != '\0' && *p != '"') ++p;
  } else {
    token = p;
    while (*p != '\0' && !is_blank(*p)) ++p;
  }
  if (*p != '\0') *p++ = '\0';
  cursor = p;
  return token;
}

std::vector<std::string> split_command_line(const char* line) {
  std::string copy(line);
  std::vector<std::string> tokens;
  char* cursor = copy.data();
  while (const char* token = cut_command_line_token(cursor)) tokens.emplace_back(token);
  return tokens;
}
