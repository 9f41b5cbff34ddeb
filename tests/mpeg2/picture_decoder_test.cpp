// Decoding of synthetic pictures written bit by bit: DC precision, mismatch control, scans and
// matrices, DCT types, macroblock placement, P-picture prediction, picture and field handling,
// and the error codes.
#include "mpeg2/picture_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "mpeg2/idct.h"
#include "tests/mpeg2/decoder_test_util.h"
#include "tests/mpeg2/es_writer.h"

namespace {

struct IntraBlock {
  int dc = 0;                                     // dct_dc_differential
  std::vector<std::pair<int, int>> escapes = {};  // (run, level), escape-coded
};
using IntraBlocks = std::array<IntraBlock, 6>;

void write_intra_macroblock(EsWriter& w, const IntraBlocks& blocks, int dct_type = -1,
                            const char* type_code = "1", const char* increment = "1",
                            bool b15 = false) {
  w.Code(increment);
  w.Code(type_code);
  if (dct_type >= 0) w.Bit(dct_type);
  for (int i = 0; i < 6; ++i) {
    w.IntraDc(blocks[i].dc, i >= 4);
    for (auto [run, level] : blocks[i].escapes) w.Escape(run, level);
    w.Code(b15 ? "0110" : "10");
  }
}

// Saturated raster coefficients -> mismatch control -> IDCT, as the reconstruction must do it.
std::array<int32_t, 64> expected_block(std::array<int32_t, 64> f) {
  int32_t sum = 0;
  for (int32_t v : f) sum += v;
  if ((sum & 1) == 0) f[63] += (f[63] & 1) ? -1 : 1;
  idct_8x8(f.data());
  return f;
}

class PictureDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d_ = &test_decoder();
    std::memset(&d_->headers, 0, sizeof d_->headers);
    d_->pictureStartHook = nullptr;
    d_->pictureStartContext = nullptr;
  }
  void Header(EsWriter& w, int width, int height, const EsWriter::CodingExtension& e, int type,
              const std::vector<int>* intra = nullptr) {
    w.SequenceHeader(width, height, intra);
    w.SequenceExtension(0x48, e.progressive_frame, 1);
    w.GroupHeader();
    w.PictureHeader(type);
    w.PictureCodingExtension(e);
  }
  int32_t Decode(EsWriter& w, int32_t stop = 0) {
    const int32_t length = w.Finish();
    es_ = w.bytes();
    return decode_es(*d_, es_, length, stop);
  }
  // Sample k (0 Y, 1 Cb, 2 Cr) of display pixel (x, y) in buffer b.
  int16_t At(int b, int x, int y, int k = 0) const {
    const FrameGeometry g = frame_geometry(d_->headers);
    return d_->frames.buffer[b][size_t(g.mbHeight * 16 - 1 - y) * g.rowStride + 3 * x + k];
  }
  int16_t Cur(int x, int y, int k = 0) const { return At(d_->frames.currentIndex, x, y, k); }
  void FillBuffer(int b, int16_t y, int16_t cb, int16_t cr) {
    for (size_t i = 0; i < FrameStore::kBufferSamples; i += 3) {
      d_->frames.buffer[b][i] = y;
      d_->frames.buffer[b][i + 1] = cb;
      d_->frames.buffer[b][i + 2] = cr;
    }
  }

  PreviewDecoder* d_;
  std::vector<uint8_t> es_;
};

TEST_F(PictureDecoderTest, DcPrecisionSetsPredictorResetAndMultiplier) {
  for (int precision = 0; precision < 4; ++precision) {
    EsWriter::CodingExtension e;
    e.intra_dc_precision = precision;
    EsWriter w;
    Header(w, 16, 16, e, 1);
    w.SliceHeader(1, 8);
    IntraBlocks blocks;
    blocks[0].dc = 5;  // the predictor carries it to blocks 1-3
    write_intra_macroblock(w, blocks);
    ASSERT_EQ(Decode(w), 0);
    ASSERT_EQ(d_->run.errorCode, 0);
    const int reset = 128 << precision, mult = 8 >> precision;
    std::array<int32_t, 64> f{};
    f[0] = (reset + 5) * mult;
    const auto luma = expected_block(f);
    f[0] = reset * mult;
    const auto chroma = expected_block(f);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        ASSERT_EQ(Cur(x, y), luma[8 * (y % 8) + x % 8]) << precision << " " << x << "," << y;
        ASSERT_EQ(Cur(x, y, 1), chroma[8 * (y / 2) + x / 2] - 128);
        ASSERT_EQ(Cur(x, y, 2), chroma[8 * (y / 2) + x / 2] - 128);
      }
  }
}

