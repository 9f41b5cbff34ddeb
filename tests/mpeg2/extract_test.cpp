// Extraction of one video sequence near a packet position, and the preview driver's texts.
#include "mpeg2/extract.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mpeg2/bmp_writer.h"
#include "mpeg2/sequence_headers.h"
#include "tests/support/stream_builder.h"

namespace {

using tsb::Bytes;

constexpr uint16_t kVideoPid = 0x0100;
constexpr uint16_t kPcrPid = 0x01FF;
constexpr int32_t kNoPcr = -7;   // a value no PCR produces: shows that none was stored

// A synthetic video sequence: the sequence header start code and body bytes without zeros, so
// the only start codes in a fixture are the ones a test puts there.
Bytes Sequence(int tag, size_t bodySize = 300) {
  Bytes b{0x00, 0x00, 0x01, 0xB3};
  for (size_t i = 0; i < bodySize; ++i) b.push_back(uint8_t(1 + (tag * 37 + i * 11) % 251));
  return b;
}

tsb::PesDesc VideoPes(const Bytes& data) {
  tsb::PesDesc pes;
  pes.stream_id = 0xE0;
  pes.data = data;
  return pes;
}

// The PES header BuildPes writes for video without time stamps.
Bytes PesHeader(const Bytes& data) {
  Bytes pes = tsb::BuildPes(VideoPes(data));
  return Bytes(pes.begin(), pes.end() - ptrdiff_t(data.size()));
}

// What the ES holds for sequence a when sequence b's PES follows: a, then b's PES header.
Bytes Kept(const Bytes& a, const Bytes& b) { return tsb::cat({a, PesHeader(b)}); }

// One video packet with exactly this payload (shorter payloads are padded in the adaptation field).
tsb::PacketDesc Video(const Bytes& payload, bool unitStart) {
  tsb::PacketDesc p;
  p.pid = kVideoPid;
  p.payload_unit_start_indicator = unitStart;
  p.payload = payload;
  return p;
}

// A raw video packet with adaptation_field_control 11, the given adaptation_field_length and 0xEE
// in every byte after it.
Bytes RawVideoPacket(uint8_t adaptationFieldLength) {
  Bytes p(tsb::kPacketSize, 0xEE);
  p[0] = 0x47;
  p[1] = kVideoPid >> 8;
  p[2] = kVideoPid & 0xFF;
  p[3] = 0x30;
  p[4] = adaptationFieldLength;
  return p;
}

class RecordingSink : public MessageSink {
 public:
  bool Report(MessageKind kind, const char* text) override {
    messages.emplace_back(kind, text);
    return true;
  }
  std::vector<std::pair<MessageKind, std::string>> messages;
};

uint8_t* ReadBuffer() {
  static std::vector<uint8_t> buffer(kPreviewReadSize);
  return buffer.data();
}
uint8_t* EsStorage() {
  static std::vector<uint8_t> buffer(kEsBufferSize);
  return buffer.data();
}

class CollectVideoSequenceTest : public ::testing::Test {
 protected:
  // Runs the collector over the file; the ES is left in es_, the PCR in pcrMs_.
  int Collect(const std::string& path, int32_t position, int32_t pcrPid = kPcrPid) {
    RawHandle file = raw_open(path.c_str(), "rb");
    EXPECT_NE(file, kInvalidRawHandle) << path;
    SequenceSource src;
    src.file = file;
    src.inputSize = sizeOverride_ >= 0 ? sizeOverride_ : double(std::filesystem::file_size(path));
    src.pcrPid = pcrPid;
    src.loneHeaderToEnd = loneHeaderToEnd_;
    es_.data = EsStorage();
    pcrMs_ = kNoPcr;
    const int code = CollectVideoSequence(src, position, kVideoPid, ReadBuffer(), es_, pcrMs_);
    raw_close(file);
    return code;
  }
  int Collect(const tsb::TsStream& ts, int32_t position, int32_t pcrPid = kPcrPid) {
    return Collect(dir_.Write("in.ts", ts.bytes()), position, pcrPid);
  }
  Bytes Es() const { return Bytes(es_.data, es_.data + es_.length); }

