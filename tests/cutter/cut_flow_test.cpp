// The cut from button 130 to its outcome box, with the real kerfdmx started over the POSIX link:
// the outputs and control files of modes 0, 1 and 2, every refusal with its message, the input
// never overwritten, the progress window and its bar, a cancel, and honest failures.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cutter/progress_dialog.h"
#include "cutter/tool_run.h"
#include "resources/ids.h"
#include "tests/cutter/cutter_flow.h"
#include "tests/support/test_mounts.h"

namespace flow {
namespace {

namespace hl = ui::headless;
using Strings = std::vector<std::string>;

constexpr const char* kDone = "正常終了しました.";
constexpr const char* kStopped = "処理を中止しました.";

using CutFlow = CutterFlow;

TEST_F(CutFlow, Mode0CopiesTheRangeWithItsEndPacketIntoNewFolders) {
  Loaded(input_, 123, 4567);
  const std::string out = Data("a/b/c/cut.ts");
  Type(res::kOutputPath, out);
  Click(res::kExecuteCut);
  EXPECT_EQ(NewBoxes(), Strings{kDone});
  EXPECT_EQ(LastBox().kind, ui::BoxKind::Information);
  EXPECT_EQ(LastBox().owner, dialog_);
  const Settings& s = settings();
  EXPECT_TRUE(tsb::ReadFile(out) == packets(recording(), s.startPacket, s.endPacket));
  EXPECT_EQ(text_of(tsb::ReadFile(Prog("DEMUX.tmp"))), "MODE=ALL\r\nNAME=" + out + "\r\n");
  EXPECT_FALSE(std::filesystem::exists(Prog("lockfile")));
  EXPECT_EQ(job().jobRunning, 0);
  EXPECT_EQ(hl::find_dialog(res::kProgressDialog), 0u);
  EXPECT_EQ(hl::current_cursor(), app_->state().arrowCursor);

  // A start equal to the end is one packet.
  Loaded(input_, 777, 777);
  Type(res::kOutputPath, Data("one.ts"));
  Click(res::kExecuteCut);
  EXPECT_EQ(NewBoxes(), Strings{kDone});
  EXPECT_EQ(tsb::ReadFile(Data("one.ts")), packets(recording(), 777, 777));
}

TEST_F(CutFlow, Mode1CutsTheChosenProgrammeAsKerfdmxWritesIt) {
  Loaded(input_, 1000, 8999);
  ASSERT_EQ(dialog().AnalyseProgrammes(), kRunDone);
  ASSERT_EQ(Items(res::kProgrammeList), (Strings{"PRG1,VPID=0111", "PRG2,VPID=0121", "PRG3,VPID=0131"}));
  Choose(res::kProgrammeList, 1);
  Choose(res::kDemuxList, 1);
  const std::string out = Data("second.ts");
  Type(res::kOutputPath, out);
  Click(res::kExecuteCut);
  EXPECT_EQ(NewBoxes(), Strings{kDone});

  const std::string control = text_of(tsb::ReadFile(Prog("DEMUX.tmp")));
  EXPECT_EQ(control.rfind("MODE=DEMUX\r\n\r\nNAME=" + out + "\r\nSERVICE_ID=0401\r\nPID=0000,PAT\r\n", 0), 0u)
      << control;
  EXPECT_NE(control.find("PID=0121,V\r\n"), std::string::npos) << control;
  EXPECT_EQ(control.find("0402"), std::string::npos) << control;   // nothing of the third block
  EXPECT_EQ(control.find("//"), std::string::npos) << control;

  // kerfdmx itself, given the whole DEMUX.txt over the same range, writes PRG2.TS.
  const Settings& s = settings();
  char range[64];
  std::snprintf(range, sizeof range, "-s:%X -e:%X -d:DEMUX.txt", unsigned(s.startPacket), unsigned(s.endPacket));
  ASSERT_EQ(RunToolDirectly(range), 0);
  const tsb::Bytes expected = tsb::ReadFile(Prog("PRG2.TS"));
  EXPECT_GT(expected.size(), 1000 * kPacket);
  EXPECT_TRUE(tsb::ReadFile(out) == expected);

  // An empty programme list selects no block: the mode line alone, and an empty cut.
  settings().programmeList.count = 0;
  Type(res::kOutputPath, Data("none.ts"));
  Click(res::kExecuteCut);
  EXPECT_EQ(NewBoxes(), Strings{kDone});
  EXPECT_EQ(text_of(tsb::ReadFile(Prog("DEMUX.tmp"))), "MODE=DEMUX\r\n\r\n");
}

// Every refusal before the tool runs: its message in an "エラー" box owned by the main dialog,
// nothing written, and the recording untouched.
TEST_F(CutFlow, EveryRefusalShowsItsMessageAndWritesNothing) {
  namespace fs = std::filesystem;
  fs::create_directories(Data("folder.ts"));
  fs::create_directories(Data("sub"));
  fs::create_hard_link(input_, Data("link.ts"));
  tsb::WriteFile(Data("file"), tsb::Bytes{1});
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string message;
  };
  const std::string other = Data("out.ts");
  const Case cases[] = {
      {"input edited", [&] { Type(res::kInputPath, Data("other.ts")); },
       "入力元TSファイル名を書き替え後、[更新]ボタンが押されていません."},
      {"start after end", [&] { Loaded(input_, 11, 10); },
       "切り出し範囲の指定が 【開始位置≦終了位置】 になっていません."},
      {"input not full", [&] { Loaded("in.ts", 0, 9); },
       "入力元TSファイル名はフルパス（例：C:\\INPUT_TS\\ORG.ts）で指定してください."},
      {"input missing", [&] { Loaded(Data("missing.ts"), 0, 9); }, "入力元TSファイル名が存在しません."},
      {"input is a folder", [&] { Loaded(Data("folder.ts"), 0, 9); }, "入力元TSファイルはフォルダです."},
      {"output not full", [&] { Type(res::kOutputPath, "out.ts"); },
       "出力先TSファイル名はフルパス（例：C:\\OUTPUT_TS\\NEW.ts）で指定してください."},
      {"folder through a file", [&] { Type(res::kOutputPath, Data("file/x/out.ts")); }, "出力先フォルダが作成できません."},
      {"input in other case", [&] { Type(res::kOutputPath, Data("IN.TS")); },
       "入力元TSファイル名と出力先TSファイル名が同じです."},
      {"input through ..", [&] { Type(res::kOutputPath, Data("sub/../in.ts")); },
       "入力元TSファイル名と出力先TSファイル名が同じです."},
      {"input through a hard link", [&] { Type(res::kOutputPath, Data("link.ts")); },
       "入力元TSファイル名と出力先TSファイル名が同じです."},
      {"mode 2, input through a hard link",
       [&] {
         Choose(res::kDemuxList, 2);
         Type(res::kOutputPath, Data("link.ts"));
       },
       "入力元TSファイル名と出力先TSファイル名が同じです."},
      {"output is a folder", [&] { Type(res::kOutputPath, Data("folder.ts")); },
       Data("folder.ts") + " はフォルダです。上書きできません."},
      {"output cannot be deleted",
       [&] {
         hl::answer_next_box(ui::kIdYes);
         Type(res::kOutputPath, "/proc/self/status");
       },
       "/proc/self/status を削除できません."},
      {"DEMUX.tmp cannot be created", [&] { fs::create_directory(Prog("DEMUX.tmp")); },
       "作業ファイル（DEMUX.tmp）が作成できません."},
      {"DEMUX.txt missing in mode 1", [&] { Choose(res::kDemuxList, 1); },
       "番組構成情報ファイル（DEMUX.txt）が見つかりません."},
      {"lock file cannot be created", [&] { fs::create_directory(Prog("lockfile")); },
       "ロックファイルが作成できません."},
  };
  for (const Case& c : cases) {
    Loaded(input_, 0, 9);
    Choose(res::kDemuxList, 0);
    Type(res::kOutputPath, other);
    c.arrange();
    Click(res::kExecuteCut);
    Strings boxes = NewBoxes();
    if (!boxes.empty() && boxes.front().rfind("出力先TSファイル『", 0) == 0) boxes.erase(boxes.begin());
    EXPECT_EQ(boxes, Strings{c.message}) << c.what;
    EXPECT_EQ(LastBox().kind, ui::BoxKind::Error) << c.what;
    EXPECT_EQ(LastBox().caption, "エラー") << c.what;
    EXPECT_FALSE(fs::exists(other)) << c.what;
    EXPECT_EQ(job().jobRunning, 0) << c.what;
    fs::remove(Prog("DEMUX.tmp"));
    fs::remove(Prog("lockfile"));
  }
  EXPECT_TRUE(tsb::ReadFile(input_) == recording());
  EXPECT_FALSE(fs::exists(Prog("DEMUX.tmp")));

