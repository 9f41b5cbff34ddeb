// Measuring recordings from their PCRs: windows, sync recovery, the three total-time methods.
#include "core/input_measure.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/stream_builder.h"

namespace {

struct RecordingSink : MessageSink {
  bool Report(MessageKind kind, const char* text) override {
    kinds.push_back(kind);
    texts.emplace_back(text);
    return true;
  }
  std::vector<MessageKind> kinds;
  std::vector<std::string> texts;
};

constexpr uint16_t kPcrPid = 0x0100;

class InputMeasure : public ::testing::Test {
 protected:
  InputMeasure() : buffer_(new uint8_t[kCutterReadBufferSize]), scanner_(buffer_.get()) {}

  // A recording of `packets` packets at 16 Mbit/s whose PCRs sit every `every` packets on
  // kPcrPid and follow the stream clock from firstMs.
  static tsb::TsStream Regular(size_t packets, size_t every, uint64_t firstMs = 1000) {
    tsb::TsStream ts;
    ts.SetClock(16000000, tsb::Pcr::FromMs(firstMs));
    for (size_t i = 0; i < packets; ++i) {
      if (i % every == 0)
        ts.PcrPacket(kPcrPid);
      else
        ts.Null();
    }
    return ts;
  }

  int Measure(const tsb::Bytes& bytes, int32_t method) {
    path_ = dir_.Write("in.ts", bytes);
    return scanner_.MeasureInput(path_.c_str(), double(bytes.size()), method, sink_);
  }
  const InputMeasurement& m() const { return scanner_.result(); }

  tsb::TempDir dir_;
  std::string path_;
  std::unique_ptr<uint8_t[]> buffer_;
  PcrScanner scanner_;
  RecordingSink sink_;
};

TEST_F(InputMeasure, ShortFileIsMeasuredFromFirstToLastPcr) {
  // 4000 packets: the tail window starts at packet 0 and reaches the last PCR of the file.
  tsb::TsStream ts = Regular(4000, 50);
  ASSERT_EQ(Measure(ts.bytes(), kMethodFirstLast), 0) << sink_.texts.at(0);
  EXPECT_TRUE(sink_.texts.empty());
  EXPECT_EQ(m().pcrPid, kPcrPid);
  EXPECT_EQ(m().startPcrMs, 1000);
  // The last PCR sits on packet 3950: 3950 x 94 us after the first.
  EXPECT_EQ(m().endPcrMs, 1000 + 371);
  EXPECT_EQ(m().totalMs, 371);
  EXPECT_EQ(m().rateEstimate, 16000000);
  EXPECT_EQ(m().pcrCount, 80);
}

TEST_F(InputMeasure, HeadWindowEndsAtOneHundredPcrsAndTakesTheLowerMedian) {
  tsb::TsStream ts;
  ts.SetClock(16000000, tsb::Pcr::FromMs(0));
  // Gaps alternate between 10 and 30 packets at the stream clock: every sample is 16 Mbit/s
  // except where a PCR is repeated with the same value, which gives a sample of 0.
  for (int i = 0; i < 120; ++i) {
    ts.PcrPacket(kPcrPid);
    if (i % 4 == 3) ts.PcrPacket(kPcrPid, ts.ClockAt(ts.PacketCount() - 1));
    ts.Null(i % 2 ? 30 : 10);
  }
  ASSERT_EQ(Measure(ts.bytes(), kMethodFirstLast), 0);
  EXPECT_EQ(m().pcrCount, 100);
  // 99 samples, 24 of them 0: the lower median (index 49 after sorting) is 16 Mbit/s.
  EXPECT_EQ(m().rateEstimate, 16000000);
}

TEST_F(InputMeasure, PcrsOnOtherPidsAreIgnoredOnceThePcrPidIsKnown) {
  tsb::TsStream ts;
  ts.SetClock(16000000, tsb::Pcr::FromMs(500));
  ts.PcrPacket(0x0200);                       // the first PCR decides the PID
  ts.Null(100);
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(90000));
  ts.Null(100);
  ts.PcrPacket(0x0200);
  ASSERT_EQ(Measure(ts.bytes(), kMethodFirstLast), 0);
  EXPECT_EQ(m().pcrPid, 0x0200);
  EXPECT_EQ(m().endPcrMs, 500 + 19);          // packet 202 x 94 us = 18.988 ms
}

