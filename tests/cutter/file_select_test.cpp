// The path chooser and the new-file dialog on the headless window system, over a real folder tree
// and a drive list of the test's own making; and the main dialog's two browse buttons.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cutter/file_select_dialog.h"
#include "cutter/main_frame.h"
#include "resources/ids.h"
#include "resources/templates.h"
#include "ui/dialog_template.h"
#include "tests/cutter/cutter_flow.h"
#include "tests/support/stream_builder.h"
#include "ui/headless/headless.h"

namespace hl = ui::headless;
using Items = std::vector<std::string>;

namespace {

// A machine with the drives the test names: type per root, and the current folder of each ready
// drive (a drive without one holds no medium).
class FakeDrives : public DriveSource {
 public:
  struct Drive {
    std::string root;
    DriveType type;
    std::string folder;  // empty: not ready
  };
  std::vector<Drive> drives;
  mutable std::vector<std::string> entered;

  int RootCount() const override { return int(drives.size()); }
  void Root(int i, char root[kDriveRootBuffer]) const override { std::strcpy(root, drives[size_t(i)].root.c_str()); }
  DriveType Type(const char* root) const override { return Find(root).type; }
  bool Enter(const char* root, char* folder, size_t size) const override {
    entered.push_back(root);
    const Drive& d = Find(root);
    if (d.folder.empty() || d.folder.size() >= size) return false;
    std::strcpy(folder, d.folder.c_str());
    return true;
  }

 private:
  const Drive& Find(const char* root) const {
    for (const Drive& d : drives) {
      if (d.root == root) return d;
    }
    return drives.front();
  }
};

class FileSelect : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::reset();
    ui::register_templates(res::dialog_templates(), res::menu_templates());
  }
  void TearDown() override { hl::reset(); }

  void Folder(const std::string& relative) { ASSERT_EQ(mkdir(dir_.File(relative).c_str(), 0755), 0) << relative; }
  void Touch(const std::string& relative) { dir_.Write(relative, tsb::Bytes{0x47}); }

  // Opens a chooser modally from `start`; `act` drives it once its set-up is done, `named` the
  // new-file dialog each time that opens. Returns the chooser's result; the chooser stays in c_.
  int Open(const std::string& start, std::function<void(ui::Handle)> act,
           std::function<void(ui::Handle)> named = nullptr, ChooserMode mode = ChooserMode::InputFile,
           std::span<const char* const> patterns = kRecordingPatterns) {
    c_ = std::make_unique<FileSelectDialog>(nullptr, drives_.drives.empty() ? system_drives() : drives_);
    c_->SetMode(mode);
    c_->SetPatterns(patterns);
    c_->SetFilePath(start.c_str());
    hl::set_modal_hook([&](ui::Dialog& d) {
      if (d.templateId() == res::kFileSelectDialog) act(d.handle());
      if (d.templateId() == res::kNewFileDialog && named) named(d.handle());
    });
    return c_->Execute();
  }

  static std::string Text(ui::Handle h, int id) { return hl::control(h, id)->text; }
  static const Items& List(ui::Handle h, int id) { return hl::control(h, id)->control.items; }
  static int Selection(ui::Handle h, int id) { return hl::control(h, id)->control.selection; }
  // Chooses the entry of a list by its text, as a click on it would.
  static void Pick(ui::Handle h, int id, const std::string& entry) {
    const Items& items = List(h, id);
    auto at = std::find(items.begin(), items.end(), entry);
    ASSERT_NE(at, items.end()) << "no entry " << entry << " in list " << id;
    hl::choose(h, id, int(at - items.begin()));
  }

  tsb::TempDir dir_;
  FakeDrives drives_;
  std::unique_ptr<FileSelectDialog> c_;
};

}  // namespace