  EXPECT_EQ(RunToolAndWait(dialog(), app_->state(), nullptr, nullptr, 1, "x"), kRunFailed);
  EXPECT_EQ(NewBoxes(), Strings{"整合性エラー（コマンド１が未指定です）."});
}

TEST_F(CutFlow, ExistingOutputIsReplacedOnlyAfterYesEvenWhenReadOnly) {
  Loaded(input_, 0, 99);
  const std::string out = Data("old.ts");
  tsb::WriteFile(out, tsb::Bytes{1, 2, 3});
  ASSERT_EQ(chmod(out.c_str(), 0444), 0);
  Type(res::kOutputPath, out);
  Click(res::kExecuteCut);  // the unscripted answer is No
  EXPECT_EQ(NewBoxes(), Strings{"出力先TSファイル『" + out + "』が存在します.\n上書きしてよいですか？"});
  EXPECT_EQ(LastBox().kind, ui::BoxKind::Question);
  EXPECT_EQ(LastBox().caption, "確認");
  EXPECT_EQ(tsb::ReadFile(out), (tsb::Bytes{1, 2, 3}));
  EXPECT_FALSE(std::filesystem::exists(Prog("DEMUX.tmp")));

  hl::answer_next_box(ui::kIdYes);
  Click(res::kExecuteCut);
  EXPECT_EQ(NewBoxes().back(), kDone);
  EXPECT_TRUE(tsb::ReadFile(out) == packets(recording(), 0, 99));
}

// Closing the progress window stops the run: the lock file goes, the tool stops at its next per
// cent and closes its output, which holds whole packets from the start of the range. The tool
// writes into a FIFO that is not read until then, so the run is caught in its middle.
TEST_F(CutFlow, ClosingTheProgressWindowCancelsAndTheBarIsDrawnOnItsClientArea) {
  Loaded(input_, 0, int32_t(kRecordingPackets) - 1);
  const std::string fifo = Data("out.fifo");
  auto drain = GatedFifo::Draining(fifo, Prog("lockfile"));
  tsb::WriteFile(Prog("DEMUX.cfg"), tsb::bytes_of("MODE=ALL\nNAME=" + fifo + "\n"));
  Choose(res::kDemuxList, 2);
  Type(res::kOutputPath, Data("unused.ts"));
  ui::Handle progress = 0;
  ui::Rect placed, expectedPlace, client;
  std::string caption;
  uintptr_t cursor = 0;
  hl::set_pump_hook([&] {
    if (progress == 0 && (progress = hl::find_dialog(res::kProgressDialog)) != 0) {
      placed = hl::find(progress)->rect;
      expectedPlace = centred_on(dialog().GetWindowRect(), placed);
      client = ui::client_rect(progress);
      caption = hl::find(progress)->text;
      cursor = hl::current_cursor();
    }
    if (progress != 0 && job().toolState == 1 && job().toolProgress >= 1 && hl::find(progress) != nullptr) {
      hl::close_window(progress);
    }
  });
  Click(res::kExecuteCut);
  hl::set_pump_hook(nullptr);
  EXPECT_EQ(NewBoxes(), Strings{kStopped});
  EXPECT_EQ(LastBox().kind, ui::BoxKind::Information);
  EXPECT_FALSE(std::filesystem::exists(Prog("lockfile")));
  EXPECT_EQ(caption, "切り出し中");
  EXPECT_EQ(placed, expectedPlace);
  EXPECT_EQ(cursor, app_->state().waitCursor);
  EXPECT_EQ(hl::current_cursor(), app_->state().arrowCursor);

  ASSERT_TRUE(AwaitCompletion());
  const tsb::Bytes out = drain->Received();
  EXPECT_EQ(out.size() % kPacket, 0u);
  EXPECT_GT(out.size(), 0u);
  EXPECT_LT(out.size(), recording().size());
  EXPECT_TRUE(out == packets(recording(), 0, int32_t(out.size() / kPacket) - 1));

  // Each turn drew the black frame, the part done in blue and the rest in white, side by side.
  const ProgressBar empty = progress_bar(client.width(), client.height(), 0, 0);
  int turns = 0, withProgress = 0;
  const auto& drawn = hl::drawn();
  for (size_t i = 0; i + 2 < drawn.size(); ++i) {
    if (drawn[i].window != progress || drawn[i].op != hl::DrawRecord::Op::FrameRect) continue;
    const hl::DrawRecord &frame = drawn[i], &done = drawn[i + 1], &rest = drawn[i + 2];
    ++turns;
    EXPECT_FALSE(frame.inPaint);
    EXPECT_EQ(frame.rect, empty.frame);
    EXPECT_EQ(frame.colour, 0x000000u);
    EXPECT_EQ(done.op, hl::DrawRecord::Op::Rectangle);
    EXPECT_EQ(done.colour, 0x0000FFu);
    EXPECT_EQ(done.penColour, 0x0000FFu);
    EXPECT_EQ(done.penWidth, 1);
    EXPECT_EQ(rest.colour, 0xFFFFFFu);
    EXPECT_EQ(rest.penColour, 0xFFFFFFu);
    EXPECT_EQ(done.rect, (ui::Rect{empty.done.left, empty.done.top, rest.rect.left, empty.done.bottom}));
    EXPECT_EQ(rest.rect, (ui::Rect{done.rect.right, empty.left.top, empty.left.right, empty.left.bottom}));
    if (done.rect.right > empty.done.right) ++withProgress;
  }
  EXPECT_GE(turns, 1);
  EXPECT_GE(withProgress, 1);
}

TEST_F(CutFlow, ProgressBarGeometry) {
  // 246 x 85: left 15, right 231, top 28, bottom 57; the inside is 214 pixels wide.
  const ProgressBar half = progress_bar(246, 85, 1, 50);
  EXPECT_EQ(half.frame, (ui::Rect{15, 28, 231, 57}));
  EXPECT_EQ(half.done, (ui::Rect{16, 29, 123, 56}));
  EXPECT_EQ(half.left, (ui::Rect{123, 29, 230, 56}));
  EXPECT_EQ(progress_bar(246, 85, 1, 1).done.right, 18);     // 2.14 rounds to 2
  EXPECT_EQ(progress_bar(246, 85, 0, 70).done.right, 16);    // nothing reported yet
  EXPECT_EQ(progress_bar(246, 85, 2, 0).done.right, 230);    // finished: full
  EXPECT_EQ(progress_bar(246, 85, 1, 250).done.right, 230);  // never past the frame
}

// The tool's failures reach the user as failures: its own lines in an "エラー" box, never
// "正常終了しました.", whatever completion it posted; a tool that cannot start or that ends
// without a word does not leave the wait hanging.
TEST_F(CutFlow, ToolFailuresAreShownWithTheToolsOwnMessage) {
  Loaded(input_, 0, 99);
  Choose(res::kDemuxList, 2);
  Type(res::kOutputPath, Data("edit.ts"));
  tsb::WriteFile(Data("edit.ts"), tsb::Bytes{7});
  // Mode 2 still asks about the output edit's file, though the outputs come from DEMUX.cfg.
  hl::answer_next_box(ui::kIdYes);
  tsb::WriteFile(Prog("DEMUX.cfg"), tsb::bytes_of("MODE=ALL\nNAME=/dev/full\n"));
  Click(res::kExecuteCut);
  Strings boxes = NewBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(Data("edit.ts")));
  EXPECT_EQ(boxes[1].rfind("kerfdmx の処理が完了しませんでした（終了コード 4）.\n\n", 0), 0u) << boxes[1];
  EXPECT_NE(boxes[1].find("DEMUX用のファイルの書き込みでエラーが発生しました."), std::string::npos);
  EXPECT_EQ(LastBox().kind, ui::BoxKind::Error);

