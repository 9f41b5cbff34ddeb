// kerfcut's start-up, main frame and main dialog on the headless window system: first-start
// values, settings read at start and written at exit, the close check, the set-up of every
// field, the commands of the window itself, and the progress message from the tool.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cutter/main_frame.h"
#include "platform/gui_link.h"
#include "platform/process.h"
#include "resources/ids.h"
#include "tests/cutter/cutter_flow.h"
#include "resources/templates.h"
#include "tests/support/stream_builder.h"
#include "tests/support/test_mounts.h"
#include "ui/headless/headless.h"

namespace hl = ui::headless;

namespace {

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::reset();
    ui::register_templates(res::dialog_templates(), res::menu_templates());
    programPath_ = dir_.File("kerfcut.exe");
    settingsPath_ = dir_.File("kerfcut.DAT");
    flow::install_kerfdmx(dir_.File("kerfdmx"));
  }
  void TearDown() override { hl::reset(); }

  // Starts the program; the logo runs its two seconds of virtual time inside.
  TMyApp& Start() {
    app_ = std::make_unique<TMyApp>(programPath_.c_str(), "/");
    app_->dialog().refreshPreview = [this](MyDialog&) { ++refreshes_; };
    EXPECT_TRUE(app_->Start());
    dialog_ = app_->dialog().handle();
    frame_ = app_->frame().handle();
    return *app_;
  }
  std::string Text(int id) const {
    hl::WindowState* c = hl::control(dialog_, id);
    return c != nullptr ? c->text : "<no control>";
  }
  bool Enabled(int id) const { return hl::control(dialog_, id)->enabled; }
  // A settings file with the defaults changed by `edit`.
  template <class F>
  void SaveSettings(F edit, const char* header = "KERFCUT0120HST") {
    Settings s;
    settings_defaults(s, (dir_.path() + "/").c_str(), "/");
    edit(s);
    tsb::Bytes b(header, header + 14);
    b.insert(b.end(), {0, 0, 0, 0});
    const auto* p = reinterpret_cast<const uint8_t*>(&s);
    b.insert(b.end(), p, p + sizeof s);
    tsb::WriteFile(settingsPath_, b);
  }
  bool Exists(const std::string& path) const { return access(path.c_str(), F_OK) == 0; }

  tsb::TempDir dir_;
  std::string programPath_, settingsPath_;
  std::unique_ptr<TMyApp> app_;
  ui::Handle dialog_ = 0, frame_ = 0;
  int refreshes_ = 0;
};

}  // namespace