TEST_F(FileSelect, ListsSubFoldersAndTheFilesThatMatchWithoutRegardToCase) {
  Folder("rec");
  Folder("rec/D");
  Folder("rec/.hidden folder");
  for (const char* name : {"rec/A.TS", "rec/B.ts.bak", "rec/C.m2ts", "rec/E", "rec/.secret.mts",
                           "rec/a programme whose name runs past the width.MPEG", "rec/VLC.EXE"}) {
    Touch(name);
  }
  drives_.drives = {{"A:\\", DriveType::Removable, ""}, {"B:\\", DriveType::Unknown, ""},
                    {"C:\\", DriveType::Fixed, "C:\\"},  {"/", DriveType::Fixed, "/"},
                    {"M:\\", DriveType::NoRootFolder, ""}, {"Q:\\", DriveType::CdRom, ""},
                    {"R:\\", DriveType::RamDisk, ""},     {"Z:\\", DriveType::Remote, ""}};
  Open(dir_.File("rec/ORG.ts"), [&](ui::Handle h) {
    EXPECT_EQ(Text(h, res::kChooserFolderText), dir_.File("rec/"));
    // Both lists hold hidden entries; "." is left out, ".." listed.
    EXPECT_EQ(List(h, res::kChooserFolders), (Items{"..", ".hidden folder", "D"}));
    EXPECT_EQ(List(h, res::kChooserFiles),
              (Items{".secret.mts", "a programme whose name runs past the width.MPEG", "A.TS", "C.m2ts"}));
    EXPECT_EQ(Selection(h, res::kChooserFolders), 0);
    EXPECT_EQ(Selection(h, res::kChooserFiles), 0);
    // The list boxes are 135 units = 270 pixels wide; the longest file name has 47 bytes.
    EXPECT_EQ(hl::control(h, res::kChooserFolders)->control.horizontalExtent, 270);
    EXPECT_EQ(hl::control(h, res::kChooserFiles)->control.horizontalExtent, 270 * 47 / 22);
    // Removable, fixed, CD-ROM, RAM-disk and remote drives; the one holding the folder selected.
    EXPECT_EQ(List(h, res::kChooserDrives), (Items{"A :", "C :", "/", "Q :", "R :", "Z :"}));
    EXPECT_EQ(Selection(h, res::kChooserDrives), 2);
    hl::click(h, ui::kIdCancel);
  });
  // The player's chooser lists programs only.
  Open(dir_.File("rec/VLC.EXE"), [&](ui::Handle h) {
    EXPECT_EQ(List(h, res::kChooserFiles), (Items{"VLC.EXE"}));
    EXPECT_FALSE(hl::control(h, res::kChooserNewFile)->visible);
    hl::click(h, ui::kIdOk);
  }, nullptr, ChooserMode::PlayerProgram, kProgramPatterns);
  EXPECT_EQ(c_->filePath(), dir_.File("rec/VLC.EXE"));
}

TEST_F(FileSelect, StartsAtTheProgramsDriveRootWhenThePathIsNotFull) {
  int result = Open("ORG.ts", [&](ui::Handle h) {
    EXPECT_EQ(Text(h, res::kChooserFolderText), "/");
    EXPECT_FALSE(hl::control(h, res::kChooserNewFile)->visible);  // only output files may be new
    // The one root of this system stands in the drive list.
    EXPECT_EQ(List(h, res::kChooserDrives), (Items{"/"}));
    hl::click(h, ui::kIdCancel);
  });
  EXPECT_EQ(result, ui::kIdCancel);
}

TEST_F(FileSelect, ParentEntryClimbsToTheRootWhichListsNoParent) {
  // 表 (95 5C) and ソ (83 5C) end in the byte of a backslash.
  const std::string inner = "録画\x83\x5C/\x95\x5C/";
  Folder("録画\x83\x5C");
  Folder(inner);
  Touch(inner + "番組.ts");
  Open(dir_.File(inner + "番組.ts"), [&](ui::Handle h) {
    EXPECT_EQ(List(h, res::kChooserFiles), (Items{"番組.ts"}));
    // Up one level at a time: each step drops exactly one folder name.
    std::string shown = dir_.File(inner);
    for (int step = 0; shown != "/" && step < 64; ++step) {
      ASSERT_EQ(Text(h, res::kChooserFolderText), shown);
      ASSERT_EQ(List(h, res::kChooserFolders).front(), "..") << shown;
      Pick(h, res::kChooserFolders, "..");
      shown = shown.substr(0, shown.rfind('/', shown.size() - 2) + 1);
    }
    EXPECT_EQ(Text(h, res::kChooserFolderText), "/");
    for (const std::string& name : List(h, res::kChooserFolders)) EXPECT_NE(name, "..");
    hl::click(h, ui::kIdCancel);
  });
}