TEST_F(PictureDecoderTest, MismatchControlTogglesTheLastCoefficient) {
  struct Case {
    int dc;     // with precision 3: F[0] = 1024 + dc
    int level;  // at scan index 63; F[63] = level * 83 * 2 * 2 / 32 (default matrix, scale 2)
    int f63;    // expected after mismatch control
  };
  // sum even, F[63] odd (31) -> 30; sum odd -> unchanged; sum even, F[63] even (20) -> 21.
  for (const Case c : {Case{1, 3, 30}, Case{1, 2, 20}, Case{0, 2, 21}}) {
    EsWriter::CodingExtension e;
    e.intra_dc_precision = 3;
    EsWriter w;
    Header(w, 16, 16, e, 1);
    w.SliceHeader(1, 1);
    IntraBlocks blocks;
    blocks[0].dc = c.dc;
    blocks[0].escapes = {{62, c.level}};
    blocks[1].dc = -c.dc;
    write_intra_macroblock(w, blocks);
    ASSERT_EQ(Decode(w), 0);
    std::array<int32_t, 64> f{};
    f[0] = 1024 + c.dc;
    f[63] = c.f63;
    std::array<int32_t, 64> out = f;
    idct_8x8(out.data());
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(Cur(x, y), out[8 * y + x]) << c.level;
  }
}

TEST_F(PictureDecoderTest, AlternateScanTakesWeightsByRasterPosition) {
  std::vector<int> matrix(64);
  for (int k = 0; k < 64; ++k) matrix[k] = 10 + 3 * k;  // zigzag order
  EsWriter::CodingExtension e;
  e.alternate_scan = 1;
  EsWriter w;
  Header(w, 16, 16, e, 1, &matrix);
  w.SliceHeader(1, 4);  // quantiser_scale 8
  IntraBlocks blocks;
  blocks[0].escapes = {{0, 5}, {2, -7}};  // alternate scan indexes 1 and 4: raster 8 and 1
  write_intra_macroblock(w, blocks);
  ASSERT_EQ(Decode(w), 0);
  std::array<int32_t, 64> f{};
  f[0] = 1024;
  f[8] = (5 * matrix[2] * 8 * 2) / 32;   // raster 8 is zigzag index 2
  f[1] = (-7 * matrix[1] * 8 * 2) / 32;  // raster 1 is zigzag index 1
  const auto out = expected_block(f);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Cur(x, y), out[8 * y + x]);
}

TEST_F(PictureDecoderTest, NonLinearQuantiserScale) {
  struct Case {
    int code, scale;
  };
  for (const Case c : {Case{1, 1}, Case{8, 8}, Case{9, 10}, Case{17, 28}, Case{25, 64},
                       Case{31, 112}}) {
    EsWriter::CodingExtension e;
    e.q_scale_type = 1;
    EsWriter w;
    Header(w, 16, 16, e, 1);
    w.SliceHeader(1, c.code);
    IntraBlocks blocks;
    blocks[0].escapes = {{1, 100}};  // zigzag index 2 = raster 8, default weight 16
    write_intra_macroblock(w, blocks);
    ASSERT_EQ(Decode(w), 0);
    std::array<int32_t, 64> f{};
    f[0] = 1024;
    f[8] = std::min(2047, (100 * 16 * c.scale * 2) / 32);
    const auto out = expected_block(f);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(Cur(x, y), out[8 * y + x]) << c.code;
  }
}

