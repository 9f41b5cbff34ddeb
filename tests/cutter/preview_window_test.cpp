// The preview window on the headless window system: the picture at the edited point (compared with
// ffmpeg's decode of the sample clip), when the file is read and when not, every status text, the
// callers, the video information box, and damaged or absurd input.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/timefmt.h"
#include "cutter/main_frame.h"
#include "resources/ids.h"
#include "resources/templates.h"
#include "tests/cutter/cutter_flow.h"
#include "tests/mpeg2/sample_clip.h"
#include "tests/support/preview_reference.h"

namespace {

namespace hl = ui::headless;
using tsb::Bytes;
using Strings = std::vector<std::string>;
namespace ref = preview_ref;

// ffmpeg's intra pictures of the sample clip, made once per build tree; empty without ffmpeg.
const Bytes& reference_frames() {
  static const Bytes yuv = [] {
    const char* build = std::getenv("KERF_BUILD_DIR");
    const char* source = std::getenv("KERF_SOURCE_DIR");
    if (build == nullptr || source == nullptr) return Bytes();
    const std::string dir = std::string(build) + "/test-data/preview-window";
    const std::string path = dir + "/clip-intra.yuv";
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) == 0 || ec) {
      std::filesystem::create_directories(dir, ec);
      const std::string cmd = "ffmpeg -nostdin -loglevel error -y -i \"" + std::string(source) + "/sample/clip.m2v\" " +
                              ref::kReferenceArgs + " \"" + path + ".part\" && mv \"" + path + ".part\" \"" + path +
                              "\"";
      if (std::system(cmd.c_str()) != 0) return Bytes();
    }
    return tsb::ReadFile(path);
  }();
  return yuv;
}

// The clip with the first picture of sequence j given another picture_coding_type.
Bytes WithPictureType(Bytes es, size_t j, int type) {
  const size_t seq = start_codes(es, 0xB3)[j];
  for (size_t p : start_codes(es, 0x00)) {
    if (p < seq) continue;
    es[p + 5] = uint8_t((es[p + 5] & ~0x38) | type << 3);
    break;
  }
  return es;
}

// The first extension of `kind` in es and the offset of the start code after it.
size_t Extension(const Bytes& es, int kind) {
  for (size_t p : start_codes(es, 0xB5))
    if (es[p + 4] >> 4 == kind) return p;
  return 0;
}
size_t NextStartCode(const Bytes& es, size_t from) {
  for (size_t i = from + 4; i + 3 <= es.size(); ++i)
    if (es[i] == 0 && es[i + 1] == 0 && es[i + 2] == 1) return i;
  return es.size();
}

class PreviewWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::reset();
    ui::register_templates(res::dialog_templates(), res::menu_templates());
    flow::install_kerfdmx(prog_.File("kerfdmx"));
    clip_ = sample_clip();
    ASSERT_FALSE(clip_.empty());
    Start();
  }
  void TearDown() override {
    app_.reset();
    hl::reset();
  }
  void Start() {
    app_ = std::make_unique<TMyApp>(prog_.File("kerfcut.exe").c_str(), "/");
    ASSERT_TRUE(app_->Start());
    dialog_ = app_->dialog().handle();
  }
  // A recording of es (the clip unless given) as a load leaves it, positions at packet `start`.
  std::string Use(const Bytes& es, int32_t start = 0, const std::string& name = "rec.ts") {
    ts_ = tsb::Broadcast(ref::clip_broadcast(es)).bytes();
    const std::string path = data_.Write(name, ts_);
    UseFile(path, double(ts_.size()), start);
    return path;
  }
  void UseFile(const std::string& path, double size, int32_t start = 0) {
    Settings& s = S();
    std::snprintf(s.loadedInputPath, sizeof s.loadedInputPath, "%s", path.c_str());
    s.inputSize = size;
    s.pcrPid = ref::kPcrPid;
    s.programmeList = ProgrammeList{};
    s.programmeList.videoPid[0] = ref::kVideoPid;
    s.programmeList.ordinal[0] = 1;
    s.programmeList.count = 1;
    s.programmeIndex = 0;
    s.startPacket = start;
    s.activePoint = 0;
  }
  void Refresh() { app_->dialog().RefreshPreview(); }
  CutterPreview& Preview() { return app_->dialog().preview(); }
  PreViewFrameWindow* Window() { return Preview().window(); }
  Bytes Dib() {
    return Window() ? Bytes(Window()->dibBits(), Window()->dibBits() + kPreviewDibBytes) : Bytes();
  }
  std::string Text(int id) const { return hl::control(dialog_, id)->text; }
  std::string Status() const { return Text(res::kStatusLine); }
  // PSNR of the bitmap against ffmpeg's frame of the sequence shown at packet `position`.
  double Psnr(int32_t position) {
    const int frame = int(ref::sequence_at(ref::sequence_packets(ts_), position));
    const uint8_t* bits = Window()->dibBits();
    return ref::preview_psnr(
        [bits](int col, int row) { return bits + size_t(kPreviewHeight - 1 - row) * kPreviewRowBytes + 3 * col; },
        reference_frames(), frame);
  }
  Settings& S() { return app_->state().settings; }

  tsb::TempDir prog_, data_;
  Bytes clip_, ts_;
  std::unique_ptr<TMyApp> app_;
  ui::Handle dialog_ = 0;
};

