// 24-bit BMP files of the preview bitmap and of full-size pictures.
#include "mpeg2/bmp_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/mpeg2/picture_fixture.h"
#include "tests/support/stream_builder.h"

namespace {

using tsb::Bytes;

uint32_t Le32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}
uint32_t Le16(const Bytes& b, size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8; }

// A picture whose every pixel has its own colour, so rows and columns cannot be confused.
Sample Pattern(int32_t x, int32_t row) {
  return Sample{int16_t((x * 5 + row * 11) % 256), int16_t((x * 3) % 200 - 100),
                int16_t((row * 7) % 200 - 100)};
}

class BmpWriterTest : public ::testing::Test {
 protected:
  tsb::TempDir dir_;
};

TEST_F(BmpWriterTest, PreviewBitmapHeaderAndPixelsByteForByte) {
  std::vector<uint8_t> dib(kPreviewDibBytes);
  for (size_t i = 0; i < dib.size(); ++i) dib[i] = uint8_t(i * 31 + i / 1080);
  const std::string path = dir_.File("preview.bmp");
  ASSERT_EQ(write_preview_bmp(path.c_str(), dib.data()), kBmpOk);

  const Bytes f = tsb::ReadFile(path);
  ASSERT_EQ(f.size(), 54u + 259200u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(Le32(f, 2), 259254u);   // bfSize
  EXPECT_EQ(Le32(f, 6), 0u);        // bfReserved1, bfReserved2
  EXPECT_EQ(Le32(f, 10), 54u);      // bfOffBits
  EXPECT_EQ(Le32(f, 14), 40u);      // biSize
  EXPECT_EQ(Le32(f, 18), 360u);     // biWidth
  EXPECT_EQ(Le32(f, 22), 240u);     // biHeight: positive, rows bottom-up
  EXPECT_EQ(Le16(f, 26), 1u);       // biPlanes
  EXPECT_EQ(Le16(f, 28), 24u);      // biBitCount
  EXPECT_EQ(Le32(f, 30), 0u);       // BI_RGB
  EXPECT_EQ(Le32(f, 34), 259200u);  // biSizeImage
  EXPECT_EQ(Le32(f, 46), 0u);       // biClrUsed: no colour table
  EXPECT_EQ(Le32(f, 50), 0u);
  EXPECT_TRUE(std::equal(dib.begin(), dib.end(), f.begin() + 54));
}

// The full picture is the coded picture's own lines: with a height that is not a multiple of 16
// the lowest store rows are padding of the last macroblock row and are left out.
int32_t padding_rows(int32_t height) { return (height + 15) / 16 * 16 - height; }

TEST_F(BmpWriterTest, FullPictureRowsArePaddedToFourBytes) {
  // 5 pixels = 15 bytes a row, padded to 16.
  TestPicture pic(5, 3, 16);
  pic.Fill(Pattern);
  const std::string path = dir_.File("full.bmp");
  ASSERT_EQ(write_picture_bmp(path.c_str(), pic.view()), kBmpOk);

  const Bytes f = tsb::ReadFile(path);
  ASSERT_EQ(f.size(), 54u + 3 * 16u);
  EXPECT_EQ(Le32(f, 2), 54u + 48u);
  EXPECT_EQ(Le32(f, 18), 5u);
  EXPECT_EQ(Le32(f, 22), 3u);
  EXPECT_EQ(Le32(f, 34), 48u);
  for (int r = 0; r < 3; ++r) {
    for (int x = 0; x < 5; ++x) {
      const std::vector<uint8_t> want = Bgr(Pattern(x, r + padding_rows(3)));
      const size_t at = 54 + size_t(r) * 16 + size_t(x) * 3;
      EXPECT_EQ(Bytes(f.begin() + ptrdiff_t(at), f.begin() + ptrdiff_t(at) + 3), want)
          << "row " << r << " pixel " << x;
    }
    EXPECT_EQ(f[54 + size_t(r) * 16 + 15], 0) << "padding of row " << r;
  }
}

TEST_F(BmpWriterTest, FailuresAreReported) {
  TestPicture pic(0, 0, 16);
  const std::string empty = dir_.File("empty.bmp");
  EXPECT_EQ(write_picture_bmp(empty.c_str(), pic.view()), kBmpNoPicture);
  std::FILE* f = std::fopen(empty.c_str(), "rb");   // nothing is created
  EXPECT_EQ(f, nullptr);
  if (f) std::fclose(f);

  std::vector<uint8_t> dib(kPreviewDibBytes, 0);
  const std::string nowhere = dir_.File("missing") + "/x.bmp";
  EXPECT_EQ(write_preview_bmp(nowhere.c_str(), dib.data()), kBmpOpenFailed);
}

#ifndef _WIN32
// ImageMagick and ffmpeg read the files back: the header is understood and the rows come out in
// the right order (top row of the picture first in their top-down output).
TEST_F(BmpWriterTest, IndependentReadersAgree) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0 ||
      std::system("identify -version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "ffmpeg or ImageMagick is not available";
  }
  const int32_t w = 353, h = 241;   // odd sizes: padded rows
  TestPicture pic(w, h, 256);
  pic.Fill(Pattern);
  const std::string path = dir_.File("odd.bmp");
  ASSERT_EQ(write_picture_bmp(path.c_str(), pic.view()), kBmpOk);

  const std::string info = dir_.File("info.txt");
  ASSERT_EQ(std::system(("identify -format \"%w %h %z %m\" \"" + path + "\" >\"" + info + "\"").c_str()), 0);
  const Bytes text = tsb::ReadFile(info);
  EXPECT_EQ(std::string(text.begin(), text.end()), "353 241 8 BMP3");   // BMP3: the 40-byte info header

  const std::string raw = dir_.File("odd.bgr");
  ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -i \"" + path +
                         "\" -f rawvideo -pix_fmt bgr24 \"" + raw + "\"").c_str()),
            0);
  const Bytes pixels = tsb::ReadFile(raw);
  ASSERT_EQ(pixels.size(), size_t(w) * size_t(h) * 3);
  int mismatches = 0;
  for (int t = 0; t < h; ++t) {
    for (int x = 0; x < w; ++x) {
      const std::vector<uint8_t> want = Bgr(Pattern(x, h - 1 - t + padding_rows(h)));
      const size_t at = (size_t(t) * size_t(w) + size_t(x)) * 3;
      if (Bytes(pixels.begin() + ptrdiff_t(at), pixels.begin() + ptrdiff_t(at) + 3) != want &&
          ++mismatches <= 3) {
        ADD_FAILURE() << "top-down row " << t << " pixel " << x;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}
#endif

}  // namespace