TEST_F(PictureDecoderTest, FrameAndFieldDctPlaceLumaBlocks) {
  for (int dct_type = 0; dct_type < 2; ++dct_type) {
    EsWriter::CodingExtension e;
    e.intra_dc_precision = 3;  // F[0] odd: no mismatch ripple, flat blocks
    e.frame_pred_frame_dct = 0;
    e.progressive_frame = 0;
    EsWriter w;
    Header(w, 16, 16, e, 1);
    w.SliceHeader(1, 8);
    IntraBlocks blocks;
    // Blocks 0..3 flat at 129, 139, 149, 159: F[0] = 1033, 1113, 1193, 1273 (odd, so mismatch
    // control leaves them flat); chroma F[0] = 1033 stores 129 - 128.
    blocks[0].dc = 9;
    blocks[1].dc = blocks[2].dc = blocks[3].dc = 80;
    blocks[4].dc = 9;
    blocks[5].dc = 9;
    write_intra_macroblock(w, blocks, dct_type);
    ASSERT_EQ(Decode(w), 0);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const int block = dct_type ? (x >= 8) + 2 * (y & 1) : 2 * (y >= 8) + (x >= 8);
        ASSERT_EQ(Cur(x, y), 129 + 10 * block) << "dct_type " << dct_type << " " << x << "," << y;
        ASSERT_EQ(Cur(x, y, 1), 1);
      }
  }
}

TEST_F(PictureDecoderTest, IntraVlcFormatOneUsesTableB15) {
  EsWriter::CodingExtension e;
  e.intra_vlc_format = 1;
  EsWriter w;
  Header(w, 16, 16, e, 1);
  w.SliceHeader(1, 4);
  w.Code("1");  // increment
  w.Code("1");  // intra
  w.IntraDc(0, false);
  w.Code("110");    // B-15: run 0, level 2
  w.Bit(1);         // negative
  w.Code("1111 000");  // B-15: run 9, level 1
  w.Bit(0);
  w.Code("0110");  // end of block
  for (int i = 1; i < 6; ++i) {
    w.IntraDc(0, i >= 4);
    w.Code("0110");
  }
  ASSERT_EQ(Decode(w), 0);
  ASSERT_EQ(d_->run.errorCode, 0);
  std::array<int32_t, 64> f{};
  f[0] = 1024;
  f[1] = (-2 * 16 * 8 * 2) / 32;  // scan index 1 = raster 1, default weight 16
  f[25] = (1 * 22 * 8 * 2) / 32;  // scan index 2 + 9 = 11 = raster 25, default weight 22
  const auto out = expected_block(f);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Cur(x, y), out[8 * y + x]);
}

TEST_F(PictureDecoderTest, EscapedAddressIncrementSkipsMacroblocksInPPictures) {
  FillBuffer(1, 77, 3, -3);  // the P picture's reference (roles 0/1 become 1/0)
  EsWriter::CodingExtension e;
  e.intra_dc_precision = 3;
  EsWriter w;
  Header(w, 640, 16, e, 2);
  w.SliceHeader(1, 8);
  IntraBlocks blocks;
  blocks[0].dc = 9;  // F[0] = 1033: flat 129
  write_intra_macroblock(w, blocks, -1, "0001 1", "1");
  // macroblock_escape + 5: address 1 + 38 = 39, column 38.
  write_intra_macroblock(w, blocks, -1, "0001 1", "0000 0001 000" "0010");
  ASSERT_EQ(Decode(w), 0);
  ASSERT_EQ(d_->run.errorCode, 0);
  EXPECT_EQ(d_->frames.currentIndex, 0);
  EXPECT_EQ(Cur(0, 0), 129);
  EXPECT_EQ(Cur(16 * 38 + 5, 7), 129);
  for (int col = 1; col < 38; ++col) {
    ASSERT_EQ(Cur(16 * col, 0), 77) << col;
    ASSERT_EQ(Cur(16 * col + 15, 15, 2), -3) << col;
  }
  EXPECT_EQ(Cur(16 * 39, 0), 77);
}

