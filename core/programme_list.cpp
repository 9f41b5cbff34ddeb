// Reading the programme-structure file into the cutter's list of video streams.
#include "core/programme_list.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/raw_file.h"
#include "core/line_pieces.h"

namespace {

bool is_separator(char c) { return c == ' ' || c == ',' || c == '\t' || c == '\n'; }

// The next token of s separated by blanks, commas, tabs or line feeds; s moves past it.
const char* next_token(char*& s, size_t& length) {
  while (*s && is_separator(*s)) ++s;
  const char* token = s;
  while (*s && !is_separator(*s)) ++s;
  length = size_t(s - token);
  return length ? token : nullptr;
}

void take_piece(char* piece, ProgrammeEntries& list, int32_t& ordinal) {
  if (piece[0] == '\0' || std::strncmp(piece, "//", 2) == 0 || piece[0] == ';') return;
  if (starts_with_nocase(piece, "NAME=")) {
    ++ordinal;
    return;
  }
  if (!starts_with_nocase(piece, "PID=")) return;
  char* rest = piece + 4;
  size_t firstLength = 0, secondLength = 0;
  const char* first = next_token(rest, firstLength);
  const char* second = first ? next_token(rest, secondLength) : nullptr;
  if (!second || secondLength != 1 || ascii_upper(second[0]) != 'V') return;
  unsigned pid = 0;
  if (std::sscanf(first, "%X", &pid) != 1) return;
  list.videoPid[list.count] = int32_t(pid);
  list.ordinal[list.count] = ordinal;
  ++list.count;
}

}  // namespace

int read_programme_list(const char* path, ProgrammeEntries& list) {
  list = ProgrammeEntries{};
  RawHandle file = raw_open(path, "rb");
  if (file == kInvalidRawHandle) return 1;

  int32_t ordinal = 0;
  for_each_line_piece(file, [&](char* piece) {
    take_piece(piece, list, ordinal);
    return list.count < kMaxProgrammeEntries;
  });
  raw_close(file);
  return 0;
}

char* programme_entry_text(const ProgrammeEntries& list, int i, char* buf) {
  std::snprintf(buf, 32, "PRG%d,VPID=%04X", int(list.ordinal[i]), unsigned(list.videoPid[i]) & 0xFFFFu);
  return buf;
}
