// The path chooser and the new-file dialog on the headless window system, over a real folder tree
// and a drive list of the test's own making; and the main dialog's two browse buttons.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cutter/file_select_dialog.h"
#include "cutter/main_frame.h"
#include "resources/ids.h"
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
  void SetUp() override { hl::reset(); }
  void TearDown() override { hl::reset(); }

  std::string Folder(const std::string& relative) {
    std::string path = dir_.File(relative);
    EXPECT_EQ(mkdir(path.c_str(), 0755), 0) << path;
    return path;
  }
  void Touch(const std::string& relative) { dir_.Write(relative, tsb::Bytes{0x47}); }

  // Runs the chooser modally; `act` drives it once its set-up is done, `named` the new-file
  // dialog each time that opens. Returns the chooser's result.
  int Run(FileSelectDialog& chooser, std::function<void(ui::Handle)> act,
          std::function<void(ui::Handle)> named = nullptr) {
    hl::set_modal_hook([&](ui::Dialog& d) {
      if (d.templateId() == res::kFileSelectDialog) act(d.handle());
      if (d.templateId() == res::kNewFileDialog && named) named(d.handle());
    });
    return chooser.Execute();
  }

  static std::string Text(ui::Handle h, int id) { return hl::control(h, id)->text; }
  static const Items& List(ui::Handle h, int id) { return hl::control(h, id)->control.items; }
  static int Selection(ui::Handle h, int id) { return hl::control(h, id)->control.selection; }
  // Chooses the entry of a list by its text, as a click on it would.
  static void Pick(ui::Handle h, int id, const std::string& entry) {
    const Items& items = List(h, id);
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i] == entry) return hl::choose(h, id, int(i));
    }
    ADD_FAILURE() << "no entry " << entry << " in list " << id;
  }

  tsb::TempDir dir_;
  FakeDrives drives_;
};

}  // namespace

