// Byte helpers of the stream builder: its own CRC-32/MPEG-2, big-endian appends, hex dumps.
#include <cstdio>

#include "tests/support/stream_builder.h"

namespace tsb {

// Bit by bit, as ISO/IEC 13818-1 Annex A describes the shift register: no table, so that it
// shares nothing with the table-driven CRC of the parsers it checks.
uint32_t crc32_mpeg2(const uint8_t* data, size_t size, uint32_t crc) {
  for (size_t i = 0; i < size; ++i) {
    crc ^= uint32_t(data[i]) << 24;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : (crc << 1);
    }
  }
  return crc;
}

uint32_t crc32_mpeg2(const Bytes& data) { return crc32_mpeg2(data.data(), data.size()); }

void put_be(Bytes& out, uint64_t value, int n) {
  for (int i = n - 1; i >= 0; --i) out.push_back(uint8_t(value >> (8 * i)));
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes bytes_of(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::string hex_dump(const uint8_t* data, size_t size, size_t firstOffset) {
  std::string out;
  char buf[16];
  for (size_t line = 0; line < size; line += 16) {
    std::snprintf(buf, sizeof buf, "%04zX:", firstOffset + line);
    out += buf;
    for (size_t i = line; i < line + 16 && i < size; ++i) {
      std::snprintf(buf, sizeof buf, " %02X", data[i]);
      out += buf;
    }
    out += '\n';
  }
  return out;
}

std::string hex_dump(const Bytes& data) { return hex_dump(data.data(), data.size()); }

}  // namespace tsb
