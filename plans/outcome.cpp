// Typed outcomes of kerf's commands (see outcome.h).
#include "plans/outcome.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

CommandError command_error(Outcome outcome, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::vector<char> text(size_t(length < 0 ? 0 : length) + 1);
  std::vsnprintf(text.data(), text.size(), format, again);
  va_end(again);
  return CommandError{outcome, text.data()};
}
