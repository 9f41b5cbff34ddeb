// The demux tool's command-line store (its limits; the splitting rule itself is tested with
// common/command_line) and option parsing.
#include "demux/demux_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class CommandLine : public ::testing::Test {
 protected:
  std::vector<std::string> Split(const std::string& line) {
    EXPECT_EQ(SplitCommandLine(line.c_str(), store_), 0);
    std::vector<std::string> out;
    for (int i = 0; i < store_.count; ++i) out.emplace_back(store_.tokens[i]);
    return out;
  }
  OptionError Parse(const std::string& line) {
    options_ = DemuxOptions{};
    EXPECT_EQ(SplitCommandLine(line.c_str(), store_), 0);
    return ParseOptions(store_, "/prog/", options_);
  }
  CommandLineStore store_;
  DemuxOptions options_;
};

TEST_F(CommandLine, SeventeenthTokenAndLaterAreIgnored) {
  std::string line;
  for (int i = 0; i < 20; ++i) line += "t" + std::to_string(i) + " ";
  auto tokens = Split(line);
  ASSERT_EQ(tokens.size(), 16u);
  EXPECT_EQ(tokens[15], "t15");
  EXPECT_STREQ(store_.tokens[15], "t15");
}

TEST_F(CommandLine, LineBeyondTheCopyIsRefusedWhole) {
  std::string fits(kCommandLineCopy - 1, 'a');
  EXPECT_EQ(SplitCommandLine(fits.c_str(), store_), 0);
  EXPECT_EQ(store_.count, 1);
  std::string longer(kCommandLineCopy, 'a');
  EXPECT_EQ(SplitCommandLine(longer.c_str(), store_), 1);
  EXPECT_EQ(store_.count, 0);
}

TEST_F(CommandLine, CallerLineSetsEveryField) {
  ASSERT_EQ(Parse("\"/p/kerfdmx\" \"/in put.ts\" -h:1F2E -s:10 -e:FF -i1:DEMUX.txt -x"),
            OptionError::None);
  EXPECT_EQ(options_.callerWindow, 0x1F2Eu);
  EXPECT_EQ(options_.startPacket, 0x10);
  EXPECT_EQ(options_.endPacket, 0xFF);
  EXPECT_STREQ(options_.inputPath, "/in put.ts");
  EXPECT_EQ(options_.inputIndex, 1);
  EXPECT_TRUE(options_.infoOutput);
  EXPECT_TRUE(options_.firstProgrammeOnly);
  EXPECT_STREQ(options_.infoPath, "/prog/DEMUX.txt");
  EXPECT_TRUE(options_.excludeEcmAndData);
  EXPECT_FALSE(options_.controlMode);

  ASSERT_EQ(Parse("t in -h:1 -d1:DEMUX.cfg"), OptionError::None);
  EXPECT_TRUE(options_.controlMode);
  EXPECT_TRUE(options_.keepNetworkEntry);
  EXPECT_STREQ(options_.controlPath, "/prog/DEMUX.cfg");
  ASSERT_EQ(Parse("t in -h:1 -d:x.tmp"), OptionError::None);
  EXPECT_FALSE(options_.keepNetworkEntry);
  ASSERT_EQ(Parse("t in -h:1 -i:x"), OptionError::None);
  EXPECT_FALSE(options_.firstProgrammeOnly);
  ASSERT_EQ(Parse("t in -h:1 -xyz"), OptionError::None);
  EXPECT_TRUE(options_.excludeEcmAndData);
}

TEST_F(CommandLine, StartAndEndLimits) {
  EXPECT_EQ(Parse("t in -h:1 -s:FFFFFFFF -e:7FFFFFFF"), OptionError::None);
  EXPECT_EQ(options_.startPacket, -1);
  EXPECT_EQ(options_.endPacket, 0x7FFFFFFF);
  EXPECT_EQ(Parse("t in -h:1 -s:80000000"), OptionError::BadStart);
  EXPECT_EQ(Parse("t in -h:1 -s:FFFFFFFE"), OptionError::BadStart);
  EXPECT_EQ(Parse("t in -h:1 -e:80000000"), OptionError::BadEnd);
  // Text that is not hexadecimal leaves the previous value.
  EXPECT_EQ(Parse("t in -h:1 -s:20 -s:zz -e:"), OptionError::None);
  EXPECT_EQ(options_.startPacket, 0x20);
  EXPECT_EQ(options_.endPacket, -1);
}

TEST_F(CommandLine, FailuresInTheirOrder) {
  EXPECT_EQ(Parse("t a b -h:1"), OptionError::SurplusArgument);
  EXPECT_EQ(Parse("t a -h:1 -i:x -i1:y"), OptionError::InfoTwice);
  EXPECT_EQ(Parse("t a -h:1 -d1:x -d:y"), OptionError::ControlTwice);
  EXPECT_EQ(Parse("t a -h:1 -q"), OptionError::UnknownOption);
  EXPECT_EQ(Parse("t a -h:1 -H:1"), OptionError::UnknownOption);
  EXPECT_EQ(Parse("t a -h:1 -i"), OptionError::UnknownOption);
  // The first failure ends the parse: the later unknown option is not reached.
  EXPECT_EQ(Parse("t a b -q"), OptionError::SurplusArgument);
  EXPECT_EQ(Parse("t -s:80000000 a b"), OptionError::BadStart);
  // After the tokens: -i with -d, then no input, then no caller window.
  EXPECT_EQ(Parse("t -i:x -d:y"), OptionError::InfoAndControl);
  EXPECT_EQ(Parse("t -h:1"), OptionError::NoInput);
  EXPECT_EQ(Parse("t a"), OptionError::NoCallerWindow);
  EXPECT_EQ(options_.callerWindow, kNoCallerWindow);
  EXPECT_EQ(Parse("t a -h:zz"), OptionError::NoCallerWindow);
}

TEST_F(CommandLine, FileNameThatOverflowsThePathIsRefused) {
  std::string name(kPathMax - 6 + 1, 'n');   // "/prog/" + name is one byte too long
  EXPECT_EQ(Parse("t a -h:1 -i:" + name), OptionError::UnknownOption);
  name.pop_back();
  EXPECT_EQ(Parse("t a -h:1 -i:" + name), OptionError::None);
  EXPECT_EQ(std::string(options_.infoPath).size(), kPathMax);
}

TEST_F(CommandLine, MessagesAreShiftJisLines) {
  // "入力" in Shift-JIS is 93 FC 97 CD; every message ends in a line feed.
  EXPECT_EQ(std::string(OptionErrorText(OptionError::NoInput)).substr(0, 4), "\x93\xFC\x97\xCD");
  const std::string range = OptionErrorText(OptionError::BadStart);
  EXPECT_NE(range.find("\x81\x60"), std::string::npos);   // the wave dash of code page 932
  for (OptionError e : {OptionError::SurplusArgument, OptionError::BadStart, OptionError::BadEnd,
                        OptionError::InfoTwice, OptionError::ControlTwice,
                        OptionError::UnknownOption, OptionError::InfoAndControl,
                        OptionError::NoInput, OptionError::NoCallerWindow})
    EXPECT_EQ(std::string(OptionErrorText(e)).back(), '\n');
}

}  // namespace
