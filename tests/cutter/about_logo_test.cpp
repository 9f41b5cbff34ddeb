// The version box (placement kept on screen) and the logo window with its LOGO.BMP reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cutter/about_dialog.h"
#include "cutter/logo_dialog.h"
#include "cutter/main_frame.h"
#include "resources/ids.h"
#include "resources/templates.h"
#include "tests/support/stream_builder.h"
#include "ui/headless/headless.h"

namespace hl = ui::headless;

namespace {

// A BMP file as the logo reader sees it: 14-byte file header, 40-byte information header,
// palette of `colours` entries (colour i = blue i, green 255 - i, red i / 2), then `pixels`.
tsb::Bytes bmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t coloursUsed,
               int colours, const tsb::Bytes& pixels, uint16_t type = 0x4D42) {
  tsb::Bytes b;
  auto le = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(i < 4 ? uint8_t(v >> (8 * i)) : 0);
  };
  le(type, 2);
  le(0, 4);
  le(0, 4);
  le(0xFFFF, 4);  // a data offset the reader must not consult
  le(40, 4);
  le(uint32_t(width), 4);
  le(uint32_t(height), 4);
  le(1, 2);
  le(bits, 2);
  le(compression, 4);
  le(0, 12);
  le(coloursUsed, 4);
  le(0, 4);
  for (int i = 0; i < colours; ++i) {
    b.push_back(uint8_t(i));
    b.push_back(uint8_t(255 - i));
    b.push_back(uint8_t(i / 2));
    b.push_back(0xEE);
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

tsb::Bytes ramp(size_t n) {
  tsb::Bytes p(n);
  for (size_t i = 0; i < n; ++i) p[i] = uint8_t(i * 7 + i / 320);
  return p;
}

class LogoFile : public ::testing::Test {
 protected:
  ui::Picture8& Load(const tsb::Bytes& file) {
    std::string path = dir_.Write("LOGO.BMP", file);
    picture_ = ui::Picture8{};
    picture_.palette[0][0] = 0xAB;  // a mark that shows whether the palette was touched
    picture_.pixels[0] = 0xCD;
    result_ = logo_load(path.c_str(), picture_);
    return picture_;
  }
  tsb::TempDir dir_;
  ui::Picture8 picture_;
  int result_ = -1;
};

}  // namespace

TEST_F(LogoFile, FullSizePictureWith256ColoursIsReadExactly) {
  tsb::Bytes pixels = ramp(64000);
  ui::Picture8& p = Load(bmp(320, 200, 8, 0, 256, 256, pixels));
  EXPECT_EQ(result_, 0);
  EXPECT_EQ(memcmp(p.pixels, pixels.data(), 64000), 0);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(p.palette[i][0], i);        // blue
    EXPECT_EQ(p.palette[i][1], 255 - i);  // green
    EXPECT_EQ(p.palette[i][2], i / 2);    // red
    EXPECT_EQ(p.palette[i][3], 0);
  }
}

TEST_F(LogoFile, ColoursUsedZeroOrAbove256MeansAFull256EntryPalette) {
  for (uint32_t used : {0u, 257u, 0xFFFFFFFFu}) {
    tsb::Bytes pixels(64000, 9);
    ui::Picture8& p = Load(bmp(320, 200, 8, 0, used, 256, pixels));
    EXPECT_EQ(p.palette[255][1], 0) << used;
    EXPECT_EQ(p.pixels[0], 9) << used;  // pixels start after 1024 bytes of palette
  }
}

TEST_F(LogoFile, ShortPaletteIsFollowedDirectlyByThePixels) {
  tsb::Bytes pixels(64000, 3);
  ui::Picture8& p = Load(bmp(320, 200, 8, 1, 16, 16, pixels));
  EXPECT_EQ(result_, 0);
  EXPECT_EQ(p.palette[15][0], 15);
  EXPECT_EQ(p.palette[16][0], 0);  // untouched beyond the palette's length
  EXPECT_EQ(p.pixels[0], 3);
  EXPECT_EQ(p.pixels[63999], 3);
}

TEST_F(LogoFile, TwentyFourBitPictureIsReadAsIfItWereEightBit) {
  tsb::Bytes pixels = ramp(320 * 200 * 3);
  ui::Picture8& p = Load(bmp(320, 200, 24, 0, 0, 0, pixels));
  EXPECT_EQ(result_, 0);
  // The first 1024 pixel bytes became the palette, the next 64000 the picture.
  EXPECT_EQ(p.palette[1][0], pixels[4]);
  EXPECT_EQ(memcmp(p.pixels, pixels.data() + 1024, 64000), 0);
}