TEST_F(FileSelect, ChoosingGivesTheFolderPlusTheSelectedFileOrTheFolderAlone) {
  Folder("out");
  Folder("empty");
  for (const char* name : {"out/A.ts", "out/B.ts", "empty/B.ts.bak", "empty/D"}) Touch(name);
  auto choose = [&](ui::Handle h) {
    if (!List(h, res::kChooserFiles).empty()) hl::choose(h, res::kChooserFiles, 1);
    hl::click(h, ui::kIdOk);
  };
  EXPECT_EQ(Open(dir_.File("out/none.ts"), choose), ui::kIdOk);
  EXPECT_EQ(c_->filePath(), dir_.File("out/B.ts"));
  EXPECT_EQ(c_->currentFolder(), dir_.File("out/"));
  EXPECT_EQ(Open(dir_.File("empty/none.ts"), choose), ui::kIdOk);
  EXPECT_EQ(c_->filePath(), dir_.File("empty/"));
}

TEST_F(FileSelect, NewFileProposesTheSelectedPathAndReturnsExactlyWhatWasTyped) {
  Folder("out");
  Touch("out/old.ts");
  std::vector<std::string> proposed;
  int result = Open(
      dir_.File("out/"),
      [&](ui::Handle h) {
        EXPECT_TRUE(hl::control(h, res::kChooserNewFile)->visible);
        hl::click(h, res::kChooserNewFile);  // cancelled: the chooser stays
        ASSERT_FALSE(hl::find(h)->ended);
        hl::click(h, res::kChooserNewFile);  // accepted: the chooser ends at once
      },
      [&](ui::Handle n) {
        EXPECT_EQ(hl::find(n)->text, "新しいﾌｧｲﾙ名の入力");
        proposed.push_back(Text(n, res::kNewFileName));
        if (proposed.size() == 1) return hl::click(n, ui::kIdCancel);
        hl::type_text(n, res::kNewFileName, "新しい出力/切り出し.ts");
        hl::click(n, ui::kIdOk);
      },
      ChooserMode::OutputFile);
  EXPECT_EQ(result, ui::kIdOk);
  EXPECT_EQ(proposed, (Items{dir_.File("out/old.ts"), dir_.File("out/old.ts")}));
  EXPECT_STREQ(c_->filePath(), "新しい出力/切り出し.ts");  // relative, as typed
}

TEST_F(FileSelect, DriveWithoutMediumShowsItsRootAndNothingInIt) {
  Folder("c");
  Folder("c/sub");
  Touch("c/in.ts");
  drives_.drives = {{"A:\\", DriveType::Removable, ""}, {"/", DriveType::Fixed, dir_.File("c")}};
  Open(dir_.File("c/sub/"), [&](ui::Handle h) {
    EXPECT_EQ(Selection(h, res::kChooserDrives), 1);
    hl::choose(h, res::kChooserDrives, 0);
    EXPECT_EQ(Text(h, res::kChooserFolderText), "A:\\");
    EXPECT_TRUE(List(h, res::kChooserFolders).empty());
    EXPECT_TRUE(List(h, res::kChooserFiles).empty());
    EXPECT_EQ(List(h, res::kChooserDrives), (Items{"A :", "/"}));
    // A ready drive opens at its current folder, made to end in a separator.
    hl::choose(h, res::kChooserDrives, 1);
    EXPECT_EQ(Text(h, res::kChooserFolderText), dir_.File("c/"));
    EXPECT_EQ(List(h, res::kChooserFiles), (Items{"in.ts"}));
    hl::click(h, res::kChooserDriveRoot);
    EXPECT_EQ(Text(h, res::kChooserFolderText), "/");
    hl::choose(h, res::kChooserDrives, 0);
    hl::click(h, ui::kIdOk);
  });
  EXPECT_EQ(drives_.entered, (Items{"A:\\", "/", "A:\\"}));
  EXPECT_STREQ(c_->filePath(), "A:\\");  // never the root joined to a file of another folder
}

// ---- the main dialog's callers ----

