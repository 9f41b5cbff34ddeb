// Writing the control files of a cut (see control_files.h).
#include "cutter/core/control_files.h"

#include <cstring>
#include <string>

#include "common/raw_file.h"

namespace {

constexpr size_t kPieceMax = 254;

char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool starts_with_nocase(const char* s, const char* prefix) {
  for (; *prefix; ++s, ++prefix)
    if (upper(*s) != *prefix) return false;
  return true;
}

bool write_text(RawHandle h, const std::string& text) {
  return raw_write(text.data(), 1, text.size(), h) == text.size();
}

// Feeds the file at h to take() in pieces of at most kPieceMax characters, line ends removed;
// take() returns false to stop.
template <typename Take>
void for_each_piece(RawHandle h, Take take) {
  char piece[kPieceMax + 1];
  size_t used = 0;
  uint8_t block[4096];
  for (size_t got; (got = raw_read(block, 1, sizeof block, h)) > 0;) {
    for (size_t i = 0; i < got; ++i) {
      const char c = char(block[i]);
      if (c != '\n') piece[used++] = c;
      if (c == '\n' || used == kPieceMax) {
        if (c == '\n' && used > 0 && piece[used - 1] == '\r') --used;
        piece[used] = '\0';
        used = 0;
        if (!take(piece)) return;
      }
    }
  }
  if (used > 0) {
    if (piece[used - 1] == '\r') --used;
    piece[used] = '\0';
    take(piece);
  }
}

}  // namespace

ControlWrite write_all_control(const char* controlPath, const char* outputPath) {
  RawHandle out = raw_open(controlPath, "wb");
  if (out == kInvalidRawHandle) return ControlWrite::CannotCreate;
  const bool ok = write_text(out, std::string("MODE=ALL\r\nNAME=") + outputPath + "\r\n");
  raw_close(out);
  return ok ? ControlWrite::Ok : ControlWrite::CannotCreate;
}

ControlWrite write_programme_control(const char* structurePath, int32_t ordinal,
                                     const char* outputPath, const char* controlPath) {
  RawHandle in = raw_open(structurePath, "rb");
  if (in == kInvalidRawHandle) return ControlWrite::NoStructure;
  RawHandle out = raw_open(controlPath, "wb");
  if (out == kInvalidRawHandle) {
    raw_close(in);
    return ControlWrite::CannotCreate;
  }
  int32_t seen = 0;
  bool ok = true;
  for_each_piece(in, [&](const char* line) {
    if (line[0] == '\0' || std::strncmp(line, "//", 2) == 0 || line[0] == ';') return true;
    if (starts_with_nocase(line, "MODE=")) {
      ok = ok && write_text(out, "MODE=DEMUX\r\n\r\n");
      return true;
    }
    if (starts_with_nocase(line, "NAME=")) {
      ++seen;
      if (seen > ordinal) return false;
      if (seen == ordinal) ok = ok && write_text(out, std::string("NAME=") + outputPath + "\r\n");
      return true;
    }
    if (seen >= ordinal) ok = ok && write_text(out, std::string(line) + "\r\n");
    return true;
  });
  raw_close(in);
  raw_close(out);
  return ok ? ControlWrite::Ok : ControlWrite::CannotCreate;
}
