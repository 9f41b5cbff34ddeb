// Reading the programme-structure file into the list of video streams.
#include "core/programme_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/stream_builder.h"

namespace {

class ProgrammeList : public ::testing::Test {
 protected:
  std::string Write(const std::string& text) {
    return folder_.Write("DEMUX.txt", tsb::bytes_of(text));
  }
  std::string Text(const ProgrammeEntries& list, int i) {
    char buf[32];
    return programme_entry_text(list, i, buf);
  }
  tsb::TempDir folder_;
  ProgrammeEntries list_;
};

TEST_F(ProgrammeList, VideoLinesOfEachBlockCarryTheBlockNumber) {
  const std::string path = Write(
      "MODE=DEMUX\r\n\r\n// 番組名:ニュース\r\nNAME=C:\\K\\PRG1.TS\r\nSERVICE_ID=0400\r\n"
      "PID=0000,PAT\r\nPID=01F0,PMT\r\nPID=0111,V\r\nPID=0112,V\r\nPID=0113,A\r\n\r\n"
      "NAME=C:\\K\\PRG2.TS\r\nSERVICE_ID=0401\r\nPID=0000,PAT\r\nPID=0121,v\r\nPID=0122\r\n");
  ASSERT_EQ(read_programme_list(path.c_str(), list_), 0);
  ASSERT_EQ(list_.count, 3);
  EXPECT_EQ(Text(list_, 0), "PRG1,VPID=0111");
  EXPECT_EQ(Text(list_, 1), "PRG1,VPID=0112");
  // A lower-case class still means video; a PID line without a class is not an entry.
  EXPECT_EQ(Text(list_, 2), "PRG2,VPID=0121");
}

TEST_F(ProgrammeList, SeparatorsAndLineEndsVary) {
  const std::string path = Write("name=a\nPID=0111 V\npid=0112\tV\n;PID=0113,V\nPID=0114,VA\nPID=0115,V");
  ASSERT_EQ(read_programme_list(path.c_str(), list_), 0);
  ASSERT_EQ(list_.count, 3);
  EXPECT_EQ(list_.videoPid[0], 0x111);
  EXPECT_EQ(list_.videoPid[1], 0x112);
  EXPECT_EQ(list_.videoPid[2], 0x115);   // the last line needs no line feed
  EXPECT_EQ(list_.ordinal[2], 1);
}

TEST_F(ProgrammeList, StopsAtTwoHundredFiftySixEntries) {
  std::string text = "NAME=x\n";
  for (int i = 0; i < 300; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "PID=%04X,V\n", 0x100 + i);
    text += line;
  }
  ASSERT_EQ(read_programme_list(Write(text).c_str(), list_), 0);
  EXPECT_EQ(list_.count, kMaxProgrammeEntries);
  EXPECT_EQ(list_.videoPid[255], 0x1FF);
}

TEST_F(ProgrammeList, LongLinesAreTakenInPieces) {
  // A 300-character comment continues as a second piece that is neither NAME= nor PID=.
  std::string text = "NAME=x\n//" + std::string(252, 'c') + "PID=0111,V\nPID=0222,V\n";
  ASSERT_EQ(read_programme_list(Write(text).c_str(), list_), 0);
  ASSERT_EQ(list_.count, 2);
  EXPECT_EQ(list_.videoPid[0], 0x111);   // the second piece of the long line starts with PID=
  EXPECT_EQ(list_.videoPid[1], 0x222);
}

TEST_F(ProgrammeList, MissingFileLeavesAnEmptyList) {
  list_.count = 5;
  EXPECT_EQ(read_programme_list(folder_.File("none.txt").c_str(), list_), 1);
  EXPECT_EQ(list_.count, 0);
}

}  // namespace