  tsb::TempDir dir_;
  EsBuffer es_;
  int32_t pcrMs_ = kNoPcr;
  double sizeOverride_ = -1;   // the size the caller claims, when not the file's own
  bool loneHeaderToEnd_ = false;
};

#define EXPECT_ES(expected) \
  EXPECT_EQ(Es(), (expected)) << "got:\n" << tsb::hex_dump(Es()) << "expected:\n" << tsb::hex_dump(expected)

// Headers in PES packets at the given packet numbers, null packets up to `packets`.
tsb::TsStream SequencesAt(std::initializer_list<size_t> at, size_t packets) {
  tsb::TsStream ts;
  int tag = 0;
  for (size_t p : at) {
    ts.Null(p - ts.PacketCount());
    ts.Pes(kVideoPid, VideoPes(Sequence(tag++)));
  }
  ts.Null(packets - ts.PacketCount());
  return ts;
}

TEST_F(CollectVideoSequenceTest, WindowOfAFileLongerThanTheWindow) {
  // 130000 packets, headers at 1000, 2000, 29999 and 125000.
  const std::string path = dir_.Write("long.ts", SequencesAt({1000, 2000, 29999, 125000}, 130000).bytes());
  const struct {
    int32_t position;
    int code;
    int first;   // tag of the sequence kept
  } cases[] = {
      {0, kExtractOk, 0},
      {1001, kExtractOk, 1},            // from inside the first sequence's PES
      {2000, kExtractOk, 1},
      {3000, kExtractNoSequence, 0},    // the window ends at 103000: one header in it
      // Fewer than 100000 packets follow: the window is packets 30000 to 129999, one outside
      // the header at 29999.
      {126000, kExtractNoSequence, 0},
      {30000, kExtractNoSequence, 0},
      {29999, kExtractOk, 2},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.position);
    ASSERT_EQ(Collect(path, t.position), t.code);
    if (t.code == kExtractOk) {
      EXPECT_ES(Kept(Sequence(t.first), Sequence(t.first + 1)));
    }
  }
}

TEST_F(CollectVideoSequenceTest, ShortFileIsSearchedWholeAndKeepsTheLastCompleteSequence) {
  const tsb::TsStream ts = SequencesAt({50, 200, 350}, 500);
  const std::string path = dir_.Write("short.ts", ts.bytes());
  // 400 and beyond the end: after the last header, the last complete sequence (before the
  // position) is kept.
  const std::pair<int32_t, int> cases[] = {{0, 0}, {100, 1}, {400, 1}, {900000, 1}};
  for (const auto& [position, first] : cases) {
    SCOPED_TRACE(position);
    ASSERT_EQ(Collect(path, position), kExtractOk);
    EXPECT_ES(Kept(Sequence(first), Sequence(first + 1)));
  }
  EXPECT_EQ(Collect(SequencesAt({20}, 40), 0), kExtractNoSequence);
  EXPECT_EQ(Collect(SequencesAt({20}, 40), 30), kExtractNoSequence);
  EXPECT_EQ(Collect(tsb::TsStream(), 0), kExtractNoSequence);   // an empty file
  loneHeaderToEnd_ = true;   // kerf's preview: the one header's sequence runs to the file's end
  ASSERT_EQ(Collect(SequencesAt({20}, 40), 30), kExtractOk);
  EXPECT_ES(Sequence(0));
  EXPECT_EQ(Collect(tsb::TsStream(), 0), kExtractNoSequence);
  loneHeaderToEnd_ = false;
  // A size of less than one packet is an empty window, whatever the file holds.
  sizeOverride_ = 187;
  EXPECT_EQ(Collect(path, 0), kExtractNoSequence);
}