TEST_F(MainWindow, FirstStartShowsTheDefaults) {
  Start();
  EXPECT_EQ(Text(res::kInputPath), "/INPUT_TS/ORG.ts");
  EXPECT_EQ(Text(res::kOutputPath), "/OUTPUT_TS/NEW.ts");
  EXPECT_EQ(Text(res::kBitrate), "16.500000");
  EXPECT_EQ(Text(res::kTotalTime), "00:00:00.000");
  EXPECT_EQ(Text(res::kPlaySeconds), "5");
  EXPECT_EQ(Text(res::kFileSize), " 0.000GB");
  EXPECT_EQ(Text(res::kPcrRange), "PCR：[00:00:00.000～00:00:00.000]");
  EXPECT_EQ(Text(res::kStartMarker), "◆");
  EXPECT_EQ(Text(res::kEndMarker), "　");
  EXPECT_EQ(Text(res::kStartPacket), "00000000");
  EXPECT_EQ(Text(res::kEndPacket), "00000000");
  EXPECT_EQ(Text(res::kStartTime), "00:00:00.000");
  EXPECT_EQ(Text(res::kEndTime), "00:00:00.000");
  EXPECT_EQ(Text(res::kStatusLine), "MSG");  // written by the preview only
  hl::WindowState* demux = hl::control(dialog_, res::kDemuxList);
  EXPECT_EQ(demux->control.items,
            (std::vector<std::string>{"DEMUXしない（通常）", "ﾌﾟﾚﾋﾞｭｰ中の番組のみDEMUXして抽出する",
                                      "番組構成ﾌｧｲﾙ（DEMUX.cfg）に基づきDEMUXする"}));
  EXPECT_EQ(demux->control.selection, 0);
  EXPECT_TRUE(Enabled(res::kOutputPath) && Enabled(res::kBrowseOutput));
  hl::WindowState* bar = hl::control(dialog_, res::kPositionBar);
  EXPECT_EQ(bar->control.scrollMin, 0);
  EXPECT_EQ(bar->control.scrollMax, 629);
  EXPECT_EQ(bar->control.scrollPos, 0);
  EXPECT_TRUE(hl::control(dialog_, res::kProgrammeList)->control.items.empty());
  EXPECT_STREQ(app_->state().paths.toolPath, dir_.File("kerfdmx").c_str());
  // The defaults behind the two settings dialogs, as they open on a first start.
  std::map<int, std::vector<std::string>> shown;
  hl::set_modal_hook([&](ui::Dialog& d) {
    std::vector<std::string>& values = shown[d.templateId()];
    auto text = [&](int id) { values.push_back(hl::control(d.handle(), id)->text); };
    auto check = [&](int id) { values.push_back(std::to_string(hl::control(d.handle(), id)->control.check)); };
    if (d.templateId() == res::kViewerDialog) {
      text(res::kViewerPlayerPath);
      text(res::kViewerOptions);
      check(res::kViewerOptionsEnabled);
      check(res::kViewerPreviewEnabled);
    } else {
      for (int id : {res::kOptionStopOnError, res::kOptionFirstLastPcr, res::kOptionHeadPcrs, res::kOptionAutomatic})
        check(id);
    }
    hl::click(d.handle(), ui::kIdCancel);
  });
  hl::click(dialog_, res::kPlayerSettings);
  hl::click(dialog_, res::kOptions);
  hl::set_modal_hook(nullptr);
  EXPECT_EQ(shown[res::kViewerDialog],
            (std::vector<std::string>{"/Program Files/VideoLAN/VLC/VLC.EXE", "--play-and-stop", "1", "1"}));
  // Not stopped on decode errors; the total time found automatically.
  EXPECT_EQ(shown[res::kOptionDialog], (std::vector<std::string>{"0", "0", "0", "1"}));
  const Settings& s = app_->state().settings;
  EXPECT_STREQ(s.loadedInputPath, "");
  EXPECT_EQ(s.packetSize, 188);
  EXPECT_EQ(s.reserved0 | s.reserved1 | s.reserved2 | s.totalMs | s.startPacket | s.endMs | s.pcrPid, 0);
}

TEST_F(MainWindow, FrameIsTheFixedSizeMainWindowWithTitleMenuAndIcon) {
  hl::set_metric(ui::Metric::ScreenWidth, 1024);
  hl::set_metric(ui::Metric::FullScreenHeight, 700);
  Start();
  hl::WindowState* f = hl::find(frame_);
  EXPECT_EQ(f->className, "KERFCUT:MAIN");
  EXPECT_EQ(f->text, "KerfCut Ver 1.20  (KerfWorks)");
  EXPECT_EQ(f->menuId, 1);
  EXPECT_EQ(f->iconId, 1);
  EXPECT_EQ(f->style & ui::kWsMaximizeBox, 0u);
  EXPECT_NE(f->style & ui::kWsCaption, 0u);
  EXPECT_TRUE(f->visible);
  // x = (1024 - 2*4 - 680) / 2; y = (700 + 19 - (2*4 + 19 + 500)) / 2
  EXPECT_EQ(f->rect.left, 168);
  EXPECT_EQ(f->rect.top, 96);
  EXPECT_EQ(app_->frame().GetClientRect().width(), app_->dialog().GetWindowRect().width());
  EXPECT_EQ(app_->frame().GetClientRect().height(), app_->dialog().GetWindowRect().height());

  ui::MinMaxInfo info{};
  hl::send(frame_, ui::kWmGetMinMaxInfo, 0, reinterpret_cast<intptr_t>(&info));
  int w = f->rect.width(), h = f->rect.height();
  EXPECT_EQ(info.maxSize[0], w);
  EXPECT_EQ(info.maxSize[1], h);
  EXPECT_EQ(info.minTrackSize[0], w);
  EXPECT_EQ(info.minTrackSize[1], h);
  EXPECT_EQ(info.maxTrackSize[0], w);
  EXPECT_EQ(info.maxTrackSize[1], h);
}