TEST_F(LogoFile, PictureAnnouncingMoreRowsThanFitIsReadOnlyAsFarAsThePictureGoes) {
  tsb::Bytes pixels = ramp(640 * 480);
  ui::Picture8& p = Load(bmp(640, 480, 8, 0, 256, 256, pixels));
  EXPECT_EQ(result_, 0);
  EXPECT_EQ(memcmp(p.pixels, pixels.data(), 64000), 0);
  // Absurd sizes whose product overflows 32 bits are bounded the same way.
  Load(bmp(0x7FFFFFFF, 0x7FFFFFFF, 8, 0, 256, 256, tsb::Bytes(100, 1)));
  EXPECT_EQ(result_, 0);
  EXPECT_EQ(picture_.pixels[99], 1);
  EXPECT_EQ(picture_.pixels[100], 0);
}

TEST_F(LogoFile, NarrowRowsArePaddedToFourBytesAndCopiedAsTheyStand) {
  tsb::Bytes pixels = ramp(4 * 3);  // width 3 -> rows of 4 bytes
  ui::Picture8& p = Load(bmp(3, 3, 8, 0, 2, 2, pixels));
  EXPECT_EQ(result_, 0);
  EXPECT_EQ(memcmp(p.pixels, pixels.data(), 12), 0);
  EXPECT_EQ(p.pixels[12], 0);
}

TEST_F(LogoFile, NegativeSizesReadNoPixels) {
  ui::Picture8& p = Load(bmp(320, -200, 8, 0, 2, 2, tsb::Bytes(64000, 5)));
  EXPECT_EQ(result_, 0);
  EXPECT_EQ(p.palette[1][0], 1);
  EXPECT_EQ(p.pixels[0], 0xCD);
}

TEST_F(LogoFile, UnusableFilesLeaveThePictureAsCreated) {
  tsb::Bytes shortHeader = bmp(320, 200, 8, 0, 256, 0, {});
  shortHeader.resize(53);
  const tsb::Bytes files[] = {
      bmp(320, 200, 8, 0, 256, 256, tsb::Bytes(64000, 1), 0x4142),  // type "BA"
      bmp(320, 200, 8, 2, 256, 256, tsb::Bytes(64000, 1)),          // compression 2
      shortHeader,
  };
  for (const tsb::Bytes& f : files) {
    ui::Picture8& p = Load(f);
    EXPECT_EQ(result_, 1);
    EXPECT_EQ(p.palette[0][0], 0xAB);
    EXPECT_EQ(p.pixels[0], 0xCD);
  }
  ui::Picture8 untouched;
  untouched.pixels[0] = 0xCD;
  EXPECT_EQ(logo_load(dir_.File("missing.bmp").c_str(), untouched), 1);
  EXPECT_EQ(untouched.pixels[0], 0xCD);
}

TEST_F(LogoFile, ThePictureShippedWithTheProgramIsAFull256ColourLogo) {
  const char* build = getenv("KERF_BUILD_DIR");
  if (build == nullptr) GTEST_SKIP() << "KERF_BUILD_DIR not set";
  std::string path = std::string(build) + "/resources/LOGO.BMP";
  tsb::Bytes file = tsb::ReadFile(path);
  ASSERT_EQ(file.size(), 14u + 40 + 1024 + 64000);
  EXPECT_EQ(file[28], 8);  // bits per pixel
  ui::Picture8 p;
  EXPECT_EQ(logo_load(path.c_str(), p), 0);
  EXPECT_EQ(memcmp(p.pixels, file.data() + 14 + 40 + 1024, 64000), 0);
  int used[256] = {};
  for (uint8_t px : p.pixels) used[px] = 1;
  int distinct = 0;
  for (int u : used) distinct += u;
  EXPECT_GT(distinct, 100);  // a drawn picture, not a blank
}

// ---- The logo window ----

class LogoWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::reset();
    ui::register_templates(res::dialog_templates(), res::menu_templates());
  }
  void TearDown() override { hl::reset(); }
  tsb::TempDir dir_;
};

