#include "mpeg2/stream_headers.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/mpeg2/decoder_test_util.h"
#include "tests/mpeg2/es_writer.h"

namespace {

class StreamHeadersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d_ = &test_decoder();
    std::memset(&d_->headers, 0, sizeof d_->headers);
    ResetDecoderRun(*d_, 0);
  }
  // Parses the first start code of w's bytes with the matching parser.
  void Parse(EsWriter& w) {
    w.Align();
    std::vector<uint8_t>& b = w.bytes();
    const uint8_t* p = b.data();
    const uint8_t* end = b.data() + b.size();
    switch (p[3]) {
      case 0xB3: ParseSequenceHeader(*d_, p, end); break;
      case 0xB5: ParseExtension(*d_, p, end); break;
      case 0xB8: ParseGroupHeader(*d_, p, end); break;
      case 0x00: ParsePictureHeader(*d_, p, end); break;
    }
  }
  PreviewDecoder* d_;
};

TEST_F(StreamHeadersTest, SequenceHeaderKeepsSizesAndLoadsDefaultMatrices) {
  EsWriter w;
  w.SequenceHeader(1440, 1080, nullptr, nullptr, 3, 4);
  Parse(w);
  const StreamHeaders& h = d_->headers;
  EXPECT_EQ(h.horizontal_size_value, 1440);
  EXPECT_EQ(h.vertical_size_value, 1080);
  EXPECT_EQ(h.aspect_ratio_information, 3);
  EXPECT_EQ(h.frame_rate_code, 4);
  EXPECT_EQ(h.bit_rate_value, 20000);
  EXPECT_EQ(h.vbv_buffer_size_value, 112);
  // Default intra matrix in zigzag order: raster 0, 1, 8, 16, 9 ... are 8, 16, 16, 19, 16.
  const int expected_zigzag_head[6] = {8, 16, 16, 19, 16, 19};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(h.intraMatrix[k], expected_zigzag_head[k]) << k;
  EXPECT_EQ(h.intraMatrix[63], 83);
  EXPECT_EQ(h.chromaIntraMatrix[3], 19);
  for (int k = 0; k < 64; ++k) EXPECT_EQ(h.nonIntraMatrix[k], 16);
  for (int k = 0; k < 64; ++k) EXPECT_EQ(h.chromaNonIntraMatrix[k], 16);
}

TEST_F(StreamHeadersTest, LoadedMatricesAreKeptInTransmissionOrder) {
  std::vector<int> intra(64), non_intra(64);
  for (int k = 0; k < 64; ++k) intra[k] = 8 + k, non_intra[k] = 100 + k;
  EsWriter w;
  w.SequenceHeader(720, 480, &intra, &non_intra);
  Parse(w);
  for (int k = 0; k < 64; ++k) {
    EXPECT_EQ(d_->headers.intraMatrix[k], 8 + k);
    EXPECT_EQ(d_->headers.chromaIntraMatrix[k], 8 + k);
    EXPECT_EQ(d_->headers.nonIntraMatrix[k], 100 + k);
    EXPECT_EQ(d_->headers.chromaNonIntraMatrix[k], 100 + k);
  }
}

TEST_F(StreamHeadersTest, QuantMatrixExtensionKeepsEntriesWhereZeroIsSent) {
  for (int k = 0; k < 64; ++k) {
    d_->headers.intraMatrix[k] = 50;
    d_->headers.chromaIntraMatrix[k] = 60;
  }
  EsWriter w;
  w.StartCode(0xB5);
  w.Bits(3, 4);
  w.Bit(1);  // load_intra_quantiser_matrix
  for (int k = 0; k < 64; ++k) w.Bits(k % 2 ? 0 : 20, 8);
  w.Bit(0);
  w.Bit(0);
  w.Bit(0);
  Parse(w);
  for (int k = 0; k < 64; ++k) {
    EXPECT_EQ(d_->headers.intraMatrix[k], k % 2 ? 50 : 20) << k;
    EXPECT_EQ(d_->headers.chromaIntraMatrix[k], 60) << "only its own matrix changes";
  }
}

TEST_F(StreamHeadersTest, SequenceExtensionAcceptsMainAndSimpleProfilesOnly) {
  struct Case {
    int profile_and_level;
    int32_t error;
  };
  for (const Case c : {Case{0x48, 0}, Case{0x44, 0}, Case{0x58, 0}, Case{0xC8, 0},
                       Case{0x85, 21}, Case{0x82, 21}, Case{0x14, 21}, Case{0x68, 21}}) {
    d_->run.errorCode = 0;
    EsWriter w;
    w.SequenceExtension(c.profile_and_level, 0, 1);
    Parse(w);
    EXPECT_EQ(d_->run.errorCode, c.error) << std::hex << c.profile_and_level;
    EXPECT_EQ(d_->headers.profile_and_level_indication, c.profile_and_level);
    EXPECT_EQ(d_->headers.chroma_format, 1);
    EXPECT_EQ(d_->headers.progressive_sequence, 0);
  }
}

