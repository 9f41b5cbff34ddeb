// The file layer: open modes, reads and writes, 64-bit positioning.
#include "common/raw_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/path.h"
#include "temp_folder.h"

namespace {

class RawFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }

  std::string WriteFile(const char* name, const std::string& content) {
    const std::string path = dir_.Join(name);
    const RawHandle h = raw_open(path.c_str(), "wb");
    EXPECT_NE(h, kInvalidRawHandle) << path;
    EXPECT_EQ(raw_write(content.data(), 1, content.size(), h), content.size());
    EXPECT_NE(raw_close(h), 0);
    return path;
  }

  static std::string ReadAt(RawHandle h, uint32_t low, int32_t high, int origin, size_t n) {
    std::string out(n, '\0');
    if (raw_seek(h, low, high, origin) != 0) return "<seek failed>";
    out.resize(raw_read(out.data(), 1, n, h));
    return out;
  }

  TempFolder dir_;
};

TEST_F(RawFile, ModesAreReadOrWriteWithoutRegardToCase) {
  const std::string path = WriteFile("m.ts", "abc");
  for (const char* mode : {"rb", "RB", "rB"}) {
    const RawHandle h = raw_open(path.c_str(), mode);
    EXPECT_NE(h, kInvalidRawHandle) << mode;
    raw_close(h);
  }
  for (const char* mode : {"r", "w", "", "rb+", "ab", "wt", "br"})
    EXPECT_EQ(raw_open(path.c_str(), mode), kInvalidRawHandle) << '"' << mode << '"';
  // None of the refused modes may have touched the file.
  EXPECT_EQ(path_file_size(path.c_str()), 3.0);
}

TEST_F(RawFile, ReadOpensOnlyExistingFiles) {
  EXPECT_EQ(raw_open(dir_.Join("missing.ts").c_str(), "rb"), kInvalidRawHandle);
  EXPECT_EQ(path_exists(dir_.Join("missing.ts").c_str()), 0);
  // A folder is not a file.
  EXPECT_EQ(raw_open(dir_.path().c_str(), "rb"), kInvalidRawHandle);
  EXPECT_EQ(raw_open(dir_.path().c_str(), "wb"), kInvalidRawHandle);
  // Nor can a file be made in a folder that does not exist.
  const std::string nowhere = dir_.Join("no") + kPathSeparator + "x.ts";
  EXPECT_EQ(raw_open(nowhere.c_str(), "wb"), kInvalidRawHandle);
}

TEST_F(RawFile, WriteTruncatesAnExistingFile) {
  const std::string path = WriteFile("t.ts", std::string(500, 'a'));
  WriteFile("t.ts", "xy");
  EXPECT_EQ(path_file_size(path.c_str()), 2.0);
}

TEST_F(RawFile, ReadReturnsByteCountShortAtEndOfFile) {
  const std::string path = WriteFile("r.ts", "0123456789");
  const RawHandle h = raw_open(path.c_str(), "rb");
  ASSERT_NE(h, kInvalidRawHandle);
  char buf[8];
  // size*count bytes are asked for; the result counts bytes, not items.
  EXPECT_EQ(raw_read(buf, 2, 3, h), 6u);
  EXPECT_EQ(std::string(buf, 6), "012345");
  EXPECT_EQ(raw_read(buf, 1, 8, h), 4u);
  EXPECT_EQ(std::string(buf, 4), "6789");
  EXPECT_EQ(raw_read(buf, 1, 8, h), 0u);
  // A write on a handle opened for reading fails and reports 0.
  EXPECT_EQ(raw_write("zz", 1, 2, h), 0u);
  EXPECT_NE(raw_close(h), 0);
  EXPECT_EQ(path_file_size(path.c_str()), 10.0);
}

TEST_F(RawFile, InvalidHandleAndOversizedRequestsFail) {
  char buf[4];
  EXPECT_EQ(raw_read(buf, 1, 4, kInvalidRawHandle), 0u);
  EXPECT_EQ(raw_write(buf, 1, 4, kInvalidRawHandle), 0u);
  EXPECT_EQ(raw_seek(kInvalidRawHandle, 0, 0, 0), -1);
  EXPECT_EQ(raw_close(kInvalidRawHandle), 0);

  const std::string path = WriteFile("o.ts", "abcd");
  const RawHandle h = raw_open(path.c_str(), "rb");
  ASSERT_NE(h, kInvalidRawHandle);
  // size*count overflows: nothing may be read into the four-byte buffer.
  EXPECT_EQ(raw_read(buf, SIZE_MAX / 2 + 1, 2, h), 0u);
  EXPECT_EQ(raw_read(buf, 1, 4, h), 4u);
  raw_close(h);
}