TEST_F(LogoWindow, ShowsThePictureInA320x200ClientAreaForTwoSeconds) {
  tsb::Bytes pixels = ramp(64000);
  dir_.Write("LOGO.BMP", bmp(320, 200, 8, 0, 256, 256, pixels));
  std::string folder = dir_.path() + "/";
  ui::Rect client;
  int paints = -1;
  hl::set_modal_hook([&](ui::Dialog& d) {
    client = d.GetClientRect();
    paints = hl::find(d.handle())->paintCount;
  });
  LogoDialog logo(nullptr, folder.c_str());
  uint64_t start = hl::now_ms();
  logo.Execute();
  EXPECT_EQ(hl::now_ms() - start, 2000u);
  EXPECT_EQ(client.width(), 320);
  EXPECT_EQ(client.height(), 200);
  EXPECT_GE(paints, 1);
  EXPECT_EQ(memcmp(logo.picture().pixels, pixels.data(), 64000), 0);
  EXPECT_EQ(logo.picture().width, 320);
  EXPECT_EQ(logo.picture().height, 200);
}

TEST_F(LogoWindow, MissingPictureStillShowsTheWindowForTwoSeconds) {
  std::string folder = dir_.path() + "/";
  LogoDialog logo(nullptr, folder.c_str());
  uint64_t start = hl::now_ms();
  logo.Execute();
  EXPECT_EQ(hl::now_ms() - start, 2000u);
  for (uint8_t px : logo.picture().pixels) ASSERT_EQ(px, 0);
}

// ---- The version box ----

TEST(AboutPlacement, CentredAcrossAThirdDownBelowCaptionAndMenu) {
  ui::Rect parent{100, 50, 800, 650}, own{0, 0, 300, 150};
  ui::Rect r = about_placement(parent, own, 19, 19, 1280, 1024);
  EXPECT_EQ(r, (ui::Rect{100 + 200, 50 + 19 + 150 + 19, 100 + 200 + 300, 50 + 188 + 150}));
}

TEST(AboutPlacement, BoxLargerThanItsParentStartsAtTheParentsCorner) {
  ui::Rect parent{100, 50, 300, 150}, own{0, 0, 401, 400};
  ui::Rect r = about_placement(parent, own, 19, 19, 1280, 1024);
  EXPECT_EQ(r.left, 100);  // dx = -100 -> 0
  // dy = 19 + (100 - 400) / 3 + 19 = -62 -> 0
  EXPECT_EQ(r.top, 50);
}

TEST(AboutPlacement, PushedBackOntoTheScreenAtTheRightAndBottomEdges) {
  ui::Rect parent{900, 800, 1600, 1400}, own{0, 0, 300, 150};
  ui::Rect r = about_placement(parent, own, 19, 19, 1280, 1024);
  EXPECT_EQ(r.right, 1280);
  EXPECT_EQ(r.bottom, 1024);
  EXPECT_EQ(r.width(), 300);
  EXPECT_EQ(r.height(), 150);
}

class AboutBox : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::reset();
    ui::register_templates(res::dialog_templates(), res::menu_templates());
  }
  void TearDown() override { hl::reset(); }
  tsb::TempDir dir_;
};

TEST_F(AboutBox, MenuOpensItWithTheProductLineAndKeepsItOnScreenNearTheRightEdge) {
  hl::set_metric(ui::Metric::ScreenWidth, 1024);
  hl::set_metric(ui::Metric::ScreenHeight, 768);
  std::string program = dir_.File("kerfcut.exe");
  TMyApp app(program.c_str(), "/");
  ASSERT_TRUE(app.Start());
  ui::Rect f = app.frame().GetWindowRect();
  app.frame().Move(1024 - 40, f.top, f.width(), f.height(), true);  // mostly off the right edge

  std::string productLine;
  ui::Rect box;
  hl::set_modal_hook([&](ui::Dialog& d) {
    if (d.templateId() != res::kAboutDialog) return;
    productLine = hl::control(d.handle(), res::kProductLine)->text;
    box = d.GetWindowRect();
    hl::click(d.handle(), ui::kIdOk);
  });
  hl::menu_command(app.frame().handle(), res::kMenuAbout);
  EXPECT_EQ(productLine, "KerfCut Ver 1.20  (KerfWorks)");
  EXPECT_EQ(box.right, 1024);
  EXPECT_GT(box.width(), 0);
  EXPECT_LE(box.bottom, 768);
  EXPECT_EQ(hl::find_dialog(res::kAboutDialog), 0u);  // destroyed when closed
  EXPECT_TRUE(ui::is_enabled(app.frame().handle()));
}
