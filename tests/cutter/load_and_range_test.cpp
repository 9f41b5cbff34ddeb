// kerfcut at work on the headless window system: loading and measuring recordings made by the
// stream builder through the window, and every command that edits the cut range. Expected field
// texts are derived by hand from how the recordings are built.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cutter/main_frame.h"
#include "platform/process.h"
#include "resources/ids.h"
#include "resources/templates.h"
#include "ui/dialog_template.h"
#include "tests/cutter/cutter_flow.h"
#include "tests/support/stream_builder.h"
#include "ui/headless/headless.h"

namespace hl = ui::headless;

namespace {

constexpr uint16_t kPcrPid = 0x0100;
constexpr uint64_t kPacketPerMs = 1504000;  // bit/s at which one 188-byte packet takes 1 ms

// `packets` packets, one a millisecond, with a PCR every 100 packets on kPcrPid: the first shows
// firstMs, the others follow the clock unless jumpMs is added from packet 2500 on.
tsb::Bytes Recording(size_t packets, uint64_t firstMs = 1000, uint64_t jumpMs = 0) {
  tsb::TsStream ts;
  ts.SetClock(kPacketPerMs, tsb::Pcr::FromMs(firstMs));
  for (size_t i = 0; i < packets; ++i) {
    if (i % 100 != 0)
      ts.Null();
    else if (i >= 2500 && jumpMs != 0)
      ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(firstMs + i + jumpMs));
    else
      ts.PcrPacket(kPcrPid);
  }
  return ts.bytes();
}

class CutterAtWork : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::reset();
    ui::register_templates(res::dialog_templates(), res::menu_templates());
    recording_ = dir_.Write("rec.ts", Recording(5000));  // 940000 bytes, PCRs 1000..5900 ms
    flow::install_kerfdmx(dir_.File("kerfdmx"));
  }
  void TearDown() override {
    app_.reset();
    hl::reset();
    set_watched_start_observer(nullptr);
    set_start_process_handler(nullptr);
  }

  void Start(const std::string& commandLine = "") {
    app_ = std::make_unique<TMyApp>(dir_.File("kerfcut.exe").c_str(), "/", commandLine.c_str());
    // The preview records the edited packet number it was asked for.
    app_->dialog().refreshPreview = [this](MyDialog& d) {
      const Settings& s = d.state().settings;
      refreshes_.push_back(s.activePoint == 1 ? s.endPacket : s.startPacket);
    };
    // A play asks kerfdmx for the range of its clip; no player is started.
    set_watched_start_observer([this](const char* line) {
      const std::string l(line);
      unsigned from = 0, to = 0;
      if (l.find("-d:DEMUX.txt") == std::string::npos) return;
      std::sscanf(l.c_str() + l.find(" -s:"), " -s:%X -e:%X", &from, &to);
      clips_.emplace_back(int32_t(from), int32_t(to));
    });
    set_start_process_handler([](const char*, bool) { return true; });
    ASSERT_TRUE(app_->Start());
    dialog_ = app_->dialog().handle();
  }
  void Load(const std::string& path) {
    Type(res::kInputPath, path);
    Click(res::kUpdateInput);
  }
  void Type(int id, const std::string& text) { hl::type_text(dialog_, id, text.c_str()); }
  void Click(int id) { hl::click(dialog_, id); }
  void Scroll(int code, int pos = 0) { hl::scroll(dialog_, res::kPositionBar, code, pos); }
  std::string Text(int id) const { return hl::control(dialog_, id)->text; }
  int Bar() const { return hl::control(dialog_, res::kPositionBar)->control.scrollPos; }
  Settings& S() { return app_->state().settings; }
  // Packet and time fields of both rows: start packet, start time, end packet, end time.
  std::vector<std::string> Rows() const {
    return {Text(res::kStartPacket), Text(res::kStartTime), Text(res::kEndPacket), Text(res::kEndTime)};
  }
  using Rows4 = std::vector<std::string>;

  tsb::TempDir dir_;
  std::string recording_;
  std::unique_ptr<TMyApp> app_;
  ui::Handle dialog_ = 0;
  std::vector<int32_t> refreshes_;
  std::vector<std::pair<int32_t, int32_t>> clips_;
};

}  // namespace

