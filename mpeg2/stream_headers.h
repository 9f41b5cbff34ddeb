// The header state of the preview's MPEG-2 video decoder (ISO/IEC 13818-2 §6.2.2, §6.2.3) and the
// parsers that fill it from the start codes of an elementary stream.
#pragma once
#include <cstdint>

// The coded values of three header fields (Tables 6-5, 6-12 and 6-14). The fields keep every value
// the stream carries, reserved and forbidden ones included: the fixed underlying type holds them.
enum ChromaFormat : int32_t { kChroma420 = 1, kChroma422 = 2, kChroma444 = 3 };
enum PictureCodingType : int32_t { kPictureI = 1, kPictureP = 2, kPictureB = 3 };
enum PictureStructure : int32_t { kTopField = 1, kBottomField = 2, kFramePicture = 3 };

// Every value kept from the sequence, extension, group and picture headers. Fields are named as
// the standard names the syntax elements. The record is process-wide and is never reset between
// previews: a header of a new stream overwrites only the fields it carries.
struct StreamHeaders {
  // sequence_header()
  int32_t horizontal_size_value;
  int32_t vertical_size_value;
  int32_t aspect_ratio_information;
  int32_t frame_rate_code;
  int32_t bit_rate_value;
  int32_t vbv_buffer_size_value;
  int32_t constrained_parameters_flag;
  int32_t load_intra_quantiser_matrix;
  int32_t load_non_intra_quantiser_matrix;

  // Weighting matrices in zigzag scan order (ISO/IEC 13818-2 Figure 7-2), the order in which they
  // are transmitted: entry k belongs to the k-th position of the zigzag scan.
  int32_t intraMatrix[64];
  int32_t nonIntraMatrix[64];
  int32_t chromaIntraMatrix[64];
  int32_t chromaNonIntraMatrix[64];

  // sequence_extension()
  int32_t profile_and_level_indication;
  int32_t progressive_sequence;
  ChromaFormat chroma_format;
  int32_t horizontal_size_extension;  // kept, never added to the sizes
  int32_t vertical_size_extension;
  int32_t bit_rate_extension;
  int32_t vbv_buffer_size_extension;
  int32_t low_delay;
  int32_t frame_rate_extension_n;
  int32_t frame_rate_extension_d;

  // sequence_display_extension()
  int32_t video_format;
  int32_t colour_description;
  int32_t colour_primaries;
  int32_t transfer_characteristics;
  int32_t matrix_coefficients;
  int32_t display_horizontal_size;
  int32_t display_vertical_size;

  // quant_matrix_extension()
  int32_t load_chroma_intra_quantiser_matrix;
  int32_t load_chroma_non_intra_quantiser_matrix;

  // copyright_extension()
  int32_t copyright_flag;
  int32_t copyright_identifier;
  int32_t original_or_copy;
  int32_t copyright_number_1;
  int32_t copyright_number_2;
  int32_t copyright_number_3;

  // sequence_scalable_extension(); sequenceScalable records that one was met in this sequence.
  int32_t sequenceScalable;
  int32_t scalable_mode;
  int32_t layer_id;
  int32_t lower_layer_prediction_horizontal_size;
  int32_t lower_layer_prediction_vertical_size;
  int32_t horizontal_subsampling_factor_m;
  int32_t horizontal_subsampling_factor_n;
  int32_t vertical_subsampling_factor_m;
  int32_t vertical_subsampling_factor_n;
  int32_t picture_mux_enable;
  int32_t mux_to_progressive_sequence;
  int32_t picture_mux_order;
  int32_t picture_mux_factor;

  // group_of_pictures_header()
  int32_t time_code;
  int32_t closed_gop;
  int32_t broken_link;

  // picture_header()
  int32_t temporal_reference;
  PictureCodingType picture_coding_type;
  int32_t vbv_delay;
  int32_t full_pel_forward_vector;
  int32_t forward_f_code;
  int32_t full_pel_backward_vector;
  int32_t backward_f_code;
  int32_t extraInformationLength;  // bytes kept in extraInformation
  uint8_t extraInformation[2048];

  // picture_coding_extension()
  int32_t f_code[2][2];  // [forward/backward][horizontal/vertical]
  int32_t intra_dc_precision;
  PictureStructure picture_structure;
  int32_t top_field_first;
  int32_t frame_pred_frame_dct;
  int32_t concealment_motion_vectors;
  int32_t q_scale_type;
  int32_t intra_vlc_format;
  int32_t alternate_scan;
  int32_t repeat_first_field;
  int32_t chroma_420_type;
  int32_t progressive_frame;
  int32_t composite_display_flag;
  int32_t v_axis;
  int32_t field_sequence;
  int32_t sub_carrier;
  int32_t burst_amplitude;
  int32_t sub_carrier_phase;

  // picture_display_extension(), first frame-centre offset pair only
  int32_t frame_centre_horizontal_offset;
  int32_t frame_centre_vertical_offset;

  // picture_spatial_scalable_extension()
  int32_t lower_layer_temporal_reference;
  int32_t lower_layer_horizontal_offset;
  int32_t lower_layer_vertical_offset;
  int32_t spatial_temporal_weight_code_table_index;
  int32_t lower_layer_progressive_frame;
  int32_t lower_layer_deinterlaced_field_select;

  // picture_temporal_scalable_extension()
  int32_t reference_select_code;
  int32_t forward_temporal_reference;
  int32_t backward_temporal_reference;
};

// Scan tables: raster position of scan index k (ISO/IEC 13818-2 Figures 7-2 and 7-3), and the
// zigzag index of raster position r.
extern const uint8_t kZigzagScan[64];
extern const uint8_t kAlternateScan[64];
extern const uint8_t kZigzagIndexOfRaster[64];
// Default intra matrix of §6.3.11 in raster order (8, 16, 19, 22, ... 83).
extern const uint8_t kDefaultIntraMatrixRaster[64];

struct PreviewDecoder;

// Each parser takes the first byte of the start code (the 00 of 00 00 01 xx) and reads fixed bit
// positions from there; end bounds the ES, and bits past it read as zero. Errors go to the
// decoder's error code.
void ParseSequenceHeader(PreviewDecoder& decoder, const uint8_t* p, const uint8_t* end);
void ParseExtension(PreviewDecoder& decoder, const uint8_t* p, const uint8_t* end);
void ParsePictureHeader(PreviewDecoder& decoder, const uint8_t* p, const uint8_t* end);
void ParseGroupHeader(PreviewDecoder& decoder, const uint8_t* p, const uint8_t* end);