TEST_F(CollectVideoSequenceTest, SyncRecovery) {
  tsb::TsStream ts;
  ts.Raw(Bytes(100, 0x00));   // garbage at the window start
  ts.Pes(kVideoPid, VideoPes(Sequence(0, 500)));
  ts.Raw(Bytes(57, 0x12));    // and the grid lost again in the middle
  ts.Pes(kVideoPid, VideoPes(Sequence(1, 500)));
  ts.Null(3);
  ASSERT_EQ(Collect(ts, 0), kExtractOk);
  EXPECT_ES(Kept(Sequence(0, 500), Sequence(1, 500)));

  tsb::TsStream noSync;
  noSync.Raw(Bytes(50000, 0x55));
  EXPECT_EQ(Collect(noSync, 0), kExtractNoResync);
  tsb::TsStream skewed;   // packets 189 bytes apart never line up
  skewed.Raw(Bytes{0x00});
  for (int i = 0; i < 50; ++i) skewed.Raw(tsb::cat({tsb::MakeNullPacket(), Bytes{0x00}}));
  EXPECT_EQ(Collect(skewed, 0), kExtractNoResync);

  tsb::TsStream lossy;    // three good packets, one stray byte, 1100 times
  for (int i = 0; i < 1100; ++i) {
    lossy.Null(3);
    lossy.Raw(Bytes{0x00});
  }
  EXPECT_EQ(Collect(lossy, 0), kExtractSyncLimit);
}

TEST_F(CollectVideoSequenceTest, AdaptationFieldsOfVideoPackets) {
  auto around = [](const Bytes& middle) {
    tsb::TsStream ts;
    ts.Pes(kVideoPid, VideoPes(Sequence(0)));
    ts.Raw(middle);
    ts.Pes(kVideoPid, VideoPes(Sequence(1)));
    ts.Pes(kVideoPid, VideoPes(Sequence(2)));
    return ts;
  };
  // adaptation_field_length running past the packet: damage, passed over without payload.
  ASSERT_EQ(Collect(around(RawVideoPacket(200)), 0), kExtractOk);
  EXPECT_ES(Kept(Sequence(0), Sequence(1)));
  Bytes adaptationOnly = RawVideoPacket(183);
  adaptationOnly[3] = 0x20;
  ASSERT_EQ(Collect(around(adaptationOnly), 0), kExtractOk);
  EXPECT_ES(Kept(Sequence(0), Sequence(1)));
  // The payload flag set, but the adaptation field fills the packet.
  EXPECT_EQ(Collect(around(RawVideoPacket(183)), 0), kExtractNoPayload);
  ASSERT_EQ(Collect(around(RawVideoPacket(182)), 0), kExtractOk);   // one payload byte
  EXPECT_ES(tsb::cat({Sequence(0), Bytes{0xEE}, PesHeader(Sequence(1))}));
}

TEST_F(CollectVideoSequenceTest, PcrOfTheScannedStretch) {
  tsb::TsStream ts;
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(1000));
  ts.Pes(kVideoPid, VideoPes(Sequence(0)));
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromTicks(1234 * 27000 + 13500));   // 1234.5 ms rounds up
  ts.Pes(kVideoPid, VideoPes(Sequence(1)));   // the scan ends here
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(5000));
  ts.Pes(kVideoPid, VideoPes(Sequence(2)));
  ASSERT_EQ(Collect(ts, 0), kExtractOk);
  EXPECT_EQ(pcrMs_, 1235);

  tsb::TsStream top;   // the largest PCR: bit 32 of the base set
  tsb::Pcr largest;
  largest.base = (uint64_t(1) << 33) - 1;
  largest.extension = 299;
  top.PcrPacket(kPcrPid, largest);
  top.Pes(kVideoPid, VideoPes(Sequence(0)));
  top.Pes(kVideoPid, VideoPes(Sequence(1)));
  ASSERT_EQ(Collect(top, 0), kExtractOk);
  EXPECT_EQ(pcrMs_, 95443718);

  // PCRs carried by the video PID itself are not read.
  tsb::TsStream onVideo;
  onVideo.Pes(kVideoPid, VideoPes(Sequence(0)), tsb::Pcr::FromMs(2000));
  onVideo.Pes(kVideoPid, VideoPes(Sequence(1)), tsb::Pcr::FromMs(3000));
  ASSERT_EQ(Collect(onVideo, 0, kVideoPid), kExtractOk);
  EXPECT_EQ(pcrMs_, kNoPcr);
}

// A sequence header start code with 1, 2 or 3 bytes at the end of one video packet and the rest
// at the start of the next (not a unit start).
class SplitStartCodeTest : public CollectVideoSequenceTest, public ::testing::WithParamInterface<int> {};

