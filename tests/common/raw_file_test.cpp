// The file layer: open modes, reads and writes, 64-bit positioning.
#include "common/raw_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "common/path.h"
#include "temp_folder.h"

namespace {

class RawFileLayer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
  std::string Write(const char* name, const std::string& content) {
    const std::string path = dir_.Join(name);
    const RawHandle h = raw_open(path.c_str(), "wb");
    EXPECT_EQ(raw_write(content.data(), 1, content.size(), h), content.size());
    EXPECT_NE(raw_close(h), 0);
    return path;
  }
  static std::string ReadAt(RawHandle h, uint32_t low, int32_t high, int origin, size_t n) {
    if (raw_seek(h, low, high, origin) != 0) return "<seek failed>";
    std::string out(n, '\0');
    out.resize(raw_read(out.data(), 1, n, h));
    return out;
  }
  TempFolder dir_;
};

TEST_F(RawFileLayer, OpenModes) {
  const std::string path = Write("m.ts", std::string(500, 'a'));
  const RawHandle h = raw_open(path.c_str(), "RB");
  EXPECT_NE(h, kInvalidRawHandle);
  raw_close(h);
  for (const char* mode : {"r", "w", "a", "", "rb+", "ab+"})
    EXPECT_EQ(raw_open(path.c_str(), mode), kInvalidRawHandle) << '"' << mode << '"';
  EXPECT_EQ(raw_open(dir_.Join("missing").c_str(), "rb"), kInvalidRawHandle);
  EXPECT_EQ(raw_open(dir_.path().c_str(), "rb"), kInvalidRawHandle);  // a folder is no file
  Write("m.ts", "xy");  // "wb" truncates
  EXPECT_EQ(path_file_size(path.c_str()), 2.0);
  // "ab" keeps what the file holds and writes after it; a missing file is created.
  for (const std::string& name : {path, dir_.Join("new.ts")}) {
    const RawHandle a = raw_open(name.c_str(), "AB");
    ASSERT_NE(a, kInvalidRawHandle) << name;
    EXPECT_EQ(raw_write("zz", 1, 2, a), 2u);
    EXPECT_NE(raw_close(a), 0);
  }
  const RawHandle r = raw_open(path.c_str(), "rb");
  EXPECT_EQ(ReadAt(r, 0, 0, 0, 8), "xyzz");
  raw_close(r);
  EXPECT_EQ(path_file_size(dir_.Join("new.ts").c_str()), 2.0);
}

TEST_F(RawFileLayer, ReadsShortOnlyAtTheEndAndWritesFailOnAReadHandle) {
  const RawHandle h = raw_open(Write("r.ts", "0123456789").c_str(), "rb");
  char buf[8];
  EXPECT_EQ(raw_read(buf, 2, 3, h), 6u);  // size*count bytes; the result counts bytes
  EXPECT_EQ(raw_read(buf, 1, 8, h), 4u);
  EXPECT_EQ(std::string(buf, 4), "6789");
  EXPECT_EQ(raw_read(buf, 1, 8, h), 0u);
  EXPECT_EQ(raw_write("zz", 1, 2, h), 0u);
  EXPECT_EQ(raw_read(buf, SIZE_MAX / 2 + 1, 2, h), 0u);  // size*count overflows
  EXPECT_NE(raw_close(h), 0);
}

TEST_F(RawFileLayer, UnknownSeekOriginLeavesThePositionAlone) {
  const RawHandle h = raw_open(Write("s.ts", "ABCDEFGH").c_str(), "rb");
  EXPECT_EQ(ReadAt(h, 2, 0, 0, 2), "CD");
  EXPECT_EQ(ReadAt(h, uint32_t(-3), -1, 2, 2), "FG");
  EXPECT_EQ(raw_seek(h, 3, 0, 3), -1);
  EXPECT_EQ(ReadAt(h, 0, 0, 1, 1), "H");
  EXPECT_EQ(raw_seek(h, uint32_t(-1), -1, 0), -1);  // before the start
  raw_close(h);
}

TEST_F(RawFileLayer, PositionsBeyondFourGibibytes) {
  // Packet 22845571 starts at 22845571 * 188 = 0x1_0000_0034.
  const uint64_t packet = uint64_t(22845571) * 188;
  const std::string path = dir_.Join("big.ts");
  RawHandle h = raw_open(path.c_str(), "wb");
  ASSERT_EQ(raw_seek(h, 0xFFFFFFFCu, 0, 0), 0);
  ASSERT_EQ(raw_write("low!", 1, 4, h), 4u);
  ASSERT_EQ(raw_seek(h, uint32_t(packet), int32_t(packet >> 32), 0), 0);
  ASSERT_EQ(raw_write("\x47" "far", 1, 4, h), 4u);
  raw_close(h);
  EXPECT_EQ(path_file_size(path.c_str()), double(packet + 4));
  h = raw_open(path.c_str(), "rb");
  EXPECT_EQ(ReadAt(h, uint32_t(packet), int32_t(packet >> 32), 0, 8), "\x47" "far");
  EXPECT_EQ(ReadAt(h, uint32_t(-0x3C), -1, 1, 4), "low!");  // back across the 4 GiB line
  EXPECT_EQ(ReadAt(h, 0x34, 0, 1, 4), "\x47" "far");
  raw_close(h);
}

// What a failed write leaves half done is cut off at the last whole record; writing goes on from
// there.
TEST_F(RawFileLayer, CutBackToWholeRecords) {
  const std::string path = dir_.Join("cut.ts");
  RawFile f(path.c_str(), "wb");
  ASSERT_EQ(raw_write(std::string(500, 'a').data(), 1, 500, f.get()), 500u);
  EXPECT_EQ(raw_cut_to_whole(f.get(), 188), 0);
  EXPECT_EQ(raw_write("b", 1, 1, f.get()), 1u);
  EXPECT_EQ(raw_cut_to_whole(f.get(), 0), -1);
  EXPECT_EQ(f.Close(), 1);
  EXPECT_EQ(path_file_size(path.c_str()), 377.0);
  EXPECT_EQ(raw_cut_to_whole(kInvalidRawHandle, 188), -1);
}

TEST_F(RawFileLayer, OwnerClosesItsHandleOnceWhereverItGoes) {
  const std::string path = Write("o.ts", "abc");
  RawHandle seen = kInvalidRawHandle;
  {
    RawFile file(path.c_str(), "rb");
    ASSERT_TRUE(file.ok());
    seen = file.get();
    RawFile moved(std::move(file));
    EXPECT_FALSE(file.ok());
    EXPECT_EQ(moved.get(), seen);
    RawFile other;
    other = std::move(moved);
    EXPECT_EQ(other.get(), seen);
  }
  EXPECT_EQ(raw_close(seen), 0);   // the owner closed it when it went out of scope
  RawFile written(dir_.Join("w.ts").c_str(), "wb");
  ASSERT_TRUE(written.ok());
  EXPECT_NE(written.Close(), 0);   // closing early reports success, and only once
  EXPECT_FALSE(written.ok());
  EXPECT_NE(written.Close(), 0);
  EXPECT_FALSE(RawFile(dir_.Join("missing").c_str(), "rb").ok());
}

#ifdef _WIN32
TEST_F(RawFileLayer, OpenFilesAreNotShared) {
  const std::string path = Write("x.ts", "abc");
  const RawHandle h = raw_open(path.c_str(), "rb");
  EXPECT_EQ(raw_open(path.c_str(), "rb"), kInvalidRawHandle);
  raw_close(h);
}
#endif

}  // namespace
