// FileSelectDialog and NewFileDialog: the start folder, the three lists, and the events that move
// between folders and drives and choose a path.
#include "cutter/file_select_dialog.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

// Entries a folder list holds in its client width before it needs to scroll sideways; the file
// list's names are measured against a narrower count.
constexpr size_t kFolderColumns = 26;
constexpr size_t kFileColumns = 22;

// Drive types the list shows; unknown roots and roots without a drive are left out.
bool listed_drive(DriveType t) {
  return t == DriveType::Removable || t == DriveType::Fixed || t == DriveType::Remote || t == DriveType::CdRom ||
         t == DriveType::RamDisk;
}

void copy_path(char* to, const char* from) {
  const size_t n = std::min(std::strlen(from), kPathMax);
  std::memcpy(to, from, n);
  to[n] = 0;
}

// to := a + b when it fits a path buffer.
bool join_path(char* to, const char* a, const char* b) {
  const size_t na = std::strlen(a), nb = std::strlen(b);
  if (na + nb > kPathMax) return false;
  std::memmove(to, a, na);
  std::memcpy(to + na, b, nb + 1);
  return true;
}

// The root of the drive that holds the program: its folder cut after the root.
void program_drive_root(char* root) {
  copy_path(root, program_folder());
  root[path_root_length(root)] = 0;
}

}  // namespace

// ---- FileSelectDialog ----

FileSelectDialog::FileSelectDialog(ui::Window* parent, const DriveSource& drives)
    : ui::Dialog(parent, res::kFileSelectDialog), driveSource_(drives) {}

void FileSelectDialog::SetCaption(const char* caption) { copy_path(caption_, caption); }

void FileSelectDialog::SetPatterns(std::span<const char* const> patterns) {
  patterns_ = FilePatterns{};
  int n = 0;
  for (const char* p : patterns) {
    if (n == FilePatterns::kSlots) break;
    if (std::strlen(p) >= FilePatterns::kSlotSize) continue;
    std::strcpy(patterns_.slot[n++], p);
  }
}

void FileSelectDialog::SetFilePath(const char* path) { copy_path(filePath_, path); }

void FileSelectDialog::SetupWindow() {
  if (caption_[0] != 0) SetText(caption_);
  newFile_.Show(mode_ == ChooserMode::OutputFile);
  // A path that is not full gives no folder to start from: the program's own drive is taken.
  if (!path_is_full(filePath_)) program_drive_root(filePath_);
  copy_path(currentFolder_, filePath_);
  currentFolder_[path_name_offset(currentFolder_)] = 0;
  Fill(currentFolder_);
}

void FileSelectDialog::Fill(const char* shown) {
  char folder[kPathBuffer];
  copy_path(folder, shown);
  folders_.Clear();
  drives_.Clear();
  files_.Clear();
  if (folder[0] == 0) {
    program_drive_root(folder);
  } else {
    path_add_backslash(folder);
  }
  folderText_.SetText(folder);

  // One pass over the folder feeds both lists: sub-folders (".." included, "." not) and the
  // files whose extension matches, hidden and system entries alike.
  size_t longestFolder = 0, longestFile = 0;
  FolderListing listing(folder);
  FolderEntry e;
  while (listing.Next(e)) {
    const size_t len = std::strlen(e.name);
    if (e.isFolder) {
      if (std::strcmp(e.name, ".") == 0) continue;
      folders_.AddString(e.name);
      longestFolder = std::max(longestFolder, len);
    } else if (name_matches_patterns(e.name, patterns_)) {
      files_.AddString(e.name);
      longestFile = std::max(longestFile, len);
    }
  }
  folders_.SetSelIndex(0);
  folders_.SetHorizontalExtent(list_extent(folders_.ClientWidth(), longestFolder, kFolderColumns));
  files_.SetSelIndex(0);
  files_.SetHorizontalExtent(list_extent(files_.ClientWidth(), longestFile, kFileColumns));
  FillDrives(folder);
}

void FileSelectDialog::FillDrives(const char* folder) {
  driveCount_ = 0;
  int selected = 0;
  const int roots = std::min(driveSource_.RootCount(), int(sizeof driveRoots_ / sizeof driveRoots_[0]));
  for (int i = 0; i < roots; ++i) {
    char* root = driveRoots_[driveCount_];
    driveSource_.Root(i, root);
    if (!listed_drive(driveSource_.Type(root))) continue;
    char text[8];
    drive_entry_text(root, text, sizeof text);
    drives_.AddString(text);
    if (std::toupper(uint8_t(root[0])) == std::toupper(uint8_t(folder[0]))) selected = driveCount_;
    ++driveCount_;
  }
  drives_.SetSelIndex(selected);
}