TEST_P(SplitStartCodeTest, IsFoundThroughTheCarry) {
  const int split = GetParam();
  const Bytes a = Sequence(0, 200), b = Sequence(1, 250), c = Sequence(2, 100);
  const Bytes pes = tsb::cat({PesHeader(tsb::cat({a, b})), a, b});
  const auto cut = ptrdiff_t(PesHeader(a).size() + a.size()) + split;
  tsb::TsStream ts;
  ts.Null(2);
  ts.Packet(Video(Bytes(pes.begin(), pes.begin() + 180), true));
  ts.Packet(Video(Bytes(pes.begin() + 180, pes.begin() + cut), false));
  ts.Packet(Video(Bytes(pes.begin() + cut, pes.begin() + cut + 100), false));
  ts.Packet(Video(Bytes(pes.begin() + cut + 100, pes.end()), false));
  ts.Null(2);
  ts.Pes(kVideoPid, VideoPes(c));
  ts.Null(2);
  // From the start the scan stops at the split header, after the packet holding its first bytes.
  ASSERT_EQ(Collect(ts, 0), kExtractOk);
  EXPECT_ES(tsb::cat({a, Bytes(b.begin(), b.begin() + split)}));
  // After every header the last complete sequence starts exactly at the split start code.
  ASSERT_EQ(Collect(ts, 8), kExtractOk);
  EXPECT_ES(Kept(b, c));
}

TEST_P(SplitStartCodeTest, OfTheFirstHeaderKeepsTheWholeStartCode) {
  const int split = GetParam();
  const Bytes a = Sequence(0), b = Sequence(1, 100);
  const Bytes pes = tsb::cat({PesHeader(a), a});
  const auto cut = ptrdiff_t(PesHeader(a).size()) + split;
  tsb::TsStream ts;
  ts.Packet(Video(Bytes(pes.begin(), pes.begin() + cut), true));
  ts.Packet(Video(Bytes(pes.begin() + cut, pes.begin() + cut + 184), false));
  ts.Packet(Video(Bytes(pes.begin() + cut + 184, pes.end()), false));
  ts.Pes(kVideoPid, VideoPes(b));
  ASSERT_EQ(Collect(ts, 0), kExtractOk);
  EXPECT_ES(Kept(a, b));
}

INSTANTIATE_TEST_SUITE_P(BytesInFirstPacket, SplitStartCodeTest, ::testing::Values(1, 2, 3));

