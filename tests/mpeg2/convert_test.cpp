// Colour conversion into the 360 x 240 preview bitmap: layout, sampling, field lines, colours.
#include "mpeg2/convert.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "mpeg2/scale.h"
#include "tests/mpeg2/picture_fixture.h"

namespace {

using Dib = std::vector<uint8_t>;

const uint8_t* Pixel(const Dib& dib, int col, int row) {
  return &dib[size_t(row) * kPreviewRowBytes + size_t(col) * 3];
}

#define EXPECT_PIXEL(dib, col, row, b, g, r) \
  EXPECT_EQ(std::vector<int>(Pixel(dib, col, row), Pixel(dib, col, row) + 3), (std::vector<int>{b, g, r})) \
      << "pixel (" << (col) << ", " << (row) << ")"

struct LayoutRow {
  int width, height, stepX, stepY, shownWidth, shownHeight, marginX, marginY;
};

class PreviewLayoutTest : public ::testing::TestWithParam<LayoutRow> {};

// A white picture shows as a white rectangle of the shown size between black bars.
TEST_P(PreviewLayoutTest, StepsMarginsAndBlackBars) {
  const LayoutRow t = GetParam();
  const PreviewLayout l = preview_layout(t.width, t.height);
  EXPECT_EQ(l.stepX, t.stepX);
  EXPECT_EQ(l.stepY, t.stepY);
  EXPECT_EQ(l.marginX, t.marginX);
  EXPECT_EQ(l.marginY, t.marginY);

  TestPicture pic(t.width, t.height, (t.height + 15) / 16 * 16);
  pic.Fill([](int32_t, int32_t) { return Sample{255, 0, 0}; });
  Dib dib(kPreviewDibBytes, 0x77);
  convert_to_preview(pic.view(), dib.data());
  int mismatches = 0;
  for (int r = 0; r < kPreviewHeight; ++r) {
    for (int c = 0; c < kPreviewWidth; ++c) {
      const bool inside = c >= t.marginX && c < t.marginX + t.shownWidth && r >= t.marginY &&
                          r < t.marginY + t.shownHeight;
      const uint8_t v = inside ? 255 : 0;
      const uint8_t* p = Pixel(dib, c, r);
      if ((p[0] != v || p[1] != v || p[2] != v) && ++mismatches <= 5) {
        ADD_FAILURE() << "pixel (" << c << ", " << r << ") should be " << int(v);
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(CodedSizes, PreviewLayoutTest,
                         ::testing::Values(LayoutRow{1920, 1080, 6, 5, 320, 216, 20, 12},
                                           LayoutRow{1440, 1080, 4, 5, 360, 216, 0, 12},
                                           LayoutRow{1280, 720, 4, 3, 320, 240, 20, 0},
                                           LayoutRow{720, 480, 2, 2, 360, 240, 0, 0},
                                           LayoutRow{720, 576, 2, 3, 360, 192, 0, 24},
                                           LayoutRow{352, 240, 1, 1, 352, 240, 4, 0}));

class ConvertToPreviewTest : public ::testing::Test {
 protected:
  // Y carries the source position; grey pixels make it readable from every byte.
  static Sample Position(int32_t x, int32_t row) { return Sample{int16_t((x * 7 + row * 3) % 256), 0, 0}; }
};

TEST_F(ConvertToPreviewTest, PointSamplesEveryStepFromTheBottomRowUp) {
  TestPicture pic(1920, 1080, 1088);
  pic.Fill(Position);
  Dib dib(kPreviewDibBytes, 0x77);
  convert_to_preview(pic.view(), dib.data());
  for (int r = 0; r < 216; ++r) {
    for (int c = 0; c < 320; ++c) {
      const uint8_t v = uint8_t(Position(c * 6, r * 5).y);
      EXPECT_PIXEL(dib, 20 + c, 12 + r, v, v, v);
      if (HasFailure()) return;
    }
  }
}

TEST_F(ConvertToPreviewTest, FieldPictureLinesServeTwoRowsFromTheUpperHalfOfTheStore) {
  struct Case {
    int width, height, stepY, marginY;
    int32_t (*sourceRow)(int r);   // store row shown in bitmap row my + r
  };
  const Case cases[] = {
      {352, 240, 1, 0, [](int r) { return r / 2 + 120; }},
      {720, 480, 2, 0, [](int r) { return r + 240; }},
      // 1080 lines: H16 = 1088, so the field starts at store row 544.
      {1920, 1080, 5, 12, [](int r) { return r * 5 / 2 + 544; }},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.height);
    TestPicture pic(t.width, t.height, (t.height + 15) / 16 * 16, true);
    pic.Fill([](int32_t, int32_t row) { return Sample{int16_t(row % 256), 0, 0}; });
    Dib dib(kPreviewDibBytes, 0x77);
    convert_to_preview(pic.view(), dib.data());
    const PreviewLayout l = preview_layout(t.width, t.height);
    for (int r = 0; r < kPreviewHeight - 2 * t.marginY; ++r) {
      const uint8_t v = uint8_t(t.sourceRow(r) % 256);
      EXPECT_PIXEL(dib, l.marginX, t.marginY + r, v, v, v);
      if (HasFailure()) return;
    }
  }
}

TEST_F(ConvertToPreviewTest, ColourFormulaAndClamping) {
  struct Case {
    Sample in;
    uint8_t b, g, r;
  };
  const Case cases[] = {
      {{0, 0, 0}, 0, 0, 0},             // black
      {{255, 0, 0}, 255, 255, 255},     // white
      {{255, 0, 127}, 255, 164, 255},   // R clamps at 255: 255 + (359 * 127 >> 8)
      {{0, 0, -128}, 0, 91, 0},         // R clamps at 0: -45952 >> 8 = -180
      {{100, -1, 0}, 98, 100, 100},     // arithmetic shift: -454 >> 8 = -2, not -1
      {{128, 127, -128}, 255, 175, 0},  // B 128 + 225, G 128 + (12120 >> 8), R 128 - 180
      {{300, 0, 0}, 255, 255, 255},     // Y is not clamped before the sum
      {{-20, 0, 0}, 0, 0, 0},
      {{16, 0, 0}, 16, 16, 16},         // no 16-235 expansion
      {{81, -42, 111}, 6, 16, 236},      // a saturated red of BT.601 (Y 81, Cb 90, Cr 239)
  };
  for (const Case& t : cases) {
    TestPicture pic(352, 240, 240);
    pic.Fill([&](int32_t, int32_t) { return t.in; });
    Dib dib(kPreviewDibBytes, 0x77);
    convert_to_preview(pic.view(), dib.data());
    EXPECT_PIXEL(dib, 4, 0, t.b, t.g, t.r);
    EXPECT_PIXEL(dib, 355, 239, t.b, t.g, t.r);
  }
}

TEST_F(ConvertToPreviewTest, OversizedOrEmptyPicturesNeverReadOutsideTheStore) {
  // 4095 x 4095 with the decoder's stride for that width: the store holds only 510 such rows.
  TestPicture pic(4095, 4095, int32_t(FrameStore::kBufferSamples / ((3 * 4095 + 3) & ~3)));
  pic.Fill([](int32_t, int32_t) { return Sample{200, 0, 0}; });
  const PreviewLayout l = preview_layout(4095, 4095);
  EXPECT_EQ(l.width, 1920);
  EXPECT_EQ(l.height, 1080);
  Dib dib(kPreviewDibBytes, 0x77);
  convert_to_preview(pic.view(), dib.data());
  EXPECT_PIXEL(dib, 20, 12, 200, 200, 200);
  EXPECT_PIXEL(dib, 20, 12 + 215, 0, 0, 0);   // store row 1075 does not exist: black

  // A field picture that tall would start its lines past the store.
  TestPicture field(1920, 4095, 1088, true);
  field.Fill([](int32_t, int32_t) { return Sample{200, 0, 0}; });
  convert_to_preview(field.view(), dib.data());
  EXPECT_PIXEL(dib, 20, 12, 0, 0, 0);

  // No size at all: all bars.
  TestPicture none(0, 0, 16);
  convert_to_preview(none.view(), dib.data());
  EXPECT_EQ(dib, Dib(kPreviewDibBytes, 0));
}

// Whatever part of the picture the store lacks, exactly the bitmap (or the full-size row) is
// written, and the missing rows and columns are black: guard bytes follow each output.
TEST_F(ConvertToPreviewTest, PartsTheStoreLacksAreBlackAndNothingPastTheOutputIsWritten) {
  constexpr size_t kGuard = 8192;
  const Sample grey{200, 0, 0};
  // 4095 x 720 (steps 6 and 3, 320 x 240 between bars of 20) in a store of 500 rows: bitmap
  // rows from 167 on (picture row 501) have no store row.
  TestPicture tall(4095, 720, 500);
  tall.Fill([&](int32_t, int32_t) { return grey; });
  // A 1920 x 1080 view (steps 6 and 5, 320 x 216 between bars of 20 and 12) of a store whose rows
  // hold 960 pixels: bitmap columns from 180 on (picture column 960) have no stored pixel.
  TestPicture narrow(960, 1080, 1088);
  narrow.Fill([&](int32_t, int32_t) { return grey; });
  PictureView wide = narrow.view();
  wide.width = 1920;
  const struct {
    const PictureView* view;
    int left, right, bottom, top;   // the grey part of the bitmap
    int fullRows, fullColumns;      // the grey part of the full-size rows (from the bottom)
  } cases[] = {{&tall.view(), 20, 340, 0, 167, 500, 1920}, {&wide, 20, 180, 12, 228, 1080, 960}};
  for (const auto& t : cases) {
    SCOPED_TRACE(t.view->width);
    Dib dib(kPreviewDibBytes + kGuard, 0x77);
    convert_to_preview(*t.view, dib.data());
    int mismatches = 0;
    for (int r = 0; r < kPreviewHeight; ++r)
      for (int c = 0; c < kPreviewWidth; ++c) {
        const uint8_t v = c >= t.left && c < t.right && r >= t.bottom && r < t.top ? 200 : 0;
        const uint8_t* p = Pixel(dib, c, r);
        if ((p[0] != v || p[1] != v || p[2] != v) && ++mismatches <= 5)
          ADD_FAILURE() << "pixel (" << c << ", " << r << ") should be " << int(v);
      }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(Dib(dib.begin() + kPreviewDibBytes, dib.end()), Dib(kGuard, 0x77)) << "past the bitmap";

    const int32_t width = full_width(*t.view);
    ASSERT_EQ(width, 1920);
    for (int32_t r = 0; r < full_height(*t.view); r += 7) {
      Dib row(size_t(width) * 3 + kGuard, 0x77);
      convert_full_row(*t.view, r, row.data());
      const uint8_t in = r < t.fullRows ? 200 : 0;
      ASSERT_EQ(row[0], in) << "row " << r;
      ASSERT_EQ(row[size_t(t.fullColumns) * 3 - 1], in) << "row " << r;
      ASSERT_EQ(Dib(row.begin() + ptrdiff_t(t.fullColumns) * 3, row.begin() + ptrdiff_t(width) * 3),
                Dib(size_t(width - t.fullColumns) * 3, 0)) << "row " << r;
      ASSERT_EQ(Dib(row.begin() + ptrdiff_t(width) * 3, row.end()), Dib(kGuard, 0x77)) << "row " << r;
    }
  }
}

// Scaled planes average what each sample covers, chroma moved to 0..255, black where the store
// has no rows; nothing is written past the planes.
TEST(ScalePictureYuv420, AveragesAreasAndLeavesNoGaps) {
  constexpr size_t kGuard = 64;
  // 1440 x 1080 (16:9): the left half one colour, the right half another, in a store of 1088 rows
  // or of 540 (the upper half of the picture then has no rows: black).
  const Sample left{200, -40, 60}, right{40, 50, -30};
  const struct {
    int32_t storeRows, width;
    int blackRowsAbove;   // output rows from the top with no store rows (the next 15 are mixed)
  } cases[] = {{1088, 360, 0}, {1088, 359, 0}, {540, 360, 95}};
  for (const auto& t : cases) {
    SCOPED_TRACE(testing::Message() << t.storeRows << " rows, width " << t.width);
    TestPicture pic(1440, 1080, t.storeRows);
    pic.Fill([&](int32_t x, int32_t) { return x < 720 ? left : right; });
    const int32_t height = scaled_height(pic.view(), 3, t.width);
    ASSERT_EQ(height, 202);
    const int32_t cw = chroma_width(t.width), ch = chroma_height(height);
    std::vector<uint8_t> y(size_t(t.width) * size_t(height) + kGuard, 0x77), cb(size_t(cw * ch) + kGuard, 0x77),
        cr(size_t(cw * ch) + kGuard, 0x77);
    ASSERT_TRUE(scale_picture_yuv420(pic.view(), t.width, height, {y.data(), cb.data(), cr.data()}));
    for (int32_t r = 0; r < height; r += 3) {
      const bool black = r < t.blackRowsAbove;
      if (t.blackRowsAbove && !black && r < t.blackRowsAbove + 15) continue;
      EXPECT_EQ(y[size_t(r * t.width)], black ? 0 : 200) << r;
      EXPECT_EQ(y[size_t(r * t.width + t.width - 1)], black ? 0 : 40) << r;
      EXPECT_EQ(cb[size_t(r / 2 * cw)], black ? 128 : 88) << r;
      EXPECT_EQ(cr[size_t(r / 2 * cw + cw - 1)], black ? 128 : 98) << r;
    }
    // The middle: an output column covering both halves averages them.
    if (t.width == 359) {
      EXPECT_GT(y[size_t((height - 1) * t.width + 179)], 40);
    }
    for (const auto* plane : {&y, &cb, &cr})
      EXPECT_EQ(std::vector<uint8_t>(plane->end() - kGuard, plane->end()), std::vector<uint8_t>(kGuard, 0x77));
  }
  TestPicture empty(0, 0, 16);
  uint8_t byte = 0;
  EXPECT_FALSE(scale_picture_yuv420(empty.view(), 16, 16, {&byte, &byte, &byte}));
}

// The decoder's hook: converts the finished picture from the second picture start code on,
// except B pictures.
TEST(ConvertPictureHook, ConvertsOnlyFinishedNonBPictures) {
  auto decoder = std::make_unique<PreviewDecoder>();
  decoder->headers.horizontal_size_value = 352;
  decoder->headers.vertical_size_value = 240;
  decoder->headers.picture_structure = kFramePicture;
  decoder->run.picture = frame_geometry(decoder->headers);   // as the picture start code fixes it
  decoder->frames.currentIndex = 1;
  int16_t* store = decoder->frames.buffer[1];
  for (int i = 0; i < 1056 * 240; i += 3) store[i] = 90;   // rowStride 1056 for 352 pixels

  ConvertTarget target;
  Dib dib(kPreviewDibBytes, 0x77);
  target.dib = dib.data();
  decoder->headers.picture_coding_type = kPictureI;
  decoder->run.pictureCount = 1;
  ConvertPicture(*decoder, &target);
  EXPECT_FALSE(target.converted);
  EXPECT_EQ(dib, Dib(kPreviewDibBytes, 0x77));

  decoder->run.pictureCount = 2;
  decoder->headers.picture_coding_type = kPictureB;
  ConvertPicture(*decoder, &target);
  EXPECT_FALSE(target.converted);
  EXPECT_EQ(dib, Dib(kPreviewDibBytes, 0x77));

  decoder->headers.picture_coding_type = kPictureP;
  ConvertPicture(*decoder, &target);
  EXPECT_TRUE(target.converted);
  EXPECT_PIXEL(dib, 4, 0, 90, 90, 90);
  EXPECT_PIXEL(dib, 355, 239, 90, 90, 90);
  EXPECT_PIXEL(dib, 3, 0, 0, 0, 0);
}

}  // namespace