TEST_F(InputMeasure, PcrWrapBetweenHeadAndTailIsUnwrapped) {
  tsb::TsStream ts;
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(95000000));
  ts.Null(10);
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(1000));
  ASSERT_EQ(Measure(ts.bytes(), kMethodFirstLast), 0);
  EXPECT_EQ(m().totalMs, 1000 + 95443718 - 95000000);   // 444718
  EXPECT_EQ(m().endPcrMs, 1000 + 95443718);
}

TEST_F(InputMeasure, SinglePcrGivesNoRateEstimate) {
  tsb::TsStream ts;
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(2000));
  ts.Null(100);
  for (int32_t method : {kMethodFirstLast, kMethodEstimate, kMethodAutomatic}) {
    ASSERT_EQ(Measure(ts.bytes(), method), 0);
    EXPECT_EQ(m().rateEstimate, 0);
    EXPECT_EQ(m().totalMs, 0) << "method " << method;
  }
}

// 4500 packets (846000 bytes) at 16 Mbit/s, the last PCR placed so that the first/last total is
// `lastMinusFirst` milliseconds.
tsb::Bytes BoundRecording(int lastMinusFirst) {
  tsb::TsStream ts;
  ts.SetClock(16000000, tsb::Pcr::FromMs(1000));
  for (int i = 0; i < 4499; ++i) {
    if (i % 100 == 0)
      ts.PcrPacket(kPcrPid);
    else
      ts.Null();
  }
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(1000 + lastMinusFirst));
  return ts.bytes();
}

// Found by the fuzzer (ts_reader_fuzz): PCRs one 27 MHz tick apart over eleven packets make a
// rate sample of about 4.5e11 bit/s, which no int32_t holds. The estimate stays at the largest.
TEST_F(InputMeasure, RateBeyondInt32IsHeldAtTheLargest) {
  tsb::TsStream ts;
  ts.PcrPacket(kPcrPid, tsb::Pcr{0, 0});
  ts.Null(10);
  ts.PcrPacket(kPcrPid, tsb::Pcr{0, 1});
  ts.Null(10);
  ts.PcrPacket(kPcrPid, tsb::Pcr{0, 2});
  for (int32_t method : {kMethodFirstLast, kMethodEstimate, kMethodAutomatic}) {
    ASSERT_EQ(Measure(ts.bytes(), method), 0) << method;
    EXPECT_EQ(m().rateEstimate, INT32_MAX) << method;
  }
}

TEST_F(InputMeasure, AutomaticMethodKeepsFirstLastWithinTenPercent) {
  // 846000 bytes in 470 ms is exactly 14.4 Mbit/s, 0.9 x the estimate: the bound keeps it.
  ASSERT_EQ(Measure(BoundRecording(470), kMethodAutomatic), 0);
  EXPECT_EQ(m().rateEstimate, 16000000);
  EXPECT_EQ(m().totalMs, 470);
  // One millisecond more is below the bound: the estimate's total (846000 x 8 / 16 Mbit/s).
  ASSERT_EQ(Measure(BoundRecording(471), kMethodAutomatic), 0);
  EXPECT_EQ(m().totalMs, 423);
  // Method [1] keeps the PCR difference whatever it implies, method [2] ignores it.
  ASSERT_EQ(Measure(BoundRecording(471), kMethodFirstLast), 0);
  EXPECT_EQ(m().totalMs, 471);
  ASSERT_EQ(Measure(BoundRecording(471), kMethodEstimate), 0);
  EXPECT_EQ(m().totalMs, 423);
  ASSERT_EQ(Measure(BoundRecording(471), 7), 0);
  EXPECT_EQ(m().totalMs, 0);
}

TEST_F(InputMeasure, EstimateMethodIsLimitedToOneDay) {
  tsb::TsStream ts;
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(0));
  ts.PcrPacket(kPcrPid, tsb::Pcr::FromMs(1000000));    // 1504 bits in 1000 s: 2 bit/s
  ts.Null(1000);
  ASSERT_EQ(Measure(ts.bytes(), kMethodEstimate), 0);
  EXPECT_EQ(m().totalMs, 86399999);
}

