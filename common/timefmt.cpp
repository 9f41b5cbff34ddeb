// Time, packet-number, bitrate and size texts, and the proportional conversions between them.
// Every conversion runs in long double in the order its formula is written; results that do not
// fit the 32-bit fields saturate instead of overflowing.
#include "common/timefmt.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int32_t trunc_to_i32(long double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0L) return INT32_MAX;
  if (v <= -2147483648.0L) return INT32_MIN;
  return int32_t(v);
}

namespace {

// A decimal integer as atoi reads it (white space, optional sign, digits up to the first
// non-digit), limited to [lo, hi] so that long digit strings cannot overflow.
int32_t read_limited(const char* token, int32_t lo, int32_t hi) {
  const long long v = std::strtoll(token, nullptr, 10);
  if (v < lo) return lo;
  if (v > hi) return hi;
  return int32_t(v);
}

bool is_time_separator(char c) { return c == ' ' || c == ':' || c == '.' || c == ','; }

// Cuts the next token off *cursor in place, skipping any run of separators first; nullptr when
// only separators are left.
char* next_time_token(char** cursor) {
  char* p = *cursor;
  while (is_time_separator(*p)) ++p;
  if (*p == 0) return nullptr;
  char* token = p;
  while (*p != 0 && !is_time_separator(*p)) ++p;
  if (*p != 0) *p++ = 0;
  *cursor = p;
  return token;
}

}  // namespace

char* ms_to_text(int32_t ms, char* buf) {
  const uint32_t t = ms < 0 ? 0u : uint32_t(ms);
  uint32_t hours = t / 3600000u;
  if (hours > 99) hours = 99;
  // "%02u:%02u:%02u.%03u", written digit by digit: every field is in range by construction.
  const uint32_t minutes = (t % 3600000u) / 60000u;
  const uint32_t seconds = (t % 60000u) / 1000u;
  const uint32_t millis = t % 1000u;
  const char text[13] = {char('0' + hours / 10),   char('0' + hours % 10),   ':',
                         char('0' + minutes / 10), char('0' + minutes % 10), ':',
                         char('0' + seconds / 10), char('0' + seconds % 10), '.',
                         char('0' + millis / 100), char('0' + millis / 10 % 10),
                         char('0' + millis % 10),  0};
  std::memcpy(buf, text, sizeof text);
  return buf;
}

int32_t text_to_ms(char* buf) {
  static const int32_t kLimit[4] = {99, 59, 59, 999};
  static const int32_t kUnit[4] = {3600000, 60000, 1000, 1};
  int32_t result = 0;
  char* cursor = buf;
  for (int field = 0; field < 4; ++field) {
    const char* token = next_time_token(&cursor);
    if (token == nullptr) break;
    result += read_limited(token, 0, kLimit[field]) * kUnit[field];
  }
  return result;
}

char* bitrate_to_text(int32_t bitrate, char* buf) {
  std::snprintf(buf, 32, "%9.6f", double(bitrate) * 0.000001);
  return buf;
}

int32_t text_to_bitrate(const char* text) {
  const double value = std::strtod(text, nullptr);
  if (!std::isfinite(value)) return 0;
  return trunc_to_i32((long double)value * 1000000.0L + 0.5L);
}

char* size_to_text(double bytes, char* buf) {
  std::snprintf(buf, 32, "%6.3fGB", bytes * 0.000000001);
  return buf;
}

char* packet_to_text(int32_t packet, char* buf) {
  std::snprintf(buf, 9, "%08X", uint32_t(packet));
  return buf;
}

int text_to_packet(const char* text, int32_t& packet) {
  // As "%X" reads: white space, an optional sign and "0x", hexadecimal digits; the unsigned value
  // is stored into the signed packet number, so 80000000 and above come out negative.
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text, &end, 16);
  if (end == text) return 0;
  packet = int32_t(uint32_t(errno == ERANGE ? 0xFFFFFFFFu : v));
  return 1;
}

long double pcr_to_seconds(uint64_t base, uint32_t ext) {
  return ((long double)base * 300.0L + (long double)ext) * (1.0L / 27000000.0L);
}

int32_t seconds_to_ms(long double s) { return trunc_to_i32(s * 1000.0L + 0.5L); }

int32_t pcr_to_ms(uint32_t high, uint32_t low, uint32_t ext) {
  return seconds_to_ms(pcr_to_seconds((uint64_t(high) << 32) + low, ext));
}

int32_t packet_to_ms(int32_t n, double size, int32_t total, int32_t packet_size) {
  if (size < 1) return 0;
  return trunc_to_i32((long double)n * packet_size / size * total + 0.5L);
}

int32_t ms_to_packet(int32_t t, double size, int32_t total, int32_t packet_size) {
  if (total <= 0 || size < 1) return 0;
  return trunc_to_i32((long double)t / total * size / packet_size + 0.5L);
}

int32_t bitrate_to_total(int32_t bitrate, double size) {
  if (bitrate <= 0) return 0;
  const long double total = (long double)size * 8 / bitrate * 1000 + 0.5L;
  if (total > (long double)kMaxTotalMs) return kMaxTotalMs;
  return trunc_to_i32(total);
}

int32_t total_to_bitrate(int32_t total, double size) {
  if (total <= 0) return 0;
  return trunc_to_i32((long double)size * 8 / total * 1000 + 0.5L);
}