TEST_F(FileSelect, ListsSubFoldersAndTheFilesThatMatchWithoutRegardToCase) {
  Folder("rec");
  Folder("rec/D");
  Folder("rec/.hidden folder");
  for (const char* name : {"rec/A.TS", "rec/B.ts.bak", "rec/C.m2ts", "rec/E", "rec/.secret.mts",
                           "rec/a programme whose name runs past the width.MPEG"}) {
    Touch(name);
  }
  drives_.drives = {{"A:\\", DriveType::Removable, ""}, {"B:\\", DriveType::Unknown, ""},
                    {"C:\\", DriveType::Fixed, "C:\\"},  {"/", DriveType::Fixed, "/"},
                    {"M:\\", DriveType::NoRootFolder, ""}, {"Q:\\", DriveType::CdRom, ""},
                    {"R:\\", DriveType::RamDisk, ""},     {"Z:\\", DriveType::Remote, ""}};
  FileSelectDialog chooser(nullptr, drives_);
  chooser.SetPatterns(kRecordingPatterns);
  chooser.SetFilePath(dir_.File("rec/ORG.ts").c_str());
  Run(chooser, [&](ui::Handle h) {
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
}

TEST_F(FileSelect, StartsAtTheProgramsDriveRootWhenThePathIsNotFull) {
  FileSelectDialog chooser(nullptr);
  chooser.SetCaption("入力元TSファイル選択");
  chooser.SetFilePath("ORG.ts");
  int result = Run(chooser, [&](ui::Handle h) {
    EXPECT_EQ(hl::find(h)->text, "入力元TSファイル選択");
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
  const std::string hyou = "\x95\x5C", so = "\x83\x5C";
  Folder("録画" + so);
  Folder("録画" + so + "/" + hyou);
  Touch("録画" + so + "/" + hyou + "/番組.ts");
  const std::string inner = dir_.File("録画" + so + "/" + hyou + "/");
  FileSelectDialog down(nullptr);
  down.SetPatterns(kRecordingPatterns);
  down.SetFilePath(dir_.File("x.ts").c_str());
  Run(down, [&](ui::Handle h) {
    Pick(h, res::kChooserFolders, "録画" + so);
    Pick(h, res::kChooserFolders, hyou);
    EXPECT_EQ(Text(h, res::kChooserFolderText), inner);
    EXPECT_EQ(List(h, res::kChooserFiles), (Items{"番組.ts"}));
    hl::click(h, res::kChooserDriveRoot);
    EXPECT_EQ(Text(h, res::kChooserFolderText), "/");
    hl::click(h, ui::kIdCancel);
  });

  FileSelectDialog up(nullptr);
  up.SetPatterns(kRecordingPatterns);
  up.SetFilePath((inner + "番組.ts").c_str());
  Run(up, [&](ui::Handle h) {
    // Up one level at a time: each step drops exactly one folder name.
    std::string shown = inner;
    for (int step = 0; shown != "/" && step < 64; ++step) {
      ASSERT_EQ(List(h, res::kChooserFolders).front(), "..") << shown;
      Pick(h, res::kChooserFolders, "..");
      shown = shown.substr(0, shown.rfind('/', shown.size() - 2) + 1);
      EXPECT_EQ(Text(h, res::kChooserFolderText), shown);
    }
    ASSERT_EQ(shown, "/");
    for (const std::string& name : List(h, res::kChooserFolders)) EXPECT_NE(name, "..");
    hl::click(h, ui::kIdCancel);
  });
}

TEST_F(FileSelect, ChoosingGivesTheFolderPlusTheSelectedFileOrTheFolderAlone) {
  Folder("out");
  Folder("empty");
  Touch("out/A.ts");
  Touch("out/B.ts");
  Touch("empty/B.ts.bak");
  Touch("empty/D");
  for (const char* start : {"out/none.ts", "empty/none.ts"}) {
    FileSelectDialog chooser(nullptr);
    chooser.SetPatterns(kRecordingPatterns);
    chooser.SetFilePath(dir_.File(start).c_str());
    EXPECT_EQ(Run(chooser, [&](ui::Handle h) {
                if (!List(h, res::kChooserFiles).empty()) hl::choose(h, res::kChooserFiles, 1);
                hl::click(h, ui::kIdOk);
              }),
              ui::kIdOk);
    const bool hasFiles = std::string(start).starts_with("out");
    EXPECT_EQ(chooser.filePath(), hasFiles ? dir_.File("out/B.ts") : dir_.File("empty/"));
    EXPECT_EQ(chooser.currentFolder(), dir_.File(hasFiles ? "out/" : "empty/"));
  }
}

TEST_F(FileSelect, PlayerModeListsProgramsOnly) {
  Folder("vlc");
  for (const char* name : {"vlc/VLC.EXE", "vlc/uninstall.exe", "vlc/README.txt", "vlc/clip.ts"}) Touch(name);
  FileSelectDialog chooser(nullptr);
  chooser.SetMode(ChooserMode::PlayerProgram);
  chooser.SetPatterns(kProgramPatterns);
  chooser.SetFilePath(dir_.File("vlc/VLC.EXE").c_str());
  Run(chooser, [&](ui::Handle h) {
    EXPECT_EQ(List(h, res::kChooserFiles), (Items{"uninstall.exe", "VLC.EXE"}));
    EXPECT_FALSE(hl::control(h, res::kChooserNewFile)->visible);
    Pick(h, res::kChooserFiles, "VLC.EXE");
    hl::click(h, ui::kIdOk);
  });
  EXPECT_EQ(chooser.filePath(), dir_.File("vlc/VLC.EXE"));
}

TEST_F(FileSelect, NewFileProposesTheSelectedPathAndReturnsExactlyWhatWasTyped) {
  Folder("out");
  Touch("out/old.ts");
  FileSelectDialog chooser(nullptr);
  chooser.SetMode(ChooserMode::OutputFile);
  chooser.SetPatterns(kRecordingPatterns);
  chooser.SetFilePath(dir_.File("out/").c_str());
  std::vector<std::string> proposed;
  int named = 0;
  int result = Run(
      chooser,
      [&](ui::Handle h) {
        EXPECT_TRUE(hl::control(h, res::kChooserNewFile)->visible);
        hl::click(h, res::kChooserNewFile);  // cancelled: the chooser stays
        ASSERT_NE(hl::find(h), nullptr);
        EXPECT_FALSE(hl::find(h)->ended);
        hl::click(h, res::kChooserNewFile);  // accepted: the chooser ends at once
      },
      [&](ui::Handle n) {
        EXPECT_EQ(hl::find(n)->text, "新しいﾌｧｲﾙ名の入力");
        proposed.push_back(Text(n, res::kNewFileName));
        if (named++ == 0) return hl::click(n, ui::kIdCancel);
        hl::type_text(n, res::kNewFileName, "新しい出力/切り出し.ts");
        hl::click(n, ui::kIdOk);
      });
  EXPECT_EQ(result, ui::kIdOk);
  EXPECT_EQ(proposed, (Items{dir_.File("out/old.ts"), dir_.File("out/old.ts")}));
  EXPECT_STREQ(chooser.filePath(), "新しい出力/切り出し.ts");  // relative, as typed
}

TEST_F(FileSelect, DriveWithoutMediumShowsItsRootAndNothingInIt) {
  Folder("c");
  Touch("c/in.ts");
  drives_.drives = {{"A:\\", DriveType::Removable, ""}, {"/", DriveType::Fixed, dir_.File("c")}};
  FileSelectDialog chooser(nullptr, drives_);
  chooser.SetPatterns(kRecordingPatterns);
  chooser.SetFilePath(dir_.File("c/in.ts").c_str());
  Run(chooser, [&](ui::Handle h) {
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
    hl::choose(h, res::kChooserDrives, 0);
    hl::click(h, ui::kIdOk);
  });
  EXPECT_EQ(drives_.entered, (Items{"A:\\", "/", "A:\\"}));
  EXPECT_STREQ(chooser.filePath(), "A:\\");  // never A:\ joined to a file of another folder
}

// ---- the main dialog's callers ----

namespace {

class BrowseButtons : public FileSelect {
 protected:
  void Start() {
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
  EXPECT_TRUE(hl::message_boxes().empty());

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
