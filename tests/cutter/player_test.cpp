// Play clips with the real kerfdmx, the player's start recorded instead of made: both command
// lines, the four ranges, the playing time and its window, a cancel, no player without a clip of
// this run; the player settings and options dialogs.
#include <cstdio>
#include <filesystem>

#include "cutter/tool_run.h"
#include "platform/process.h"
#include "resources/ids.h"
#include "tests/cutter/cutter_flow.h"

namespace flow {
namespace {

namespace hl = ui::headless;
using Strings = std::vector<std::string>;

class Player : public CutterFlow {
 protected:
  void SetUp() override {
    CutterFlow::SetUp();
    set_watched_start_observer([this](const char* line) { tools_.push_back(line); });
    set_start_process_handler([this](const char* line, bool hidden) {
      players_.push_back(line);
      hiddenPlayer_ = hiddenPlayer_ || hidden;
      return true;
    });
    dialog().refreshPreview = [this](MyDialog&) { ++refreshes_; };
  }
  void TearDown() override {
    set_watched_start_observer(nullptr);
    set_start_process_handler(nullptr);
    hl::set_modal_hook(nullptr);
    CutterFlow::TearDown();
  }
  // kerfcut started afresh from another program folder (ending in '/') holding kerfdmx.
  void Restart(const std::string& folder) {
    std::filesystem::create_directories(folder);
    install_kerfdmx(folder + "kerfdmx");
    app_.reset();
    hl::reset();
    app_ = std::make_unique<TMyApp>((folder + "kerfcut.exe").c_str(), "/");
    ASSERT_TRUE(app_->Start());
    dialog_ = app_->dialog().handle();
  }
  std::string ToolLine(const std::string& folder, const std::string& input, int32_t from, int32_t to) {
    char options[96];
    std::snprintf(options, sizeof options, " -h:%X -s:%X -e:%X -d:DEMUX.txt", unsigned(tool_window(dialog())),
                  unsigned(from), unsigned(to));
    return "\"" + folder + "kerfdmx\" \"" + input + "\"" + options;
  }
  // The -s: and -e: of the last tool line.
  std::pair<int32_t, int32_t> LastRange() const {
    unsigned from = 0, to = 0;
    const std::string& l = tools_.back();
    std::sscanf(l.c_str() + l.find(" -s:"), " -s:%X -e:%X", &from, &to);
    return {int32_t(from), int32_t(to)};
  }
  // Runs the dialog a button opens with act, which drives it once it is set up.
  void OpenWith(int button, int templateId, std::function<void(ui::Handle)> act) {
    hl::set_modal_hook([&](ui::Dialog& d) {
      if (d.templateId() == templateId) act(d.handle());
    });
    Click(button);
    hl::set_modal_hook(nullptr);
  }
  static int Check(ui::Handle h, int id) { return hl::control(h, id)->control.check; }
  static std::string Text(ui::Handle h, int id) { return hl::control(h, id)->text; }