TEST_F(MainWindow, LogoRunsBeforeTheMainDialogExists) {
  bool logoSeen = false, dialogExisted = true, frameVisible = true;
  hl::set_modal_hook([&](ui::Dialog& d) {
    if (d.templateId() != res::kLogoDialog) return;
    logoSeen = true;
    dialogExisted = hl::find_dialog(res::kMainDialog) != 0;
    frameVisible = hl::find(hl::find_frame("KERFCUT:MAIN"))->visible;
  });
  uint64_t start = hl::now_ms();
  Start();
  EXPECT_TRUE(logoSeen);
  EXPECT_FALSE(dialogExisted);
  EXPECT_FALSE(frameVisible);
  EXPECT_EQ(hl::now_ms() - start, 2000u);
  EXPECT_EQ(hl::find_dialog(res::kLogoDialog), 0u);
}

TEST_F(MainWindow, PreviewRefreshRunsOnce50msAfterSetUpWhenTheLoadedInputExists) {
  std::string input = dir_.Write("in.ts", tsb::Bytes(188 * 10, 0x47));
  SaveSettings([&](Settings& s) { strcpy(s.loadedInputPath, input.c_str()); });
  Start();
  EXPECT_TRUE(hl::has_timer(dialog_, 4));
  hl::advance(49);
  EXPECT_EQ(refreshes_, 0);
  hl::advance(1);
  EXPECT_EQ(refreshes_, 1);
  EXPECT_FALSE(hl::has_timer(dialog_, 4));
  hl::advance(1000);
  EXPECT_EQ(refreshes_, 1);
  EXPECT_EQ(Text(res::kFileSize), " 0.000GB");  // 1880 bytes
  EXPECT_EQ(app_->state().settings.inputSize, 1880.0);
}

TEST_F(MainWindow, NoPreviewRefreshWithoutTheLoadedInput) {
  SaveSettings([&](Settings& s) { strcpy(s.loadedInputPath, "/no/such/file.ts"); });
  Start();
  hl::advance(100);
  EXPECT_EQ(refreshes_, 0);
  EXPECT_FALSE(hl::has_timer(dialog_, 4));
  EXPECT_EQ(app_->state().settings.inputSize, 0.0);
}

TEST_F(MainWindow, SavedValuesFillEveryField) {
  SaveSettings([](Settings& s) {
    s.totalMs = 3723456;  // 01:02:03.456
    s.bitrate = 12345678;
    s.startPacket = 0x1A2B;
    s.startMs = 1000;
    s.endPacket = 0x7FFFFFFF;
    s.endMs = 86399999;
    s.startPcrMs = 5000;
    s.endPcrMs = 65000;
    s.activePoint = 1;
    s.playSeconds = 30;
    s.programmeList.count = 2;
    s.programmeList.ordinal[0] = 1;
    s.programmeList.videoPid[0] = 0x111;
    s.programmeList.ordinal[1] = 3;
    s.programmeList.videoPid[1] = 0x1FFF;
    s.programmeIndex = 1;
  });
  Start();
  EXPECT_EQ(Text(res::kTotalTime), "01:02:03.456");
  EXPECT_EQ(Text(res::kBitrate), "12.345678");
  EXPECT_EQ(Text(res::kStartPacket), "00001A2B");
  EXPECT_EQ(Text(res::kEndPacket), "7FFFFFFF");
  EXPECT_EQ(Text(res::kStartTime), "00:00:01.000");
  EXPECT_EQ(Text(res::kEndTime), "23:59:59.999");
  EXPECT_EQ(Text(res::kPcrRange), "PCR：[00:00:05.000～00:01:05.000]");
  EXPECT_EQ(Text(res::kStartMarker), "　");
  EXPECT_EQ(Text(res::kEndMarker), "◆");
  EXPECT_EQ(Text(res::kPlaySeconds), "30");
  hl::WindowState* list = hl::control(dialog_, res::kProgrammeList);
  EXPECT_EQ(list->control.items, (std::vector<std::string>{"PRG1,VPID=0111", "PRG3,VPID=1FFF"}));
  EXPECT_EQ(list->control.selection, 1);
}

TEST_F(MainWindow, PreviewDisabledLeavesThePcrFieldEmpty) {
  SaveSettings([](Settings& s) {
    s.previewEnabled = 0;
    s.startPcrMs = 5000;
  });
  Start();
  EXPECT_EQ(Text(res::kPcrRange), "");
}