  std::filesystem::remove(Prog("DEMUX.cfg"));
  Click(res::kExecuteCut);
  EXPECT_EQ(NewBoxes(), Strings{"kerfdmx の処理が完了しませんでした（終了コード 6）.\n\nDEMUX情報ファイルが開けません."});

  // A program that ends without posting anything.
  tsb::WriteFile(Prog("kerfdmx"), tsb::bytes_of("#!/bin/sh\nexit 9\n"));
  Click(res::kExecuteCut);
  EXPECT_EQ(NewBoxes(), Strings{"kerfdmx が異常終了しました（終了コード 9）."});
  const std::string line = "\"" + Prog("kerfdmx") + "\" x";
  EXPECT_EQ(RunToolAndWait(dialog(), app_->state(), line.c_str(), nullptr, 0, ""), kRunFailed);
  NewBoxes();

  std::filesystem::remove(Prog("kerfdmx"));
  Click(res::kExecuteCut);
  EXPECT_EQ(NewBoxes(), Strings{Prog("kerfdmx") + " を起動できません."});
  EXPECT_FALSE(std::filesystem::exists(Prog("lockfile")));
  EXPECT_EQ(job().jobRunning, 0);
  for (const auto& box : hl::message_boxes()) EXPECT_NE(box.text, kDone);
}