TEST_F(InputMeasure, CorruptedSyncByteIsSkippedAndCounted) {
  tsb::TsStream ts = Regular(3000, 50);
  ts.bytes()[188 * 1000] = 0x00;   // one damaged packet start
  ASSERT_EQ(Measure(ts.bytes(), kMethodFirstLast), 0);
  EXPECT_EQ(m().totalMs, 277);     // packet 2950 x 94 us, the last PCR still found
}

TEST_F(InputMeasure, NoSyncNearTheEndOfTheWindowFailsWithCode202) {
  tsb::TsStream ts = Regular(100, 10);
  ts.bytes()[188 * 98] = 0x00;     // 376 bytes held: too few to find three sync bytes
  ASSERT_EQ(Measure(ts.bytes(), kMethodFirstLast), 1);
  ASSERT_EQ(sink_.texts.size(), 1u);
  EXPECT_EQ(sink_.kinds[0], MessageKind::Error);
  EXPECT_EQ(sink_.texts[0], path_ + "の読み込みでエラーが発生しました（ｴﾗｰｺｰﾄﾞ=202）.");
  EXPECT_EQ(m().totalMs, 0);
}

TEST_F(InputMeasure, ThousandSyncLossesFailWithCode201) {
  // Every fourth packet start is damaged; the three packets after it let each search succeed.
  tsb::TsStream ts;
  ts.Null(4400);
  for (size_t i = 0; i < 4400; i += 4) ts.bytes()[188 * i] = 0x00;
  ASSERT_EQ(Measure(ts.bytes(), kMethodFirstLast), 1);
  EXPECT_EQ(sink_.texts.at(0), path_ + "の読み込みでエラーが発生しました（ｴﾗｰｺｰﾄﾞ=201）.");
}

TEST_F(InputMeasure, PacketSizeTheReaderCannotUseFailsWithCode200) {
  // A packet size from a damaged settings record (under 188 bytes, or three packets more than the
  // read buffer): nothing is read. A size of 0 used to scan whatever the shared buffer still held
  // from its last user, then turn an infinite packet count into the tail window's start.
  path_ = dir_.Write("in.ts", Regular(100, 10).bytes());
  for (int32_t size : {0, 187, int32_t(kCutterReadBufferSize / 3 + 1), -188}) {
    SCOPED_TRACE(size);
    PcrScanner scanner(buffer_.get(), size);
    sink_.texts.clear();
    EXPECT_EQ(scanner.MeasureInput(path_.c_str(), 18800, kMethodFirstLast, sink_), 1);
    ASSERT_EQ(sink_.texts.size(), 1u);
    EXPECT_EQ(sink_.texts[0], path_ + "の読み込みでエラーが発生しました（ｴﾗｰｺｰﾄﾞ=200）.");
  }
}

TEST_F(InputMeasure, EmptyFileHasNoPcr) {
  ASSERT_EQ(Measure({}, kMethodAutomatic), 1);
  ASSERT_EQ(sink_.texts.size(), 1u);
  EXPECT_EQ(sink_.texts[0], "PCRが検出できません.");
}

TEST_F(InputMeasure, MissingFileFailsWithoutAMessage) {
  EXPECT_EQ(scanner_.MeasureInput(dir_.File("none.ts").c_str(), 0, kMethodAutomatic, sink_), 1);
  EXPECT_TRUE(sink_.texts.empty());
}

TEST_F(InputMeasure, TailWindowCoversTheLastFiftyThousandPackets) {
  // 60000 packets: the head window ends with packet 50000 (11 PCRs), the tail window starts at
  // packet 10000 and takes the last PCR of the file.
  tsb::TsStream ts = Regular(60000, 5000);
  ASSERT_EQ(Measure(ts.bytes(), kMethodFirstLast), 0);
  EXPECT_EQ(m().endPcrMs, 1000 + 5170);        // packet 55000 x 94 us
  EXPECT_EQ(m().pcrCount, 11);
}

}  // namespace
