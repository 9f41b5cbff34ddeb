// The control files of a cut: the whole stream, or one programme's block of the structure file.
#include "core/control_files.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/stream_builder.h"

namespace {

class ControlFiles : public ::testing::Test {
 protected:
  std::string Text(const std::string& path) {
    const tsb::Bytes b = tsb::ReadFile(path);
    return std::string(b.begin(), b.end());
  }
  tsb::TempDir dir_;
};

const char kStructure[] =
    "MODE=DEMUX\r\n\r\n// 番組名:ニュース\r\nNAME=/k/PRG1.TS\r\nSERVICE_ID=0400\r\nPID=0000,PAT\r\n"
    "PID=01F0,PMT\r\nPID=0111,V\r\n\r\n; a note\r\nname=/k/PRG2.TS\r\nSERVICE_ID=0401\r\nPID=0000,PAT\r\n"
    "PID=01F1,PMT\r\nPID=0121,V\r\n\r\n// 番組名:映画\r\nNAME=/k/PRG3.TS\r\nSERVICE_ID=0402\r\n";

TEST_F(ControlFiles, ProgrammeBlockNamesTheOutput) {
  const std::string structure = dir_.Write("DEMUX.txt", tsb::bytes_of(kStructure));
  const std::string control = dir_.File("DEMUX.tmp");
  ASSERT_EQ(write_programme_control(structure.c_str(), 2, "/out/cut.ts", control.c_str()), ControlWrite::Ok);
  // The mode line becomes MODE=DEMUX and an empty line; comments and empty lines are dropped;
  // reading stops at the next block.
  EXPECT_EQ(Text(control),
            "MODE=DEMUX\r\n\r\nNAME=/out/cut.ts\r\nSERVICE_ID=0401\r\nPID=0000,PAT\r\nPID=01F1,PMT\r\n"
            "PID=0121,V\r\n");
  ASSERT_EQ(write_programme_control(structure.c_str(), 3, "/out/cut.ts", control.c_str()), ControlWrite::Ok);
  EXPECT_EQ(Text(control), "MODE=DEMUX\r\n\r\nNAME=/out/cut.ts\r\nSERVICE_ID=0402\r\n");
}

TEST_F(ControlFiles, WholeStreamAndFailures) {
  const std::string control = dir_.File("DEMUX.tmp");
  ASSERT_EQ(write_all_control(control.c_str(), "/out/all.ts"), ControlWrite::Ok);
  EXPECT_EQ(Text(control), "MODE=ALL\r\nNAME=/out/all.ts\r\n");
  EXPECT_EQ(write_programme_control(dir_.File("none.txt").c_str(), 1, "x", control.c_str()),
            ControlWrite::NoStructure);
  const std::string structure = dir_.Write("DEMUX.txt", tsb::bytes_of(kStructure));
  EXPECT_EQ(write_programme_control(structure.c_str(), 1, "x", dir_.File("no/such/DEMUX.tmp").c_str()),
            ControlWrite::CannotCreate);
  EXPECT_EQ(write_all_control(dir_.File("no/such/DEMUX.tmp").c_str(), "x"), ControlWrite::CannotCreate);
}

}  // namespace