// A recording nobody can write (a read-only mount over it): the real load (the programme
// analysis by kerfdmx and the measurement) and a cut in every mode read it as usual and leave it
// as it was.
TEST_F(CutFlow, ReadOnlyRecordingIsLoadedAndCutInEveryMode) {
  tsb::TestMount readOnly = tsb::TestMount::ReadOnly(input_);
  if (!readOnly.ok()) GTEST_SKIP() << "the recording cannot be made read-only: " << readOnly.why();
  Type(res::kInputPath, input_);
  Click(res::kUpdateInput);
  ASSERT_EQ(Items(res::kProgrammeList).size(), 3u);
  EXPECT_TRUE(NewBoxes().empty());
  Loaded(input_, 1000, 8999);
  tsb::WriteFile(Prog("DEMUX.cfg"), tsb::bytes_of("NAME=" + Data("cfg.ts") + "\nSERVICE_ID=0402\nPID=0000\nPID=0131\n"));
  for (int mode = 0; mode <= 2; ++mode) {
    const std::string out = Data("mode" + std::to_string(mode) + ".ts");
    Choose(res::kProgrammeList, 1);
    Choose(res::kDemuxList, mode);
    Type(res::kOutputPath, out);
    Click(res::kExecuteCut);
    EXPECT_EQ(NewBoxes(), Strings{kDone}) << mode;
    EXPECT_TRUE(tsb::ReadFile(input_) == recording()) << mode;
  }
  EXPECT_TRUE(tsb::ReadFile(Data("mode0.ts")) == packets(recording(), 1000, 8999));
  EXPECT_GT(tsb::ReadFile(Data("mode1.ts")).size(), 1000 * kPacket);
  EXPECT_GT(tsb::ReadFile(Data("cfg.ts")).size(), 1000 * kPacket);
}