// Sequence header positions in a file: the packet each start code begins in, also when it is
// split over three video packets (the middle one holding a single byte) with other packets
// between, the PCR read before each, and the searches back and forth from a packet.
TEST_F(CollectVideoSequenceTest, SequenceHeaderPositionsAndTheSearchesAroundAPacket) {
  tsb::TsStream ts;
  ts.Null(3);
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(1000));
  const size_t first = ts.Pes(kVideoPid, VideoPes(Sequence(0)));
  ts.Null(20 - ts.PacketCount());
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(2000));
  // A unit start whose payload ends with the start code's first byte, one payload of one byte,
  // and the rest after other packets.
  Bytes head = tsb::cat({PesHeader(Bytes(300, 1)), Bytes(183, 0x11)});
  head.resize(183);
  head.push_back(0x00);
  const size_t split = ts.Packet(Video(head, true));
  ts.Null(2);
  ts.Packet(Video({0x00}, false));
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(3000));
  ts.Packet(Video(tsb::cat({Bytes{0x01, 0xB3}, Bytes(100, 0x22)}), false));
  ts.Null(40 - ts.PacketCount());
  const size_t last = ts.Pes(kVideoPid, VideoPes(Sequence(2)));
  ts.Null(5);
  const std::string path = dir_.Write("in.ts", ts.bytes());
  RawFile file(path.c_str(), "rb");
  std::vector<uint8_t> buffer(kHeaderWalkBufferSize);

  std::vector<std::pair<int64_t, int64_t>> found;
  HeaderWalk walk;
  walk.videoPid = kVideoPid;
  walk.pcrPid = kPcrPid;
  walk.found = [&found](const SequenceHeaderAt& at) {
    found.emplace_back(at.packet, at.pcrTicks);
    return true;
  };
  ASSERT_EQ(walk_sequence_headers(file.get(), walk, buffer.data()), HeaderWalkEnd::Done);
  const std::vector<std::pair<int64_t, int64_t>> expected = {
      {int64_t(first), 27000000}, {int64_t(split), 54000000}, {int64_t(last), 81000000}};
  EXPECT_EQ(found, expected);
  // Ending at the split header's first packet still reports it, from where it ends.
  found.clear();
  walk.lastPacket = int64_t(split);
  ASSERT_EQ(walk_sequence_headers(file.get(), walk, buffer.data()), HeaderWalkEnd::Done);
  EXPECT_EQ(found.size(), 2u);

  HeaderWalkEnd end;
  const struct {
    int64_t packet, atOrBefore, after;
  } cases[] = {{0, -1, int64_t(first)},
               {int64_t(first), int64_t(first), int64_t(split)},
               {int64_t(split) - 1, int64_t(first), int64_t(split)},
               {int64_t(split), int64_t(split), int64_t(last)},
               {int64_t(split) + 3, int64_t(split), int64_t(last)},
               {int64_t(last) + 2, int64_t(last), -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(sequence_header_at_or_before(file.get(), kVideoPid, c.packet, buffer.data(), end), c.atOrBefore)
        << c.packet;
    EXPECT_EQ(end, HeaderWalkEnd::Done);
    EXPECT_EQ(sequence_header_after(file.get(), kVideoPid, c.packet, buffer.data(), end), c.after) << c.packet;
    EXPECT_EQ(end, HeaderWalkEnd::Done);
  }
}

// ----------------------------------------------------------------------------------------------
// The driver: texts, busy flag, end marker, PCR range.

class PreviewDriverTest : public CollectVideoSequenceTest {
 protected:
  void SetUp() override {
    decoder_ = std::make_unique<PreviewDecoder>();
    driver_ = std::make_unique<PreviewDriver>(ReadBuffer(), EsStorage(), *decoder_);
    tsb::TsStream ts;
    ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(3723004));
    ts.Pes(kVideoPid, VideoPes(Sequence(0)));
    ts.Pes(kVideoPid, VideoPes(Sequence(1)));
    ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(61000));
    ts.Pes(kVideoPid, VideoPes(Sequence(2)));
    ts.Null(5);
    path_ = dir_.Write("in.ts", ts.bytes());
    request_.inputPath = path_.c_str();
    request_.inputSize = double(ts.bytes().size());
    request_.programmeCount = 1;
    request_.videoPid = kVideoPid;
    request_.pcrPid = kPcrPid;
    request_.endPacket = 4;
    request_.startPcrMs = 1;
    request_.endPcrMs = 600000;
    request_.jobRunning = &jobRunning_;
  }
  std::string Status() const { return sink_.messages.empty() ? "" : sink_.messages.back().second; }

  std::unique_ptr<PreviewDecoder> decoder_;
  std::unique_ptr<PreviewDriver> driver_;
  std::string path_;
  PreviewRequest request_;
  int32_t jobRunning_ = 0;
  RecordingSink sink_;
};

TEST_F(PreviewDriverTest, ExtractsTheEditedPointAndShowsThePcrRange) {
  ASSERT_EQ(driver_->ExtractPreviewStream(request_, sink_), 0);
  EXPECT_TRUE(sink_.messages.empty());   // the status line is left to the decode
  EXPECT_EQ(jobRunning_, 0);
  EXPECT_EQ(request_.startPcrMs, 3723004);
  EXPECT_TRUE(request_.pcrRangeSet);
  EXPECT_STREQ(request_.pcrRangeText, "PCR：[01:02:03.004～00:10:00.000]");
  // The sequence, then the end marker: a picture start code and 8 counted zero bytes of 128.
  const Bytes body = Kept(Sequence(0), Sequence(1));
  const uint8_t* es = driver_->es().data;
  ASSERT_EQ(driver_->es().length, int32_t(body.size()) + 12);
  EXPECT_EQ(Bytes(es, es + body.size()), body);
  EXPECT_EQ(Bytes(es + body.size(), es + body.size() + 132), tsb::cat({Bytes{0, 0, 1, 0}, Bytes(128, 0)}));

  // The end point reads from endPacket and replaces only its own PCR time.
  request_.activePoint = 1;
  ASSERT_EQ(driver_->ExtractPreviewStream(request_, sink_), 0);
  EXPECT_EQ(request_.startPcrMs, 3723004);
  EXPECT_EQ(request_.endPcrMs, 61000);
  EXPECT_STREQ(request_.pcrRangeText, "PCR：[01:02:03.004～00:01:01.000]");
  const Bytes second = Kept(Sequence(1), Sequence(2));
  EXPECT_EQ(Bytes(driver_->es().data, driver_->es().data + second.size()), second);
}

