// The programme structure: the analysis a load runs, button 139 with DEMUX.txt opened through the
// shell, the list read back into Settings and combo box 145, a cancel, and the failures.
#include <filesystem>

#include "cutter/tool_run.h"
#include "resources/ids.h"
#include "tests/cutter/cutter_flow.h"

namespace flow {
namespace {

namespace hl = ui::headless;
using Strings = std::vector<std::string>;
using ProgrammeStructure = CutterFlow;

TEST_F(ProgrammeStructure, Button139AnalysesFromTheStartAndOpensDemuxTxt) {
  Loaded(input_, 0, 0);
  settings().programmeIndex = 3;  // beyond the new list: the first entry is taken
  tsb::WriteFile(Prog("DEMUX.txt"), tsb::bytes_of("stale"));
  Click(res::kAcquireStructure);
  EXPECT_TRUE(NewBoxes().empty());
  EXPECT_EQ(hl::shell_opened(), Strings{Prog("DEMUX.txt")});
  EXPECT_EQ(Items(res::kProgrammeList), (Strings{"PRG1,VPID=0111", "PRG2,VPID=0121", "PRG3,VPID=0131"}));
  EXPECT_EQ(hl::control(dialog_, res::kProgrammeList)->control.selection, 0);
  const ProgrammeList& list = settings().programmeList;
  EXPECT_EQ(list.count, 3);
  EXPECT_EQ(list.ordinal[2], 3);
  EXPECT_EQ(list.videoPid[2], 0x0131);
  EXPECT_EQ(settings().programmeIndex, 0);
  EXPECT_EQ(job().jobRunning, 0);
  const std::string info = text_of(tsb::ReadFile(Prog("DEMUX.txt")));
  EXPECT_NE(info.find("NAME=" + Prog("PRG3.TS")), std::string::npos) << info;

  // An analysis that starts past the last programme table sees none: the list empties.
  Loaded(input_, int32_t(kRecordingPackets) - 5, int32_t(kRecordingPackets) - 5);
  EXPECT_EQ(dialog().AnalyseProgrammes(), kRunDone);
  EXPECT_TRUE(Items(res::kProgrammeList).empty());
  EXPECT_EQ(settings().programmeList.count, 0);
  EXPECT_EQ(settings().programmeIndex, 0);
}

TEST_F(ProgrammeStructure, RefusalsAndFailuresLeaveTheListEmpty) {
  Loaded(input_, 0, 0);
  ASSERT_EQ(dialog().AnalyseProgrammes(), kRunDone);
  Type(res::kInputPath, Data("edited.ts"));
  Click(res::kAcquireStructure);
  EXPECT_EQ(NewBoxes(), Strings{"入力元TSファイル名を書き替え後、[更新]ボタンが押されていません."});
  EXPECT_EQ(Items(res::kProgrammeList).size(), 3u);  // nothing ran

  Loaded(Data("gone.ts"), 0, 0);
  EXPECT_EQ(dialog().AnalyseProgrammes(), 1);
  EXPECT_EQ(NewBoxes(), Strings{Data("gone.ts") + "が開けません."});
  EXPECT_EQ(LastBox().kind, ui::BoxKind::Error);
  EXPECT_TRUE(Items(res::kProgrammeList).empty());
  EXPECT_FALSE(std::filesystem::exists(Prog("DEMUX.txt")));

  std::filesystem::remove(Prog("kerfdmx"));
  Loaded(input_, 0, 0);
  Click(res::kAcquireStructure);
  EXPECT_EQ(NewBoxes(), Strings{Prog("kerfdmx") + " を起動できません."});
  EXPECT_TRUE(Items(res::kProgrammeList).empty());
  EXPECT_TRUE(hl::shell_opened().empty());
  EXPECT_EQ(job().jobRunning, 0);
}

// The tool writes DEMUX.txt only when it stops, after the lock file has gone, so a cancelled
// analysis finds no list. The recording comes through a FIFO held back until the cancel.
TEST_F(ProgrammeStructure, ClosingTheProgressWindowDuringAnAnalysis) {
  const std::string fifo = Data("slow.ts");
  const tsb::Bytes& all = recording();
  const size_t head = 6000 * kPacket;
  auto feed = GatedFifo::Feeding(fifo, Prog("lockfile"), tsb::Bytes(all.begin(), all.begin() + head),
                                 tsb::Bytes(all.begin() + head, all.end()));
  Loaded(fifo, 0, 0);
  std::string caption;
  hl::set_pump_hook([&] {
    const ui::Handle progress = hl::find_dialog(res::kProgressDialog);
    if (progress == 0) return;
    caption = hl::find(progress)->text;
    if (job().toolState == 1 && job().toolProgress >= 1) hl::close_window(progress);
  });
  Click(res::kAcquireStructure);
  hl::set_pump_hook(nullptr);
  EXPECT_EQ(caption, "番組構成作成中");
  EXPECT_EQ(NewBoxes(), Strings{"処理を中止しました."});
  EXPECT_EQ(LastBox().kind, ui::BoxKind::Information);
  EXPECT_TRUE(Items(res::kProgrammeList).empty());
  EXPECT_TRUE(hl::shell_opened().empty());
  EXPECT_FALSE(std::filesystem::exists(Prog("lockfile")));
  EXPECT_TRUE(AwaitCompletion());
  feed.reset();
}

TEST_F(ProgrammeStructure, ListReadsVideoLinesOfEveryBlockUpTo256) {
  std::string text = "MODE=DEMUX\r\n\r\nNAME=a\r\nPID=0111,V\r\nPID=0112 v\r\nPID=0113\r\nPID=0114,A\r\n;PID=0115,V\r\n";
  for (int i = 0; i < 300; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "NAME=p%d\r\nPID=%04X,V\r\n", i, 0x200 + i);
    text += line;
  }
  tsb::WriteFile(Prog("DEMUX.txt"), tsb::bytes_of(text));
  settings().programmeIndex = 255;
  EXPECT_EQ(dialog().LoadProgrammeList(), 0);
  const Strings items = Items(res::kProgrammeList);
  ASSERT_EQ(items.size(), 256u);
  EXPECT_EQ(items[0], "PRG1,VPID=0111");
  EXPECT_EQ(items[1], "PRG1,VPID=0112");
  EXPECT_EQ(items[2], "PRG2,VPID=0200");
  EXPECT_EQ(items[255], "PRG255,VPID=02FD");
  EXPECT_EQ(hl::control(dialog_, res::kProgrammeList)->control.selection, 255);

  std::filesystem::remove(Prog("DEMUX.txt"));
  EXPECT_EQ(dialog().LoadProgrammeList(), 1);
  EXPECT_EQ(settings().programmeList.count, 0);
  EXPECT_EQ(settings().programmeList.videoPid[0], 0);
}

}  // namespace
}  // namespace flow
