// The path checks of a cut.
#include "cutter/cut_checks.h"

#include <cstring>

#include "common/path.h"
#include "common/sjis.h"
#include "platform/platform.h"

namespace {

struct CheckText {
  PathCheck check;
  const char* text;
};
constexpr CheckText kCheckTexts[] = {
    {PathCheck::InputNotFull, "入力元TSファイル名はフルパス（例：C:\\INPUT_TS\\ORG.ts）で指定してください."},
    {PathCheck::InputMissing, "入力元TSファイル名が存在しません."},
    {PathCheck::InputIsFolder, "入力元TSファイルはフォルダです."},
    {PathCheck::OutputNotFull, "出力先TSファイル名はフルパス（例：C:\\OUTPUT_TS\\NEW.ts）で指定してください."},
    {PathCheck::FolderNotMade, "出力先フォルダが作成できません."},
    {PathCheck::SameAsInput, "入力元TSファイル名と出力先TSファイル名が同じです."},
};

char fold(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

}  // namespace

const char* path_check_text(PathCheck check) {
  for (const CheckText& t : kCheckTexts) {
    if (t.check == check) return t.text;
  }
  return "";
}

bool same_text_any_case(const char* a, const char* b) {
  for (;;) {
    if (*a == '\0' || *b == '\0') return *a == *b;
    if (sjis_is_lead(uint8_t(*a))) {
      if (a[0] != b[0] || a[1] != b[1]) return false;
      if (a[1] == '\0') return true;
      a += 2;
      b += 2;
      continue;
    }
    if (fold(*a) != fold(*b)) return false;
    ++a;
    ++b;
  }
}

PathCheck check_input_file(const char* input) {
  if (!path_is_full(input)) return PathCheck::InputNotFull;
  if (!path_exists(input)) return PathCheck::InputMissing;
  if (path_is_folder(input)) return PathCheck::InputIsFolder;
  return PathCheck::Ok;
}

PathCheck check_output_path(const char* output, const char* input) {
  if (!path_is_full(output)) return PathCheck::OutputNotFull;
  char folder[kPathBuffer];
  const size_t name = path_name_offset(output);
  std::memcpy(folder, output, name);
  folder[name] = '\0';
  path_add_backslash(folder);
  const size_t length = std::strlen(folder);
  if (length > path_root_length(folder)) {
    if (path_is_separator_at(folder, length - 1)) folder[length - 1] = '\0';
    if (!path_is_folder(folder)) path_make_folders(folder);
    if (!path_is_folder(folder)) return PathCheck::FolderNotMade;
  }
  if (same_text_any_case(input, output)) return PathCheck::SameAsInput;
  return check_not_input(output, input);
}

PathCheck check_not_input(const char* output, const char* input) {
  // Another spelling of the input (a "..", a short name, a link) passes the text comparison; the
  // overwrite that follows would delete the recording.
  if (path_exists(output) && path_same_file(output, input)) return PathCheck::SameAsInput;
  return PathCheck::Ok;
}

Existing existing_output(const char* output) {
  if (!path_exists(output)) return Existing::Nothing;
  return path_is_folder(output) ? Existing::Folder : Existing::File;
}

bool remove_existing_output(const char* output) {
  path_clear_read_only(output);
  return delete_file(output) && !path_exists(output);
}