TEST_F(CutterAtWork, LoadingFillsEveryFieldOfTheInputAndTheRange) {
  Start();
  Type(res::kStartTime, "00:00:03.000");
  Click(res::kSelectEnd);
  refreshes_.clear();
  Load(recording_);
  EXPECT_TRUE(hl::message_boxes().empty());
  EXPECT_STREQ(S().loadedInputPath, recording_.c_str());
  EXPECT_EQ(S().inputSize, 940000.0);
  EXPECT_EQ(Text(res::kFileSize), " 0.001GB");
  // Method [3]: first to last PCR (4900 ms) implies 1534694 bit/s, within 10 % of the 1504000
  // the head's PCRs give, so it stands.
  EXPECT_EQ(Text(res::kTotalTime), "00:00:04.900");
  EXPECT_EQ(Text(res::kBitrate), " 1.534694");
  EXPECT_EQ(Rows(), (Rows4{"00000000", "00:00:00.000", "00001388", "00:00:04.900"}));
  EXPECT_EQ(Text(res::kStartMarker), "◆");
  EXPECT_EQ(Text(res::kEndMarker), "　");
  EXPECT_EQ(Text(res::kPcrRange), "");  // the preview writes it
  EXPECT_EQ(Bar(), 0);
  EXPECT_EQ(S().startPcrMs, 1000);
  EXPECT_EQ(S().endPcrMs, 5900);
  EXPECT_EQ(S().pcrPid, kPcrPid);
  EXPECT_EQ(S().activePoint, 0);
  EXPECT_EQ(S().programmeIndex, 0);
  EXPECT_EQ(refreshes_, std::vector<int32_t>{0});
}

TEST_F(CutterAtWork, TotalTimeByEachMethod) {
  std::string jump = dir_.Write("jump.ts", Recording(5000, 1000, 3600000));   // PCRs jump an hour
  std::string wrap = dir_.Write("wrap.ts", Recording(5000, 95441718));        // base wraps at 2000 ms
  struct Case {
    const std::string& path;
    int32_t method;
    const char* total;
  } cases[] = {
      {recording_, 0, "00:00:04.900"}, {recording_, 1, "00:00:05.000"}, {recording_, 2, "00:00:04.900"},
      {jump, 0, "01:00:04.900"},       {jump, 1, "00:00:05.000"},       {jump, 2, "00:00:05.000"},
      {wrap, 0, "00:00:04.900"},       {wrap, 2, "00:00:04.900"},
  };
  Start();
  for (const Case& c : cases) {
    S().totalTimeMethod = c.method;
    Load(c.path);
    EXPECT_EQ(Text(res::kTotalTime), c.total) << c.path << " method " << c.method;
  }
  EXPECT_EQ(S().endPcrMs, 95443718 + 2900);  // the last load: the wrapped tail, unwrapped
  EXPECT_TRUE(hl::message_boxes().empty());
}

TEST_F(CutterAtWork, FailedMeasurementsLeaveTotalAndBitrateAtZero) {
  tsb::TsStream noPcr;
  noPcr.Null(1000);
  const std::string junk = dir_.Write("junk.ts", tsb::Bytes(188 * 10, 0x00));  // no sync byte at all
  const std::string junkMessage = junk + "の読み込みでエラーが発生しました（ｴﾗｰｺｰﾄﾞ=202）.";
  // A missing input is measured without a box of its own; the programme analysis names it.
  const std::string missingMessage = dir_.File("missing.ts") + "が開けません.";
  struct Case {
    std::string path;
    const char* box;  // nullptr: no box
    const char* endPacket;
    bool toolFails = false;   // the analysis before the measurement ends with kerfdmx's input failure
  } cases[] = {
      {dir_.Write("empty.ts", {}), "PCRが検出できません.", "00000000"},
      {dir_.Write("nopcr.ts", noPcr.bytes()), "PCRが検出できません.", "000003E8"},
      {dir_.File("missing.ts"), missingMessage.c_str(), "00000000"},
      {junk, junkMessage.c_str(), "0000000A", true},
  };
  Start();
  for (const Case& c : cases) {
    Load(recording_);
    size_t boxes = hl::message_boxes().size();
    Load(c.path);
    ASSERT_EQ(hl::message_boxes().size(), boxes + (c.box != nullptr ? 1 : 0) + (c.toolFails ? 1 : 0)) << c.path;
    if (c.toolFails) {
      EXPECT_EQ(hl::message_boxes()[boxes].text.rfind("kerfdmx の処理が完了しませんでした（終了コード 3）.", 0), 0u)
          << hl::message_boxes()[boxes].text;
    }
    if (c.box != nullptr) {
      const hl::MessageBoxRecord& box = hl::message_boxes().back();
      EXPECT_EQ(box.text, c.box);
      EXPECT_EQ(box.caption, "エラー");
      EXPECT_EQ(box.owner, dialog_);
    }
    EXPECT_EQ(Text(res::kTotalTime), "00:00:00.000") << c.path;
    EXPECT_EQ(Text(res::kBitrate), " 0.000000") << c.path;
    EXPECT_EQ(Rows(), (Rows4{"00000000", "00:00:00.000", c.endPacket, "00:00:00.000"})) << c.path;
  }
}

