// Shift-JIS byte tests and the path helpers, on the real file system.
#include "common/path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "common/raw_file.h"
#include "common/sjis.h"
#include "temp_folder.h"

namespace {

const std::string kSep(1, kPathSeparator);
const char kHyou[] = "\x95\x5C";  // 表: its trail byte is 0x5C, the backslash

TEST(Sjis, ByteKindWalksPairsFromTheStart) {
  EXPECT_EQ(sjis_is_lead(0x80), 0);
  EXPECT_EQ(sjis_is_lead(0x81), 1);
  EXPECT_EQ(sjis_is_lead(0xA0), 0);
  EXPECT_EQ(sjis_is_lead(0xFC), 1);
  EXPECT_EQ(sjis_is_lead(0xFD), 0);
  // In a run of lead-range bytes the kinds alternate; looking only at the previous byte would
  // call every byte after the first a trail byte. 0x80 opens a pair in this walk.
  const char run[] = "\x81\x81\x81\x81\x80\x5C" "a";
  const int kinds[] = {1, 2, 1, 2, 1, 2, 0, 0, 0};
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(sjis_byte_kind(run, i), kinds[i]) << i;
  // A lead byte just before the terminator has no trail.
  EXPECT_EQ(sjis_byte_kind("ab\x95", 3), 0);
}

TEST(PathText, AddBackslashOnlyWhereNoSeparatorEnds) {
  char path[kPathBuffer] = "";
  path_add_backslash(path);
  EXPECT_EQ(path, kSep);
  std::strcpy(path, "abc");
  path_add_backslash(path);
  path_add_backslash(path);
  EXPECT_EQ(path, "abc" + kSep);
  std::strcpy(path, "X");
  std::strcat(path, kHyou);
  path_add_backslash(path);
  const char expected[] = {'X', '\x95', '\x5C', kPathSeparator, 0};
  EXPECT_STREQ(path, expected);
  // A full buffer is left alone rather than overrun.
  char full[kPathBuffer + 1];
  std::memset(full, 'a', kPathMax);
  full[kPathMax] = 0;
  full[kPathBuffer] = 0x7E;
  path_add_backslash(full);
  EXPECT_EQ(std::strlen(full), kPathMax);
  EXPECT_EQ(full[kPathBuffer], 0x7E);
}

TEST(PathText, RootAndNameOffsets) {
#ifdef _WIN32
  EXPECT_EQ(path_root_length("C:\\A"), 3u);
  EXPECT_EQ(path_root_length("C:"), 0u);
  const std::string jp = std::string("C:\\A\\") + kHyou + "B.ts";
  EXPECT_EQ(path_name_offset(jp.c_str()), 5u);
#else
  EXPECT_EQ(path_root_length("/a"), 1u);
  EXPECT_EQ(path_root_length("a/b"), 0u);
  // The UTF-8 "あ" (E3 81 82) before a '/' must not hide the separator.
  EXPECT_EQ(path_name_offset("/\xE3\x81\x82/d.ts"), 5u);
#endif
  EXPECT_EQ(path_name_offset("name.ts"), 0u);
}

TEST(PathText, CutToParentDropsTheLastFolderName) {
  auto up = [](std::string path) {
    char buf[kPathBuffer];
    std::strcpy(buf, path.c_str());
    path_cut_to_parent(buf);
    return std::string(buf);
  };
#ifdef _WIN32
  EXPECT_EQ(up("C:\\A\\B\\"), "C:\\A\\");
  EXPECT_EQ(up("C:\\A\\"), "C:\\");
  EXPECT_EQ(up("C:\\"), "C:\\");  // a drive root has nowhere to go
  // The trail byte of 表 is no separator: the whole name 表 goes.
  EXPECT_EQ(up(std::string("C:\\A\\") + kHyou + "\\"), "C:\\A\\");
  EXPECT_EQ(up(std::string("C:\\") + kHyou + "X" + kHyou + "\\"), "C:\\");
#else
  EXPECT_EQ(up("/a/b/"), "/a/");
  EXPECT_EQ(up("/a/"), "/");
  EXPECT_EQ(up("/"), "/");
  EXPECT_EQ(up(std::string("/") + kHyou + "/" + kHyou + "/"), std::string("/") + kHyou + "/");
#endif
  EXPECT_EQ(up(""), "");
}

class PathFiles : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
  void Write(const std::string& path, const std::string& content, uint32_t at_low = 0) {
    const RawHandle h = raw_open(path.c_str(), "wb");
    ASSERT_NE(h, kInvalidRawHandle) << path;
    ASSERT_EQ(raw_seek(h, at_low, 0, 0), 0);
    ASSERT_EQ(raw_write(content.data(), 1, content.size(), h), content.size());
    ASSERT_NE(raw_close(h), 0);
  }
  TempFolder dir_;
};

