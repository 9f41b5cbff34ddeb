// Damaged and absurd input: flipped bits, truncated streams, random slice data, pictures larger
// than the frame stores, vectors far outside the picture. The decoder must report an error code
// (or none) and never touch memory outside its buffers; run under the sanitizer build, every ES is
// an exact-size heap buffer, and the frame store the run must not write is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "mpeg2/convert.h"
#include "mpeg2/vlc_tables.h"
#include "tests/mpeg2/decoder_test_util.h"
#include "tests/mpeg2/es_writer.h"
#include "tests/mpeg2/sample_clip.h"

namespace {

bool known_outcome(int32_t code) {
  for (int32_t k : {0, 1, 2, 3, 4, 5, 6, 7, 10, 11}) if (code == k) return true;
  return false;
}

class DamagedStream : public ::testing::Test {
 protected:
  void SetUp() override {
    d_ = &test_decoder();
    std::memset(&d_->headers, 0, sizeof d_->headers);
    d_->pictureStartHook = nullptr;
    // Buffer 1 is only ever read by I and P pictures decoded from roles 0/1 (they write buffer 0)
    // and is the first thing an overrun of buffer 0 would hit.
    for (size_t i = 0; i < kCanary; ++i) d_->frames.buffer[1][i] = int16_t(0x5A5A ^ i);
    for (size_t i = 0; i < kCanary; ++i)
      d_->frames.buffer[1][FrameStore::kBufferSamples - 1 - i] = int16_t(0x1234 ^ i);
  }
  void ExpectCanaryIntact() {
    for (size_t i = 0; i < kCanary; ++i) {
      ASSERT_EQ(d_->frames.buffer[1][i], int16_t(0x5A5A ^ i)) << "buffer 1 sample " << i;
      ASSERT_EQ(d_->frames.buffer[1][FrameStore::kBufferSamples - 1 - i], int16_t(0x1234 ^ i));
    }
  }
  // Decodes exactly `es` (no padding beyond it).
  void DecodeExact(const std::vector<uint8_t>& es) {
    std::vector<uint8_t> copy(es);
    ResetDecoderRun(*d_, 0);
    const int32_t r = DecodeStream(*d_, copy.data(), int32_t(copy.size()), int64_t(copy.size()));
    ASSERT_TRUE(r == 0 || r == 1);
    ASSERT_TRUE(known_outcome(d_->run.errorCode) || d_->run.errorCode == 21 ||
                d_->run.errorCode == 22)
        << d_->run.errorCode;
  }