  Strings tools_, players_;
  bool hiddenPlayer_ = false;
  int refreshes_ = 0;
};

TEST_F(Player, BothCommandLinesAndTheClipOfTheSelectedProgramme) {
  Loaded(input_, 1000, 17000);
  ASSERT_EQ(dialog().AnalyseProgrammes(), kRunDone);
  Choose(res::kProgrammeList, 1);
  tools_.clear();
  Click(res::kPlayAfterStart);  // 5 s from 1000 ms, one packet a millisecond
  EXPECT_TRUE(NewBoxes().empty());
  const std::string folder = Prog("");
  EXPECT_EQ(tools_, Strings{ToolLine(folder, input_, 1000, 5999)});
  EXPECT_EQ(players_, Strings{"\"/Program Files/VideoLAN/VLC/VLC.EXE\" --play-and-stop \"" + folder + "PRG2.ts\""});
  EXPECT_FALSE(hiddenPlayer_);
  EXPECT_EQ(job().jobRunning, 0);
  const tsb::Bytes clip = tsb::ReadFile(Prog("PRG2.TS"));
  ASSERT_EQ(RunToolDirectly("-s:3E8 -e:176F -d:DEMUX.txt"), 0);
  EXPECT_GT(clip.size(), 100 * kPacket);
  EXPECT_TRUE(clip == tsb::ReadFile(Prog("PRG2.TS")));

  // Without options, and with blanks in every path.
  const std::string blanks = Prog("my programs/");
  Restart(blanks);
  const std::string input = data_.Write("my recording.ts", recording());
  std::snprintf(settings().playerPath, kSettingsText, "/opt/a player/play.exe");
  settings().playerOptionsEnabled = 0;
  Loaded(input, 0, 0);
  ASSERT_EQ(dialog().AnalyseProgrammes(), kRunDone);
  Choose(res::kProgrammeList, 2);
  tools_.clear();
  players_.clear();
  Click(res::kPlayAfterStart);
  EXPECT_EQ(tools_, Strings{ToolLine(blanks, input, 0, 4999)});
  EXPECT_EQ(players_, Strings{"\"/opt/a player/play.exe\" \"" + blanks + "PRG3.ts\""});
}

TEST_F(Player, ClipRangesBeforeAndAfterEachPoint) {
  Loaded(input_, 2000, 17000);  // the end 3 s before the total
  ASSERT_EQ(dialog().AnalyseProgrammes(), kRunDone);
  const struct {
    int button;
    int32_t from, to;
  } cases[] = {
      {res::kPlayBeforeStart, 0, 2000},    // starts at time 0, not 3 s before it
      {res::kPlayAfterStart, 2000, 6999},
      {res::kPlayBeforeEnd, 12000, 17000},
      {res::kPlayAfterEnd, 17000, 20000},  // ends at the total time
  };
  for (const auto& c : cases) {
    Click(c.button);
    EXPECT_EQ(LastRange(), std::make_pair(c.from, c.to)) << c.button;
  }
  Type(res::kEndTime, "00:00:20.000");
  Click(res::kPlayAfterEnd);  // at the file's end: the packet count
  EXPECT_EQ(LastRange(), std::make_pair(20000, 20000));
  EXPECT_EQ(players_.size(), 5u);
  EXPECT_TRUE(NewBoxes().empty());
}

// 0 and text in the field: CutterAtWork.PlayButtonsAskForTheClipAroundAPosition.
TEST_F(Player, PlayingTimeIsLimitedAndOnlyLongClipsShowTheWindow) {
  Loaded(input_, 0, 100);
  ASSERT_EQ(dialog().AnalyseProgrammes(), kRunDone);
  const struct {
    const char *typed, *kept;
    bool window;
  } cases[] = {{"-5", "1", false}, {"30", "30", false}, {"31", "31", true}, {"1000", "600", true}};
  for (const auto& c : cases) {
    std::string caption;
    hl::set_pump_hook([&] {
      if (ui::Handle h = hl::find_dialog(res::kProgressDialog)) caption = hl::find(h)->text;
    });
    Type(res::kPlaySeconds, c.typed);
    Click(res::kPlayAfterStart);
    hl::set_pump_hook(nullptr);
    EXPECT_EQ(Text(dialog_, res::kPlaySeconds), c.kept) << c.typed;
    EXPECT_EQ(caption, c.window ? "表示データ作成中" : "") << c.typed;
  }
  EXPECT_EQ(settings().playSeconds, 600);
  EXPECT_EQ(players_.size(), 4u);
}

// The recording comes through a FIFO held back until the lock file is gone, so the progress
// window of a long clip is closed in the middle of the run.
TEST_F(Player, ClosingTheProgressWindowStartsNoPlayer) {
  Loaded(input_, 0, 0);
  ASSERT_EQ(dialog().AnalyseProgrammes(), kRunDone);
  const tsb::Bytes& all = recording();
  const size_t head = 6000 * kPacket;
  auto feed = GatedFifo::Feeding(Data("slow.ts"), Prog("lockfile"), tsb::Bytes(all.begin(), all.begin() + head),
                                 tsb::Bytes(all.begin() + head, all.end()));
  Loaded(Data("slow.ts"), 0, 0);
  Type(res::kPlaySeconds, "60");
  hl::set_pump_hook([&] {
    const ui::Handle progress = hl::find_dialog(res::kProgressDialog);
    if (progress != 0 && job().toolState == 1 && job().toolProgress >= 1) hl::close_window(progress);
  });
  Click(res::kPlayAfterStart);
  hl::set_pump_hook(nullptr);
  EXPECT_EQ(NewBoxes(), Strings{"処理を中止しました."});
  EXPECT_EQ(LastBox().kind, ui::BoxKind::Information);
  EXPECT_TRUE(players_.empty());
  EXPECT_EQ(job().jobRunning, 0);
  EXPECT_TRUE(AwaitCompletion());
  feed.reset();
}

// An old clip is never played as the new one: when the run writes none, the tool's failure or the
// missing clip is shown, and the old clip is gone. Short clips wait without a window, for the
// process, so a tool that never reports does not hold the program.
TEST_F(Player, NoPlayerWithoutAClipOfThisRun) {
  Loaded(input_, 0, 100);
  const struct {
    const char* what;
    std::function<void()> arrange;
    std::string box;
    const char* oldClip;
  } cases[] = {
      {"DEMUX.txt missing", [&] { std::filesystem::remove(Prog("DEMUX.txt")); },
       "kerfdmx の処理が完了しませんでした（終了コード 6）.\n\nDEMUX情報ファイルが開けません.", "PRG2.TS"},
      {"no programme list", [&] { settings().programmeList.count = 0; },
       "再生用ファイル " + Prog("PRG0.ts") + " が作成されませんでした.", "prg0.ts"},
      {"a tool that writes nothing", [&] { tsb::WriteFile(Prog("kerfdmx"), tsb::bytes_of("#!/bin/sh\nsleep 0.3\n")); },
       "再生用ファイル " + Prog("PRG2.ts") + " が作成されませんでした.", "PRG2.TS"},
      {"a tool that fails", [&] { tsb::WriteFile(Prog("kerfdmx"), tsb::bytes_of("#!/bin/sh\nexit 9\n")); },
       "kerfdmx が異常終了しました（終了コード 9）.", "PRG2.TS"},
      {"no tool", [&] { std::filesystem::remove(Prog("kerfdmx")); }, Prog("kerfdmx") + " を起動できません.", "PRG2.TS"},
  };
  for (const auto& c : cases) {
    install_kerfdmx(Prog("kerfdmx"));
    ASSERT_EQ(dialog().AnalyseProgrammes(), kRunDone);
    Choose(res::kProgrammeList, 1);
    tsb::WriteFile(Prog(c.oldClip), tsb::bytes_of("an earlier clip"));
    c.arrange();
    Click(res::kPlayAfterStart);
    EXPECT_EQ(NewBoxes(), Strings{c.box}) << c.what;
    EXPECT_EQ(LastBox().kind, ui::BoxKind::Error) << c.what;
    EXPECT_TRUE(players_.empty()) << c.what;
    EXPECT_EQ(job().jobRunning, 0) << c.what;
    EXPECT_FALSE(std::filesystem::exists(Prog(c.oldClip))) << c.what;
  }
}

TEST_F(Player, PlayerSettingsDialog) {
  const std::string exe = data_.Write("player.exe", tsb::Bytes{1});
  data_.Write("notes.txt", tsb::Bytes{1});
  std::snprintf(settings().playerPath, kSettingsText, "%s", Data("old.exe").c_str());
  settings().previewEnabled = 0;
  OpenWith(res::kPlayerSettings, res::kViewerDialog, [&](ui::Handle h) {
    EXPECT_EQ(hl::find(h)->text, "再生環境設定");
    EXPECT_EQ(Text(h, res::kViewerPlayerPath), Data("old.exe"));
    EXPECT_EQ(Text(h, res::kViewerOptions), "--play-and-stop");
    EXPECT_EQ(Check(h, res::kViewerOptionsEnabled), 1);
    EXPECT_EQ(Check(h, res::kViewerPreviewEnabled), 0);
    hl::click(h, res::kViewerOptionsEnabled);
    EXPECT_FALSE(hl::control(h, res::kViewerOptions)->enabled);
    hl::click(h, res::kViewerPreviewEnabled);
    // A player that does not exist keeps the dialog open.
    hl::click(h, ui::kIdOk);
    EXPECT_EQ(NewBoxes(), Strings{"指定したTS再生プログラムは存在しません."});
    EXPECT_EQ(LastBox().owner, h);
    EXPECT_FALSE(hl::find(h)->ended);
    // The chooser starts from the stored path, not the typed one, lists programs only and offers
    // no new file.
    hl::type_text(h, res::kViewerPlayerPath, "/elsewhere/typed.exe");
    hl::set_modal_hook([&](ui::Dialog& d) {
      if (d.templateId() != res::kFileSelectDialog) return;
      EXPECT_EQ(hl::find(d.handle())->text, "TS再生プログラム選択");
      EXPECT_EQ(Text(d.handle(), res::kChooserFolderText), data_.path() + "/");
      EXPECT_EQ(hl::control(d.handle(), res::kChooserFiles)->control.items, Strings{"player.exe"});
      EXPECT_FALSE(hl::control(d.handle(), res::kChooserNewFile)->visible);
      hl::click(d.handle(), ui::kIdOk);
    });
    hl::click(h, res::kViewerBrowse);
    EXPECT_EQ(Text(h, res::kViewerPlayerPath), exe);
    hl::type_text(h, res::kViewerOptions, "--fullscreen");
    hl::click(h, ui::kIdOk);
  });
  EXPECT_STREQ(settings().playerPath, exe.c_str());
  EXPECT_STREQ(settings().playerOptions, "--fullscreen");
  EXPECT_EQ(settings().playerOptionsEnabled, 0);
  EXPECT_EQ(settings().previewEnabled, 1);
  EXPECT_EQ(refreshes_, 1);

  // A folder passes the existence test; cancelling keeps everything.
  OpenWith(res::kPlayerSettings, res::kViewerDialog, [&](ui::Handle h) {
    hl::type_text(h, res::kViewerPlayerPath, data_.path().c_str());
    hl::click(h, ui::kIdOk);
  });
  EXPECT_STREQ(settings().playerPath, data_.path().c_str());
  OpenWith(res::kPlayerSettings, res::kViewerDialog, [&](ui::Handle h) {
    hl::type_text(h, res::kViewerPlayerPath, exe.c_str());
    hl::click(h, res::kViewerOptionsEnabled);
    hl::click(h, ui::kIdCancel);
  });
  EXPECT_STREQ(settings().playerPath, data_.path().c_str());
  EXPECT_EQ(settings().playerOptionsEnabled, 0);
  EXPECT_EQ(refreshes_, 2);
  EXPECT_TRUE(NewBoxes().empty());
}

TEST_F(Player, OptionsDialog) {
  settings().totalTimeMethod = 7;  // outside 0 to 2: shown as [3], saved as 2
  OpenWith(res::kOptions, res::kOptionDialog, [&](ui::Handle h) {
    EXPECT_EQ(hl::find(h)->text, "オプション設定");
    EXPECT_EQ((std::vector<int>{Check(h, 102), Check(h, 103), Check(h, 104), Check(h, 101)}),
              (std::vector<int>{0, 0, 1, 0}));
    hl::click(h, ui::kIdOk);
  });
  EXPECT_EQ(settings().totalTimeMethod, 2);
  EXPECT_EQ(settings().stopDecodeOnError, 0);

  settings().totalTimeMethod = 0;
  settings().stopDecodeOnError = 1;
  for (int button : {ui::kIdCancel, ui::kIdOk}) {
    OpenWith(res::kOptions, res::kOptionDialog, [&](ui::Handle h) {
      EXPECT_EQ(Check(h, res::kOptionFirstLastPcr), 1);
      EXPECT_EQ(Check(h, res::kOptionStopOnError), 1);
      hl::click(h, res::kOptionHeadPcrs);  // the group keeps one check
      hl::click(h, res::kOptionStopOnError);
      EXPECT_EQ(Check(h, res::kOptionFirstLastPcr) + Check(h, res::kOptionAutomatic), 0);
      hl::click(h, button);
    });
    EXPECT_EQ(settings().totalTimeMethod, button == ui::kIdOk ? 1 : 0);
    EXPECT_EQ(settings().stopDecodeOnError, button == ui::kIdOk ? 0 : 1);
  }

  // While a run is in progress neither dialog opens, nor does a clip play.
  job().jobRunning = 1;
  bool opened = false;
  hl::set_modal_hook([&](ui::Dialog&) { opened = true; });
  for (int id : {res::kOptions, res::kPlayerSettings, res::kPlayAfterStart}) Click(id);
  EXPECT_FALSE(opened);
  EXPECT_TRUE(tools_.empty());
}

}  // namespace
}  // namespace flow
