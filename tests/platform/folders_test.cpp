// Folder listing and drives, on the real file system: every entry whatever its attributes, names
// as the program spells them, no way up from a root, and the drive list of this system.
#include "platform/folders.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/raw_file.h"
#include "tests/common/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct Seen {
  bool folder, hidden, system;
  bool operator==(const Seen&) const = default;
};

std::map<std::string, Seen> list(const std::string& folder) {
  std::map<std::string, Seen> entries;
  FolderListing listing(folder.c_str());
  FolderEntry e;
  while (listing.Next(e)) entries[e.name] = Seen{e.isFolder, e.hidden, e.system};
  return entries;
}

void touch(const std::string& path) {
  const RawHandle h = raw_open(path.c_str(), "wb");
  ASSERT_NE(h, kInvalidRawHandle) << path;
  raw_close(h);
}

const std::string kHyou = "\x95\x5C";  // 表, whose trail byte is the backslash

}  // namespace

TEST(Folders, ListingGivesEveryEntryWithItsKindAndAttributes) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_EQ(path_make_folders(dir.Join("番組" + kHyou).c_str()), 0);
  touch(dir.Join("in.ts"));
#ifdef _WIN32
  touch(dir.Join("hidden.ts"));
  touch(dir.Join("system.ts"));
  SetFileAttributesW(dir.Native(L"hidden.ts").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW(dir.Native(L"system.ts").c_str(), FILE_ATTRIBUTE_SYSTEM);
  const std::map<std::string, Seen> want = {
      {".", {true, false, false}},       {"..", {true, false, false}},
      {"番組" + kHyou, {true, false, false}}, {"in.ts", {false, false, false}},
      {"hidden.ts", {false, true, false}}, {"system.ts", {false, false, true}}};
#else
  touch(dir.Join(".hidden.ts"));
  const std::map<std::string, Seen> want = {
      {".", {true, false, false}},       {"..", {true, false, false}},
      {"番組" + kHyou, {true, false, false}}, {"in.ts", {false, false, false}},
      {".hidden.ts", {false, true, false}}};
#endif
  EXPECT_EQ(list(dir.path()), want);
  // With its final separator the folder lists the same.
  EXPECT_EQ(list(dir.Join("")), want);
  // Inside the folder whose name ends in 0x5C.
  touch(dir.Join("番組" + kHyou + kPathSeparator + "a.ts"));
  EXPECT_EQ(list(dir.Join("番組" + kHyou)).count("a.ts"), 1u);
  EXPECT_TRUE(list(dir.Join("no such folder")).empty());
}

TEST(Folders, DrivesOfThisSystemAndTheirRoots) {
  const DriveSource& drives = system_drives();
  char root[kDriveRootBuffer];
  char folder[kPathBuffer];
#ifdef _WIN32
  ASSERT_EQ(drives.RootCount(), 26);
  drives.Root(2, root);
  EXPECT_STREQ(root, "C:\\");
  EXPECT_EQ(drives.Type(root), DriveType::Fixed);
  ASSERT_TRUE(drives.Enter(root, folder, sizeof folder));
  EXPECT_EQ(std::string(folder).substr(0, 3), "C:\\");
#else
  ASSERT_EQ(drives.RootCount(), 1);
  drives.Root(0, root);
  EXPECT_STREQ(root, "/");
  EXPECT_EQ(drives.Type(root), DriveType::Fixed);
  ASSERT_TRUE(drives.Enter(root, folder, sizeof folder));
  EXPECT_EQ(folder[0], '/');
#endif
  // A drive root has no way up.
  EXPECT_EQ(list(root).count(".."), 0u);
  EXPECT_FALSE(list(root).empty());
}
