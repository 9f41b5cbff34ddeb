// Fields of one transport packet (ISO/IEC 13818-1 §2.4.3.2, §2.4.3.4): the PID, the header
// flags, the adaptation field's length and the PCR. No bounds checks: the caller hands in a whole
// packet of at least kPacketSize bytes, so every byte read here (up to offset 11) exists.
#pragma once
#include <cstdint>

#include "common/bytes.h"
#include "common/ts_packet.h"

inline uint32_t ts_pid(const uint8_t* packet) { return be_read13(packet + 1); }
inline bool ts_unit_start(const uint8_t* packet) { return (packet[1] & 0x40) != 0; }
// adaptation_field_control: bit value 2 = an adaptation field follows the header, 1 = a payload.
inline bool ts_has_adaptation(const uint8_t* packet) { return (packet[3] & 0x20) != 0; }
inline bool ts_has_payload(const uint8_t* packet) { return (packet[3] & 0x10) != 0; }

// Offset of the payload: after the 4-byte header and the adaptation field when there is one.
// It exceeds the packet size when adaptation_field_length is damaged; the caller checks.
inline uint32_t ts_payload_offset(const uint8_t* packet) {
  return ts_has_adaptation(packet) ? 5u + packet[4] : 4u;
}

// True when the packet carries a PCR: an adaptation field of non-zero length with PCR_flag set.
inline bool ts_has_pcr(const uint8_t* packet) {
  return ts_has_adaptation(packet) && packet[4] != 0 && (packet[5] & 0x10) != 0;
}

// The 33-bit program_clock_reference_base (90 kHz) and the 9-bit extension (27 MHz).
struct TsPcr {
  uint64_t base = 0;
  uint32_t extension = 0;
  // The whole clock in 27 MHz ticks: base x 300 + extension.
  uint64_t ticks() const { return base * 300 + extension; }
};

// The PCR of a packet for which ts_has_pcr holds (bytes 6 to 11).
inline TsPcr ts_pcr(const uint8_t* packet) {
  uint32_t high, low;
  pcr_base_read(packet + 6, high, low);
  TsPcr pcr;
  pcr.base = (uint64_t(high) << 32) | low;
  pcr.extension = be_read16(packet + 10) & 0x1FF;
  return pcr;
}
