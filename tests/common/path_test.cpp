// Shift-JIS byte tests and the path helpers on the real file system.
#include "common/path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/raw_file.h"
#include "common/sjis.h"
#include "temp_folder.h"

namespace {

const std::string kSep(1, kPathSeparator);
// 表 in Shift-JIS: its trail byte is 0x5C, the backslash.
const char kHyou[] = "\x95\x5C";

void write_file(const std::string& path, const std::string& content) {
  const RawHandle h = raw_open(path.c_str(), "wb");
  ASSERT_NE(h, kInvalidRawHandle) << path;
  ASSERT_EQ(raw_write(content.data(), 1, content.size(), h), content.size());
  ASSERT_NE(raw_close(h), 0);
}

TEST(SjisBytes, LeadByteRangesAreExact) {
  const struct { uint8_t b; int lead; } cases[] = {
      {0x00, 0}, {0x5C, 0}, {0x7F, 0}, {0x80, 0}, {0x81, 1}, {0x9F, 1}, {0xA0, 0},
      {0xA1, 0}, {0xDF, 0}, {0xE0, 1}, {0xFC, 1}, {0xFD, 0}, {0xFF, 0}};
  for (const auto& c : cases) EXPECT_EQ(sjis_is_lead(c.b), c.lead) << std::hex << int(c.b);
}

TEST(SjisBytes, KindFollowsPairsFromTheStart) {
  // "a表b": the 0x5C is a trail byte, not a backslash.
  const char text[] = "a\x95\x5C" "b";
  EXPECT_EQ(sjis_byte_kind(text, 0), 0);
  EXPECT_EQ(sjis_byte_kind(text, 1), 1);
  EXPECT_EQ(sjis_byte_kind(text, 2), 2);
  EXPECT_EQ(sjis_byte_kind(text, 3), 0);
  EXPECT_EQ(sjis_byte_kind(text, 4), 0);    // the terminator
  EXPECT_EQ(sjis_byte_kind(text, 100), 0);  // far past the end

  // A run of lead-range bytes alternates lead/trail; looking only at the previous byte would
  // call every byte after the first a trail byte.
  const char run[] = "\x81\x81\x81\x81\x81";
  const int expected[] = {1, 2, 1, 2, 1, 0};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(sjis_byte_kind(run, i), expected[i]) << i;
}

TEST(SjisBytes, WalkTakesByte80ForALeadAndStopsAtTheEnd) {
  const char with80[] = "\x80\x5C";
  EXPECT_EQ(sjis_byte_kind(with80, 0), 1);
  EXPECT_EQ(sjis_byte_kind(with80, 1), 2);
  // A lead byte just before the terminator has no trail byte.
  const char dangling[] = "ab\x95";
  EXPECT_EQ(sjis_byte_kind(dangling, 2), 1);
  EXPECT_EQ(sjis_byte_kind(dangling, 3), 0);
  EXPECT_EQ(sjis_byte_kind(dangling, 4), 0);
}

TEST(PathAddBackslash, AppendsOnlyWhereNoSeparatorEnds) {
  char path[kPathBuffer] = "";
  path_add_backslash(path);
  EXPECT_EQ(std::string(path), kSep);

  std::strcpy(path, "abc");
  path_add_backslash(path);
  EXPECT_EQ(std::string(path), "abc" + kSep);
  path_add_backslash(path);
  EXPECT_EQ(std::string(path), "abc" + kSep);

#ifdef _WIN32
  std::strcpy(path, "C:\\");
  path_add_backslash(path);
  EXPECT_STREQ(path, "C:\\");
#else
  std::strcpy(path, "/");
  path_add_backslash(path);
  EXPECT_STREQ(path, "/");
#endif

  // A path ending in 表 ends in the byte 0x5C, which is no separator.
  std::strcpy(path, "X");
  std::strcat(path, kHyou);
  path_add_backslash(path);
  const char expected[] = {'X', '\x95', '\x5C', kPathSeparator, 0};
  EXPECT_STREQ(path, expected);
}

TEST(PathAddBackslash, FullBufferIsNotOverrun) {
  char buffer[kPathBuffer + 1];
  std::memset(buffer, 'a', kPathMax);
  buffer[kPathMax] = 0;
  buffer[kPathBuffer] = 0x7E;  // guard byte just past the path buffer
  path_add_backslash(buffer);
  EXPECT_EQ(std::strlen(buffer), kPathMax);
  EXPECT_EQ(buffer[kPathBuffer], 0x7E);

  std::memset(buffer, 'a', kPathMax - 1);
  buffer[kPathMax - 1] = 0;
  path_add_backslash(buffer);
  EXPECT_EQ(std::strlen(buffer), kPathMax);
  EXPECT_EQ(buffer[kPathMax - 1], kPathSeparator);
}

TEST(PathParts, RootAndNameOffsets) {
#ifdef _WIN32
  EXPECT_EQ(path_root_length("C:\\A\\B"), 3u);
  EXPECT_EQ(path_root_length("C:"), 0u);
  EXPECT_EQ(path_root_length("\\A"), 0u);
  EXPECT_EQ(path_root_length(""), 0u);
  EXPECT_EQ(path_is_full("d:\\x.ts"), 1);
  EXPECT_EQ(path_is_full("x.ts"), 0);
  EXPECT_EQ(path_name_offset("C:\\A\\B.ts"), 5u);
  EXPECT_EQ(path_name_offset("C:B.ts"), 2u);
  // The 0x5C of 表 must not be taken for the last separator.
  const std::string jp = std::string("C:\\A\\") + kHyou + "B.ts";
  EXPECT_EQ(path_name_offset(jp.c_str()), 5u);
#else
  EXPECT_EQ(path_root_length("/a/b"), 1u);
  EXPECT_EQ(path_root_length("a/b"), 0u);
  EXPECT_EQ(path_root_length(""), 0u);
  EXPECT_EQ(path_is_full("/x.ts"), 1);
  EXPECT_EQ(path_is_full("x.ts"), 0);
  EXPECT_EQ(path_name_offset("/a/bc/d.ts"), 6u);
  // UTF-8 "あ" (E3 81 82) before a '/' must not hide the separator.
  EXPECT_EQ(path_name_offset("/\xE3\x81\x82/d.ts"), 5u);
#endif
  EXPECT_EQ(path_name_offset("name.ts"), 0u);
  EXPECT_EQ(path_name_offset(""), 0u);
}

class PathFileSystem : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
  TempFolder dir_;
};

