// The one reader of the information format: the same text under the tool's rules (keys exact,
// pieces of 1023 bytes) and the cutter's (keys in any case, pieces of 254), and PID line values.
#include "demux/info_file_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Seen {
  InfoLineKind kind;
  int number;
  std::string value;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> Lines(const std::string& text, const InfoReadRules& rules) {
  InfoFileReader reader(text.data(), text.size(), rules);
  std::vector<Seen> out;
  for (InfoLine line; reader.Next(line);) out.push_back({line.kind, line.number, line.value});
  return out;
}

using K = InfoLineKind;

TEST(InfoFileReader, KeysAndPiecesFollowTheRules) {
  const std::string z(300, 'z');
  const std::string text = "MODE=DEMUX\r\n// c\r\n;x\n\r\nname=a\r\nPID=0111,V\n" + z + "\n" +
                           std::string("\0ab\n", 4) + "SERVICE_ID=0400";
  EXPECT_EQ(Lines(text, InfoReadRules{}),
            (std::vector<Seen>{{K::Mode, 1, "DEMUX"}, {K::Comment, 2, "// c"}, {K::Comment, 3, ";x"},
                               {K::Empty, 4, ""}, {K::Other, 5, "name=a"}, {K::Pid, 6, "0111,V"},
                               {K::Other, 7, z}, {K::Empty, 8, ""}, {K::ServiceId, 9, "0400"}}));
  EXPECT_EQ(Lines(text, kCutterReadRules),
            (std::vector<Seen>{{K::Mode, 1, "DEMUX"}, {K::Comment, 2, "// c"}, {K::Comment, 3, ";x"},
                               {K::Empty, 4, ""}, {K::Name, 5, "a"}, {K::Pid, 6, "0111,V"},
                               {K::Other, 7, z.substr(0, kLinePieceMax)},
                               {K::Other, 8, z.substr(kLinePieceMax)}, {K::Empty, 9, ""},
                               {K::ServiceId, 10, "0400"}}));
}

TEST(InfoFileReader, PidValueAndTheClassAfterIt) {
  struct Case {
    const char* value;
    bool hasPid;
    uint32_t pid;
    const char* classText;
  };
  const Case cases[] = {
      {"0111,V", true, 0x111, "V"},   {" ,0111\tA", true, 0x111, "A"},  {"0111 PMT x", true, 0x111, "PMT"},
      {"0111", true, 0x111, ""},      {"0150,", true, 0x150, ""},      {"1FFFF,v", true, 0x1FFFF, "v"},
      {"", false, 0, ""},             {",", false, 0, ""},             {"zz 0111", false, 0, "0111"},
  };
  for (const Case& c : cases) {
    const PidLineValue v = read_pid_value(c.value);
    EXPECT_EQ(v.hasPid, c.hasPid) << c.value;
    if (c.hasPid) {
      EXPECT_EQ(v.pid, c.pid) << c.value;
    }
    EXPECT_EQ(v.classText, c.classText) << c.value;
  }
}

TEST(ReadHex, BehavesLikePercentX) {
  uint32_t v = 7;
  EXPECT_EQ(read_hex("", v), 0);
  EXPECT_EQ(read_hex("g1", v), 0);
  EXPECT_EQ(v, 7u);
  EXPECT_EQ(read_hex("  1aF", v), 1);
  EXPECT_EQ(v, 0x1AFu);
  EXPECT_EQ(read_hex("0x10", v), 1);
  EXPECT_EQ(v, 0x10u);
  EXPECT_EQ(read_hex("0xg", v), 1);
  EXPECT_EQ(v, 0u);
  EXPECT_EQ(read_hex("-1", v), 1);
  EXPECT_EQ(v, 0xFFFFFFFFu);
  EXPECT_EQ(read_hex("12zz", v), 1);
  EXPECT_EQ(v, 0x12u);
}

}  // namespace
