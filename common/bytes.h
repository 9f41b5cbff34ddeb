// Big-endian field readers and writer for TS packet headers and PSI/SI sections; little-endian
// ones for the Windows formats (BMP headers) and the GUI link's datagrams.
// No bounds checks: the caller guarantees that the bytes exist.
#pragma once
#include <cstdint>

inline uint32_t be_read13(const uint8_t* p) { return ((p[0] & 0x1Fu) << 8) | p[1]; }
inline uint32_t be_read12(const uint8_t* p) { return ((p[0] & 0x0Fu) << 8) | p[1]; }
inline uint32_t be_read16(const uint8_t* p) { return (uint32_t(p[0]) << 8) | p[1]; }
inline uint32_t be_read32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The 33-bit program_clock_reference_base starting at p[0]: bit 32 into high, bits 31..0 into low.
// The 9-bit extension is be_read16(p + 4) & 0x1FF.
inline void pcr_base_read(const uint8_t* p, uint32_t& high, uint32_t& low) {
  high = p[0] >> 7;
  low = (uint32_t(p[0] & 0x7F) << 25) | (uint32_t(p[1]) << 17) | (uint32_t(p[2]) << 9) |
        (uint32_t(p[3]) << 1) | (p[4] >> 7);
}

inline uint8_t* be_write16(uint8_t* buf, uint32_t v) {
  buf[0] = uint8_t((v >> 8) & 0xFF);
  buf[1] = uint8_t(v & 0xFF);
  return buf;
}

inline uint32_t le_read16(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8); }
inline uint32_t le_read32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline uint8_t* le_write16(uint8_t* buf, uint32_t v) {
  buf[0] = uint8_t(v & 0xFF);
  buf[1] = uint8_t((v >> 8) & 0xFF);
  return buf;
}
inline uint8_t* le_write32(uint8_t* buf, uint32_t v) {
  le_write16(buf, v & 0xFFFF);
  le_write16(buf + 2, v >> 16);
  return buf;
}