TEST_F(PreviewDriverTest, FailuresReportTheirTextAndEmptyThePcrRange) {
  const struct {
    int32_t programmes;
    const char* path;
    int32_t videoPid;
    const char* status;
  } cases[] = {
      // No programme: reported before the file is looked at.
      {0, "/nonexistent/kerf/none.ts", kVideoPid,
       "状態：映像ﾊﾟｹｯﾄが検出できません。→入力元TSファイル名などを再確認"},
      {1, "/nonexistent/kerf/none.ts", kVideoPid, "状態：入力元TSファイルが開けません。"},
      {1, path_.c_str(), 0x0555, "状態：映像ﾃﾞｰﾀが抽出できません（ｴﾗｰｺｰﾄﾞ=104）。"},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.status);
    request_.programmeCount = t.programmes;
    request_.inputPath = t.path;
    request_.videoPid = t.videoPid;
    std::strcpy(request_.pcrRangeText, "x");
    sink_.messages.clear();
    EXPECT_EQ(driver_->ExtractPreviewStream(request_, sink_), 1);
    ASSERT_EQ(sink_.messages.size(), 1u);
    EXPECT_EQ(sink_.messages[0].first, MessageKind::Status);
    EXPECT_EQ(Status(), t.status);
    EXPECT_TRUE(request_.pcrRangeSet);
    EXPECT_STREQ(request_.pcrRangeText, "");
    EXPECT_EQ(jobRunning_, 0);
  }
}

TEST_F(PreviewDriverTest, BusyJobOrDisabledPreviewDoesNothing) {
  jobRunning_ = 1;
  EXPECT_EQ(driver_->ExtractPreviewStream(request_, sink_), 1);
  EXPECT_EQ(jobRunning_, 1);   // the job that holds it still does
  EXPECT_TRUE(sink_.messages.empty());
  EXPECT_FALSE(request_.pcrRangeSet);
  EXPECT_EQ(request_.startPcrMs, 1);

  jobRunning_ = 0;
  request_.previewEnabled = 0;
  EXPECT_EQ(driver_->ExtractPreviewStream(request_, sink_), 0);
  EXPECT_EQ(jobRunning_, 0);
  EXPECT_TRUE(sink_.messages.empty());
  EXPECT_FALSE(request_.pcrRangeSet);
  EXPECT_EQ(request_.startPcrMs, 1);
}

// ----------------------------------------------------------------------------------------------
// Real MPEG-2 video made by ffmpeg (an independent encoder and reference decoder), embedded as
// PES: extraction, decode and conversion together. Native only, and only where ffmpeg exists.

#ifndef _WIN32
// Runs ffmpeg unless the output is cached in the build tree; the path, or "" without ffmpeg.
std::string CachedFfmpeg(const std::string& name, const std::string& args) {
  const char* build = std::getenv("KERF_BUILD_DIR");
  const std::string dir = std::string(build ? build : "/tmp") + "/test-data/preview-extract";
  const std::string path = dir + "/" + name;
  std::error_code ec;
  if (std::filesystem::file_size(path, ec) > 0 && !ec) return path;
  std::filesystem::create_directories(dir, ec);
  const std::string tmp = path + ".part";
  const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " \"" + tmp +
                          "\" >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return "";
  std::filesystem::rename(tmp, path, ec);
  return ec ? "" : path;
}