TEST_F(StreamHeadersTest, ZeroFCodesReportTheLastFailingOne) {
  EsWriter::CodingExtension e;
  EsWriter w;
  w.PictureCodingExtension(e);  // all four 15
  Parse(w);
  EXPECT_EQ(d_->run.errorCode, 0);
  EXPECT_EQ(d_->headers.f_code[1][1], 15);

  const int32_t expected[4] = {1, 2, 3, 4};
  for (int i = 0; i < 4; ++i) {
    d_->run.errorCode = 0;
    EsWriter::CodingExtension z;
    z.f_code[i / 2][i % 2] = 0;
    EsWriter wz;
    wz.PictureCodingExtension(z);
    Parse(wz);
    EXPECT_EQ(d_->run.errorCode, expected[i]);
  }
  d_->run.errorCode = 0;
  EsWriter::CodingExtension two;
  two.f_code[0][0] = 0;
  two.f_code[1][0] = 0;
  EsWriter w2;
  w2.PictureCodingExtension(two);
  Parse(w2);
  EXPECT_EQ(d_->run.errorCode, 3);
}

TEST_F(StreamHeadersTest, DisplayExtensionSizesMoveWithColourDescription) {
  for (int colour = 0; colour < 2; ++colour) {
    EsWriter w;
    w.StartCode(0xB5);
    w.Bits(2, 4);
    w.Bits(5, 3);  // video_format
    w.Bit(colour);
    if (colour) w.Bits(0x010203, 24);
    w.Bits(1920, 14);
    w.Bit(1);
    w.Bits(1080, 14);
    Parse(w);
    const StreamHeaders& h = d_->headers;
    EXPECT_EQ(h.video_format, 5);
    EXPECT_EQ(h.display_horizontal_size, 1920);
    EXPECT_EQ(h.display_vertical_size, 1080);
    if (colour) {
      EXPECT_EQ(h.colour_primaries, 1);
      EXPECT_EQ(h.transfer_characteristics, 2);
      EXPECT_EQ(h.matrix_coefficients, 3);
    }
  }
}

TEST_F(StreamHeadersTest, PictureHeaderKeepsTheFirst2048BytesOfExtraInformation) {
  EsWriter w;
  w.StartCode(0x00);
  w.Bits(5, 10);
  w.Bits(3, 3);
  w.Bits(0x1234, 16);
  w.Bit(1);
  w.Bits(2, 3);
  w.Bit(0);
  w.Bits(6, 3);
  for (int i = 0; i < 3000; ++i) {
    w.Bit(1);
    w.Bits(i & 0xFF, 8);
  }
  w.Bit(0);
  Parse(w);
  const StreamHeaders& h = d_->headers;
  EXPECT_EQ(h.temporal_reference, 5);
  EXPECT_EQ(h.picture_coding_type, 3);
  EXPECT_EQ(h.vbv_delay, 0x1234);
  EXPECT_EQ(h.full_pel_forward_vector, 1);
  EXPECT_EQ(h.forward_f_code, 2);
  EXPECT_EQ(h.backward_f_code, 6);
  EXPECT_EQ(h.extraInformationLength, 2048);
  EXPECT_EQ(h.extraInformation[2047], 2047 & 0xFF);
}

TEST_F(StreamHeadersTest, PictureTypesAssignFrameStoreRolesAndCopyTheReference) {
  FrameStore& f = d_->frames;
  f.buffer[0][0] = 10;
  f.buffer[1][0] = 11;
  f.buffer[2][0] = 12;
  struct Step {
    int type, reference, current;
  };
  // From roles 0 and 1: I -> (1, 0), P -> (0, 1), B -> (0, 2), P -> (1, 0), I -> (0, 1).
  for (const Step s : {Step{1, 1, 0}, Step{2, 0, 1}, Step{3, 0, 2}, Step{2, 1, 0}, Step{1, 0, 1}}) {
    const int16_t before_reference = f.buffer[s.reference][0];
    const int16_t before_current = f.buffer[s.current][0];
    EsWriter w;
    w.PictureHeader(s.type);
    Parse(w);
    EXPECT_EQ(f.referenceIndex, s.reference);
    EXPECT_EQ(f.currentIndex, s.current);
    if (s.type == 1)
      EXPECT_EQ(f.buffer[s.current][0], before_current) << "an I picture copies nothing";
    else
      EXPECT_EQ(f.buffer[s.current][0], before_reference) << "type " << s.type;
    f.buffer[s.current][0] = int16_t(20 + s.current);  // what this picture "wrote"
  }
}

TEST_F(StreamHeadersTest, ParsersReadZerosInsteadOfBytesPastTheEnd) {
  // A sequence header cut right after its start code: the fields read as 0 and nothing past the
  // four bytes is touched (the sanitizer build checks the exact-size buffer).
  std::vector<uint8_t> b = {0, 0, 1, 0xB3};
  ParseSequenceHeader(*d_, b.data(), b.data() + b.size());
  EXPECT_EQ(d_->headers.horizontal_size_value, 0);
  EXPECT_EQ(d_->headers.intraMatrix[0], 8);
  // A picture header whose extra_bit_picture ones run into the end of the ES.
  std::vector<uint8_t> p = {0, 0, 1, 0x00, 0x00, 0x3F, 0xFF, 0xFF};
  ParsePictureHeader(*d_, p.data(), p.data() + p.size());
  EXPECT_LT(d_->headers.extraInformationLength, 4);
}

}  // namespace
