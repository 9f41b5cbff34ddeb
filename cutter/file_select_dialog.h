// FileSelectDialog: the program's own path chooser, with a drive list, a folder list and a file
// list filtered by the caller's patterns; it serves the input file, the output file and the
// player program. NewFileDialog: the chooser's companion for typing the name of a file that does
// not exist yet.
#pragma once
#include <cstddef>
#include <span>

#include "common/path.h"
#include "platform/folders.h"
#include "resources/ids.h"
#include "ui/controls.h"
#include "ui/window.h"

// What the chooser is choosing; only an output file may be a new one.
enum class ChooserMode { PlayerProgram = 0, InputFile = 1, OutputFile = 2 };

// File patterns of the form "*.ext": ten slots of ten bytes, the first empty slot ends the list.
struct FilePatterns {
  static constexpr int kSlots = 10;
  static constexpr size_t kSlotSize = 10;
  char slot[kSlots][kSlotSize] = {};
};

// The recordings the input and output choosers list.
inline constexpr const char* kRecordingPatterns[] = {"*.ts", "*.m2t", "*.m2ts", "*.mts", "*.mpg", "*.mpeg"};
// The player program.
inline constexpr const char* kProgramPatterns[] = {"*.exe"};

class FileSelectDialog : public ui::Dialog {
 public:
  // drives: where the drive list comes from (the machine's own unless a test brings its own).
  explicit FileSelectDialog(ui::Window* parent, const DriveSource& drives = system_drives());

  // Filled by the caller before Execute.
  void SetCaption(const char* caption);
  void SetMode(ChooserMode mode) { mode_ = mode; }
  // Patterns that do not fit a slot, and those past the tenth, are left out.
  void SetPatterns(std::span<const char* const> patterns);
  void SetFilePath(const char* path);

  // After OK: the chosen path (a folder ending in its separator when no file was listed).
  const char* filePath() const { return filePath_; }
  // The folder shown when "選択" was pressed.
  const char* currentFolder() const { return currentFolder_; }

  void SetupWindow() override;

 private:
  UI_BEGIN_MESSAGE_TABLE(FileSelectDialog, ui::Dialog)
    UI_NOTIFY(res::kChooserFolders, ui::kLbnSelChange, SelectFolder)
    UI_NOTIFY(res::kChooserDrives, ui::kLbnSelChange, SelectDrive)
    UI_COMMAND(res::kChooserDriveRoot, GoToDriveRoot)
    UI_COMMAND(ui::kIdOk, Choose)
    UI_COMMAND(res::kChooserNewFile, ChooseNewFile)
    // ui::kIdCancel: the framework closes the dialog with cancel.
  UI_END_MESSAGE_TABLE()

  // Command handlers.
  void SelectFolder();
  void SelectDrive();
  void GoToDriveRoot();
  void Choose();
  void ChooseNewFile();

  // Empties and refills the three lists for a folder and shows the folder.
  void Fill(const char* folder);
  void FillDrives(const char* folder);
  // The shown folder plus the selected file's name, or the folder alone when no file is listed;
  // false when the two together do not fit a path buffer.
  bool SelectedPath(char* path) const;

  const DriveSource& driveSource_;
  char caption_[kPathBuffer] = {};
  char currentFolder_[kPathBuffer] = {};
  char filePath_[kPathBuffer] = {};
  FilePatterns patterns_;
  ChooserMode mode_ = ChooserMode::InputFile;
  // The roots of the drive list's entries, in list order.
  char driveRoots_[26][kDriveRootBuffer] = {};
  int driveCount_ = 0;

  ui::Static folderText_{this, res::kChooserFolderText};
  ui::ListBox folders_{this, res::kChooserFolders};
  ui::ListBox drives_{this, res::kChooserDrives};
  ui::ListBox files_{this, res::kChooserFiles};
  ui::Button newFile_{this, res::kChooserNewFile};
};

class NewFileDialog : public ui::Dialog {
 public:
  // text: the proposed path, shown for editing.
  NewFileDialog(ui::Window* parent, const char* text);
  // After OK: what was typed, unchecked.
  const char* text() const { return text_; }

  void SetupWindow() override;

 private:
  UI_BEGIN_MESSAGE_TABLE(NewFileDialog, ui::Dialog)
    UI_COMMAND(ui::kIdOk, Accept)
  UI_END_MESSAGE_TABLE()

  void Accept();

  char text_[kPathBuffer] = {};
  ui::Edit name_{this, res::kNewFileName};
};

// 1 when the name's extension (from its last '.') equals one of the patterns without its '*',
// compared without regard to ASCII case; a name without '.' never matches.
bool name_matches_patterns(const char* name, const FilePatterns& patterns);
// Width in pixels of a list whose longest entry has `longest` bytes, when `columns` bytes fill
// the list's client width: clientWidth * max(columns, longest) / columns.
int list_extent(int clientWidth, size_t longest, size_t columns);
// The text of a drive list entry: "C :" for the root "C:\", the root itself otherwise ("/").
void drive_entry_text(const char* root, char* text, size_t size);