constexpr int kClipWidth = 352, kClipHeight = 240;
using Dib = std::vector<uint8_t>;

class PreviewRealVideoTest : public PreviewDriverTest {
 protected:
  void SetUp() override {
    PreviewDriverTest::SetUp();
    // Three GOPs of 15 pictures, a sequence header before each.
    clip_ = CachedFfmpeg("clip.m2v",
                         "-f lavfi -i testsrc=size=352x240:rate=30000/1001 -frames:v 45 -g 15 "
                         "-c:v mpeg2video -f mpeg2video");
    if (clip_.empty()) GTEST_SKIP() << "ffmpeg is not available";
    reference_ = CachedFfmpeg("clip.yuv", "-i \"" + clip_ + "\" -f rawvideo -pix_fmt yuv420p");
    ASSERT_FALSE(reference_.empty());
  }

  // Writes the ES as a recording (one PES per picture, PCRs on their own PID) and points the
  // request at it.
  void UseRecording(const Bytes& es) {
    tsb::TsStream ts;
    ts.Null(10);
    tsb::EsEmbedding how;
    how.pid = kVideoPid;
    how.pcrPid = kPcrPid;
    tsb::EmbedEs(ts, es, how);
    ts.Null(10);
    bytes_ = ts.bytes();
    path_ = dir_.Write("video.ts", bytes_);
    request_.inputPath = path_.c_str();
    request_.inputSize = double(bytes_.size());
  }

  // Packet numbers of the video PES packets that open with a sequence header.
  std::vector<int32_t> SequencePackets() const {
    std::vector<int32_t> at;
    for (size_t i = 0; i + 188 <= bytes_.size(); i += 188) {
      const uint8_t* p = &bytes_[i];
      if (((p[1] & 0x1F) << 8 | p[2]) != kVideoPid || !(p[1] & 0x40)) continue;
      const size_t h = (p[3] & 0x20) ? 5 + p[4] : 4;
      for (size_t k = h; k + 4 <= 188; ++k)
        if (p[k] == 0 && p[k + 1] == 0 && p[k + 2] == 1 && p[k + 3] == 0xB3) at.push_back(int32_t(i / 188));
    }
    return at;
  }

  // PSNR of the picture area of the bitmap against frame n of ffmpeg's decode, both converted
  // with the preview's formula (chroma repeated over each 2 x 2 block).
  // bottomRow: the bottom picture row's first pixel; rowBytes: from one row to the next up.
  double PsnrAgainstReference(const uint8_t* bottomRow, size_t rowBytes, int frame) const {
    const Bytes yuv = tsb::ReadFile(reference_);
    const size_t frameSize = kClipWidth * kClipHeight * 3 / 2;
    EXPECT_GE(yuv.size(), frameSize * size_t(frame + 1));
    const uint8_t* y = &yuv[frameSize * size_t(frame)];
    const uint8_t* u = y + kClipWidth * kClipHeight;
    const uint8_t* v = u + kClipWidth * kClipHeight / 4;
    double sum = 0;
    for (int t = 0; t < kClipHeight; ++t) {
      for (int x = 0; x < kClipWidth; ++x) {
        const int c = (t / 2) * (kClipWidth / 2) + x / 2;
        uint8_t want[3];
        ycbcr_to_bgr(y[t * kClipWidth + x], u[c] - 128, v[c] - 128, want);
        const uint8_t* got = bottomRow + size_t(kClipHeight - 1 - t) * rowBytes + size_t(x) * 3;
        for (int k = 0; k < 3; ++k) sum += double(got[k] - want[k]) * double(got[k] - want[k]);
      }
    }
    const double mse = sum / (kClipWidth * kClipHeight * 3);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
  }

  std::string clip_, reference_;
  Bytes bytes_;
};

