// The whole read: on a rendered recording every break is found and every programme stretch lies
// within half a second of the truth; recordings the finder cannot work on end with their reason.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "cm/cm_scan.h"
#include "tests/cm/cm_recording.h"
#include "tests/support/stream_builder.h"

namespace {

constexpr double kBoundarySlack = 0.5;   // seconds a found boundary may lie from the truth

struct Truth {
  CmStretchKind kind;
  double start, end;   // on the recording clock, seconds
};

// The stretches the layout makes: other events outside, commercials inside as breaks, the
// programme (and its credits) between.
std::vector<Truth> truth_of(const cmrec::Layout& l, const cmrec::Recording& r) {
  std::vector<Truth> truth;
  for (size_t i = 0; i < l.segments.size(); ++i) {
    const cmrec::Segment& s = l.segments[i];
    const CmStretchKind kind = s.event != cmrec::kProgrammeEvent     ? CmStretchKind::Outside
                               : s.part == cmrec::Part::Commercial ? CmStretchKind::Break
                                                                   : CmStretchKind::Programme;
    const double start = r.starts[i] + r.clockOffsetMs / 1000;
    if (!truth.empty() && truth.back().kind == kind)
      truth.back().end = start + s.seconds;
    else
      truth.push_back({kind, i ? start : 0.0, start + s.seconds});
  }
  return truth;
}

class CmScan : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) return;
    dir_ = new tsb::TempDir();
    layout_ = cmrec::StandardLayout();
    recording_ = cmrec::Build(layout_, dir_->path(), "cm.ts");
  }
  static void TearDownTestSuite() { delete dir_; }
  void SetUp() override {
    if (!dir_) GTEST_SKIP() << "ffmpeg is not installed";
  }
  static inline tsb::TempDir* dir_ = nullptr;
  static inline cmrec::Layout layout_;
  static inline cmrec::Recording recording_;
};

TEST_F(CmScan, EveryBreakFoundAndEveryBoundaryWithinHalfASecond) {
  CmScanRequest request;
  request.path = recording_.path;
  const CmScanResult scan = CmScanRecording(request);
  ASSERT_EQ(scan.outcome, CmScanOutcome::Done);
  EXPECT_EQ(scan.audioErrors, 0u);
  const std::vector<CmStretch> found = plan_stretches(scan.findings);
  const std::vector<Truth> truth = truth_of(layout_, recording_);
  std::string listing;
  for (const CmStretch& s : found)
    listing += std::string(cm_stretch_kind_text(s.kind)) + " " + clock_text(s.start.ms) + " - " + clock_text(s.end.ms) +
               ": " + s.why + "\n";
  ASSERT_EQ(found.size(), truth.size()) << listing;
  for (size_t i = 0; i < truth.size(); ++i) {
    EXPECT_EQ(found[i].kind, truth[i].kind) << i << "\n" << listing;
    EXPECT_NEAR(double(found[i].start.ms) / 1000, truth[i].start, kBoundarySlack) << i << "\n" << listing;
    if (i + 1 < truth.size()) {
      EXPECT_NEAR(double(found[i].end.ms) / 1000, truth[i].end, kBoundarySlack) << i << "\n" << listing;
    }
    EXPECT_FALSE(found[i].uncertainStart || found[i].uncertainEnd) << i << "\n" << listing;
    EXPECT_EQ(found[i].start.packet, i ? found[i - 1].end.packet : 0) << "stretches leave no gap";
  }
}

TEST_F(CmScan, StopsWhenAskedAndSurvivesDamage) {
  std::atomic<bool> stop{true};
  CmScanRequest request;
  request.path = recording_.path;
  request.stop = &stop;
  EXPECT_EQ(CmScanRecording(request).outcome, CmScanOutcome::Stopped);

  // Bytes of every 97th packet's payload overwritten (video, audio and tables alike): the read
  // goes through without a fault, and the sound decoder counts what it refused.
  tsb::Bytes bytes = tsb::ReadFile(recording_.path);
  uint32_t seed = 12345;
  for (size_t p = 0; p + tsb::kPacketSize <= bytes.size(); p += 97 * tsb::kPacketSize)
    for (size_t k = 8; k < tsb::kPacketSize; k += 3) bytes[p + k] = uint8_t(seed = seed * 1103515245 + 12345);
  request.path = dir_->Write("damaged.ts", bytes);
  request.stop = nullptr;
  const CmScanResult damaged = CmScanRecording(request);
  EXPECT_EQ(damaged.outcome, CmScanOutcome::Done);
  EXPECT_GT(damaged.audioErrors, 0u);
}