TEST_F(MainWindow, DemuxMode2DisablesTheOutputPathFromTheStart) {
  SaveSettings([](Settings& s) { s.DemuxMode = 2; });
  Start();
  EXPECT_EQ(hl::control(dialog_, res::kDemuxList)->control.selection, 2);
  EXPECT_FALSE(Enabled(res::kOutputPath));
  EXPECT_FALSE(Enabled(res::kBrowseOutput));
  hl::choose(dialog_, res::kDemuxList, 1);
  EXPECT_EQ(app_->state().settings.DemuxMode, 1);
  EXPECT_TRUE(Enabled(res::kOutputPath) && Enabled(res::kBrowseOutput));
  hl::choose(dialog_, res::kDemuxList, 2);
  EXPECT_FALSE(Enabled(res::kOutputPath) || Enabled(res::kBrowseOutput));
}

TEST_F(MainWindow, DamagedListValuesAreKeptWithinTheirLists) {
  SaveSettings([](Settings& s) {
    s.DemuxMode = 7;
    s.programmeList.count = 100000;
  });
  Start();
  EXPECT_EQ(hl::control(dialog_, res::kProgrammeList)->control.items.size(), 256u);
  EXPECT_EQ(hl::control(dialog_, res::kDemuxList)->control.selection, 0);
  EXPECT_EQ(app_->state().settings.DemuxMode, 0);
  EXPECT_TRUE(Enabled(res::kOutputPath));
}

TEST_F(MainWindow, ScrollBarStartsAtTheEditedPosition) {
  std::string input = dir_.Write("in.ts", tsb::Bytes(188 * 100, 0x47));
  SaveSettings([&](Settings& s) {
    strcpy(s.loadedInputPath, input.c_str());
    s.activePoint = 1;
    s.endPacket = 50;
  });
  Start();
  // trunc(629 * 50 * 188 / 18800)
  EXPECT_EQ(hl::control(dialog_, res::kPositionBar)->control.scrollPos, 314);
}

TEST_F(MainWindow, ClosingSavesTheFieldsAndDeletesTheWorkFiles) {
  for (int n = 1; n <= 10; ++n) dir_.Write("PRG" + std::to_string(n) + ".TS", tsb::Bytes{0x47});
  dir_.Write("DEMUX.tmp", tsb::Bytes{'M'});
  dir_.Write("DEMUX.cfg", tsb::Bytes{'M'});
  Start();
  hl::type_text(dialog_, res::kInputPath, "/録画/入力.ts");
  hl::type_text(dialog_, res::kOutputPath, "/出力/切り出し.ts");
  hl::type_text(dialog_, res::kPlaySeconds, "1000");
  hl::menu_command(frame_, res::kMenuExit);
  EXPECT_TRUE(hl::quit_requested());
  EXPECT_EQ(app_->frame().handle(), 0u);
  tsb::Bytes b = tsb::ReadFile(settingsPath_);
  ASSERT_EQ(b.size(), 3462u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 14), "KERFCUT0120HST");
  Settings s;
  memcpy(&s, b.data() + 18, sizeof s);
  EXPECT_STREQ(s.inputPathText, "/録画/入力.ts");
  EXPECT_STREQ(s.outputPath, "/出力/切り出し.ts");
  EXPECT_EQ(s.playSeconds, 600);
  for (int n = 1; n <= 10; ++n) EXPECT_FALSE(Exists(dir_.File("PRG" + std::to_string(n) + ".TS"))) << n;
  EXPECT_FALSE(Exists(dir_.File("DEMUX.tmp")));
  EXPECT_TRUE(Exists(dir_.File("DEMUX.cfg")));  // the user's file stays
}

TEST_F(MainWindow, PlayingTimeIsLimitedWhenClosing) {
  const std::pair<const char*, int> cases[] = {{"0", 1}, {"abc", 1}, {"-5", 1}, {"600", 600}, {"7", 7}};
  for (auto [text, want] : cases) {
    hl::reset();
    Start();
    hl::type_text(dialog_, res::kPlaySeconds, text);
    hl::click(dialog_, res::kExit);
    EXPECT_EQ(app_->state().settings.playSeconds, want) << text;
    app_.reset();
  }
}

