// Writing the control files of a cut (see control_files.h).
#include "core/control_files.h"

#include <string>

#include "common/raw_file.h"
#include "demux/info_file_reader.h"

namespace {

bool write_text(const RawFile& file, const std::string& text) {
  return raw_write(text.data(), 1, text.size(), file.get()) == text.size();
}

}  // namespace

ControlWrite write_all_control(const char* controlPath, const char* outputPath) {
  RawFile out(controlPath, "wb");
  if (!out.ok()) return ControlWrite::CannotCreate;
  const bool ok = write_text(out, std::string("MODE=ALL\r\nNAME=") + outputPath + "\r\n");
  return ok ? ControlWrite::Ok : ControlWrite::CannotCreate;
}

ControlWrite write_programme_control(const char* structurePath, int32_t ordinal,
                                     const char* outputPath, const char* controlPath) {
  RawFile in(structurePath, "rb");
  if (!in.ok()) return ControlWrite::NoStructure;
  RawFile out(controlPath, "wb");
  if (!out.ok()) return ControlWrite::CannotCreate;
  InfoFileReader reader(in.get(), kCutterReadRules);
  int32_t seen = 0;
  bool ok = true;
  for (InfoLine line; reader.Next(line);) {
    if (line.kind == InfoLineKind::Empty || line.kind == InfoLineKind::Comment) continue;
    if (line.kind == InfoLineKind::Mode) {
      ok = ok && write_text(out, "MODE=DEMUX\r\n\r\n");
    } else if (line.kind == InfoLineKind::Name) {
      if (++seen > ordinal) break;
      if (seen == ordinal) ok = ok && write_text(out, std::string("NAME=") + outputPath + "\r\n");
    } else if (seen >= ordinal) {
      ok = ok && write_text(out, std::string(line.text) + "\r\n");
    }
  }
  return ok ? ControlWrite::Ok : ControlWrite::CannotCreate;
}
