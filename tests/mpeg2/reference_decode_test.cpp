// First pictures of streams made by an independent encoder (ffmpeg's mpeg2video) against that
// tool's own decode: luma PSNR must reach 40 dB and chroma 38 dB. Each case also checks that the
// stream really exercises the coding feature it is named after.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "tests/mpeg2/decoder_test_util.h"

namespace {

struct ReferenceCase {
  const char* name;
  std::function<void(const StreamHeaders&)> check_features;
  double chromaDb = 38.0;
};

// A file of the reference folder, which make_reference.sh fills before these tests run. Appended
// to a named string: g++ 12 takes `std::string(literal) + ...` for an overflow (-Warray-bounds).
std::string reference_file(const std::string& name) {
  std::string path = KERF_PREVIEW_REFERENCE_DIR;
  path += '/';
  path += name;
  return path;
}

class ReferenceDecode : public ::testing::TestWithParam<ReferenceCase> {
 protected:
  static void ExpectMatches(const PreviewDecoder& d, const std::vector<uint8_t>& ref, const ReferenceCase& rc);
};

TEST_P(ReferenceDecode, FirstPictureMatchesIndependentDecoder) {
  const ReferenceCase& rc = GetParam();
  std::vector<uint8_t> es = read_file(reference_file(std::string(rc.name) + ".m2v"));
  std::vector<uint8_t> ref = read_file(reference_file(std::string(rc.name) + ".yuv"));
  ASSERT_FALSE(es.empty()) << "missing reference stream " << rc.name;
  const int32_t length = append_end_marker(es);
  PreviewDecoder& d = test_decoder();
  ASSERT_EQ(decode_es(d, es, length), 0);
  EXPECT_EQ(d.run.errorCode, 0);
  EXPECT_EQ(d.headers.picture_coding_type, kPictureI);
  rc.check_features(d.headers);
  ExpectMatches(d, ref, rc);
}

// The current picture against the independent decode, in the picture's own chroma format.
void ReferenceDecode::ExpectMatches(const PreviewDecoder& d, const std::vector<uint8_t>& ref, const ReferenceCase& rc) {
  const Planes p = current_planes(d);
  const size_t luma = size_t(p.width) * p.height;
  const size_t chroma = size_t((p.width + 1) / 2) * p.chromaRows;
  ASSERT_EQ(ref.size(), luma + 2 * chroma);
  const double py = psnr(p.y.data(), ref.data(), luma);
  const double pcb = psnr(p.cb.data(), ref.data() + luma, chroma);
  const double pcr = psnr(p.cr.data(), ref.data() + luma + chroma, chroma);
  RecordProperty("psnr_y", std::to_string(py));
  RecordProperty("psnr_cb", std::to_string(pcb));
  RecordProperty("psnr_cr", std::to_string(pcr));
  if (std::getenv("KERF_SHOW_PSNR"))
    std::printf("%-24s Y %.2f  Cb %.2f  Cr %.2f dB\n", rc.name, py, pcb, pcr);
  EXPECT_GE(py, 40.0) << rc.name;
  EXPECT_GE(pcb, rc.chromaDb) << rc.name;
  EXPECT_GE(pcr, rc.chromaDb) << rc.name;
}

const ReferenceCase kCases[] = {
    {"progressive_720x480",
     [](const StreamHeaders& h) {
       EXPECT_EQ(h.horizontal_size_value, 720);
       EXPECT_EQ(h.progressive_frame, 1);
     }},
    {"interlaced_1440x1080",
     [](const StreamHeaders& h) {
       EXPECT_EQ(h.horizontal_size_value, 1440);
       EXPECT_EQ(h.vertical_size_value, 1080);
       EXPECT_EQ(h.progressive_frame, 0);
       EXPECT_EQ(h.frame_pred_frame_dct, 0);
       EXPECT_EQ(h.alternate_scan, 1);
       EXPECT_EQ(h.intra_vlc_format, 1);
     }},
    {"hd_1920x1080", [](const StreamHeaders& h) { EXPECT_EQ(h.horizontal_size_value, 1920); }},
    {"custom_matrix_720x480",
     [](const StreamHeaders& h) {
       EXPECT_EQ(h.load_intra_quantiser_matrix, 1);
       EXPECT_EQ(h.intraMatrix[2], 12);  // zigzag index 2 is raster 8
     }},
    {"dc9_720x480", [](const StreamHeaders& h) { EXPECT_EQ(h.intra_dc_precision, 1); }},
    {"dc10_720x480", [](const StreamHeaders& h) { EXPECT_EQ(h.intra_dc_precision, 2); }},
    {"dc11_720x480", [](const StreamHeaders& h) { EXPECT_EQ(h.intra_dc_precision, 3); }},
    {"nonlinear_720x480", [](const StreamHeaders& h) { EXPECT_EQ(h.q_scale_type, 1); }},
    {"fine_quant_720x480", [](const StreamHeaders& h) { EXPECT_EQ(h.intra_vlc_format, 1); }},
    {"odd_size_704x470", [](const StreamHeaders& h) { EXPECT_EQ(h.vertical_size_value, 470); }},
};

INSTANTIATE_TEST_SUITE_P(Streams, ReferenceDecode, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReferenceDecodeProfile, FourTwoTwoStreamIsUnsupported) {
  std::vector<uint8_t> es = read_file(reference_file("chroma422_720x480.m2v"));
  ASSERT_FALSE(es.empty());
  const int32_t length = append_end_marker(es);
  PreviewDecoder& d = test_decoder();
  EXPECT_EQ(decode_es(d, es, length), 1);
  EXPECT_EQ(d.run.errorCode, kErrorUnsupportedProfile);
  EXPECT_EQ(d.run.pictureCount, 0);  // stopped at the sequence extension
}

// 4:2:2 streams read with the extended profiles: the I picture, then on a run of its own the P
// picture after it, predicted from the I picture. Chroma predicted with the luma vector (as 4:2:0
// is) stays near 40 dB there; with its own vector only the rounding of half-sample means differs.
TEST_F(ReferenceDecode, FourTwoTwoPicturesMatchWithExtendedProfiles) {
  for (const std::string name : {"chroma422_720x480", "chroma422_interlaced_720x608"}) {
    const std::string path = reference_file(name);
    std::vector<uint8_t> es = read_file(path + ".m2v");
    const int32_t length = append_end_marker(es);
    PreviewDecoder& d = test_decoder();
    d.extendedProfiles = true;
    ASSERT_EQ(decode_es(d, es, length), 0) << name;
    EXPECT_EQ(d.headers.progressive_frame, name.find("interlaced") == std::string::npos);
    ExpectMatches(d, read_file(path + ".yuv"), {name.c_str(), nullptr});
    const int32_t second = d.run.scanPosition;  // the start code that ended the run
    std::memcpy(d.frames.buffer[1], d.frames.buffer[0], sizeof d.frames.buffer[0]);
    ResetDecoderRun(d, 0);
    ASSERT_EQ(DecodeStream(d, es.data() + second, length - second, int64_t(es.size()) - second), 0);
    EXPECT_EQ(d.headers.picture_coding_type, kPictureP);
    ExpectMatches(d, read_file(path + ".p.yuv"), {(name + "_p").c_str(), nullptr, 50.0});
    d.extendedProfiles = false;
  }
}

TEST(ReferenceDecodeDamage, FlippedBitsInRealPicturesGiveErrorCodesOnly) {
  // Damage inside the slices of real encoder output: every run ends with a documented code (or
  // none, when the flip only changes a coefficient), and the sanitizer build checks that no byte
  // outside the exact-size ES is read.
  std::mt19937 rng(2024);
  int errors = 0, runs = 0;
  for (const char* name : {"interlaced_1440x1080", "hd_1920x1080", "dc11_720x480"}) {
    std::vector<uint8_t> clean = read_file(reference_file(std::string(name) + ".m2v"));
    ASSERT_FALSE(clean.empty());
    append_end_marker(clean);
    size_t first_slice = 0;
    for (size_t i = 0; i + 3 < clean.size(); ++i)
      if (clean[i] == 0 && clean[i + 1] == 0 && clean[i + 2] == 1 && clean[i + 3] == 1) {
        first_slice = i;
        break;
      }
    ASSERT_GT(first_slice, 0u);
    for (int n = 0; n < 60; ++n) {
      std::vector<uint8_t> es = clean;
      for (int f = 0; f < 1 + n % 5; ++f)
        es[first_slice + 4 + rng() % (es.size() / 2 - first_slice)] ^= uint8_t(1u << (rng() % 8));
      PreviewDecoder& d = test_decoder();
      ResetDecoderRun(d, n % 2);
      ASSERT_EQ(DecodeStream(d, es.data(), int32_t(es.size()), int64_t(es.size())), 0);
      const int32_t e = d.run.errorCode;
      ASSERT_TRUE(e == 0 || e == 5 || e == 6 || e == 7 || e == 10 || e == 11) << name << " " << e;
      errors += e != 0;
      ++runs;
    }
  }
  EXPECT_GT(errors, runs / 2);
}

}  // namespace