// Neither the program folder nor the settings file can be written (a read-only mount over one
// or the other): kerfcut starts with what the file holds, the window closes when asked, and the
// file stays as it was, whatever the session changed; without a file the defaults serve.
TEST_F(MainWindow, ReadOnlySettingsFolderOrFileLosesNothing) {
  SaveSettings([](Settings& s) {
    s.playSeconds = 42;
    strcpy(s.outputPath, "/kept/out.ts");
  });
  const tsb::Bytes saved = tsb::ReadFile(settingsPath_);
  for (const std::string& locked : {dir_.path(), settingsPath_}) {
    tsb::TestMount readOnly = tsb::TestMount::ReadOnly(locked);
    if (!readOnly.ok()) GTEST_SKIP() << "cannot make " << locked << " read-only: " << readOnly.why();
    hl::reset();
    Start();
    EXPECT_EQ(Text(res::kPlaySeconds), "42") << locked;
    EXPECT_EQ(Text(res::kOutputPath), "/kept/out.ts") << locked;
    hl::type_text(dialog_, res::kOutputPath, "/new/out.ts");
    hl::menu_command(frame_, res::kMenuExit);
    EXPECT_TRUE(hl::quit_requested()) << locked;
    EXPECT_EQ(app_->frame().handle(), 0u) << locked;
    app_.reset();
    EXPECT_EQ(tsb::ReadFile(settingsPath_), saved) << locked;
  }
  std::remove(settingsPath_.c_str());
  tsb::TestMount readOnly = tsb::TestMount::ReadOnly(dir_.path());
  hl::reset();
  Start();
  EXPECT_EQ(Text(res::kPlaySeconds), "5");
  hl::close_window(frame_);
  EXPECT_TRUE(hl::quit_requested());
  EXPECT_FALSE(Exists(settingsPath_));
}

TEST_F(MainWindow, NothingClosesWhileAJobRuns) {
  Start();
  app_->state().job.jobRunning = 1;
  hl::menu_command(frame_, res::kMenuExit);
  hl::click(dialog_, res::kExit);
  hl::close_window(frame_);
  EXPECT_NE(app_->frame().handle(), 0u);
  EXPECT_FALSE(hl::quit_requested());
  EXPECT_FALSE(Exists(settingsPath_));
  app_->state().job.jobRunning = 0;
  hl::close_window(frame_);
  EXPECT_TRUE(hl::quit_requested());
  EXPECT_TRUE(Exists(settingsPath_));
}

TEST_F(MainWindow, ShortSettingsFileIsDeletedAtStartAndAWholeOneWrittenAtExit) {
  SaveSettings([](Settings& s) { strcpy(s.outputPath, "/kept/out.ts"); });
  tsb::Bytes b = tsb::ReadFile(settingsPath_);
  b.pop_back();
  tsb::WriteFile(settingsPath_, b);
  Start();
  EXPECT_FALSE(Exists(settingsPath_));
  EXPECT_EQ(Text(res::kOutputPath), "/kept/out.ts");  // read before the end was reached
  hl::click(dialog_, res::kExit);
  EXPECT_EQ(tsb::ReadFile(settingsPath_).size(), 3462u);
}

TEST_F(MainWindow, SettingsOfAnotherVersionAreDeletedAtStart) {
  SaveSettings([](Settings& s) { s.bitrate = 1000000; }, "KERFCUT0121HST");
  Start();
  EXPECT_FALSE(Exists(settingsPath_));
  EXPECT_EQ(Text(res::kBitrate), "16.500000");
}

TEST_F(MainWindow, LowerCaseExeGetsItsDatFileBesideIt) {
  programPath_ = dir_.File("kerfcut.exe");
  Start();
  hl::click(dialog_, res::kExit);
  EXPECT_TRUE(Exists(dir_.File("kerfcut.DAT")));
  EXPECT_TRUE(Exists(dir_.File("kerfcut.DAT")) && !Exists(dir_.File("kerfcut.exe")));
}

TEST_F(MainWindow, RelativeInputPathShowsTheFullPathMessage) {
  Start();
  hl::type_text(dialog_, res::kInputPath, "INPUT.ts");
  hl::click(dialog_, res::kUpdateInput);
  ASSERT_EQ(hl::message_boxes().size(), 1u);
  const hl::MessageBoxRecord& box = hl::message_boxes()[0];
  EXPECT_EQ(box.text, "入力元TSファイル名はフルパス（例：C:\\INPUT_TS\\ORG.ts）で指定してください.");
  EXPECT_EQ(box.caption, "エラー");
  EXPECT_EQ(box.kind, ui::BoxKind::Error);
  EXPECT_EQ(box.owner, dialog_);
  EXPECT_STREQ(app_->state().settings.inputPathText, "INPUT.ts");
  EXPECT_STREQ(app_->state().settings.loadedInputPath, "");

  // A full path is loaded; a missing file is measured without a box of its own, and the
  // programme analysis of the load names it.
  hl::type_text(dialog_, res::kInputPath, "/rec/in.ts");
  hl::click(dialog_, res::kUpdateInput);
  EXPECT_STREQ(app_->state().settings.loadedInputPath, "/rec/in.ts");
  ASSERT_EQ(hl::message_boxes().size(), 2u);
  EXPECT_EQ(hl::message_boxes()[1].text, "/rec/in.tsが開けません.");
}

