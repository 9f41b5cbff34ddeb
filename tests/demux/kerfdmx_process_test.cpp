// The built kerfdmx run as the cutter runs it: options and their messages, the packet range,
// sync recovery, MODE=ALL copying and write failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/demux/kerfdmx_fixture.h"

namespace {

using tsb::Bytes;

TEST_F(Kerfdmx, NoArgumentsIsRefused) {
  ToolResult r = run_tool_bare(tool_);
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.out, "KERFDMX.exeは、単体では使用できません.\n");
}

TEST_F(Kerfdmx, OptionFailuresPrintTheirMessageAndNothingElse) {
  Input(PlainRecording(20));
  const std::string in = data_.File("in put.ts");
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{in}, "KERFDMX.exeは、単体では使用できません.\n"},
      {{hOption_}, "入力ファイル名が指定されていません.\n"},
      {{in, "extra", hOption_}, "余分な引数が指定されています.\n"},
      {{in, hOption_, "-s:80000000"}, "-sオプションの指定が間違っています（許容値=0～7FFFFFFF）.\n"},
      {{in, hOption_, "-e:FFFFFFFE"}, "-eオプションの指定が間違っています（許容値=0～7FFFFFFF）.\n"},
      {{in, hOption_, "-i:A.txt", "-i1:B.txt"}, "-i(i1)オプションが複数指定されています.\n"},
      {{in, hOption_, "-d:A.cfg", "-d1:B.cfg"}, "-d(d1)オプションが複数指定されています.\n"},
      {{in, hOption_, "-v"}, "オプションの指定が間違っています.\n"},
      {{in, hOption_, "-i:A.txt", "-d:B.cfg"}, "-i(i1)/-d(d1)オプションは同時使用できません.\n"},
      {{data_.File("missing.ts"), hOption_},
       "入力TSファイルが開けません(" + data_.File("missing.ts") + ").\n"},
      {{in, hOption_, "-d:NONE.cfg"}, "DEMUX情報ファイルが開けません.\n"},
  };
  for (const Case& c : cases) {
    ToolResult r = run_tool(tool_, c.args);
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.out, c.out) << c.args.back();
  }
  EXPECT_FALSE(std::filesystem::exists(prog_.File("A.txt")));
}

TEST_F(Kerfdmx, JapaneseInputAndOutputNames) {
  const Bytes in = PlainRecording(40);
  const std::string input = data_.File("録画 ソース.ts");
  WriteSjisFile(input, in);
  Control("DEMUX.cfg", "MODE=ALL\r\nNAME=" + Out("切り出し.ts") + "\r\n");
  ToolResult r = run_tool(tool_, {input, hOption_, "-d:DEMUX.cfg"});
  EXPECT_EQ(SummaryPackets(r.out), 40) << r.out;
  EXPECT_EQ(ReadSjisFile(Out("切り出し.ts")), in);
  const std::string missing = data_.File("無い.ts");
  EXPECT_EQ(run_tool(tool_, {missing, hOption_}).out, "入力TSファイルが開けません(" + missing + ").\n");
}

TEST_F(Kerfdmx, ControlFileErrorsStopTheRunBeforeAnyOutput) {
  Input(PlainRecording(20));
  Control("DEMUX.cfg", "MODE=DEMUX\r\n\r\nNAME=" + Out("a.ts") + "\r\n PID=0100\r\n");
  EXPECT_EQ(Run({"-d:DEMUX.cfg"}).out, "DEMUX情報ファイルの記述が正しくありません(4行目).\n");
  EXPECT_FALSE(std::filesystem::exists(Out("a.ts")));

  // An output that cannot be created: no message, no summary, the earlier output closed.
  Control("DEMUX.cfg", "NAME=" + Out("a.ts") + "\nNAME=" + Out("no/such/folder.ts") + "\n");
  EXPECT_EQ(Run({"-d:DEMUX.cfg"}).out, "");
  EXPECT_TRUE(std::filesystem::exists(Out("a.ts")));
}