TEST_F(PictureDecoderTest, HalfSampleMeansTruncateTowardZero) {
  // Reference: Y = 3x + y, Cb = -x - y, Cr = x - 2y (display coordinates).
  const int W = 32, H = 32;
  auto fill_reference = [&] {
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        int16_t* p = &d_->frames.buffer[1][size_t(H - 1 - y) * 96 + 3 * x];
        p[0] = int16_t(3 * x + y);
        p[1] = int16_t(-x - y);
        p[2] = int16_t(x - 2 * y);
      }
  };
  auto ref = [&](int x, int y, int k) {
    x = std::clamp(x, 0, W - 1);
    y = std::clamp(y, 0, H - 1);
    return k == 0 ? 3 * x + y : (k == 1 ? -x - y : x - 2 * y);
  };
  struct Case {
    const char* h_code;
    const char* v_code;
    int h, v;  // half-sample units
  };
  // f_code 1: motion_code is the vector itself. "010" = +1, "0011" = -2, "011" = -1, "1" = 0.
  for (const Case c : {Case{"010", "1", 1, 0}, Case{"1", "010", 0, 1}, Case{"010", "010", 1, 1},
                       Case{"0011", "011", -2, -1}, Case{"1", "1", 0, 0}}) {
    fill_reference();
    EsWriter::CodingExtension e;
    e.f_code[0][0] = e.f_code[0][1] = 1;
    EsWriter w;
    Header(w, W, H, e, 2);
    w.SliceHeader(1, 8);
    w.Code("1");    // increment
    w.Code("001");  // motion forward, not coded
    w.Code(c.h_code);
    w.Code(c.v_code);
    ASSERT_EQ(Decode(w), 0);
    ASSERT_EQ(d_->run.errorCode, 0);
    const int hx = c.h >> 1, vy = c.v >> 1;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        for (int k = 0; k < 3; ++k) {
          const int a = ref(x + hx, y + vy, k), b = ref(x + hx + 1, y + vy, k);
          const int cc = ref(x + hx, y + vy + 1, k), dd = ref(x + hx + 1, y + vy + 1, k);
          int expected = a;
          if ((c.h & 1) && !(c.v & 1)) expected = (a + b) / 2;
          if (!(c.h & 1) && (c.v & 1)) expected = (a + cc) / 2;
          if ((c.h & 1) && (c.v & 1)) expected = (a + b + cc + dd) / 4;
          ASSERT_EQ(Cur(x, y, k), expected) << c.h << "," << c.v << " at " << x << "," << y;
        }
  }
}

TEST_F(PictureDecoderTest, FieldVectorsInFramePicturesPredictFromTheSelectedField) {
  // Top-field lines from the reference's bottom field and bottom-field lines from its top field:
  // the two fields swap, so display row y shows reference row y + 1 (even y) or y - 1 (odd y).
  const int W = 32, H = 32;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      int16_t* p = &d_->frames.buffer[1][size_t(H - 1 - y) * 96 + 3 * x];
      p[0] = int16_t(3 * x + 5 * y);
      p[1] = int16_t(-y);
      p[2] = int16_t(y);
    }
  EsWriter::CodingExtension e;
  e.f_code[0][0] = e.f_code[0][1] = 1;
  e.frame_pred_frame_dct = 0;
  e.progressive_frame = 0;
  EsWriter w;
  Header(w, W, H, e, 2);
  w.SliceHeader(1, 8);
  w.Code("1");    // increment
  w.Code("001");  // motion forward, not coded
  w.Code("01");   // frame_motion_type: field-based
  w.Bit(1);       // top field lines from the bottom field
  w.Code("1");
  w.Code("1");    // vector (0, 0)
  w.Bit(0);       // bottom field lines from the top field
  w.Code("1");
  w.Code("1");
  ASSERT_EQ(Decode(w), 0);
  ASSERT_EQ(d_->run.errorCode, 0);
  for (int y = 0; y < 16; ++y) {
    const int source = (y & 1) ? y - 1 : y + 1;
    for (int x = 0; x < 16; ++x) {
      ASSERT_EQ(Cur(x, y), 3 * x + 5 * source) << x << "," << y;
      ASSERT_EQ(Cur(x, y, 1), -source);
    }
  }
}

TEST_F(PictureDecoderTest, BPictureIsParsedButNotReconstructed) {
  FillBuffer(0, 50, 0, 0);
  FillBuffer(2, 99, 0, 0);
  int hook_calls = 0;
  d_->pictureStartHook = [](PreviewDecoder&, void* ctx) { ++*static_cast<int*>(ctx); };
  d_->pictureStartContext = &hook_calls;
  EsWriter w;
  Header(w, 16, 16, EsWriter::CodingExtension{}, 3);
  w.SliceHeader(1, 8);
  IntraBlocks blocks;
  blocks[0].dc = 40;
  write_intra_macroblock(w, blocks, -1, "0001 1");
  ASSERT_EQ(Decode(w), 0);
  EXPECT_EQ(d_->run.errorCode, 0);
  EXPECT_EQ(d_->run.pictureCount, 2);
  EXPECT_EQ(hook_calls, 2);
  EXPECT_EQ(d_->frames.currentIndex, 2);
  EXPECT_EQ(d_->run.macroblockCounter, 1);
  EXPECT_EQ(Cur(3, 3), 50) << "the B buffer holds the reference copy only";
}