TEST_F(PathFiles, ExistsAndSize) {
  Write(dir_.Join("a.ts"), std::string(1000, 'x'));
  EXPECT_EQ(path_exists(dir_.Join("a.ts").c_str()), 1);
  EXPECT_EQ(path_file_size(dir_.Join("a.ts").c_str()), 1000.0);
  EXPECT_EQ(path_exists(dir_.path().c_str()), 1);
  EXPECT_EQ(path_exists(dir_.Join("none").c_str()), 0);
  EXPECT_EQ(path_file_size(dir_.Join("none").c_str()), 0.0);
  // A sparse file of exactly 4 GiB: one byte at 4 GiB - 1.
  Write(dir_.Join("big.ts"), "z", 0xFFFFFFFFu);
  EXPECT_EQ(path_file_size(dir_.Join("big.ts").c_str()), 4294967296.0);
}

TEST_F(PathFiles, WriteTimeMovesWhenTheFileIsRewritten) {
  const std::string a = dir_.Join("a.ts");
  EXPECT_EQ(path_write_time(a.c_str()), 0u);
  Write(a, "old");
  std::filesystem::last_write_time(a, std::filesystem::last_write_time(a) - std::chrono::hours(1));
  const uint64_t old = path_write_time(a.c_str());
  EXPECT_NE(old, 0u);
  Write(a, "new");
  EXPECT_GT(path_write_time(a.c_str()), old);
}

TEST_F(PathFiles, MakeFoldersCreatesEveryLevelButNotThroughAFile) {
  const std::string deep = dir_.Join("A") + kSep + "B" + kSep + "C";
  EXPECT_EQ(path_make_folders(deep.c_str()), 0);
  EXPECT_EQ(path_make_folders(deep.c_str()), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir_.Native(L"A") / L"B" / L"C"));
  Write(dir_.Join("OUT"), "a file");
  EXPECT_EQ(path_make_folders((dir_.Join("OUT") + kSep + "X").c_str()), 1);
  EXPECT_EQ(path_make_folders(dir_.Join("OUT").c_str()), 1);
#ifdef _WIN32
  EXPECT_EQ(path_make_folders("C:"), 1);
  EXPECT_EQ(path_make_folders("C:\\"), 1);
  EXPECT_EQ(path_make_folders("A\\B"), 1);
#else
  EXPECT_EQ(path_make_folders("/"), 1);
  EXPECT_EQ(path_make_folders("A/B"), 1);
#endif
}

// The identity test sees through another spelling of a file and through a hard link, and never
// takes two files of the same content for one.
TEST_F(PathFiles, SameFileByIdentityNotBySpelling) {
  const std::string a = dir_.Join("a.ts");
  Write(a, "same");
  Write(dir_.Join("b.ts"), "same");
  ASSERT_EQ(path_make_folders(dir_.Join("sub").c_str()), 0);
  const std::string roundabout = dir_.Join("sub") + kSep + ".." + kSep + "a.ts";
  EXPECT_EQ(path_same_file(a.c_str(), a.c_str()), 1);
  EXPECT_EQ(path_same_file(a.c_str(), roundabout.c_str()), 1);
  std::error_code ec;
  std::filesystem::create_hard_link(dir_.Native(L"a.ts"), dir_.Native(L"link.ts"), ec);
  if (!ec) {
    EXPECT_EQ(path_same_file(a.c_str(), dir_.Join("link.ts").c_str()), 1);
  }
  EXPECT_EQ(path_same_file(a.c_str(), dir_.Join("b.ts").c_str()), 0);
  EXPECT_EQ(path_same_file(a.c_str(), dir_.Join("none.ts").c_str()), 0);
  EXPECT_EQ(path_is_folder(dir_.Join("sub").c_str()), 1);
  EXPECT_EQ(path_is_folder(a.c_str()), 0);
  EXPECT_EQ(path_is_folder(dir_.Join("none").c_str()), 0);
}

