// Reading the programme-structure file: the cutter's list of video streams and every programme
// with its PIDs.
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
  std::string Text(int i) {
    char buf[32];
    return programme_entry_text(list_.videos.at(size_t(i)), buf);
  }
  tsb::TempDir folder_;
  ProgrammeStructure list_;
};

TEST_F(ProgrammeList, VideoLinesOfEachBlockCarryTheBlockNumber) {
  const std::string path = Write(
      "MODE=DEMUX\r\n\r\n// 番組名:ニュース\r\nNAME=C:\\K\\PRG1.TS\r\nSERVICE_ID=0400\r\n"
      "PID=0000,PAT\r\nPID=01F0,PMT\r\nPID=0111,V\r\nPID=0112,V\r\nPID=0113,A\r\n\r\n"
      "NAME=C:\\K\\PRG2.TS\r\nSERVICE_ID=0401\r\nPID=0000,PAT\r\nPID=0121,v\r\nPID=0122\r\n");
  ASSERT_EQ(read_programme_list(path.c_str(), list_), 0);
  ASSERT_EQ(list_.videos.size(), 3u);
  EXPECT_EQ(Text(0), "PRG1,VPID=0111");
  EXPECT_EQ(Text(1), "PRG1,VPID=0112");
  // A lower-case class still means video; a PID line without a class is not an entry.
  EXPECT_EQ(Text(2), "PRG2,VPID=0121");
  // The programmes themselves, as kerf lists them.
  ASSERT_EQ(list_.programmes.size(), 2u);
  const Programme& first = list_.programmes[0];
  EXPECT_EQ(first.ordinal, 1);
  EXPECT_EQ(first.serviceId, 0x400);
  EXPECT_EQ(first.name, "ニュース");
  ASSERT_EQ(first.pids.size(), 5u);
  EXPECT_EQ(first.pids[1].pid, 0x1F0);
  EXPECT_EQ(first.pids[1].classText, "PMT");
  const Programme& second = list_.programmes[1];
  EXPECT_EQ(second.name, "");   // the title comment belongs to the block below it only
  EXPECT_EQ(second.serviceId, 0x401);
  ASSERT_EQ(second.pids.size(), 3u);
  EXPECT_EQ(second.pids[2].pid, 0x122);
  EXPECT_EQ(second.pids[2].classText, "");
}

TEST_F(ProgrammeList, SeparatorsAndLineEndsVary) {
  const std::string path = Write("name=a\nPID=0111 V\npid=0112\tV\n;PID=0113,V\nPID=0114,VA\nPID=0115,V");
  ASSERT_EQ(read_programme_list(path.c_str(), list_), 0);
  ASSERT_EQ(list_.videos.size(), 3u);
  EXPECT_EQ(list_.videos[0].videoPid, 0x111);
  EXPECT_EQ(list_.videos[1].videoPid, 0x112);
  EXPECT_EQ(list_.videos[2].videoPid, 0x115);   // the last line needs no line feed
  EXPECT_EQ(list_.videos[2].ordinal, 1);
}

TEST_F(ProgrammeList, StopsAtTwoHundredFiftySixEntries) {
  std::string text = "NAME=x\n";
  for (int i = 0; i < 300; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "PID=%04X,V\n", 0x100 + i);
    text += line;
  }
  ASSERT_EQ(read_programme_list(Write(text).c_str(), list_), 0);
  EXPECT_EQ(list_.videos.size(), size_t(kMaxProgrammeEntries));
  EXPECT_EQ(list_.videos[255].videoPid, 0x1FF);
}

TEST_F(ProgrammeList, LongLinesAreTakenInPieces) {
  // A 300-character comment continues as a second piece that is neither NAME= nor PID=.
  std::string text = "NAME=x\n//" + std::string(252, 'c') + "PID=0111,V\nPID=0222,V\n";
  ASSERT_EQ(read_programme_list(Write(text).c_str(), list_), 0);
  ASSERT_EQ(list_.videos.size(), 2u);
  EXPECT_EQ(list_.videos[0].videoPid, 0x111);   // the second piece of the long line starts with PID=
  EXPECT_EQ(list_.videos[1].videoPid, 0x222);
}

TEST_F(ProgrammeList, MissingFileLeavesAnEmptyList) {
  list_.videos.resize(5);
  EXPECT_EQ(read_programme_list(folder_.File("none.txt").c_str(), list_), 1);
  EXPECT_TRUE(list_.videos.empty());
  EXPECT_TRUE(list_.programmes.empty());
}

}  // namespace