TEST_F(CutterAtWork, WithoutAMeasuredInputEveryConversionGivesZero) {
  Start();  // first start: size 0, total 0
  Type(res::kStartTime, "00:01:00.000");
  Type(res::kEndTime, "00:02:00.000");
  Click(res::kTimesToPackets);
  EXPECT_EQ(Rows(), (Rows4{"00000000", "00:00:00.000", "00000000", "00:00:00.000"}));
  Type(res::kStartPacket, "00000100");
  Click(res::kPacketsToTimes);
  EXPECT_EQ(Text(res::kStartPacket), "00000000");
  Click(120);  // "+1秒"
  EXPECT_EQ(Text(res::kStartTime), "00:00:00.000");
  Scroll(ui::kSbLineRight);
  EXPECT_EQ(Rows(), (Rows4{"00000000", "00:00:00.000", "00000000", "00:00:00.000"}));
  Click(res::kSelectStart);
  EXPECT_EQ(Bar(), 0);
}

TEST_F(CutterAtWork, PacketFieldsAreKeptWithinTheFile) {
  Start();
  Load(recording_);
  Type(res::kStartPacket, "FFFFFFFF");
  Type(res::kEndPacket, "zz");  // no hexadecimal digit: the value stays
  Click(res::kPacketsToTimes);
  EXPECT_EQ(Rows(), (Rows4{"00001388", "00:00:04.900", "00001388", "00:00:04.900"}));
  Type(res::kStartPacket, "9C4");  // 2500
  Click(res::kPacketsToTimes);
  EXPECT_EQ(Text(res::kStartTime), "00:00:02.450");
  EXPECT_EQ(S().startPacket, 2500);
  EXPECT_EQ(S().startMs, 2450);
}

TEST_F(CutterAtWork, StepsMoveTheEditedRowWithinZeroAndTheTotal) {
  Start();
  Load(recording_);
  struct Case {
    int id;
    const char* from;
    const char* to;
    const char* packet;
  } cases[] = {
      {118, "00:00:01.000", "00:00:01.500", "000005FB"},  // +0.5秒: 1500/4900 of 5000 packets
      {115, "00:00:01.000", "00:00:00.900", "00000396"},  // -0.1秒
      {135, "00:00:04.000", "00:00:00.000", "00000000"},  // -30分
      {134, "00:00:04.000", "00:00:04.900", "00001388"},  // +30分
  };
  for (const Case& c : cases) {
    Type(res::kStartTime, c.from);
    Click(c.id);
    EXPECT_EQ(Text(res::kStartTime), c.to) << c.id;
    EXPECT_EQ(Text(res::kStartPacket), c.packet) << c.id;
  }
  // The end row is edited now; the start row's typed packet number is converted from its time.
  Click(res::kSelectEnd);
  Type(res::kTotalTime, "01:00:00.000");
  Type(res::kEndTime, "00:59:00.000");
  Type(res::kStartTime, "00:10:00.000");
  Type(res::kStartPacket, "00000999");
  Click(134);
  EXPECT_EQ(Rows(), (Rows4{"00000341", "00:10:00.000", "00001388", "01:00:00.000"}));
  Click(res::kSelectStart);
  Click(135);
  EXPECT_EQ(Text(res::kStartTime), "00:00:00.000");
}

TEST_F(CutterAtWork, CopyingAndChoosingTheEditedRow) {
  Start();
  Load(recording_);
  Type(res::kStartTime, "00:00:01.000");
  Click(res::kCopyStartToEnd);
  EXPECT_EQ(Rows(), (Rows4{"000003FC", "00:00:01.000", "000003FC", "00:00:01.000"}));
  Type(res::kEndTime, "00:00:09.000");  // beyond the total
  Click(res::kCopyEndToStart);
  EXPECT_EQ(Rows(), (Rows4{"00001388", "00:00:04.900", "00001388", "00:00:04.900"}));
  Type(res::kStartTime, "00:00:00.000");
  Click(res::kTimesToPackets);
  EXPECT_EQ(Bar(), 0);
  refreshes_.clear();
  Click(res::kSelectEnd);
  EXPECT_EQ(Text(res::kStartMarker), "　");
  EXPECT_EQ(Text(res::kEndMarker), "◆");
  EXPECT_EQ(Bar(), 629);
  Click(res::kSelectStart);
  EXPECT_EQ(Bar(), 0);
  EXPECT_EQ(refreshes_, (std::vector<int32_t>{5000, 0}));
}

