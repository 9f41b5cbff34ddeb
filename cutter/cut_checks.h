// The checks a cut makes on its paths before anything is written: the input exists and is a
// file, the output is a full path whose folder exists (made when missing) and is not the input,
// and what stands at the output path already. Window-free; the dialog shows the texts.
#pragma once

enum class PathCheck {
  Ok,
  InputNotFull,
  InputMissing,
  InputIsFolder,
  OutputNotFull,
  FolderNotMade,
  SameAsInput,
};

// The message for a failed check (Shift-JIS); "" for Ok.
const char* path_check_text(PathCheck check);

// The input: a full path naming an existing entry (of any attribute) that is not a folder.
PathCheck check_input_file(const char* input);
// The output: a full path; its folder, unless it is a drive root, created with every missing
// level; not the input, whether spelt the same (any letter case) or naming the same file.
PathCheck check_output_path(const char* output, const char* input);
// SameAsInput when the output exists and is the input file however it is spelt, else Ok.
PathCheck check_not_input(const char* output, const char* input);

enum class Existing { Nothing, Folder, File };
Existing existing_output(const char* output);
// Clears the read-only attribute of an existing output and deletes it; false when it stays.
bool remove_existing_output(const char* output);

// Equality without regard to the case of single-byte letters; the two bytes of a Shift-JIS
// character are compared as they are.
bool same_text_any_case(const char* a, const char* b);