TEST_F(MainWindow, CommandsDoNothingWhileAJobRunsExceptHelp) {
  Start();
  app_->state().job.jobRunning = 1;
  hl::type_text(dialog_, res::kInputPath, "INPUT.ts");
  hl::click(dialog_, res::kUpdateInput);
  hl::choose(dialog_, res::kDemuxList, 2);
  hl::menu_command(frame_, res::kMenuAbout);
  EXPECT_TRUE(hl::message_boxes().empty());
  EXPECT_STRNE(app_->state().settings.inputPathText, "INPUT.ts");
  EXPECT_EQ(app_->state().settings.DemuxMode, 0);
  EXPECT_EQ(hl::find_dialog(res::kAboutDialog), 0u);

  hl::click(dialog_, res::kHelp);
  hl::menu_command(frame_, res::kMenuHelp);
  EXPECT_EQ(hl::shell_opened(), (std::vector<std::string>{dir_.File("README.HTM"), dir_.File("README.HTM")}));
}

TEST_F(MainWindow, ChoosingAProgrammeRefreshesThePreviewWithoutMovingPositions) {
  SaveSettings([](Settings& s) {
    s.programmeList.count = 2;
    s.programmeList.ordinal[0] = 1;
    s.programmeList.ordinal[1] = 2;
    s.startPacket = 10;
  });
  Start();
  hl::choose(dialog_, res::kProgrammeList, 1);
  EXPECT_EQ(app_->state().settings.programmeIndex, 1);
  EXPECT_EQ(refreshes_, 1);
  EXPECT_EQ(Text(res::kStartPacket), "0000000A");
}

TEST_F(MainWindow, ProgressMessagesFromAnotherProcessAreStored) {
  Start();
  ASSERT_NE(post_message(uint32_t(frame_), progress_message(), 1, 42), 0);
  EXPECT_GT(hl::pump(1000), 0);
  EXPECT_EQ(app_->state().job.toolState, 1);
  EXPECT_EQ(app_->state().job.toolProgress, 42);
  post_message(uint32_t(frame_), progress_message(), 2, 100);
  hl::pump(1000);
  EXPECT_EQ(app_->state().job.toolState, 2);
  EXPECT_EQ(app_->state().job.toolProgress, 100);
}

TEST_F(MainWindow, RealDemuxToolReportsProgressAndCompletionToTheFrame) {
  const char* build = getenv("KERF_BUILD_DIR");
  std::string tool = build != nullptr ? std::string(build) + "/bin/kerfdmx" : "";
  if (tool.empty() || access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << "kerfdmx not built here";
  // The tool finds its lock file beside its own executable, so it runs from the program folder.
  std::string copy = dir_.File("kerfdmx");
  tsb::WriteFile(copy, tsb::ReadFile(tool));
  ASSERT_EQ(chmod(copy.c_str(), 0755), 0);
  dir_.Write("lockfile", tsb::Bytes{'\n'});
  tsb::Bytes packets;
  for (int i = 0; i < 500; ++i) {
    tsb::Bytes p(188, 0xFF);
    p[0] = 0x47;
    p[1] = 0x1F;
    p[2] = 0xFF;
    p[3] = 0x10;
    packets.insert(packets.end(), p.begin(), p.end());
  }
  std::string input = dir_.Write("in.ts", packets);
  Start();
  char command[1024];
  snprintf(command, sizeof command, "\"%s\" \"%s\" -h:%X -s:0 -e:1F3", copy.c_str(), input.c_str(),
           unsigned(frame_));
  ASSERT_TRUE(start_process(command, true));
  int progressSeen = 0;
  for (int i = 0; i < 200 && app_->state().job.toolState != 2; ++i) {
    hl::pump(50);
    if (app_->state().job.toolState == 1) progressSeen = 1;
  }
  EXPECT_EQ(app_->state().job.toolState, 2);
  EXPECT_EQ(app_->state().job.toolProgress, 0);
  EXPECT_EQ(progressSeen, 1);
}