TEST_F(Kerfdmx, SummaryCountsPacketsPidsNullsAndDescriptorKinds) {
  Input(PlainRecording(50));
  // PIDs 0x0000, 0x01F0, 0x0100, 0x1FFF; descriptor kinds: the stream identifier descriptor.
  EXPECT_EQ(Run({}).out, Summary(50, 4, 1, 4, 0, 0));
}

struct RangeCase {
  std::vector<std::string> options;
  size_t first, count;
};

TEST_F(Kerfdmx, RangeSetUpSelectsTheRightPackets) {
  const Bytes in = PlainRecording(300);
  Input(in);
  Control("ALL.cfg", "MODE=ALL\r\nNAME=" + Out("all.ts") + "\r\n");
  const std::vector<RangeCase> cases = {
      {{}, 0, 300},
      {{"-s:0"}, 0, 300},
      {{"-s:FFFFFFFF"}, 0, 300},
      {{"-s:10", "-e:10"}, 16, 1},
      {{"-e:0"}, 0, 1},
      {{"-e:FF"}, 0, 256},
      {{"-s:20", "-e:10"}, 32, 1},      // an end before the start still takes one packet
      {{"-s:12B"}, 299, 1},
      {{"-s:12C"}, 300, 0},             // starting at the end: nothing, a normal end
      {{"-s:5", "-e:7FFFFFFF"}, 5, 295},
  };
  for (const RangeCase& c : cases) {
    std::vector<std::string> opts = c.options;
    opts.push_back("-d:ALL.cfg");
    ToolResult r = Run(opts);
    const std::string what = c.options.empty() ? "(none)" : c.options[0];
    EXPECT_EQ(SummaryPackets(r.out), long(c.count)) << what << "\n" << r.out;
    EXPECT_EQ(Read(Out("all.ts")), Slice(in, c.first, c.count)) << what;
  }
}

TEST_F(Kerfdmx, AllModeCopiesLargeRangesByteForByte) {
  // More than one read block (4096 packets) and more than one output flush (4462 packets).
  const Bytes in = PlainRecording(12000);
  Input(in);
  Control("ALL.cfg", "MODE=ALL\nNAME=" + Out("all.ts") + "\n");
  ToolResult r = Run({"-s:7", "-e:2A00", "-d:ALL.cfg"});
  EXPECT_EQ(SummaryPackets(r.out), 0x2A00 - 7 + 1);
  EXPECT_TRUE(Read(Out("all.ts")) == Slice(in, 7, 0x2A00 - 7 + 1));
  r = Run({"-d:ALL.cfg"});
  EXPECT_TRUE(Read(Out("all.ts")) == in);
}

TEST_F(Kerfdmx, AllModeFeedsOnlyTheFirstOfSeveralOutputs) {
  const Bytes in = PlainRecording(40);
  Input(in);
  Control("ALL.cfg", "NAME=" + Out("one.ts") + "\nPID=0100\nNAME=" + Out("two.ts") +
                         "\nPID=0000\nMODE=ALL\n");
  Run({"-d:ALL.cfg"});
  EXPECT_EQ(Read(Out("one.ts")), in);
  EXPECT_TRUE(std::filesystem::exists(Out("two.ts")));
  EXPECT_EQ(std::filesystem::file_size(Out("two.ts")), 0u);
}

TEST_F(Kerfdmx, CorruptedSyncByteIsSkippedToTheNextPacket) {
  Bytes in = PlainRecording(100);
  in[40 * kPacket] = 0x00;
  Input(in);
  Control("ALL.cfg", "MODE=ALL\nNAME=" + Out("all.ts") + "\n");
  ToolResult r = Run({"-e:31", "-d:ALL.cfg"});   // 50 packets counted after the skip
  EXPECT_EQ(SummaryPackets(r.out), 50);
  EXPECT_EQ(SummaryLine(r.out, "SYNCｴﾗｰの数"), "SYNCｴﾗｰの数   =00000001h");
  Bytes expected = Slice(in, 0, 40);
  Bytes tail = Slice(in, 41, 10);
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_TRUE(Read(Out("all.ts")) == expected);
}