// A DEMUX.cfg whose output is the recording under another name: the tool refuses it before it
// creates anything, and its line reaches the user in the error box.
TEST_F(CutFlow, DemuxCfgNamingTheRecordingIsRefusedByTheTool) {
  std::filesystem::create_directory(Data("sub"));
  const std::string spelling = Data("sub/../in.ts");
  tsb::WriteFile(Prog("DEMUX.cfg"), tsb::bytes_of("MODE=DEMUX\nNAME=" + Data("fresh.ts") + "\nPID=0000\nNAME=" +
                                                  spelling + "\nPID=0111\n"));
  Loaded(input_, 0, 999);
  Choose(res::kDemuxList, 2);
  Type(res::kOutputPath, Data("edit.ts"));
  Click(res::kExecuteCut);
  EXPECT_EQ(NewBoxes(), Strings{"kerfdmx の処理が完了しませんでした（終了コード 4）.\n\n出力ファイル(" + spelling +
                                ")は入力TSファイルと同じファイルです."});
  EXPECT_TRUE(tsb::ReadFile(input_) == recording());
  EXPECT_FALSE(std::filesystem::exists(Data("fresh.ts")));
}

TEST_F(CutFlow, CutDoesNothingWhileAJobRuns) {
  Loaded(input_, 0, 9);
  Type(res::kOutputPath, Data("out.ts"));
  job().jobRunning = 1;
  Click(res::kExecuteCut);
  Click(res::kAcquireStructure);
  EXPECT_TRUE(NewBoxes().empty());
  EXPECT_FALSE(std::filesystem::exists(Data("out.ts")));
  EXPECT_FALSE(std::filesystem::exists(Prog("DEMUX.tmp")));
}

}  // namespace
}  // namespace flow
