// Comparing ASCII keys and options (NAME=, -h:) at the start of a text. Bytes outside a-z are
// compared as they are, so a Shift-JIS byte never matches a letter of the other case.
#pragma once

inline char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// True when text begins with prefix; ignoreCase folds text's a-z before comparing (prefix is
// then written in capitals). Reads text no further than its first difference or its terminator.
inline bool starts_with(const char* text, const char* prefix, bool ignoreCase = false) {
  for (; *prefix != '\0'; ++text, ++prefix)
    if ((ignoreCase ? ascii_upper(*text) : *text) != *prefix) return false;
  return true;
}