TEST_F(Kerfdmx, JunkBetweenPacketsIsSkippedAndTrailingPartialPacketDropped) {
  Bytes in = PlainRecording(30);
  Bytes damaged = Slice(in, 0, 10);
  damaged.insert(damaged.end(), {0x00, 0x47, 0x12});   // junk holding a lone sync byte
  Bytes rest = Slice(in, 10, 20);
  damaged.insert(damaged.end(), rest.begin(), rest.end());
  damaged.insert(damaged.end(), 100, 0x47);            // a partial packet at the end
  Input(damaged);
  Control("ALL.cfg", "MODE=ALL\nNAME=" + Out("all.ts") + "\n");
  ToolResult r = Run({"-d:ALL.cfg"});
  EXPECT_EQ(SummaryPackets(r.out), 30);
  EXPECT_EQ(SummaryLine(r.out, "SYNCｴﾗｰの数"), "SYNCｴﾗｰの数   =00000001h");
  EXPECT_TRUE(Read(Out("all.ts")) == in);
}

TEST_F(Kerfdmx, SyncLossNearTheEndIsAResyncErrorWithoutSummary) {
  Bytes in = PlainRecording(20);
  in[18 * kPacket] = 0x00;   // two packets (376 bytes) held when the loss is met
  Input(in);
  Control("ALL.cfg", "MODE=ALL\nNAME=" + Out("all.ts") + "\n");
  ToolResult r = Run({"-d:ALL.cfg"});
  EXPECT_EQ(r.out, "再同期エラー：SYNC BYTEが見つかりません.\n");
  // What was gathered before the failure still reaches the output.
  EXPECT_TRUE(Read(Out("all.ts")) == Slice(in, 0, 18));
}

TEST_F(Kerfdmx, ThousandthSyncLossEndsTheRun) {
  Bytes in = PlainRecording(3);
  Bytes damaged;
  for (int i = 0; i < 1000; ++i) {
    damaged.push_back(0x00);
    damaged.insert(damaged.end(), in.begin(), in.end());
  }
  // Packets after the last loss, so that the search there has three packets to look through.
  damaged.insert(damaged.end(), in.begin(), in.end());
  Input(damaged);
  EXPECT_EQ(Run({}).out, "SYNC BYTEエラーが規定値を超えました.\n");
  damaged.erase(damaged.begin());   // 999 losses only
  Input(damaged);
  ToolResult r = Run({});
  EXPECT_EQ(SummaryPackets(r.out), 3003);
  EXPECT_EQ(SummaryLine(r.out, "SYNCｴﾗｰの数"), "SYNCｴﾗｰの数   =000003E7h");
}

#ifndef _WIN32
TEST_F(Kerfdmx, WriteFailuresAreReported) {
  Input(PlainRecording(30));
  // A final flush that fails comes after the summary; the run still ends normally.
  Control("ALL.cfg", "MODE=ALL\nNAME=/dev/full\n");
  ToolResult r = Run({"-d:ALL.cfg"});
  EXPECT_EQ(r.out, Summary(30, 4, 1, 2, 0, 0) + "DEMUX用のファイルの書き込みでエラーが発生しました.\n");
  // A failed write during the run ends it: no summary, whether it fails with the first packets
  // or after many.
  Control("D.cfg", "NAME=/dev/full\nPID=0100\n");
  EXPECT_EQ(Run({"-d:D.cfg"}).out, "DEMUX用のファイルの書き込みでエラーが発生しました.\n");
  Input(PlainRecording(5000));
  EXPECT_EQ(Run({"-d:D.cfg"}).out, "DEMUX用のファイルの書き込みでエラーが発生しました.\n");
  Control("ALL.cfg", "MODE=ALL\nNAME=/dev/full\n");
  EXPECT_EQ(Run({"-d:ALL.cfg"}).out, "DEMUX用のファイルの書き込みでエラーが発生しました.\n");
}
#endif

}  // namespace