TEST_F(PreviewWindow, ShowsThePictureAtTheEditedPointAndRepaintsWithoutReading) {
  if (reference_frames().empty()) GTEST_SKIP() << "ffmpeg is not available";
  const std::string path = Use(clip_);
  const std::vector<int32_t> sequences = ref::sequence_packets(ts_);
  ASSERT_GE(sequences.size(), 20u);
  S().startPcrMs = 1;
  S().endPcrMs = 2;
  Refresh();
  ASSERT_NE(Window(), nullptr);
  const hl::WindowState* w = hl::find(Window()->handle());
  EXPECT_EQ(w->className, "_KERFCUT100:PREVIEW");
  EXPECT_EQ(w->text, "プレビュー");
  EXPECT_EQ(w->iconId, 1);
  EXPECT_EQ(w->classStyle, 0x3000u);
  // 360 x 240 inside frames of 4 and a caption of 19, a third of the way down a 1024 screen.
  EXPECT_EQ(w->rect, (ui::Rect{0, 252, 368, 519}));
  EXPECT_EQ(hl::drawn().back().rect, (ui::Rect{0, 0, 360, 240}));
  EXPECT_TRUE(hl::drawn().back().inPaint);

  EXPECT_EQ(Status(), "状態：正常");
  EXPECT_TRUE(Preview().pictureCurrent());
  EXPECT_GE(Psnr(0), 38.0);
  // The PCR read on the way, about a millisecond per 94 packets after the first at 1 s.
  EXPECT_NEAR(S().startPcrMs, 1000 + sequences[1] * 188 * 8 / 2000, 50);
  EXPECT_EQ(S().endPcrMs, 2);
  char from[16];
  EXPECT_EQ(Text(res::kPcrRange), std::string("PCR：[") + ms_to_text(S().startPcrMs, from) + "～00:00:00.002]");

  // The end point, in the middle of the clip: only its own PCR time changes.
  const int32_t startPcr = S().startPcrMs;
  S().activePoint = 1;
  S().endPacket = sequences[7] - 3;
  Refresh();
  EXPECT_GE(Psnr(S().endPacket), 38.0);
  EXPECT_EQ(S().startPcrMs, startPcr);
  EXPECT_NEAR(S().endPcrMs, 1000 + sequences[8] * 188 * 8 / 2000, 50);
  const Bytes shown = Dib();

  // Repainting a current picture draws it again without reading: the file is gone unnoticed.
  std::filesystem::rename(path, path + ".away");
  const size_t draws = hl::drawn().size();
  Window()->Invalidate(false);
  EXPECT_EQ(hl::drawn().size(), draws + 1);
  EXPECT_EQ(Status(), "状態：正常");
  EXPECT_EQ(Dib(), shown);
  // A new position must read it: the status says so and the picture stays.
  Refresh();
  EXPECT_EQ(Status(), "状態：入力元TSファイルが開けません。");
  EXPECT_EQ(Text(res::kPcrRange), "");
  EXPECT_EQ(Dib(), shown);
  EXPECT_FALSE(Preview().pictureCurrent());
}

