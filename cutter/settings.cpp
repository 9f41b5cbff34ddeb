// Settings defaults, the settings file name and the reading and writing of the settings file.
#include "cutter/settings.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "common/path.h"
#include "common/raw_file.h"
#include "core/input_measure.h"
#include "platform/platform.h"

namespace {

// The root of a full path ("C:\" or "/"); the first three characters of anything else.
void copy_root(const char* path, char* out) {
  size_t n = path_root_length(path);
  if (n == 0) n = strnlen(path, 3);
  memcpy(out, path, n);
  out[n] = '\0';
}

void join(char* out, const char* root, const char* rest) {
  // Written with backslashes; the POSIX build keeps its own separator.
  size_t n = 0;
  for (const char* p = root; *p != '\0' && n < kPathMax; ++p) out[n++] = *p;
  for (const char* p = rest; *p != '\0' && n < kPathMax; ++p) out[n++] = *p == '\\' ? kPathSeparator : *p;
  out[n] = '\0';
}

void header_text(char* out) { snprintf(out, kSettingsHeaderSize + 1, "KERFCUT%04XHST", kSettingsVersion); }

}  // namespace

int32_t selected_ordinal(const Settings& s) {
  const ProgrammeList& list = s.programmeList;
  if (s.programmeIndex < 0 || s.programmeIndex >= list.count || s.programmeIndex >= kProgrammeListMax) return 0;
  return list.ordinal[s.programmeIndex];
}

void settings_defaults(Settings& s, const char* programFolder, const char* systemFolder) {
  memset(&s, 0, sizeof s);
  char drive[kPathBuffer];
  copy_root(programFolder, drive);
  join(s.inputPathText, drive, "INPUT_TS\\ORG.ts");
  join(s.outputPath, drive, "OUTPUT_TS\\NEW.ts");
  copy_root(systemFolder, drive);
  join(s.playerPath, drive, "Program Files\\VideoLAN\\VLC\\VLC.EXE");
  snprintf(s.playerOptions, kSettingsText, "%s", "--play-and-stop");
  s.playerOptionsEnabled = 1;
  s.playSeconds = 5;
  s.previewEnabled = 1;
  s.stopDecodeOnError = 0;
  s.totalTimeMethod = kMethodAutomatic;
  s.bitrate = 16500000;
  s.inputSize = 0.0;
  s.packetSize = kCutterPacketSize;
}

bool settings_file_path(const char* programPath, char* out) {
  out[0] = '\0';
  size_t n = strlen(programPath);
  if (n > 4 && programPath[n - 4] == '.' && (programPath[n - 3] | 0x20) == 'e' &&
      (programPath[n - 2] | 0x20) == 'x' && (programPath[n - 1] | 0x20) == 'e') {
    memcpy(out, programPath, n - 4);
    memcpy(out + n - 4, ".DAT", 5);
    return true;
  }
  if (n + 4 > kPathMax) return false;
  memcpy(out, programPath, n);
  memcpy(out + n, ".DAT", 5);
  return true;
}

int settings_read(Settings& s, const char* path) {
  if (path[0] == '\0') return 1;
  RawFile file(path, "rb");
  if (!file.ok()) return 1;
  const RawHandle h = file.get();
  char expected[kSettingsHeaderSize + 1];
  header_text(expected);
  char header[kSettingsHeaderSize];
  uint8_t reserved[kSettingsReservedSize];
  bool whole = raw_read(header, 1, sizeof header, h) == sizeof header &&
               memcmp(header, expected, sizeof header) == 0 &&
               raw_read(reserved, 1, sizeof reserved, h) == sizeof reserved &&
               raw_read(&s, 1, sizeof s, h) == sizeof s;
  file.Close();   // before a damaged file is deleted
  // The texts are used as zero-terminated strings; a damaged file need not end them.
  for (char* text : {s.inputPathText, s.loadedInputPath, s.outputPath, s.playerPath, s.playerOptions})
    text[kSettingsText - 1] = '\0';
  if (whole) return 0;
  delete_file(path);
  return 2;
}

int settings_write(const Settings& s, const char* path) {
  if (path[0] == '\0') return 1;
  RawFile file(path, "wb");
  if (!file.ok()) return 1;
  const RawHandle h = file.get();
  char header[kSettingsHeaderSize + 1];
  header_text(header);
  const uint8_t reserved[kSettingsReservedSize] = {};
  bool whole = raw_write(header, 1, kSettingsHeaderSize, h) == kSettingsHeaderSize &&
               raw_write(reserved, 1, sizeof reserved, h) == sizeof reserved &&
               raw_write(&s, 1, sizeof s, h) == sizeof s;
  file.Close();   // before a short file is deleted
  if (whole) return 0;
  delete_file(path);
  return 1;
}

bool program_paths_from(const char* programPath, ProgramPaths& out) {
  memset(&out, 0, sizeof out);
  size_t name = path_name_offset(programPath);
  if (name == 0 || name > kPathMax) return false;
  memcpy(out.programFolder, programPath, name);
  out.programFolder[name] = '\0';
  if (snprintf(out.toolPath, kPathBuffer, "%s%s", out.programFolder, kToolFileName) >= int(kPathBuffer)) {
    return false;
  }
  return settings_file_path(programPath, out.settingsPath);
}