TEST_F(CutterAtWork, BitrateAndTotalTimeConvertIntoEachOther) {
  Start();
  Load(recording_);
  Type(res::kBitrate, "1e30");  // read back at the largest bitrate there is
  Click(res::kTotalFromBitrate);
  EXPECT_EQ(Text(res::kBitrate), "2147.483647");
  EXPECT_EQ(Text(res::kTotalTime), "00:00:00.004");  // 940000 * 8 / 2147483647 s
  EXPECT_EQ(Text(res::kEndTime), "00:00:00.004");
  Type(res::kTotalTime, "00:00:09.800");
  Click(res::kBitrateFromTotal);
  EXPECT_EQ(Text(res::kBitrate), " 0.767347");
  EXPECT_EQ(Text(res::kEndTime), "00:00:09.800");
  Type(res::kBitrate, "abc");
  Click(res::kTotalFromBitrate);
  EXPECT_EQ(Text(res::kBitrate), " 0.000000");
  EXPECT_EQ(Text(res::kTotalTime), "00:00:00.000");
}

TEST_F(CutterAtWork, ScrollBarMovesTheEditedRowAndRefreshesTwicePerClick) {
  Start();
  Load(recording_);
  Scroll(ui::kSbThumbPosition, 625);
  Scroll(ui::kSbPageRight);  // 635 is not below 629
  EXPECT_EQ(Bar(), 625);
  Scroll(ui::kSbThumbPosition, 628);
  Scroll(ui::kSbLineRight);
  EXPECT_EQ(Bar(), 629);
  EXPECT_EQ(Rows(), (Rows4{"00001388", "00:00:04.900", "00001388", "00:00:04.900"}));
  Click(res::kSelectEnd);
  refreshes_.clear();
  Scroll(ui::kSbThumbTrack, 314);  // byte 469252.8: packet 2496
  Scroll(ui::kSbEndScroll);
  EXPECT_EQ(Bar(), 314);
  EXPECT_EQ(Rows(), (Rows4{"00001388", "00:00:04.900", "000009C0", "00:00:02.446"}));
  EXPECT_EQ(refreshes_, (std::vector<int32_t>{2496, 2496}));
  Scroll(ui::kSbPageLeft);
  Scroll(ui::kSbLeft);  // SB_TOP moves one step, as a line does
  EXPECT_EQ(Bar(), 303);
}

TEST_F(CutterAtWork, PlayButtonsAskForTheClipAroundAPosition) {
  Start();
  Load(recording_);
  Type(res::kPlaySeconds, "1");
  Type(res::kStartTime, "00:00:02.000");
  Click(res::kPlayBeforeStart);
  Click(res::kPlayAfterStart);
  Click(res::kPlayAfterEnd);  // at the end: up to the last whole packet
  Type(res::kStartTime, "00:00:00.000");
  Click(res::kPlayBeforeStart);
  EXPECT_EQ(clips_, (std::vector<std::pair<int32_t, int32_t>>{{1020, 2041}, {2041, 3060}, {5000, 5000}, {0, 0}}));
  const std::pair<const char*, const char*> seconds[] = {{"0", "1"}, {"abc", "1"}, {"1000", "600"}};
  for (auto [typed, kept] : seconds) {
    Type(res::kPlaySeconds, typed);
    Click(res::kPlayBeforeEnd);
    EXPECT_EQ(Text(res::kPlaySeconds), kept);
  }
  EXPECT_EQ(S().playSeconds, 600);
}

TEST_F(CutterAtWork, EveryCommandWaitsWhileAJobRuns) {
  Start();
  Load(recording_);
  Type(res::kStartTime, "00:00:01.000");
  Type(res::kBitrate, "99");
  app_->state().job.jobRunning = 1;
  refreshes_.clear();
  auto snapshot = [this] {
    std::map<int, std::string> texts;
    for (int id = 100; id <= 152; ++id) {
      if (hl::WindowState* c = hl::control(dialog_, id)) texts[id] = c->text;
    }
    return std::make_pair(texts, Bar());
  };
  const auto before = snapshot();
  for (int id = res::kFirstStep; id <= res::kLastStep; ++id) {
    if (id != res::kHelp && id != res::kExecuteCut) Click(id);
  }
  for (int id : {res::kPlayBeforeStart, res::kUpdateInput, res::kTotalFromBitrate, res::kBitrateFromTotal, res::kSelectStart, res::kSelectEnd,
                 res::kTimesToPackets, res::kPacketsToTimes, res::kCopyStartToEnd, res::kCopyEndToStart})
    Click(id);
  Scroll(ui::kSbLineRight);
  Scroll(ui::kSbThumbTrack, 300);
  hl::choose(dialog_, res::kProgrammeList, 0);
  EXPECT_TRUE(hl::drop_files(dialog_, {dir_.Write("other.ts", Recording(200))}));
  EXPECT_EQ(snapshot(), before);
  EXPECT_TRUE(refreshes_.empty());
  EXPECT_TRUE(clips_.empty());
  EXPECT_TRUE(hl::message_boxes().empty());
  EXPECT_EQ(hl::open_drops(), 0);
  EXPECT_STREQ(S().loadedInputPath, recording_.c_str());
}