TEST_F(RawFile, SeekOriginsAndUnknownOriginLeavesPositionAlone) {
  const std::string path = WriteFile("s.ts", "ABCDEFGH");
  const RawHandle h = raw_open(path.c_str(), "rb");
  ASSERT_NE(h, kInvalidRawHandle);
  EXPECT_EQ(ReadAt(h, 2, 0, 0, 2), "CD");
  EXPECT_EQ(ReadAt(h, 1, 0, 1, 2), "FG");                  // from the current position (4)
  EXPECT_EQ(ReadAt(h, uint32_t(-3), -1, 2, 2), "FG");     // 3 before the end
  ASSERT_EQ(raw_seek(h, 4, 0, 0), 0);
  EXPECT_EQ(raw_seek(h, 0, 0, 3), -1);
  EXPECT_EQ(raw_seek(h, 0, 0, -1), -1);
  char buf[4];
  EXPECT_EQ(raw_read(buf, 1, 4, h), 4u);
  EXPECT_EQ(std::string(buf, 4), "EFGH");
  // A position before the start is refused.
  EXPECT_EQ(raw_seek(h, uint32_t(-1), -1, 0), -1);
  raw_close(h);
}

TEST_F(RawFile, PositionsBeyondFourGibibytes) {
  // Sparse file with markers just below, at and past 4 GiB, the last at a packet boundary
  // (packet 22845571 starts at 4294967348 = 0x1_0000_0034).
  const std::string path = dir_.Join("big.ts");
  RawHandle h = raw_open(path.c_str(), "wb");
  ASSERT_NE(h, kInvalidRawHandle);
  ASSERT_EQ(raw_seek(h, 0xFFFFFFFCu, 0, 0), 0);
  ASSERT_EQ(raw_write("low!", 1, 4, h), 4u);   // ends exactly at 4 GiB
  ASSERT_EQ(raw_seek(h, 0x34, 1, 0), 0);
  ASSERT_EQ(raw_write("\x47" "far", 1, 4, h), 4u);
  ASSERT_NE(raw_close(h), 0);
  EXPECT_EQ(path_file_size(path.c_str()), 4294967296.0 + 0x38);

  h = raw_open(path.c_str(), "rb");
  ASSERT_NE(h, kInvalidRawHandle);
  const uint64_t packet_offset = uint64_t(22845571) * 188;
  ASSERT_EQ(packet_offset, 0x100000034ull);
  EXPECT_EQ(ReadAt(h, uint32_t(packet_offset), int32_t(packet_offset >> 32), 0, 8),
            "\x47" "far");
  EXPECT_EQ(ReadAt(h, 0xFFFFFFFCu, 0, 0, 4), "low!");
  // Relative moves across the 4 GiB line, forward and back.
  EXPECT_EQ(ReadAt(h, 0x34, 0, 1, 4), "\x47" "far");
  EXPECT_EQ(ReadAt(h, uint32_t(-0x3C), -1, 1, 4), "low!");
  EXPECT_EQ(ReadAt(h, uint32_t(-4), -1, 2, 4), "\x47" "far");
  raw_close(h);
}

#ifdef _WIN32
TEST_F(RawFile, OpenFilesAreNotShared) {
  const std::string path = WriteFile("x.ts", "abc");
  const RawHandle h = raw_open(path.c_str(), "rb");
  ASSERT_NE(h, kInvalidRawHandle);
  EXPECT_EQ(raw_open(path.c_str(), "rb"), kInvalidRawHandle);
  EXPECT_EQ(raw_open(path.c_str(), "wb"), kInvalidRawHandle);
  raw_close(h);
  const RawHandle again = raw_open(path.c_str(), "rb");
  EXPECT_NE(again, kInvalidRawHandle);
  raw_close(again);
}

TEST_F(RawFile, PathsThatAreNotCp932AreRefused) {
  // 0x81 followed by 0x20 is no Shift-JIS character.
  const std::string bad = dir_.Join("\x81\x20.ts");
  EXPECT_EQ(raw_open(bad.c_str(), "wb"), kInvalidRawHandle);
  EXPECT_EQ(path_exists(bad.c_str()), 0);
}
#endif

}  // namespace