TEST_F(PictureDecoderTest, OnlyTheFirstPictureIsDecoded) {
  EsWriter::CodingExtension e;
  e.intra_dc_precision = 3;
  EsWriter w;
  Header(w, 16, 16, e, 1);
  w.SliceHeader(1, 8);
  IntraBlocks first;
  first[0].dc = 9;
  write_intra_macroblock(w, first);
  w.PictureHeader(1);
  w.PictureCodingExtension(e);
  w.SliceHeader(1, 8);
  IntraBlocks second;
  second[0].dc = 81;
  write_intra_macroblock(w, second);
  ASSERT_EQ(Decode(w), 0);
  EXPECT_EQ(d_->run.pictureCount, 2);
  EXPECT_EQ(Cur(0, 0), 129);
}

TEST_F(PictureDecoderTest, FieldPictureFillsTheUpperHalf) {
  FillBuffer(0, 7, 0, 0);
  EsWriter::CodingExtension e;
  e.intra_dc_precision = 3;
  e.picture_structure = 1;
  e.progressive_frame = 0;
  EsWriter w;
  Header(w, 16, 32, e, 1);
  w.SliceHeader(1, 8);
  IntraBlocks blocks;
  blocks[0].dc = 9;
  write_intra_macroblock(w, blocks);
  ASSERT_EQ(Decode(w), 0);
  for (int y = 0; y < 16; ++y) EXPECT_EQ(Cur(4, y), 129) << y;   // stored rows 31..16
  for (int y = 16; y < 32; ++y) EXPECT_EQ(Cur(4, y), 7) << y;    // rows 15..0 untouched
}

TEST_F(PictureDecoderTest, WidthNotAMultipleOf16DoesNotSpillIntoTheNextRow) {
  FillBuffer(0, 7, 0, 0);
  EsWriter::CodingExtension e;
  e.intra_dc_precision = 3;
  EsWriter w;
  Header(w, 24, 16, e, 1);  // row stride 72 samples = 24 pixels; the second macroblock is cut
  w.SliceHeader(1, 8);
  IntraBlocks a, b;
  a[0].dc = 9;
  write_intra_macroblock(w, a);
  b[0].dc = 80;  // 1105 -> 139 for the second macroblock's blocks
  write_intra_macroblock(w, b);
  ASSERT_EQ(Decode(w), 0);
  for (int y = 0; y < 16; ++y) {
    EXPECT_EQ(Cur(0, y), 129) << "left edge of row " << y << " must keep the first macroblock";
    EXPECT_EQ(Cur(23, y), 139);
  }
}

TEST_F(PictureDecoderTest, ChromaFormatZeroStoresNothing) {
  FillBuffer(0, 7, 0, 0);
  EsWriter w;
  w.SequenceHeader(16, 16);  // no sequence extension after program start: chroma_format 0
  w.PictureHeader(1);
  w.SliceHeader(1, 8);
  IntraBlocks blocks;
  blocks[0].dc = 40;
  write_intra_macroblock(w, blocks);
  ASSERT_EQ(Decode(w), 0);
  EXPECT_EQ(Cur(0, 0), 7);
}

// Error codes: each corrupt syntax element, written after one good macroblock.
class DecodeErrors : public PictureDecoderTest {
 protected:
  void Start(EsWriter& w, int type, const EsWriter::CodingExtension& e = {}) {
    Header(w, 64, 32, e, type);
    w.SliceHeader(1, 8);
  }
};

TEST_F(DecodeErrors, InvalidAddressIncrementIsError6) {
  EsWriter w;
  Start(w, 1);
  write_intra_macroblock(w, IntraBlocks{});
  w.Code("0000 0000 0011 1");  // no Table B-1 code; not 23 zeros, so the loop reads it
  ASSERT_EQ(Decode(w), 0);
  EXPECT_EQ(d_->run.errorCode, 6);
}

TEST_F(DecodeErrors, InvalidCodedBlockPatternIsError7) {
  EsWriter w;
  Start(w, 2);
  w.Code("1");
  w.Code("01");            // P: coded, no motion
  w.Code("0000 0000 0");   // not in Table B-9
  w.Code("111");
  ASSERT_EQ(Decode(w), 0);
  EXPECT_EQ(d_->run.errorCode, 7);
}