TEST_F(PathFileSystem, ExistsAndSizeOfFilesFoldersAndNothing) {
  const std::string file = dir_.Join("a.ts");
  write_file(file, std::string(1000, 'x'));
  EXPECT_EQ(path_exists(file.c_str()), 1);
  EXPECT_EQ(path_file_size(file.c_str()), 1000.0);
  EXPECT_EQ(path_exists(dir_.path().c_str()), 1);
  EXPECT_EQ(path_file_size(dir_.path().c_str()), 0.0);

  const std::string missing = dir_.Join("missing.ts");
  EXPECT_EQ(path_exists(missing.c_str()), 0);
  EXPECT_EQ(path_file_size(missing.c_str()), 0.0);
  EXPECT_EQ(path_exists(""), 0);
  EXPECT_EQ(path_file_size(""), 0.0);

  const std::string empty = dir_.Join("empty.ts");
  write_file(empty, "");
  EXPECT_EQ(path_exists(empty.c_str()), 1);
  EXPECT_EQ(path_file_size(empty.c_str()), 0.0);
}

TEST_F(PathFileSystem, SizeOfExactlyFourGibibytes) {
  // A sparse file: one byte written at 4 GiB - 1.
  const std::string file = dir_.Join("big.ts");
  const RawHandle h = raw_open(file.c_str(), "wb");
  ASSERT_NE(h, kInvalidRawHandle);
  ASSERT_EQ(raw_seek(h, 0xFFFFFFFFu, 0, 0), 0);
  ASSERT_EQ(raw_write("z", 1, 1, h), 1u);
  ASSERT_NE(raw_close(h), 0);
  EXPECT_EQ(path_file_size(file.c_str()), 4294967296.0);
}

TEST_F(PathFileSystem, MakeFoldersCreatesEveryMissingLevel) {
  const std::string deep = dir_.Join("A") + kSep + "B" + kSep + "C";
  EXPECT_EQ(path_make_folders(deep.c_str()), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir_.Native(L"A") / L"B" / L"C"));
  // Again, with everything present.
  EXPECT_EQ(path_make_folders(deep.c_str()), 0);
  // A trailing separator names the same folder.
  const std::string trailing = dir_.Join("D") + kSep + "E" + kSep;
  EXPECT_EQ(path_make_folders(trailing.c_str()), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir_.Native(L"D") / L"E"));
}

TEST_F(PathFileSystem, MakeFoldersFailsWhenAFileIsInTheWay) {
  write_file(dir_.Join("OUT"), "not a folder");
  const std::string below = dir_.Join("OUT") + kSep + "X";
  EXPECT_EQ(path_make_folders(below.c_str()), 1);
  EXPECT_EQ(path_make_folders(dir_.Join("OUT").c_str()), 1);
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_.Native(L"OUT")));
}

TEST_F(PathFileSystem, MakeFoldersRefusesRootsAndRelativePaths) {
#ifdef _WIN32
  EXPECT_EQ(path_make_folders("C:"), 1);
  EXPECT_EQ(path_make_folders("C:\\"), 1);
  EXPECT_EQ(path_make_folders("C"), 1);
  EXPECT_EQ(path_make_folders("A\\B"), 1);
  EXPECT_EQ(path_make_folders("\\\\A\\B"), 1);
#else
  EXPECT_EQ(path_make_folders("/"), 1);
  EXPECT_EQ(path_make_folders("A/B"), 1);
#endif
  EXPECT_EQ(path_make_folders(""), 1);
  const std::string too_long = dir_.Join(std::string(kPathMax, 'a'));
  EXPECT_EQ(path_make_folders(too_long.c_str()), 1);
}

#ifdef _WIN32
TEST_F(PathFileSystem, JapaneseNamesRoundTripThroughTheWideFunctions) {
  // 表 (0x95 0x5C) as a folder in the middle of a path and as part of a file name: a backslash
  // scan that ignores the Shift-JIS pairs would cut the name after 0x95.
  const std::string folder = dir_.Join(kHyou) + "\\" + "X";
  EXPECT_EQ(path_make_folders(folder.c_str()), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir_.Native(L"\u8868") / L"X"));

  const std::string file = dir_.Join(std::string(kHyou) + ".ts");
  write_file(file, "0123456789");
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_.Native(L"\u8868.ts")));
  EXPECT_EQ(path_exists(file.c_str()), 1);
  EXPECT_EQ(path_file_size(file.c_str()), 10.0);
  const RawHandle h = raw_open(file.c_str(), "rb");
  ASSERT_NE(h, kInvalidRawHandle);
  char buf[16] = {};
  EXPECT_EQ(raw_read(buf, 1, sizeof buf, h), 10u);
  EXPECT_STREQ(buf, "0123456789");
  raw_close(h);
}
#endif

}  // namespace