TEST_F(PreviewWindow, EveryStatusText) {
  Bytes profile = clip_, fcode = clip_;
  profile[Extension(profile, 1) + 4] = 0x10;   // profile 0: neither Main nor Simple
  fcode[Extension(fcode, 8) + 4] &= 0xF0;      // f_code[0][0] 0 in the first picture
  Bytes syncLoss;                             // three good packets then a stray byte, over and over
  const Bytes null = tsb::MakeNullPacket();
  for (int i = 0; i < 1001 * 3; ++i) {
    syncLoss.insert(syncLoss.end(), null.begin(), null.end());
    if (i % 3 == 2) syncLoss.push_back(0x00);
  }
  Bytes noPayload(188, 0xEE);   // video packet whose adaptation field fills it, payload flagged
  noPayload[0] = 0x47, noPayload[1] = ref::kVideoPid >> 8, noPayload[2] = ref::kVideoPid & 0xFF;
  noPayload[3] = 0x30, noPayload[4] = 183;
  const struct {
    std::string status;
    std::function<void()> use;
    bool pcrRange;
  } cases[] = {
      {"状態：映像ﾊﾟｹｯﾄが検出できません。→入力元TSファイル名などを再確認",
       [&] {
         Use(clip_);
         S().programmeList.count = 0;
       },
       false},
      {"状態：入力元TSファイルが開けません。", [&] { UseFile(data_.File("none.ts"), 1e6); }, false},
      // A position before the file (read back from a damaged settings file) in a file longer than
      // the window: nothing to seek to.
      {"状態：映像ﾃﾞｰﾀが抽出できません（ｴﾗｰｺｰﾄﾞ=100）。",
       [&] {
         UseFile(data_.Write("long.ts", {}), 188.0 * 200000, -5);
         std::filesystem::resize_file(S().loadedInputPath, 188 * 200000);
       },
       false},
      {"状態：映像ﾃﾞｰﾀが抽出できません（ｴﾗｰｺｰﾄﾞ=101）。",
       [&] { UseFile(data_.Write("loss.ts", syncLoss), double(syncLoss.size())); }, false},
      {"状態：映像ﾃﾞｰﾀが抽出できません（ｴﾗｰｺｰﾄﾞ=102）。",
       [&] { UseFile(data_.Write("zero.ts", Bytes(4000, 0)), 4000); }, false},
      {"状態：映像ﾃﾞｰﾀが抽出できません（ｴﾗｰｺｰﾄﾞ=103）。",
       [&] { UseFile(data_.Write("full.ts", tsb::cat({noPayload, tsb::MakeNullPacket()})), 376); }, false},
      {"状態：映像ﾃﾞｰﾀが抽出できません（ｴﾗｰｺｰﾄﾞ=104）。",
       [&] {
         Use(clip_);
         S().programmeList.videoPid[0] = 0x0555;
       },
       false},
      {"状態：サポートしてない画像形式です（ｴﾗｰｺｰﾄﾞ=21）。", [&] { Use(profile); }, true},
      {"状態：デコードエラーが発生しました（ｴﾗｰｺｰﾄﾞ=1）。", [&] { Use(fcode); }, true},
      {"状態：正常", [&] { Use(clip_); }, true},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.status);
    hl::type_text(dialog_, res::kPcrRange, "old");
    t.use();
    Refresh();
    EXPECT_EQ(Status(), t.status);
    EXPECT_EQ(Text(res::kPcrRange).rfind("PCR：[", 0) == 0, t.pcrRange) << Text(res::kPcrRange);
  }
}

TEST_F(PreviewWindow, PicturesThatAreNotShownKeepThePreviousBitmap) {
  Use(clip_);
  Refresh();
  const Bytes first = Dib();
  ASSERT_NE(first, Bytes(kPreviewDibBytes, 0));
  // A sequence opening with a B picture: decoded but never converted.
  Use(WithPictureType(clip_, 1, 3), 0, "b.ts");
  S().startPacket = ref::sequence_packets(ts_)[1];
  Refresh();
  EXPECT_TRUE(Preview().pictureCurrent());
  EXPECT_EQ(Dib(), first);
  // A paint while a job runs reads nothing; the next paint after the job does.
  Use(clip_);
  S().startPacket = ref::sequence_packets(ts_)[3];
  hl::type_text(dialog_, res::kStatusLine, "MSG");
  app_->state().job.jobRunning = 1;
  Refresh();
  EXPECT_EQ(Status(), "MSG");
  EXPECT_FALSE(Preview().pictureCurrent());
  EXPECT_EQ(Dib(), first);
  app_->state().job.jobRunning = 0;
  Window()->Invalidate(false);
  EXPECT_EQ(Status(), "状態：正常");
  EXPECT_TRUE(Preview().pictureCurrent());
  const Bytes third = Dib();
  EXPECT_NE(third, first);
  // A decode error with stopDecodeOnError set draws nothing; without it the picture is shown.
  Bytes fcode = clip_;
  fcode[Extension(fcode, 8) + 4] &= 0xF0;
  Use(fcode, 0, "f.ts");
  S().stopDecodeOnError = 1;
  Refresh();
  EXPECT_EQ(Dib(), third);
  S().stopDecodeOnError = 0;
  Refresh();
  EXPECT_NE(Dib(), third);
}