TEST_F(PreviewRealVideoTest, FirstPictureOfEachSequenceMatchesTheReferenceDecode) {
  UseRecording(tsb::ReadFile(clip_));
  const std::vector<int32_t> sequences = SequencePackets();
  ASSERT_EQ(sequences.size(), 3u);

  // After the last header the last complete sequence is shown: the second. Collecting only the
  // first picture shows the same, but from the last header on its first picture is whole.
  const struct {
    int32_t position;
    int frame;
    bool firstPictureOnly;
  } cases[] = {{0, 0, false}, {sequences[0], 0, false}, {sequences[0] + 1, 15, false}, {sequences[1], 15, false},
               {sequences[2], 15, false}, {0, 0, true}, {sequences[0] + 1, 15, true}, {sequences[2], 30, true}};
  for (const auto& t : cases) {
    SCOPED_TRACE(testing::Message() << t.position << (t.firstPictureOnly ? " first picture only" : ""));
    request_.startPacket = t.position;
    request_.firstPictureOnly = t.firstPictureOnly;
    sink_.messages.clear();
    ASSERT_EQ(driver_->ExtractPreviewStream(request_, sink_), 0);
    Dib dib(kPreviewDibBytes, 0x77);
    EXPECT_EQ(driver_->DecodePreviewStream(request_, sink_, dib.data()), 0);
    EXPECT_EQ(Status(), "状態：正常");
    EXPECT_TRUE(driver_->pictureConverted());
    EXPECT_GE(PsnrAgainstReference(dib.data() + 4 * 3, kPreviewRowBytes, t.frame), 40.0);
    EXPECT_EQ(Bytes(dib.begin(), dib.begin() + 12), Bytes(12, 0));   // left bar

    // The same picture at full size in a BMP file (rows of 1056 bytes, no padding).
    const std::string bmp = dir_.File("full.bmp");
    ASSERT_EQ(write_picture_bmp(bmp.c_str(), current_picture_view(*decoder_)), kBmpOk);
    const Bytes file = tsb::ReadFile(bmp);
    ASSERT_EQ(file.size(), 54u + kClipWidth * kClipHeight * 3);
    EXPECT_GE(PsnrAgainstReference(file.data() + 54, kClipWidth * 3, t.frame), 40.0);
  }
}

TEST_F(PreviewRealVideoTest, UnsupportedProfileAndDecodeErrorsAreReported) {
  const std::string chroma422 = CachedFfmpeg(
      "clip422.m2v", "-f lavfi -i testsrc=size=352x240:rate=30000/1001 -frames:v 30 -g 15 "
                     "-pix_fmt yuv422p -c:v mpeg2video -f mpeg2video");
  ASSERT_FALSE(chroma422.empty());
  UseRecording(tsb::ReadFile(chroma422));
  ASSERT_EQ(driver_->ExtractPreviewStream(request_, sink_), 0);
  Dib dib(kPreviewDibBytes, 0x77);
  EXPECT_EQ(driver_->DecodePreviewStream(request_, sink_, dib.data()), 3);
  EXPECT_EQ(Status(), "状態：サポートしてない画像形式です（ｴﾗｰｺｰﾄﾞ=21）。");

  // Damage inside the first picture's slices: the picture is still finished and shown.
  Bytes es = tsb::ReadFile(clip_);
  size_t slice = 0;
  for (size_t i = 0; i + 4 < es.size(); ++i) {
    if (es[i] == 0 && es[i + 1] == 0 && es[i + 2] == 1 && es[i + 3] == 0x01) {
      slice = i;
      break;
    }
  }
  ASSERT_NE(slice, 0u);
  for (size_t i = slice + 8; i < slice + 48; ++i) es[i] = 0xFF;
  UseRecording(es);
  ASSERT_EQ(driver_->ExtractPreviewStream(request_, sink_), 0);
  EXPECT_EQ(driver_->DecodePreviewStream(request_, sink_, dib.data()), 4);
  const int32_t code = decoder_->run.errorCode;
  EXPECT_NE(code, 0);
  EXPECT_EQ(Status(), "状態：デコードエラーが発生しました（ｴﾗｰｺｰﾄﾞ=" + std::to_string(code) + "）。");
  EXPECT_TRUE(driver_->pictureConverted());

  // Stopping at the first error draws nothing.
  request_.stopDecodeOnError = 1;
  EXPECT_EQ(driver_->DecodePreviewStream(request_, sink_, dib.data()), 4);
  EXPECT_FALSE(driver_->pictureConverted());
}
#endif  // _WIN32

}  // namespace
