// Writing the control files of a cut (see control_files.h).
#include "core/control_files.h"

#include <cstring>
#include <string>

#include "common/raw_file.h"
#include "core/line_pieces.h"

namespace {

bool write_text(RawHandle h, const std::string& text) {
  return raw_write(text.data(), 1, text.size(), h) == text.size();
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
  for_each_line_piece(in, [&](const char* line) {
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
