// The committed sample clip as decoder test input, and the sequence-header edits the tests make.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

// The committed sample clip (720 x 480, a sequence header every 15 pictures, each sequence opening
// with an I picture); empty when it cannot be read.
inline std::vector<uint8_t> sample_clip() {
  const char* source = std::getenv("KERF_SOURCE_DIR");
  std::ifstream in(std::filesystem::path(source ? source : ".") / "sample" / "clip.m2v", std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Offsets of the start codes 00 00 01 `code` in es.
inline std::vector<size_t> start_codes(const std::vector<uint8_t>& es, uint8_t code) {
  std::vector<size_t> at;
  for (size_t i = 0; i + 4 <= es.size(); ++i)
    if (es[i] == 0 && es[i + 1] == 0 && es[i + 2] == 1 && es[i + 3] == code) at.push_back(i);
  return at;
}

// Sets horizontal_size_value and vertical_size_value of the sequence header at offset `at`.
inline void set_sequence_size(std::vector<uint8_t>& es, size_t at, int width, int height) {
  es[at + 4] = uint8_t(width >> 4);
  es[at + 5] = uint8_t((width & 0xF) << 4 | height >> 8);
  es[at + 6] = uint8_t(height);
}