// What a user runs: kerf cm's ranges piped into kerf cut. The joined output decodes in ffmpeg
// without an error, and its pictures last as long as the programme: the breaks and the margins
// are gone, and nothing of the programme beyond a picture or two at each seam.
TEST_F(CmScan, RangesPipedIntoCutLeaveTheProgramme) {
  const char* build = std::getenv("KERF_BUILD_DIR");
  const std::string kerf = std::string(build ? build : ".") + "/bin/kerf", rec = recording_.path;
  const std::string out = dir_->File("programme.ts"), frames = dir_->File("frames.txt"), errors = dir_->File("errors.txt");
  ASSERT_EQ(std::system((kerf + " cm " + rec + " --ranges | " + kerf + " cut " + rec +
                         " --ranges-from - --join -o " + out + " > /dev/null").c_str()), 0);
  ASSERT_EQ(std::system(("ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames "
                         "-of csv=p=0 " + out + " > " + frames + " 2> " + errors).c_str()), 0);
  EXPECT_TRUE(tsb::ReadFile(errors).empty()) << tsb::ReadFile(errors).data();
  double programme = 0;
  int seams = 0;
  for (const Truth& t : truth_of(layout_, recording_))
    if (t.kind == CmStretchKind::Programme) programme += t.end - t.start, ++seams;
  const tsb::Bytes count = tsb::ReadFile(frames);
  EXPECT_NEAR(std::atof(std::string(count.begin(), count.end()).c_str()) * 1001 / 30000, programme, 0.1 * seams);
}

// A recording of PSI only: PAT, a PMT listing streams, PCRs.
std::string tables_only(const tsb::TempDir& dir, const std::vector<tsb::PmtStream>& streams, bool pat = true) {
  tsb::TsStream ts;
  for (int round = 0; round < 20; ++round) {
    if (pat) {
      ts.Section(0x0000, tsb::Pat(0x7FE0, {{0x0400, 0x01F0}}));
      ts.Section(0x01F0, tsb::Pmt(0x0400, 0x0100, streams));
    }
    ts.PcrPacket(0x0100);
    ts.Null(50);
  }
  return dir.Write("tables.ts", ts.bytes());
}

TEST(CmScanOutcome, RecordingsTheFinderCannotWorkOn) {
  const tsb::PmtStream video{0x02, 0x0100, tsb::StreamIdentifierDescriptor(0x00)};
  const tsb::PmtStream aac{0x0F, 0x0110, tsb::StreamIdentifierDescriptor(0x10)};
  const tsb::PmtStream ac3{0x81, 0x0110, tsb::StreamIdentifierDescriptor(0x10)};
  // Streams classed by their whole PMT entry: no component tags needed, AC-3 carried as private
  // data, video the picture decoder does not read.
  const tsb::PmtStream untaggedVideo{0x02, 0x0100, {}}, untaggedAac{0x0F, 0x0110, {}};
  const tsb::PmtStream privateAc3{0x06, 0x0110, {0x6A, 0x01, 0x00}}, h264{0x1B, 0x0100, {}};
  struct Case { const char* name; std::vector<tsb::PmtStream> streams; bool pat; int programme; CmScanOutcome outcome; };
  const Case cases[] = {
      {"no audio", {video}, true, 1, CmScanOutcome::NoAudio},
      {"no video", {aac}, true, 1, CmScanOutcome::NoVideo},
      {"audio the decoder does not know", {video, ac3}, true, 1, CmScanOutcome::UnknownAudio},
      {"AC-3, then AAC the decoder knows", {video, ac3, {0x0F, 0x0111, {}}}, true, 1, CmScanOutcome::Done},
      {"AC-3 as private data", {untaggedVideo, privateAc3}, true, 1, CmScanOutcome::UnknownAudio},
      {"H.264 video", {h264, aac}, true, 1, CmScanOutcome::UnreadVideo},
      {"no component tags", {untaggedVideo, untaggedAac}, true, 1, CmScanOutcome::Done},
      {"programme 2 of 1", {video, aac}, true, 2, CmScanOutcome::NoProgramme},
      {"no PAT", {}, false, 1, CmScanOutcome::NoProgramme},
  };
  tsb::TempDir dir;
  for (const Case& c : cases) {
    CmScanRequest request;
    request.path = tables_only(dir, c.streams, c.pat);
    request.programme = c.programme;
    EXPECT_EQ(CmScanRecording(request).outcome, c.outcome) << c.name;
  }
  EXPECT_EQ(CmScanRecording(CmScanRequest{dir.File("missing.ts")}).outcome, CmScanOutcome::CannotOpen);
}

}  // namespace
