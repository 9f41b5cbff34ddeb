// Positions of the cut range (see positions.h). Arithmetic in long double in the order the
// formulas are written, as the text conversions do.
#include "core/positions.h"

#include <algorithm>

#include "common/timefmt.h"

namespace {

int32_t clamp_ms(int64_t ms, int32_t total) {
  return int32_t(std::clamp<int64_t>(ms, 0, std::max<int32_t>(total, 0)));
}

}  // namespace

int32_t packet_count(double size, int32_t packetSize) {
  if (packetSize < 1 || !(size >= 1)) return 0;
  return trunc_to_i32((long double)size / packetSize);
}

int32_t limit_packet(int32_t packet, int32_t count) { return packet < 0 || packet > count ? count : packet; }

int32_t step_time(int32_t ms, int32_t delta, int32_t total) { return clamp_ms(int64_t(ms) + delta, total); }

int scroll_position_of(int32_t packet, int32_t packetSize, double size, int min, int max) {
  if (!(size >= 1)) return 0;
  const int32_t pos = trunc_to_i32((long double)(max - min) * packet * packetSize / size);
  return std::clamp(pos, min, std::max(min, max));
}

int32_t scroll_packet_at(int pos, double size, int min, int max, int32_t packetSize) {
  if (max - min <= 0 || packetSize < 1) return 0;
  const long double byte = (long double)pos * size / (max - min);
  return trunc_to_i32(byte / packetSize);
}

PacketRange play_range_before(int32_t t, int32_t seconds, double size, int32_t total, int32_t packetSize) {
  PacketRange r;
  r.from = ms_to_packet(int32_t(std::max<int64_t>(0, int64_t(t) - int64_t(seconds) * 1000)), size, total, packetSize);
  r.to = ms_to_packet(std::max(0, t), size, total, packetSize);
  return r;
}

PacketRange play_range_after(int32_t t, int32_t seconds, double size, int32_t total, int32_t packetSize) {
  PacketRange r;
  r.from = ms_to_packet(std::max(0, t), size, total, packetSize);
  r.to = ms_to_packet(clamp_ms(int64_t(seconds) * 1000 + t - 1, total), size, total, packetSize);
  return r;
}