// Outputs are compared before any of them is created: two spellings of one entry of one folder
// are one target whether it exists yet or not; an existing file and a name still free never are.
TEST_F(PathFiles, SameTargetBeforeTheFileExists) {
  ASSERT_EQ(path_make_folders(dir_.Join("sub").c_str()), 0);
  const std::string made = dir_.Join("new.ts");
  const std::string roundabout = dir_.Join("sub") + kSep + ".." + kSep + "new.ts";
  EXPECT_EQ(path_same_target(made.c_str(), roundabout.c_str()), 1);
  EXPECT_EQ(path_same_target(made.c_str(), dir_.Join("other.ts").c_str()), 0);
  EXPECT_EQ(path_same_target(made.c_str(), (dir_.Join("sub") + kSep + "new.ts").c_str()), 0);
  EXPECT_EQ(path_same_target(made.c_str(), (dir_.Join("none") + kSep + "new.ts").c_str()), 0);
#ifdef _WIN32
  // The file system's own rules: letter case and trailing dots and blanks do not make a new name.
  EXPECT_EQ(path_same_target(made.c_str(), dir_.Join("NEW.TS").c_str()), 1);
  EXPECT_EQ(path_same_target(made.c_str(), dir_.Join("new.ts. ").c_str()), 1);
#else
  EXPECT_EQ(path_same_target(made.c_str(), dir_.Join("NEW.TS").c_str()), 0);
  // A link that leads nowhere yet creates the file it names.
  std::error_code ec;
  std::filesystem::create_symlink("sub/../new.ts", dir_.Native(L"link.ts"), ec);
  ASSERT_FALSE(ec);
  EXPECT_EQ(path_same_target(made.c_str(), dir_.Join("link.ts").c_str()), 1);
#endif
  Write(made, "x");
  EXPECT_EQ(path_same_target(made.c_str(), roundabout.c_str()), 1);
  EXPECT_EQ(path_same_target(made.c_str(), dir_.Join("other.ts").c_str()), 0);
  EXPECT_EQ(path_same_target(dir_.Join("other.ts").c_str(), made.c_str()), 0);
}

TEST_F(PathFiles, ClearingReadOnlyKeepsTheFile) {
  const std::string a = dir_.Join("ro.ts");
  Write(a, "x");
  std::filesystem::permissions(dir_.Native(L"ro.ts"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  EXPECT_EQ(path_clear_read_only(a.c_str()), 0);
  EXPECT_NE(std::filesystem::status(dir_.Native(L"ro.ts")).permissions() & std::filesystem::perms::owner_write,
            std::filesystem::perms::none);
  EXPECT_EQ(path_clear_read_only(a.c_str()), 0);
  EXPECT_EQ(path_file_size(a.c_str()), 1.0);
  EXPECT_EQ(path_clear_read_only(dir_.Join("none").c_str()), 1);
}

#ifdef _WIN32
TEST_F(PathFiles, JapaneseNamesReachTheFileSystemAsTheyAre) {
  // A backslash scan that ignored the pairs would cut 表 after 0x95.
  const std::string folder = dir_.Join(kHyou) + "\\X";
  EXPECT_EQ(path_make_folders(folder.c_str()), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir_.Native(L"\u8868") / L"X"));
  const std::string file = dir_.Join(std::string(kHyou) + ".ts");
  Write(file, "0123456789");
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_.Native(L"\u8868.ts")));
  EXPECT_EQ(path_exists(file.c_str()), 1);
  EXPECT_EQ(path_file_size(file.c_str()), 10.0);
  const RawHandle h = raw_open(file.c_str(), "rb");
  char buf[16] = {};
  EXPECT_EQ(raw_read(buf, 1, sizeof buf, h), 10u);
  EXPECT_STREQ(buf, "0123456789");
  raw_close(h);
}
#endif

}  // namespace