TEST_F(PreviewWindow, DisablingClosesTheWindowAndClosingLeavesNoWindowBehind) {
  Use(clip_);
  Refresh();
  ASSERT_NE(Window(), nullptr);
  S().previewEnabled = 0;
  Refresh();
  EXPECT_EQ(Window(), nullptr);
  EXPECT_EQ(hl::find_frame("_KERFCUT100:PREVIEW"), 0u);
  EXPECT_EQ(Text(res::kPcrRange), "");
  S().previewEnabled = 1;
  Refresh();
  ASSERT_NE(Window(), nullptr);
  EXPECT_EQ(Status(), "状態：正常");
  // Closed by the user: the next refresh makes a new one.
  hl::close_window(Window()->handle());
  EXPECT_EQ(Window(), nullptr);
  Refresh();
  EXPECT_NE(hl::find_frame("_KERFCUT100:PREVIEW"), 0u);
}

TEST_F(PreviewWindow, EveryCallerReachesThePreview) {
  if (reference_frames().empty()) GTEST_SKIP() << "ffmpeg is not available";
  // A load (the real analysis and measurement) shows the start of the recording.
  const std::string path = Use(clip_);
  hl::type_text(dialog_, res::kInputPath, path.c_str());
  hl::click(dialog_, res::kUpdateInput);
  ASSERT_EQ(S().programmeList.count, 1);
  EXPECT_EQ(Status(), "状態：正常");
  EXPECT_GE(Psnr(0), 38.0);
  // A step of five seconds, then the end row.
  hl::click(dialog_, 122);
  ASSERT_GT(S().startPacket, 0);
  EXPECT_TRUE(Preview().pictureCurrent());
  EXPECT_GE(Psnr(S().startPacket), 38.0);
  // The end row, at the end of the file: the last complete sequence.
  hl::type_text(dialog_, res::kStatusLine, "MSG");
  hl::click(dialog_, res::kSelectEnd);
  EXPECT_EQ(Status(), "状態：正常");
  hl::click(dialog_, res::kSelectStart);
  // Another programme of the list: one without video, then back.
  S().programmeList.videoPid[1] = 0x0555;
  S().programmeList.count = 2;
  ui::list_add(hl::control(dialog_, res::kProgrammeList)->handle, "PRG2,VPID=0555");
  hl::choose(dialog_, res::kProgrammeList, 1);
  EXPECT_EQ(Status(), "状態：映像ﾃﾞｰﾀが抽出できません（ｴﾗｰｺｰﾄﾞ=104）。");
  hl::choose(dialog_, res::kProgrammeList, 0);
  EXPECT_EQ(Status(), "状態：正常");

  // Timer 4 after the next start shows the saved position, once the window is up.
  hl::close_window(app_->frame().handle());
  app_.reset();
  Start();
  EXPECT_EQ(Window(), nullptr);
  hl::advance(50);
  ASSERT_NE(Window(), nullptr);
  EXPECT_EQ(Status(), "状態：正常");
  EXPECT_FALSE(hl::has_timer(dialog_, 4));
}