bool FileSelectDialog::SelectedPath(char* path) const {
  char folder[kPathBuffer];
  folderText_.GetText(folder, sizeof folder);
  char name[kPathBuffer] = "";
  const int index = files_.GetSelIndex();
  if (files_.Count() > 0 && index >= 0) files_.GetString(index, name, sizeof name);
  return join_path(path, folder, name);
}

void FileSelectDialog::SelectFolder() {
  const int index = folders_.GetSelIndex();
  if (index < 0) return;
  char name[kPathBuffer];
  folders_.GetString(index, name, sizeof name);
  char folder[kPathBuffer];
  folderText_.GetText(folder, sizeof folder);
  if (std::strcmp(name, "..") == 0) {
    path_cut_to_parent(folder);
  } else {
    // A sub-folder whose path would not fit a path buffer cannot be shown: stay where we are.
    const char separator[] = {kPathSeparator, 0};
    char joined[kPathBuffer];
    if (!join_path(joined, folder, name) || !join_path(folder, joined, separator)) return;
  }
  Fill(folder);
}

void FileSelectDialog::SelectDrive() {
  const int index = drives_.GetSelIndex();
  if (index < 0 || index >= driveCount_) return;
  const char* root = driveRoots_[index];
  char folder[kPathBuffer];
  if (!driveSource_.Enter(root, folder, sizeof folder)) {
    // Not ready (no medium): its root is shown with nothing in it. The file list is emptied as
    // well, so that "選択" cannot join this root to a file of the folder shown before.
    folders_.Clear();
    files_.Clear();
    folderText_.SetText(root);
    return;
  }
  path_add_backslash(folder);
  Fill(folder);
}

void FileSelectDialog::GoToDriveRoot() {
  char folder[kPathBuffer];
  folderText_.GetText(folder, sizeof folder);
  folder[path_root_length(folder)] = 0;
  Fill(folder);
}

void FileSelectDialog::Choose() {
  char path[kPathBuffer];
  if (!SelectedPath(path)) return;
  folderText_.GetText(currentFolder_, sizeof currentFolder_);
  copy_path(filePath_, path);
  CloseWindow(ui::kIdOk);
}

void FileSelectDialog::ChooseNewFile() {
  char proposal[kPathBuffer];
  if (!SelectedPath(proposal)) return;
  NewFileDialog named(this, proposal);
  if (named.Execute() != ui::kIdOk) return;
  copy_path(filePath_, named.text());
  CloseWindow(ui::kIdOk);
}

// ---- NewFileDialog ----

NewFileDialog::NewFileDialog(ui::Window* parent, const char* text) : ui::Dialog(parent, res::kNewFileDialog) {
  copy_path(text_, text);
}

void NewFileDialog::SetupWindow() { name_.SetText(text_); }

void NewFileDialog::Accept() {
  // At most 258 bytes are taken, as the chooser's path buffers have always been filled.
  name_.GetText(text_, kPathMax);
  CloseWindow(ui::kIdOk);
}

// ---- logic ----

bool name_matches_patterns(const char* name, const FilePatterns& patterns) {
  // A '.' is never the trail byte of a two-byte character, so the last one is found bytewise.
  const char* ext = std::strrchr(name, '.');
  if (ext == nullptr) return false;
  for (const char* slot : patterns.slot) {
    if (slot[0] == 0) break;
    const char* want = slot + 1;  // "*.ts" -> ".ts"
    size_t i = 0;
    while (ext[i] != 0 && std::tolower(uint8_t(ext[i])) == std::tolower(uint8_t(want[i]))) ++i;
    if (ext[i] == 0 && want[i] == 0) return true;
  }
  return false;
}

int list_extent(int clientWidth, size_t longest, size_t columns) {
  return int(int64_t(clientWidth) * int64_t(std::max(columns, longest)) / int64_t(columns));
}

void drive_entry_text(const char* root, char* text, size_t size) {
  if (root[0] != 0 && root[1] == ':') {
    std::snprintf(text, size, "%c :", root[0]);
  } else {
    std::snprintf(text, size, "%s", root);
  }
}
