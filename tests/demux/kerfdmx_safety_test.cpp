// The built kerfdmx never destroys the recording it reads: outputs (and the information file)
// that are the input, however they are spelt, and outputs that are one file are refused before
// anything is created.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/demux/kerfdmx_fixture.h"

namespace {

using tsb::Bytes;

#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

std::string Block(const std::string& path) { return "NAME=" + path + "\nSERVICE_ID=0400\nPID=0000\nPID=0100\n"; }

TEST_F(Kerfdmx, OutputThatIsTheInputIsRefusedBeforeAnyOutputIsCreated) {
  const Bytes in = PlainRecording(300);
  const std::string input = Input(in);
  const std::string fresh = Out("fresh.ts");
  std::filesystem::create_directory(Out("sub"));
  const std::string roundabout = Out("sub") + kSep + ".." + kSep + "in put.ts";
  struct Case {
    std::string what, spelling;
  };
  std::vector<Case> cases = {{"the same text", input}, {"through ..", roundabout}};
  std::error_code ec;
  std::filesystem::create_hard_link(input, Out("hard.ts"), ec);
  if (!ec) cases.push_back({"a hard link", Out("hard.ts")});
#ifdef _WIN32
  cases.push_back({"another letter case", Out("IN PUT.TS")});
#else
  std::filesystem::create_symlink(input, Out("soft.ts"), ec);
  if (!ec) cases.push_back({"a symbolic link", Out("soft.ts")});
#endif
  for (const Case& c : cases) {
    // MODE=DEMUX with a fresh output before it, which must not be created either; MODE=ALL,
    // which reads no further than its first output.
    for (const std::string& control :
         {"MODE=DEMUX\n" + Block(fresh) + Block(c.spelling), "MODE=ALL\n" + Block(c.spelling) + Block(fresh)}) {
      Control("DEMUX.cfg", control);
      const ToolResult r = Run({"-d:DEMUX.cfg"});
      EXPECT_EQ(r.out, "出力ファイル(" + c.spelling + ")は入力TSファイルと同じファイルです.\n") << c.what;
      EXPECT_EQ(r.exitStatus, 4) << c.what;
      EXPECT_EQ(Read(input), in) << c.what;
      EXPECT_FALSE(std::filesystem::exists(fresh)) << c.what;
    }
  }
}

TEST_F(Kerfdmx, TwoOutputsThatAreOneFileAreRefused) {
  const Bytes in = PlainRecording(50);
  Input(in);
  std::filesystem::create_directory(Out("sub"));
#ifdef _WIN32
  const std::string again = Out("sub") + kSep + ".." + kSep + "A.TS";
#else
  const std::string again = Out("sub") + kSep + ".." + kSep + "a.ts";
#endif
  // Not created yet and spelt apart; then existing from an earlier cut (nothing may be replaced).
  Control("DEMUX.cfg", Block(Out("a.ts")) + Block(Out("b.ts")) + Block(again));
  ToolResult r = Run({"-d:DEMUX.cfg"});
  EXPECT_EQ(r.out, "出力ファイル(" + again + ")が重複して指定されています.\n");
  EXPECT_EQ(r.exitStatus, 4);
  EXPECT_FALSE(std::filesystem::exists(Out("a.ts")));
  EXPECT_FALSE(std::filesystem::exists(Out("b.ts")));

  tsb::WriteFile(Out("a.ts"), {1, 2, 3});
  r = Run({"-d:DEMUX.cfg"});
  EXPECT_EQ(r.exitStatus, 4);
  EXPECT_EQ(Read(Out("a.ts")), (Bytes{1, 2, 3}));

  // Apart, they are cut as before.
  Control("DEMUX.cfg", Block(Out("a.ts")) + Block(Out("b.ts")));
  r = Run({"-d:DEMUX.cfg"});
  EXPECT_EQ(r.exitStatus, 0) << r.out;
  EXPECT_EQ(SummaryPackets(r.out), 50);
}

// The play clips are PRGn.TS in the program folder, written from DEMUX.txt: a clip loaded as the
// recording must survive a run that would write it again; so must a recording named as the
// information file.
TEST_F(Kerfdmx, ProgramFolderFilesThatAreTheInputAreNotWritten) {
  const Bytes in = PlainRecording(120);
  const std::string clip = prog_.File("PRG1.TS");
  tsb::WriteFile(clip, in);
  Control("DEMUX.txt", "MODE=DEMUX\n" + Block(clip) + Block(prog_.File("PRG2.TS")));
  ToolResult r = run_tool(tool_, {clip, hOption_, "-d:DEMUX.txt"});
  EXPECT_EQ(r.out, "出力ファイル(" + clip + ")は入力TSファイルと同じファイルです.\n");
  EXPECT_EQ(r.exitStatus, 4);
  EXPECT_EQ(Read(clip), in);
  EXPECT_FALSE(std::filesystem::exists(prog_.File("PRG2.TS")));

  const std::string info = prog_.File("DEMUX.txt");
  tsb::WriteFile(info, in);
  r = run_tool(tool_, {info, hOption_, "-i:DEMUX.txt"});
  EXPECT_EQ(r.out, "DEMUX情報ファイル(" + info + ")は入力TSファイルと同じファイルです.\n");
  EXPECT_EQ(r.exitStatus, 4);
  EXPECT_EQ(Read(info), in);
}

}  // namespace