TEST_F(CutterAtWork, DroppedRecordingIsLoadedFirstFileOnly) {
  std::string other = dir_.Write("other.ts", Recording(200));
  Start();
  EXPECT_TRUE(hl::drop_files(hl::control(dialog_, res::kStartTime)->handle, {recording_, other}));
  EXPECT_EQ(Text(res::kInputPath), recording_);
  EXPECT_STREQ(S().inputPathText, recording_.c_str());
  EXPECT_EQ(Text(res::kTotalTime), "00:00:04.900");
  // Dropped on the frame's caption or menu, it reaches the dialog as well.
  EXPECT_TRUE(hl::drop_files(app_->frame().handle(), {other}));
  EXPECT_STREQ(S().loadedInputPath, other.c_str());
  EXPECT_EQ(hl::open_drops(), 0);
}

TEST_F(CutterAtWork, CommandLineRecordingIsLoadedOnceTheWindowIsUp) {
  std::string blanks = dir_.Write("with  blank.ts", Recording(5000));
  for (const std::string& line : {"\"" + dir_.File("kerfcut.exe") + "\" \"" + recording_ + "\"",
                                  "kerfcut.exe  " + blanks + " "}) {
    app_.reset();
    hl::reset();
    Start(line);
    EXPECT_STREQ(S().loadedInputPath, "") << line;  // nothing before the loop runs
    hl::pump(0);
    const std::string& want = line.back() == '"' ? recording_ : blanks;
    EXPECT_EQ(Text(res::kInputPath), want);
    EXPECT_STREQ(S().loadedInputPath, want.c_str());
    EXPECT_EQ(Text(res::kTotalTime), "00:00:04.900");
  }
  app_.reset();
  hl::reset();
  Start("kerfcut.exe relative.ts");  // as if typed: a full path is needed
  hl::pump(0);
  ASSERT_EQ(hl::message_boxes().size(), 1u);
  EXPECT_EQ(hl::message_boxes()[0].text, "入力元TSファイル名はフルパス（例：C:\\INPUT_TS\\ORG.ts）で指定してください.");
}

TEST(CommandLineInput, TheFirstArgumentQuotedOrToTheEnd) {
  const std::pair<const char*, const char*> cases[] = {
      {"kerfcut.exe", ""},
      {"\"C:\\a b\\kerfcut.exe\"   ", ""},
      {"\"C:\\a b\\kerfcut.exe\" \"D:\\rec\\x y.ts\" more", "D:\\rec\\x y.ts"},
      {"kerfcut.exe D:\\My Videos\\a.ts \t", "D:\\My Videos\\a.ts"},
      {"kerfcut.exe \"D:\\open ended.ts", "D:\\open ended.ts"},
  };
  for (auto [line, want] : cases) {
    char out[kPathBuffer];
    command_line_input(line, out);
    EXPECT_STREQ(out, want) << line;
  }
  char out[kPathBuffer];
  command_line_input(("k.exe " + std::string(kPathMax + 1, 'x')).c_str(), out);
  EXPECT_STREQ(out, "");
}

TEST_F(CutterAtWork, DamagedSavedPositionsCannotOverflow) {
  Settings s;
  settings_defaults(s, (dir_.path() + "/").c_str(), "/");
  std::strcpy(s.loadedInputPath, recording_.c_str());
  s.packetSize = 0;
  s.activePoint = 1;
  s.endPacket = INT32_MAX;
  tsb::Bytes b = tsb::bytes_of("KERFCUT0120HST");
  b.insert(b.end(), {0, 0, 0, 0});
  const auto* p = reinterpret_cast<const uint8_t*>(&s);
  b.insert(b.end(), p, p + sizeof s);
  dir_.Write("kerfcut.DAT", b);
  Start();
  EXPECT_EQ(S().packetSize, 188);
  EXPECT_EQ(Bar(), 629);
  Click(res::kPacketsToTimes);
  EXPECT_EQ(Text(res::kEndPacket), "00001388");
}