namespace {

class BrowseButtons : public FileSelect {
 protected:
  void Start() {
    flow::install_kerfdmx(dir_.File("kerfdmx"));
    app_ = std::make_unique<TMyApp>(dir_.File("kerfcut.exe").c_str(), "/");
    ASSERT_TRUE(app_->Start());
    dialog_ = app_->dialog().handle();
  }
  // Clicks a browse button with `act` driving the chooser that opens (if any).
  void Browse(int button, std::function<void(ui::Handle)> act, std::function<void(ui::Handle)> named = nullptr) {
    hl::set_modal_hook([&](ui::Dialog& d) {
      if (d.templateId() == res::kFileSelectDialog) {
        ++choosers_;
        act(d.handle());
      }
      if (d.templateId() == res::kNewFileDialog && named) named(d.handle());
    });
    hl::click(dialog_, button);
  }
  std::unique_ptr<TMyApp> app_;
  ui::Handle dialog_ = 0;
  int choosers_ = 0;
};

}  // namespace

TEST_F(BrowseButtons, InputChooserStartsFromTheFieldAndPutsTheChoiceThere) {
  Folder("録画");
  Touch("録画/番組.m2ts");
  Touch("録画/notes.txt");
  Start();
  Settings& s = app_->state().settings;
  hl::type_text(dialog_, res::kInputPath, dir_.File("録画/old.ts").c_str());
  Browse(res::kBrowseInput, [&](ui::Handle h) {
    EXPECT_EQ(hl::find(h)->text, "入力元TSファイル選択");
    EXPECT_EQ(Text(h, res::kChooserFolderText), dir_.File("録画/"));
    EXPECT_EQ(List(h, res::kChooserFiles), (Items{"番組.m2ts"}));
    EXPECT_FALSE(hl::control(h, res::kChooserNewFile)->visible);
    hl::click(h, ui::kIdOk);
  });
  EXPECT_EQ(Text(dialog_, res::kInputPath), dir_.File("録画/番組.m2ts"));
  EXPECT_EQ(std::string(s.inputPathText), dir_.File("録画/番組.m2ts"));
  // The choice is loaded at once: this one-byte file is measured and has no PCR.
  EXPECT_EQ(std::string(s.loadedInputPath), dir_.File("録画/番組.m2ts"));
  ASSERT_EQ(hl::message_boxes().size(), 1u);
  EXPECT_EQ(hl::message_boxes().back().text, "PCRが検出できません.");

  // Cancelling keeps the field, whose text the button has already taken over.
  hl::type_text(dialog_, res::kInputPath, "typed.ts");
  Browse(res::kBrowseInput, [&](ui::Handle h) { hl::click(h, ui::kIdCancel); });
  EXPECT_EQ(Text(dialog_, res::kInputPath), "typed.ts");
  EXPECT_STREQ(s.inputPathText, "typed.ts");
}

TEST_F(BrowseButtons, OutputChooserTakesANewFileIntoTheOutputField) {
  Folder("out");
  Start();
  hl::type_text(dialog_, res::kOutputPath, dir_.File("out/NEW.ts").c_str());
  Browse(
      res::kBrowseOutput,
      [&](ui::Handle h) {
        EXPECT_EQ(hl::find(h)->text, "出力先TSファイル選択");
        EXPECT_TRUE(hl::control(h, res::kChooserNewFile)->visible);
        hl::click(h, res::kChooserNewFile);
      },
      [&](ui::Handle n) {
        EXPECT_EQ(Text(n, res::kNewFileName), dir_.File("out/"));
        hl::type_text(n, res::kNewFileName, dir_.File("out/新しい/切り出し.ts").c_str());
        hl::click(n, ui::kIdOk);
      });
  EXPECT_EQ(Text(dialog_, res::kOutputPath), dir_.File("out/新しい/切り出し.ts"));
  EXPECT_EQ(std::string(app_->state().settings.outputPath), dir_.File("out/新しい/切り出し.ts"));
}

TEST_F(BrowseButtons, NoChooserWhileAJobRuns) {
  Start();
  app_->state().job.jobRunning = 1;
  Browse(res::kBrowseInput, [](ui::Handle) {});
  Browse(res::kBrowseOutput, [](ui::Handle) {});
  EXPECT_EQ(choosers_, 0);
}