  static constexpr size_t kCanary = 200000;
  PreviewDecoder* d_;
};

// A valid intra picture with random coefficients drawn from the code tables.
std::vector<uint8_t> random_intra_picture(std::mt19937& rng, int width, int height, bool b15) {
  EsWriter w;
  w.SequenceHeader(width, height);
  w.SequenceExtension(0x48, 0, 1);
  w.PictureHeader(1);
  EsWriter::CodingExtension e;
  e.intra_vlc_format = b15;
  e.frame_pred_frame_dct = 0;
  e.progressive_frame = 0;
  w.PictureCodingExtension(e);
  const auto rows = b15 ? dct_b15_rows() : dct_b14_rows();
  const int mbs = ((width + 15) / 16) * ((height + 15) / 16);
  for (int mb = 0; mb < mbs; ++mb) {
    if (mb % 8 == 0) w.SliceHeader(1 + mb / 8 % 100, 1 + int(rng() % 31));
    w.Code("1");
    if (rng() % 4) {
      w.Code("1");
    } else {
      w.Code("01");  // intra with quantiser_scale_code
      w.Bits(1 + rng() % 31, 5);
    }
    w.Bit(rng() & 1);  // dct_type
    for (int b = 0; b < 6; ++b) {
      w.IntraDc(int(rng() % 31) - 15, b >= 4);
      int index = 1;
      for (;;) {
        const VlcRow& r = rows[rng() % rows.size()];
        if (r.value >= 64) continue;
        if (index + r.value >= 64 || rng() % 6 == 0) break;
        w.Code(r.code);
        w.Bit(rng() & 1);
        index += r.value + 1;
      }
      w.Code(b15 ? "0110" : "10");
    }
  }
  w.Finish();
  return w.bytes();
}

TEST_F(DamagedStream, FlippedBitsInSlicesGiveErrorCodesNotCrashes) {
  std::mt19937 rng(99);
  const std::vector<uint8_t> clean = random_intra_picture(rng, 96, 64, false);
  DecodeExact(clean);
  ASSERT_EQ(d_->run.errorCode, 0) << "the undamaged picture decodes cleanly";
  int with_errors = 0;
  for (int n = 0; n < 400; ++n) {
    std::vector<uint8_t> es = clean;
    const int flips = 1 + n % 8;
    for (int f = 0; f < flips; ++f) es[40 + rng() % (es.size() - 40)] ^= uint8_t(1u << (rng() % 8));
    DecodeExact(es);
    with_errors += d_->run.errorCode != 0;
  }
  EXPECT_GT(with_errors, 100);
  ExpectCanaryIntact();
}

TEST_F(DamagedStream, TruncatedStreamsStopAtTheEnd) {
  std::mt19937 rng(3);
  const std::vector<uint8_t> clean = random_intra_picture(rng, 64, 48, true);
  for (size_t cut = 0; cut <= clean.size(); cut += 1 + cut / 64) {
    DecodeExact(std::vector<uint8_t>(clean.begin(), clean.begin() + long(cut)));
    // Without the end marker the start-code search runs to the end of what is there.
    if (d_->run.pictureCount < 2) {
      ASSERT_EQ(d_->run.scanPosition, int32_t(cut)) << cut;
    }
  }
  ExpectCanaryIntact();
}

TEST_F(DamagedStream, RandomSliceDataInEveryPictureKind) {
  std::mt19937 rng(17);
  for (int n = 0; n < 600; ++n) {
    EsWriter w;
    w.SequenceHeader(16 * (1 + int(rng() % 40)), 16 * (1 + int(rng() % 30)));
    w.SequenceExtension(0x48, int(rng() % 2), int(1 + rng() % 3));
    const int type = 1 + int(rng() % 3);
    w.PictureHeader(type, 1 + int(rng() % 7));
    EsWriter::CodingExtension e;
    for (auto& s : e.f_code)
      for (int& f : s) f = 1 + int(rng() % 15);
    e.intra_dc_precision = int(rng() % 4);
    e.picture_structure = 1 + int(rng() % 3);
    e.frame_pred_frame_dct = int(rng() % 2);
    e.concealment_motion_vectors = int(rng() % 2);
    e.q_scale_type = int(rng() % 2);
    e.intra_vlc_format = int(rng() % 2);
    e.alternate_scan = int(rng() % 2);
    e.progressive_frame = int(rng() % 2);
    w.PictureCodingExtension(e);
    for (int s = 0; s < 4; ++s) {
      w.SliceHeader(1 + s, 1 + int(rng() % 31));
      for (int b = 0; b < 200; ++b) w.Bits(rng() | 0x01010101u, 32);  // no start code inside
    }
    w.Finish();
    DecodeExact(w.bytes());
  }
  ExpectCanaryIntact();
}

TEST_F(DamagedStream, PicturesLargerThanTheFrameStoreStayInside) {
  struct Size {
    int w, h;
  };
  std::mt19937 rng(23);
  for (const Size s : {Size{4095, 4095}, Size{1918, 1088}, Size{1920, 1089}, Size{1921, 1088},
                       Size{16, 4095}, Size{4095, 16}, Size{0, 0}, Size{0, 480}, Size{720, 0},
                       Size{2000, 3000}}) {
    for (int type = 1; type <= 2; ++type) {
      EsWriter w;
      w.SequenceHeader(s.w, s.h);
      w.SequenceExtension(0x48, 1, 1);
      w.PictureHeader(type);
      EsWriter::CodingExtension e;
      w.PictureCodingExtension(e);  // f_codes 15: vectors reach far outside the picture
      for (int sl = 0; sl < 6; ++sl) {
        w.SliceHeader(1 + sl, 10);
        if (type == 1) {
          // Intra macroblocks with DC only, many of them: the counter runs to the last address.
          for (int mb = 0; mb < 3000; ++mb) {
            w.Code("1");
            w.Code("1");
            for (int b = 0; b < 6; ++b) {
              w.IntraDc(int(rng() % 5) - 2, b >= 4);
              w.Code("10");
            }
          }
        } else {
          for (int b = 0; b < 400; ++b) w.Bits(rng() | 0x01010101u, 32);
        }
      }
      w.Finish();
      DecodeExact(w.bytes());
      // Beyond 1920 pixels or 68 macroblock rows nothing is decoded: the run stops with error 22.
      const bool refused = s.w > 1920 || s.h > 1088;
      EXPECT_EQ(d_->run.errorCode == kErrorPictureTooLarge, refused) << s.w << "x" << s.h;
      ExpectCanaryIntact();
    }
  }
}

// The sample clip with sizes the frame store cannot hold in its sequence headers, decoded and
// converted the way the preview does, into an exact-size bitmap.
class ClipSizes : public DamagedStream {
 protected:
  void SetUp() override {
    DamagedStream::SetUp();
    clip_ = sample_clip();
    headers_ = start_codes(clip_, 0xB3);
    pictures_ = start_codes(clip_, 0x00);
    ASSERT_GE(headers_.size(), 3u);
    ASSERT_GE(pictures_.size(), 2u);
  }
  // Bytes [from, to) of the clip.
  std::vector<uint8_t> Part(size_t from, size_t to) const {
    return std::vector<uint8_t>(clip_.begin() + long(from), clip_.begin() + long(to));
  }
  // Decodes es plus the end marker, the conversion hook drawing into dib_ (exact size).
  int32_t Draw(std::vector<uint8_t> es) {
    const int32_t length = append_end_marker(es);
    dib_.assign(kPreviewDibBytes, 0x77);
    target_ = ConvertTarget{dib_.data(), false};
    d_->pictureStartHook = ConvertPicture;
    d_->pictureStartContext = &target_;
    ResetDecoderRun(*d_, 0);
    const int32_t result = DecodeStream(*d_, es.data(), length, int64_t(es.size()));
    d_->pictureStartHook = nullptr;
    return result;
  }

