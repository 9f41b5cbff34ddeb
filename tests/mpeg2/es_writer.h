// Writes small MPEG-2 video elementary streams bit by bit for the decoder tests, following the
// syntax of ISO/IEC 13818-2 §6.2 directly (no code shared with the decoder).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class EsWriter {
 public:
  void Bits(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) Bit((value >> i) & 1);
  }
  void Bit(uint32_t b) {
    if (bit_ == 0) bytes_.push_back(0);
    if (b) bytes_.back() |= uint8_t(0x80 >> bit_);
    bit_ = (bit_ + 1) & 7;
  }
  // A code written as the standard prints it: '0' and '1', blanks ignored.
  void Code(const std::string& text) {
    for (char c : text)
      if (c == '0' || c == '1') Bit(c == '1');
  }
  void Signed(int32_t v, int n) { Bits(uint32_t(v) & ((1u << n) - 1), n); }
  void Align() {  // zero stuffing to the next byte
    while (bit_ != 0) Bit(0);
  }
  void StartCode(uint8_t code) {
    Align();
    const uint8_t sc[4] = {0, 0, 1, code};
    bytes_.insert(bytes_.end(), sc, sc + 4);
  }

  // sequence_header() with default matrices unless given (64 values in transmission order).
  void SequenceHeader(int width, int height, const std::vector<int>* intra = nullptr,
                      const std::vector<int>* non_intra = nullptr, int aspect = 3, int rate = 4) {
    StartCode(0xB3);
    Bits(width, 12);
    Bits(height, 12);
    Bits(aspect, 4);
    Bits(rate, 4);
    Bits(20000, 18);
    Bit(1);
    Bits(112, 10);
    Bit(0);
    Bit(intra != nullptr);
    if (intra)
      for (int v : *intra) Bits(v, 8);
    Bit(non_intra != nullptr);
    if (non_intra)
      for (int v : *non_intra) Bits(v, 8);
  }
  void SequenceExtension(int profile_and_level = 0x48, int progressive = 1, int chroma = 1) {
    StartCode(0xB5);
    Bits(1, 4);
    Bits(profile_and_level, 8);
    Bit(progressive);
    Bits(chroma, 2);
    Bits(0, 2);
    Bits(0, 2);
    Bits(0, 12);
    Bit(1);
    Bits(0, 8);
    Bit(0);
    Bits(0, 2);
    Bits(0, 5);
  }
  void GroupHeader() {
    StartCode(0xB8);
    Bits(0x1234, 25);
    Bit(1);
    Bit(0);
  }
  void PictureHeader(int type, int f_code = 7) {
    StartCode(0x00);
    Bits(0, 10);
    Bits(type, 3);
    Bits(0xFFFF, 16);
    if (type == 2 || type == 3) {
      Bit(0);
      Bits(f_code, 3);
    }
    if (type == 3) {
      Bit(0);
      Bits(f_code, 3);
    }
    Bit(0);  // extra_bit_picture
  }
  struct CodingExtension {
    int f_code[2][2] = {{15, 15}, {15, 15}};
    int intra_dc_precision = 0;
    int picture_structure = 3;
    int top_field_first = 0;
    int frame_pred_frame_dct = 1;
    int concealment_motion_vectors = 0;
    int q_scale_type = 0;
    int intra_vlc_format = 0;
    int alternate_scan = 0;
    int progressive_frame = 1;
  };
  void PictureCodingExtension(const CodingExtension& e) {
    StartCode(0xB5);
    Bits(8, 4);
    for (auto& s : e.f_code)
      for (int f : s) Bits(f, 4);
    Bits(e.intra_dc_precision, 2);
    Bits(e.picture_structure, 2);
    Bit(e.top_field_first);
    Bit(e.frame_pred_frame_dct);
    Bit(e.concealment_motion_vectors);
    Bit(e.q_scale_type);
    Bit(e.intra_vlc_format);
    Bit(e.alternate_scan);
    Bit(0);  // repeat_first_field
    Bit(1);  // chroma_420_type
    Bit(e.progressive_frame);
    Bit(0);  // composite_display_flag
  }
  void SliceHeader(int vertical_position, int quantiser_scale_code) {
    StartCode(uint8_t(vertical_position));
    Bits(quantiser_scale_code, 5);
    Bit(0);  // extra_bit_slice
  }
  // A luma or chroma dct_dc_size + differential for an intra block (Tables B-12, B-13).
  void IntraDc(int differential, bool chroma) {
    int size = 0;
    for (int a = differential < 0 ? -differential : differential; a; a >>= 1) ++size;
    static const char* const kLuma[12] = {"100",       "00",        "01",        "101",
                                          "110",       "1110",      "11110",     "111110",
                                          "1111110",   "11111110",  "111111110", "111111111"};
    static const char* const kChroma[12] = {"00",       "01",        "10",         "110",
                                            "1110",     "11110",     "111110",     "1111110",
                                            "11111110", "111111110", "1111111110", "1111111111"};
    Code(chroma ? kChroma[size] : kLuma[size]);
    if (size) Bits(differential > 0 ? differential : differential + (1 << size) - 1, size);
  }
  // Escape-coded coefficient: 0000 01, run (6), level (12, two's complement).
  void Escape(int run, int level) {
    Code("0000 01");
    Bits(run, 6);
    Signed(level, 12);
  }
  void EndOfBlockB14() { Code("10"); }

  // End marker as the extraction appends it; returns the ES length to decode.
  int32_t Finish() {
    StartCode(0x00);
    const int32_t length = int32_t(bytes_.size()) + 8;
    bytes_.resize(bytes_.size() + 128, 0);
    return length;
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int bit_ = 0;
};
