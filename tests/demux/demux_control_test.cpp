// Reading the demux control file: line kinds, modes, PID lists, limits and line numbers.
#include "demux/demux_control.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "demux/psi/table_layer.h"

namespace {

class ControlReader : public ::testing::Test {
 protected:
  ControlStatus Parse(const std::string& text) {
    return ParseDemuxControl(text.data(), text.size(), *control_, badLine_);
  }
  std::unique_ptr<DemuxControl> control_ = std::make_unique<DemuxControl>();
  int badLine_ = -1;
};

TEST_F(ControlReader, ProgrammeBlocksWithCommentsAndBlankLines) {
  ASSERT_EQ(Parse("MODE=DEMUX\n\n// 番組名:ニュース\n; note\nNAME=/o/PRG1.TS\nSERVICE_ID=0400\n"
                  "PID=0000,PAT\nPID=01F0,PMT\nPID=0111,V\n\nNAME=/o/PRG2.TS\nPID=0210,\n"),
            ControlStatus::Ok);
  EXPECT_EQ(control_->mode, DemuxMode::Demux);
  ASSERT_EQ(control_->outputCount, 2);
  const DemuxOutputDesc& a = control_->outputs[0];
  EXPECT_STREQ(a.path, "/o/PRG1.TS");
  EXPECT_EQ(a.serviceId, 0x400);
  ASSERT_EQ(a.pidCount, 3);
  EXPECT_EQ(a.pids[0], 0x0000);
  EXPECT_EQ(a.pids[1], 0x01F0);
  EXPECT_EQ(a.pids[2], 0x0111);
  const DemuxOutputDesc& b = control_->outputs[1];
  EXPECT_EQ(b.serviceId, 0);
  ASSERT_EQ(b.pidCount, 1);
  EXPECT_EQ(b.pids[0], 0x0210);
}

TEST_F(ControlReader, PidValueAndItsSeparators) {
  ASSERT_EQ(Parse("NAME=x\nPID=0111,V\nPID=0111 A\nPID=0111\nPID=0111\tC\nPID= ,0111\nPID=\n"
                  "PID=,\nPID=zz\nPID=1FFFF\n"),
            ControlStatus::Ok);
  const DemuxOutputDesc& o = control_->outputs[0];
  ASSERT_EQ(o.pidCount, 9);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(o.pids[i], 0x0111) << i;
  for (int i = 5; i < 9; ++i) EXPECT_EQ(o.pids[i], kUnmatchablePid) << i;
}

TEST_F(ControlReader, ModeSelection) {
  ASSERT_EQ(Parse("MODE=all\nNAME=a\n"), ControlStatus::Ok);
  EXPECT_EQ(control_->mode, DemuxMode::Demux);
  ASSERT_EQ(Parse("MODE=ALLES\nNAME=a\n"), ControlStatus::Ok);
  EXPECT_EQ(control_->mode, DemuxMode::All);
  ASSERT_EQ(Parse("MODE=ALL\nMODE=DEMUX\nNAME=a\n"), ControlStatus::Ok);
  EXPECT_EQ(control_->mode, DemuxMode::Demux);
}

TEST_F(ControlReader, AllModeStopsAtItsNameLine) {
  // Everything after the NAME line, even a line that would be an error, is not read.
  ASSERT_EQ(Parse("MODE=ALL\nNAME=/o/cut.ts\nPID=0100\nNAME=/o/second.ts\nbogus\n"),
            ControlStatus::Ok);
  EXPECT_EQ(control_->mode, DemuxMode::All);
  ASSERT_EQ(control_->outputCount, 1);
  EXPECT_EQ(control_->outputs[0].pidCount, 0);
}

TEST_F(ControlReader, AllModeAfterTheNameLinesKeepsThemAll) {
  ASSERT_EQ(Parse("NAME=a\nPID=0100\nNAME=b\nMODE=ALL\n"), ControlStatus::Ok);
  EXPECT_EQ(control_->mode, DemuxMode::All);
  EXPECT_EQ(control_->outputCount, 2);
}

TEST_F(ControlReader, LinesBeforeAnyNameAreSkipped) {
  ASSERT_EQ(Parse("SERVICE_ID=10\nPID=0100\nNAME=a\n"), ControlStatus::Ok);
  ASSERT_EQ(control_->outputCount, 1);
  EXPECT_EQ(control_->outputs[0].serviceId, 0);
  EXPECT_EQ(control_->outputs[0].pidCount, 0);
}

TEST_F(ControlReader, BadLinesAreReportedByNumber) {
  EXPECT_EQ(Parse("MODE=DEMUX\n\n NAME=a\n"), ControlStatus::BadLine);
  EXPECT_EQ(badLine_, 3);
  EXPECT_EQ(Parse("NAME=a\npid=0100\n"), ControlStatus::BadLine);
  EXPECT_EQ(badLine_, 2);
  EXPECT_EQ(Parse("/ half comment\n"), ControlStatus::BadLine);
  EXPECT_EQ(badLine_, 1);
  EXPECT_EQ(Parse("\r\nNAME=a\r\nSERVICE=1\r\n"), ControlStatus::BadLine);
  EXPECT_EQ(badLine_, 3);
}

TEST_F(ControlReader, CrLfAndMissingFinalLineFeed) {
  ASSERT_EQ(Parse("NAME=/o/a.ts\r\nPID=0100\r\nPID=0101"), ControlStatus::Ok);
  EXPECT_STREQ(control_->outputs[0].path, "/o/a.ts");
  ASSERT_EQ(control_->outputs[0].pidCount, 2);
  EXPECT_EQ(control_->outputs[0].pids[1], 0x0101);
}

TEST_F(ControlReader, LongLinesAreReadInPiecesCountedAsLines) {
  // A 1023-byte comment then its remainder: the remainder is line 2 and is no comment.
  std::string text = "//" + std::string(kControlLineMax - 2, 'c') + "tail\nNAME=a\n";
  EXPECT_EQ(Parse(text), ControlStatus::BadLine);
  EXPECT_EQ(badLine_, 2);
  // Exactly 1023 bytes and its line feed: the lone line feed is an empty line 2.
  text = "//" + std::string(kControlLineMax - 2, 'c') + "\nbad\n";
  EXPECT_EQ(Parse(text), ControlStatus::BadLine);
  EXPECT_EQ(badLine_, 3);
}

TEST_F(ControlReader, LongNameKeepsAWholePathPrefix) {
  ASSERT_EQ(Parse("NAME=" + std::string(400, 'p') + "\n"), ControlStatus::Ok);
  EXPECT_EQ(std::string(control_->outputs[0].path), std::string(kPathMax, 'p'));
  // A two-byte character across the limit is left out whole.
  ASSERT_EQ(Parse("NAME=" + std::string(kPathMax - 1, 'p') + "\x94\xD4\n"), ControlStatus::Ok);
  EXPECT_EQ(std::string(control_->outputs[0].path), std::string(kPathMax - 1, 'p'));
}

TEST_F(ControlReader, OutputAndPidLimitsRefuseTheFile) {
  std::string text;
  for (int i = 0; i < kMaxOutputs; ++i) text += "NAME=o" + std::to_string(i) + "\n";
  EXPECT_EQ(Parse(text), ControlStatus::Ok);
  EXPECT_EQ(control_->outputCount, kMaxOutputs);
  EXPECT_EQ(Parse(text + "NAME=extra\n"), ControlStatus::BadLine);
  EXPECT_EQ(badLine_, kMaxOutputs + 1);

  text = "MODE=DEMUX\nNAME=a\n";
  for (int i = 0; i < kMaxOutputPids; ++i) text += "PID=0100\n";
  EXPECT_EQ(Parse(text), ControlStatus::Ok);
  EXPECT_EQ(Parse(text + "PID=0101\n"), ControlStatus::BadLine);
  EXPECT_EQ(badLine_, 2 + kMaxOutputPids + 1);
}

TEST_F(ControlReader, FileOnDiskAndMissingFile) {
  auto path = std::filesystem::temp_directory_path() /
              ("kerf_control_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".cfg");
  std::string text = "MODE=DEMUX\r\n\r\nNAME=/o/PRG1.TS\r\nSERVICE_ID=0408\r\n";
  for (int i = 0; i < 2000; ++i) text += "; filler line beyond one read-ahead block\r\n";
  text += "PID=0100,V";
  FILE* f = std::fopen(path.string().c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  ASSERT_EQ(ReadDemuxControl(path.string().c_str(), *control_, badLine_), ControlStatus::Ok);
  EXPECT_EQ(control_->outputs[0].serviceId, 0x408);
  ASSERT_EQ(control_->outputs[0].pidCount, 1);
  EXPECT_EQ(control_->outputs[0].pids[0], 0x100);
  std::filesystem::remove(path);
  EXPECT_EQ(ReadDemuxControl(path.string().c_str(), *control_, badLine_),
            ControlStatus::CannotOpen);
}

// The writer's result tells whether the file was written: a tool run ignores it, the command
// line relies on it.
TEST(InfoWriter, ReportsWhetherTheFileWasWritten) {
  auto layer = std::make_unique<TableLayer>();
  const auto folder = std::filesystem::temp_directory_path();
  const auto path = folder / ("kerf_info_" + std::to_string(reinterpret_cast<uintptr_t>(&layer)) + ".txt");
  DemuxInfoOptions options;
  EXPECT_TRUE(WriteDemuxInfo(path.string().c_str(), *layer, options));
  EXPECT_EQ(std::filesystem::file_size(path), 14u);   // "MODE=DEMUX\r\n\r\n"
  std::filesystem::remove(path);
  EXPECT_FALSE(WriteDemuxInfo((folder / "kerf-no-such-folder" / "DEMUX.txt").string().c_str(), *layer, options));
}

}  // namespace
