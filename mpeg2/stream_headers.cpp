// Parsers of the sequence header, its extensions, the group of pictures header and the picture
// header (ISO/IEC 13818-2 §6.2.2, §6.2.3), reading fixed bit positions from the start code.
#include "mpeg2/stream_headers.h"

#include <cstring>

#include "mpeg2/bit_reader.h"
#include "mpeg2/picture_decoder.h"

// Figure 7-2: raster position of zigzag scan index k.
const uint8_t kZigzagScan[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Figure 7-3: raster position of alternate scan index k.
const uint8_t kAlternateScan[64] = {
    0,  8,  16, 24, 1,  9,  2,  10, 17, 25, 32, 40, 48, 56, 57, 49, 41, 33, 26, 18, 3,  11,
    4,  12, 19, 27, 34, 42, 50, 58, 35, 43, 51, 59, 20, 28, 5,  13, 6,  14, 21, 29, 36, 44,
    52, 60, 37, 45, 53, 61, 22, 30, 7,  15, 23, 31, 38, 46, 54, 62, 39, 47, 55, 63};

// Zigzag index of raster position r (the inverse of kZigzagScan).
const uint8_t kZigzagIndexOfRaster[64] = {
     0,  1,  5,  6, 14, 15, 27, 28,
     2,  4,  7, 13, 16, 26, 29, 42,
     3,  8, 12, 17, 25, 30, 41, 43,
     9, 11, 18, 24, 31, 40, 44, 53,
    10, 19, 23, 32, 39, 45, 52, 54,
    20, 22, 33, 38, 46, 51, 55, 60,
    21, 34, 37, 47, 50, 56, 59, 61,
    35, 36, 48, 49, 57, 58, 62, 63,
};

// §6.3.11 default intra matrix, raster order.
const uint8_t kDefaultIntraMatrixRaster[64] = {
    8,  16, 19, 22, 26, 27, 29, 34, 16, 16, 22, 24, 27, 29, 34, 37, 19, 22, 26, 27, 29, 34,
    34, 38, 22, 22, 26, 27, 29, 34, 37, 40, 22, 26, 27, 29, 32, 35, 40, 48, 26, 27, 29, 32,
    35, 40, 48, 58, 26, 27, 29, 34, 38, 46, 56, 69, 27, 29, 35, 38, 46, 56, 69, 83};

namespace {

// Reads 64 transmitted (zigzag-order) matrix entries; with keep_nonzero_only a transmitted 0 keeps
// the previous entry.
void read_matrix(BitReader& br, int32_t* a, int32_t* b, bool keep_nonzero_only) {
  for (int k = 0; k < 64; ++k) {
    int32_t v = int32_t(br.Get(8));
    if (keep_nonzero_only && v == 0) continue;
    a[k] = v;
    if (b) b[k] = v;
  }
}

void load_default_intra(StreamHeaders& h) {
  for (int r = 0; r < 64; ++r) {
    h.intraMatrix[kZigzagIndexOfRaster[r]] = kDefaultIntraMatrixRaster[r];
    h.chromaIntraMatrix[kZigzagIndexOfRaster[r]] = kDefaultIntraMatrixRaster[r];
  }
}

// Whether the decoder reads a sequence of this profile_and_level_indication (§8.2, Tables 8-1 and
// 8-2). The profile is bits 6-4: Main (4) and Simple (5) are always read, the escape bit 7 ignored
// as the window program ignores it. With the extended profiles High (1) and the two 4:2:2 profile
// codes (escape bit set: 0x85 4:2:2 at Main level, 0x82 at High level) are read too, for 4:2:0 and
// 4:2:2 chroma only; 4:4:4 and every other escaped code (multi-view among them) are not.
bool profile_read(int32_t indication, ChromaFormat chroma_format, bool extended) {
  const int32_t profile = (indication >> 4) & 7;
  if (profile == 4 || profile == 5) return true;
  if (!extended || (chroma_format != kChroma420 && chroma_format != kChroma422)) return false;
  return indication == 0x85 || indication == 0x82 || ((indication & 0x80) == 0 && profile == 1);
}

// Reader positioned at byte 4, the first bit after the start code.
BitReader after_start_code(const uint8_t* p, const uint8_t* end) {
  BitReader br(p, end);
  br.Get(32);
  return br;
}

void parse_sequence_extension(PreviewDecoder& d, BitReader& br) {
  StreamHeaders& h = d.headers;
  h.profile_and_level_indication = int32_t(br.Get(8));
  h.progressive_sequence = int32_t(br.Get(1));
  h.chroma_format = ChromaFormat(br.Get(2));
  h.horizontal_size_extension = int32_t(br.Get(2));
  h.vertical_size_extension = int32_t(br.Get(2));
  h.bit_rate_extension = int32_t(br.Get(12));
  br.Get(1);  // marker_bit
  h.vbv_buffer_size_extension = int32_t(br.Get(8));
  h.low_delay = int32_t(br.Get(1));
  h.frame_rate_extension_n = int32_t(br.Get(2));
  h.frame_rate_extension_d = int32_t(br.Get(5));
  if (!profile_read(h.profile_and_level_indication, h.chroma_format, d.extendedProfiles))
    d.run.errorCode = kErrorUnsupportedProfile;
}

void parse_sequence_display_extension(StreamHeaders& h, BitReader& br) {
  h.video_format = int32_t(br.Get(3));
  h.colour_description = int32_t(br.Get(1));
  if (h.colour_description) {
    h.colour_primaries = int32_t(br.Get(8));
    h.transfer_characteristics = int32_t(br.Get(8));
    h.matrix_coefficients = int32_t(br.Get(8));
  }
  h.display_horizontal_size = int32_t(br.Get(14));
  br.Get(1);  // marker_bit
  h.display_vertical_size = int32_t(br.Get(14));
}

void parse_quant_matrix_extension(StreamHeaders& h, BitReader& br) {
  if ((h.load_intra_quantiser_matrix = int32_t(br.Get(1))))
    read_matrix(br, h.intraMatrix, nullptr, true);
  if ((h.load_non_intra_quantiser_matrix = int32_t(br.Get(1))))
    read_matrix(br, h.nonIntraMatrix, nullptr, true);
  if ((h.load_chroma_intra_quantiser_matrix = int32_t(br.Get(1))))
    read_matrix(br, h.chromaIntraMatrix, nullptr, true);
  if ((h.load_chroma_non_intra_quantiser_matrix = int32_t(br.Get(1))))
    read_matrix(br, h.chromaNonIntraMatrix, nullptr, true);
}

void parse_copyright_extension(StreamHeaders& h, BitReader& br) {
  h.copyright_flag = int32_t(br.Get(1));
  h.copyright_identifier = int32_t(br.Get(8));
  h.original_or_copy = int32_t(br.Get(1));
  br.Get(7);  // reserved
  br.Get(1);
  h.copyright_number_1 = int32_t(br.Get(20));
  br.Get(1);
  h.copyright_number_2 = int32_t(br.Get(22));
  br.Get(1);
  h.copyright_number_3 = int32_t(br.Get(22));
}

void parse_sequence_scalable_extension(StreamHeaders& h, BitReader& br) {
  h.sequenceScalable = 1;
  h.scalable_mode = int32_t(br.Get(2));
  h.layer_id = int32_t(br.Get(4));
  if (h.scalable_mode == 1) {  // spatial scalability
    h.lower_layer_prediction_horizontal_size = int32_t(br.Get(14));
    br.Get(1);
    h.lower_layer_prediction_vertical_size = int32_t(br.Get(14));
    h.horizontal_subsampling_factor_m = int32_t(br.Get(5));
    h.horizontal_subsampling_factor_n = int32_t(br.Get(5));
    h.vertical_subsampling_factor_m = int32_t(br.Get(5));
    h.vertical_subsampling_factor_n = int32_t(br.Get(5));
  } else if (h.scalable_mode == 3) {  // temporal scalability
    h.picture_mux_enable = int32_t(br.Get(1));
    if (h.picture_mux_enable) h.mux_to_progressive_sequence = int32_t(br.Get(1));
    h.picture_mux_order = int32_t(br.Get(3));
    h.picture_mux_factor = int32_t(br.Get(3));
  }
}

void parse_picture_display_extension(StreamHeaders& h, BitReader& br) {
  h.frame_centre_horizontal_offset = int32_t(int16_t(br.Get(16)));
  br.Get(1);
  h.frame_centre_vertical_offset = int32_t(int16_t(br.Get(16)));
}

void parse_picture_coding_extension(PreviewDecoder& d, BitReader& br) {
  StreamHeaders& h = d.headers;
  h.f_code[0][0] = int32_t(br.Get(4));
  h.f_code[0][1] = int32_t(br.Get(4));
  h.f_code[1][0] = int32_t(br.Get(4));
  h.f_code[1][1] = int32_t(br.Get(4));
  h.intra_dc_precision = int32_t(br.Get(2));
  h.picture_structure = PictureStructure(br.Get(2));
  h.top_field_first = int32_t(br.Get(1));
  h.frame_pred_frame_dct = int32_t(br.Get(1));
  h.concealment_motion_vectors = int32_t(br.Get(1));
  h.q_scale_type = int32_t(br.Get(1));
  h.intra_vlc_format = int32_t(br.Get(1));
  h.alternate_scan = int32_t(br.Get(1));
  h.repeat_first_field = int32_t(br.Get(1));
  h.chroma_420_type = int32_t(br.Get(1));
  h.progressive_frame = int32_t(br.Get(1));
  h.composite_display_flag = int32_t(br.Get(1));
  if (h.composite_display_flag) {
    h.v_axis = int32_t(br.Get(1));
    h.field_sequence = int32_t(br.Get(3));
    h.sub_carrier = int32_t(br.Get(1));
    h.burst_amplitude = int32_t(br.Get(7));
    h.sub_carrier_phase = int32_t(br.Get(8));
  }
  // f_code 0 is forbidden (Table 7-7); each check overwrites the last, and decoding goes on.
  if (h.f_code[0][0] == 0) d.run.errorCode = kErrorForwardHorizontalFCode;
  if (h.f_code[0][1] == 0) d.run.errorCode = kErrorForwardVerticalFCode;
  if (h.f_code[1][0] == 0) d.run.errorCode = kErrorBackwardHorizontalFCode;
  if (h.f_code[1][1] == 0) d.run.errorCode = kErrorBackwardVerticalFCode;
}

void parse_picture_spatial_scalable_extension(StreamHeaders& h, BitReader& br) {
  h.lower_layer_temporal_reference = int32_t(br.Get(10));
  br.Get(1);
  h.lower_layer_horizontal_offset = br.GetSigned(15);
  br.Get(1);
  h.lower_layer_vertical_offset = br.GetSigned(15);
  h.spatial_temporal_weight_code_table_index = int32_t(br.Get(2));
  h.lower_layer_progressive_frame = int32_t(br.Get(1));
  h.lower_layer_deinterlaced_field_select = int32_t(br.Get(1));
}

void parse_picture_temporal_scalable_extension(StreamHeaders& h, BitReader& br) {
  h.reference_select_code = int32_t(br.Get(2));
  h.forward_temporal_reference = int32_t(br.Get(10));
  br.Get(1);
  h.backward_temporal_reference = int32_t(br.Get(10));
}

}  // namespace

void ParseSequenceHeader(PreviewDecoder& d, const uint8_t* p, const uint8_t* end) {
  StreamHeaders& h = d.headers;
  BitReader br = after_start_code(p, end);
  h.sequenceScalable = 0;
  h.horizontal_size_value = int32_t(br.Get(12));
  h.vertical_size_value = int32_t(br.Get(12));
  h.aspect_ratio_information = int32_t(br.Get(4));
  h.frame_rate_code = int32_t(br.Get(4));
  h.bit_rate_value = int32_t(br.Get(18));
  br.Get(1);  // marker_bit
  h.vbv_buffer_size_value = int32_t(br.Get(10));
  h.constrained_parameters_flag = int32_t(br.Get(1));
  h.load_intra_quantiser_matrix = int32_t(br.Get(1));
  if (h.load_intra_quantiser_matrix)
    read_matrix(br, h.intraMatrix, h.chromaIntraMatrix, false);
  else
    load_default_intra(h);
  h.load_non_intra_quantiser_matrix = int32_t(br.Get(1));
  if (h.load_non_intra_quantiser_matrix) {
    read_matrix(br, h.nonIntraMatrix, h.chromaNonIntraMatrix, false);
  } else {
    for (int k = 0; k < 64; ++k) h.nonIntraMatrix[k] = h.chromaNonIntraMatrix[k] = 16;
  }
}

void ParseExtension(PreviewDecoder& d, const uint8_t* p, const uint8_t* end) {
  StreamHeaders& h = d.headers;
  BitReader br = after_start_code(p, end);
  switch (br.Get(4)) {  // extension_start_code_identifier, Table 6-2
    case 1: parse_sequence_extension(d, br); break;
    case 2: parse_sequence_display_extension(h, br); break;
    case 3: parse_quant_matrix_extension(h, br); break;
    case 4: parse_copyright_extension(h, br); break;
    case 5: parse_sequence_scalable_extension(h, br); break;
    case 7: parse_picture_display_extension(h, br); break;
    case 8: parse_picture_coding_extension(d, br); break;
    case 9: parse_picture_spatial_scalable_extension(h, br); break;
    case 10: parse_picture_temporal_scalable_extension(h, br); break;
    default: break;
  }
}

void ParsePictureHeader(PreviewDecoder& d, const uint8_t* p, const uint8_t* end) {
  StreamHeaders& h = d.headers;
  BitReader br = after_start_code(p, end);
  h.temporal_reference = int32_t(br.Get(10));
  h.picture_coding_type = PictureCodingType(br.Get(3));
  h.vbv_delay = int32_t(br.Get(16));
  if (h.picture_coding_type == kPictureP || h.picture_coding_type == kPictureB) {
    h.full_pel_forward_vector = int32_t(br.Get(1));
    h.forward_f_code = int32_t(br.Get(3));
  }
  if (h.picture_coding_type == kPictureB) {
    h.full_pel_backward_vector = int32_t(br.Get(1));
    h.backward_f_code = int32_t(br.Get(3));
  }
  // extra_information_picture: kept up to the record's capacity, the rest read and dropped. The
  // bit reader yields zeros past the ES, so a missing final 0 bit ends the loop there.
  h.extraInformationLength = 0;
  while (br.Get(1) == 1) {
    uint8_t byte = uint8_t(br.Get(8));
    if (h.extraInformationLength < int32_t(sizeof h.extraInformation))
      h.extraInformation[h.extraInformationLength++] = byte;
  }

  // Frame-store roles: I and P pictures alternate between buffers 0 and 1 (the one written becomes
  // the next reference); any other picture goes to buffer 2.
  FrameStore& f = d.frames;
  if (h.picture_coding_type == kPictureI || h.picture_coding_type == kPictureP) {
    f.referenceIndex = 1 - f.referenceIndex;
    f.currentIndex = 1 - f.referenceIndex;
  } else {
    f.currentIndex = 2;
  }
  // Macroblocks a non-intra picture does not code keep the reference picture's content.
  if (h.picture_coding_type != kPictureI && f.currentIndex != f.referenceIndex)
    std::memcpy(f.buffer[f.currentIndex], f.buffer[f.referenceIndex], sizeof f.buffer[0]);
}

void ParseGroupHeader(PreviewDecoder& d, const uint8_t* p, const uint8_t* end) {
  StreamHeaders& h = d.headers;
  BitReader br = after_start_code(p, end);
  h.time_code = int32_t(br.Get(25));
  h.closed_gop = int32_t(br.Get(1));
  h.broken_link = int32_t(br.Get(1));
}

FrameGeometry frame_geometry(const StreamHeaders& h) {
  FrameGeometry g;
  g.width = h.horizontal_size_value;
  g.height = h.vertical_size_value;
  g.mbWidth = (g.width + 15) / 16;
  g.mbHeight = (g.height + 15) / 16;
  g.rowStride = (3 * g.width + 3) & ~3;
  return g;
}