TEST_F(PreviewWindow, VideoInformation) {
  // Every extension in the first sequence: display (NTSC, colour description), quant matrix,
  // copyright and picture display; 16:9, High 1440, interlaced.
  Bytes es = clip_;
  const size_t coding = Extension(es, 8);
  es.insert(es.begin() + ptrdiff_t(NextStartCode(es, coding)),
            {0, 0, 1, 0xB5, 0x30, 0, 0, 1, 0xB5, 0x48, 0x1C, 0x04, 0x00, 0x00, 0x60, 0x00, 0x00, 0xC0, 0x00, 0x01,
             0, 0, 1, 0xB5, 0x70, 0x00, 0x18, 0x00, 0x0C});
  const size_t sequence = Extension(es, 1);
  es[sequence + 5] = 0x62;
  es.insert(es.begin() + ptrdiff_t(NextStartCode(es, sequence)),
            {0, 0, 1, 0xB5, 0x25, 0x01, 0x01, 0x01, 0x0B, 0x42, 0x0F, 0x00});
  es[start_codes(es, 0xB3)[0] + 7] = 0x34;
  Strings texts;
  hl::set_modal_hook([&](ui::Dialog& d) {
    texts.clear();
    EXPECT_EQ(hl::find(d.handle())->text, "映像情報");
    for (int id = 1000; id <= 1008; ++id) texts.push_back(hl::control(d.handle(), id)->text);
    hl::click(d.handle(), ui::kIdOk);
  });
  // Before any picture: the list's placeholders, then zero sizes.
  S().programmeList.count = 0;
  hl::click(dialog_, res::kVideoInfo);
  EXPECT_EQ(texts, (Strings{"… ????×???? ﾄﾞｯﾄ", "… ?：?", "… ??Hz", "… ?", "… ?", "… ?", "… ?：?：?", "… ????",
                            "… 0000 （16進数）"}));
  Use(es);
  hl::click(dialog_, res::kVideoInfo);
  EXPECT_EQ(texts[0], "… 0×0 ﾄﾞｯﾄ");
  Refresh();
  ASSERT_EQ(Status(), "状態：正常");
  hl::click(dialog_, res::kVideoInfo);
  EXPECT_EQ(texts, (Strings{"… 720×480 ﾄﾞｯﾄ", "… 16：9", "… 29.97Hz", "… Main", "… High 1440", "… ｲﾝﾀｰﾚｰｽ",
                            "… 4：2：0", "… NTSC", "… 0111 （16進数）"}));
  texts.clear();
  app_->state().job.jobRunning = 1;
  hl::click(dialog_, res::kVideoInfo);
  EXPECT_TRUE(texts.empty());
  app_->state().job.jobRunning = 0;
}

TEST_F(PreviewWindow, DamagedOrAbsurdInputNeverHurtsTheWindow) {
  // A sequence claiming 1920 x 1080 after 720 x 480 ones: the picture shrinks between black bars.
  Bytes es = clip_;
  set_sequence_size(es, start_codes(es, 0xB3)[2], 1920, 1080);
  Use(es);
  Refresh();
  const Bytes black(12 * kPreviewRowBytes, 0);
  const Bytes before = Dib();
  ASSERT_NE(Bytes(before.begin(), before.begin() + 12 * kPreviewRowBytes), black);
  S().startPacket = ref::sequence_packets(ts_)[2];
  Refresh();
  const Bytes bars = Dib();
  EXPECT_EQ(Bytes(bars.begin(), bars.begin() + 12 * kPreviewRowBytes), black);
  EXPECT_EQ(Bytes(bars.end() - 12 * kPreviewRowBytes, bars.end()), black);
  EXPECT_EQ(Bytes(bars.begin() + 20 * kPreviewRowBytes, bars.begin() + 20 * kPreviewRowBytes + 60), Bytes(60, 0));

  // A position past the end shows the last complete sequence; so does a file that shrank.
  S().startPacket = int32_t(ts_.size() / 188) + 1000;
  Refresh();
  EXPECT_EQ(Status(), "状態：正常");
  std::filesystem::resize_file(S().loadedInputPath, 188 * 3000 + 77);
  S().startPacket = 5000;
  Refresh();
  EXPECT_EQ(Status(), "状態：正常");
  std::filesystem::resize_file(S().loadedInputPath, 100);
  Refresh();
  EXPECT_EQ(Status(), "状態：映像ﾃﾞｰﾀが抽出できません（ｴﾗｰｺｰﾄﾞ=104）。");
  // An index beyond the list (a damaged settings file) takes the first entry.
  Use(clip_);
  S().programmeIndex = 300;
  S().programmeList.count = 9999;
  Refresh();
  EXPECT_EQ(Status(), "状態：正常");
}

}  // namespace