  std::vector<uint8_t> clip_;
  std::vector<size_t> headers_, pictures_;
  std::vector<uint8_t> dib_;
  ConvertTarget target_;
};

TEST_F(ClipSizes, SizesTheStoreCannotHoldAreRefusedBeforeAnythingIsStoredOrDrawn) {
  const std::vector<uint8_t> clean = Part(0, headers_[1]);
  ASSERT_EQ(Draw(clean), 0);
  ASSERT_TRUE(target_.converted);
  const std::vector<uint8_t> cleanDib = dib_;
  for (int16_t* s : {d_->frames.buffer[0], d_->frames.buffer[1], d_->frames.buffer[2]})
    std::fill(s, s + FrameStore::kBufferSamples, int16_t(0x3C3C));

  struct Size {
    int w, h;
  };
  for (const Size s : {Size{4095, 720}, Size{4095, 4095}, Size{16, 4095}, Size{1921, 480}}) {
    SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
    std::vector<uint8_t> es = clean;
    set_sequence_size(es, 0, s.w, s.h);
    EXPECT_EQ(Draw(es), 1);
    EXPECT_EQ(d_->run.errorCode, kErrorPictureTooLarge);
    EXPECT_FALSE(target_.converted);
    EXPECT_EQ(dib_, std::vector<uint8_t>(kPreviewDibBytes, 0x77));
    for (int b = 0; b < 3; ++b)
      ASSERT_EQ(std::count(d_->frames.buffer[b], d_->frames.buffer[b] + FrameStore::kBufferSamples,
                           int16_t(0x3C3C)),
                ptrdiff_t(FrameStore::kBufferSamples))
          << "buffer " << b;
  }

  // A size that changes after the first picture (a second sequence header of 4095 x 4095 before
  // the second picture start code) leaves that picture as it was decoded: 720 x 480.
  ASSERT_LT(pictures_[1], headers_[1]);
  const size_t second = pictures_[1];
  std::vector<uint8_t> es = Part(0, second);
  std::vector<uint8_t> next = Part(headers_[1], headers_[2]);
  set_sequence_size(next, 0, 4095, 4095);
  es.insert(es.end(), next.begin(), next.end());
  EXPECT_EQ(Draw(es), 0);
  EXPECT_EQ(d_->run.errorCode, kDecodeOk);
  ASSERT_TRUE(target_.converted);
  EXPECT_EQ(dib_, cleanDib);
  const PictureView v = current_picture_view(*d_);
  EXPECT_EQ(v.width, 720);
  EXPECT_EQ(v.height, 480);
}

TEST_F(DamagedStream, LengthBeyondTheBufferIsClamped) {
  std::mt19937 rng(5);
  std::vector<uint8_t> es = random_intra_picture(rng, 32, 32, false);
  ResetDecoderRun(*d_, 0);
  es.resize(es.size() - 132);  // drop the end marker: the search must stop at the buffer's end
  EXPECT_EQ(DecodeStream(*d_, es.data(), int32_t(es.size()) + 100000, int64_t(es.size())), 0);
  EXPECT_EQ(d_->run.scanPosition, int32_t(es.size()));
  EXPECT_EQ(d_->run.pictureCount, 1);
  ResetDecoderRun(*d_, 0);
  EXPECT_EQ(DecodeStream(*d_, es.data(), -5, int64_t(es.size())), 0);
  EXPECT_EQ(d_->run.pictureCount, 0);
}

}  // namespace
