// Text forms of times, packet numbers, bitrates and sizes, and the conversions between packet
// numbers, times, bitrate and total time. Conversions run in extended precision in the order the
// formulas are written, so results match to the millisecond and packet everywhere.
#pragma once
#include <cstdint>

constexpr int32_t kPcrWrapMs = 95443718;     // one wrap of the 33-bit 90 kHz PCR base
constexpr int32_t kMaxTotalMs = 86399999;    // 23:59:59.999

// "%02u:%02u:%02u.%03u", hours limited to 99; buf holds at least 13 bytes.
char* ms_to_text(int32_t ms, char* buf);
// Parses a time field (hours, minutes, seconds, milliseconds tokens); modifies buf.
int32_t text_to_ms(char* buf);

// "%9.6f" Mbps; buf holds at least 32 bytes.
char* bitrate_to_text(int32_t bitrate, char* buf);
int32_t text_to_bitrate(const char* text);
// "%6.3fGB"; buf holds at least 32 bytes.
char* size_to_text(double bytes, char* buf);
// "%08X"; buf holds at least 9 bytes.
char* packet_to_text(int32_t packet, char* buf);
// Reads "%X" into packet; text without hexadecimal digits leaves it unchanged. 1 when read.
int text_to_packet(const char* text, int32_t& packet);

// trunc toward zero into int32, saturating at the limits; NaN gives 0.
int32_t trunc_to_i32(long double v);

long double pcr_to_seconds(uint64_t base, uint32_t ext);
int32_t seconds_to_ms(long double s);
int32_t pcr_to_ms(uint32_t high, uint32_t low, uint32_t ext);
int32_t packet_to_ms(int32_t n, double size, int32_t total, int32_t packet_size);
int32_t ms_to_packet(int32_t t, double size, int32_t total, int32_t packet_size);
int32_t bitrate_to_total(int32_t bitrate, double size);
int32_t total_to_bitrate(int32_t total, double size);