TEST_F(DecodeErrors, InvalidMotionCodeIsError5) {
  EsWriter w;
  Start(w, 2);
  w.Code("1");
  w.Code("001");            // P: motion forward, not coded
  w.Code("0000 0000 001");  // not in Table B-10
  ASSERT_EQ(Decode(w), 0);
  EXPECT_EQ(d_->run.errorCode, 5);
}

TEST_F(DecodeErrors, InvalidCoefficientCodeIsError10AndZeroesTheRestOfTheBlock) {
  EsWriter::CodingExtension e;
  e.intra_dc_precision = 3;
  EsWriter w;
  Start(w, 1, e);
  w.Code("1");
  w.Code("1");
  w.IntraDc(9, false);
  w.Code("0000 0000 0000 0001");  // 16 bits that are no code of Table B-14
  ASSERT_EQ(Decode(w), 0);
  EXPECT_EQ(d_->run.errorCode, 10);
  EXPECT_EQ(Cur(0, 0), 129);  // DC only in block 0
}

TEST_F(DecodeErrors, CoefficientPastTheBlockIsError11AndNotStored) {
  EsWriter::CodingExtension e;
  e.intra_dc_precision = 3;
  EsWriter w;
  Start(w, 1, e);
  IntraBlocks blocks;
  blocks[0].dc = 9;
  blocks[0].escapes = {{62, 0}, {5, 900}};  // index 63, then 69
  write_intra_macroblock(w, blocks);
  ASSERT_EQ(Decode(w), 0);
  EXPECT_EQ(d_->run.errorCode, 11);
  EXPECT_EQ(Cur(0, 0), 129);
}

TEST_F(DecodeErrors, AfterAnErrorLaterSlicesDecodeOnlyTheirFirstMacroblock) {
  EsWriter w;
  Start(w, 1);
  write_intra_macroblock(w, IntraBlocks{});
  w.Code("0000 0000 0011 1");  // error 6 in the second macroblock
  w.SliceHeader(2, 8);
  for (int i = 0; i < 3; ++i) write_intra_macroblock(w, IntraBlocks{});
  ASSERT_EQ(Decode(w), 0);
  EXPECT_EQ(d_->run.errorCode, 6);
  EXPECT_EQ(d_->run.macroblockCounter, 2);
  EXPECT_EQ(d_->run.pictureCount, 2) << "the picture is still finished";
}

TEST_F(DecodeErrors, StopOnErrorEndsTheRunAfterTheFailingSlice) {
  for (int stop = 0; stop < 2; ++stop) {
    int hook_calls = 0;
    d_->pictureStartHook = [](PreviewDecoder&, void* ctx) { ++*static_cast<int*>(ctx); };
    d_->pictureStartContext = &hook_calls;
    EsWriter w;
    Start(w, 1);
    write_intra_macroblock(w, IntraBlocks{});
    w.Code("0000 0000 0011 1");
    w.SliceHeader(2, 8);
    write_intra_macroblock(w, IntraBlocks{});
    ASSERT_EQ(Decode(w, stop), 0);
    EXPECT_EQ(d_->run.errorCode, 6);
    EXPECT_EQ(hook_calls, stop ? 1 : 2) << "stop " << stop;
    EXPECT_EQ(d_->run.macroblockCounter, stop ? 1 : 2);
  }
}

TEST_F(DecodeErrors, UnsupportedProfileStopsAtOnce) {
  EsWriter w;
  w.SequenceHeader(16, 16);
  w.SequenceExtension(0x85, 1, 2);
  w.PictureHeader(1);
  ASSERT_EQ(Decode(w), 1);
  EXPECT_EQ(d_->run.errorCode, 21);
  EXPECT_EQ(d_->run.pictureCount, 0);
  // The extended profiles read the 4:2:2 profile and High, but not with 4:4:4 chroma, nor multi-view.
  d_->extendedProfiles = true;
  for (const auto [indication, chroma, error] :
       {std::array{0x85, 2, 0}, {0x14, 1, 0}, {0x85, 3, 21}, {0x14, 3, 21}, {0x8D, 1, 21}}) {
    EsWriter x;
    x.SequenceHeader(16, 16);
    x.SequenceExtension(indication, 1, chroma);
    Decode(x);
    EXPECT_EQ(d_->run.errorCode, error) << indication;
  }
  d_->extendedProfiles = false;
}

}  // namespace
