// Positions of the cut range beyond the text conversions: the packet count of an input, time
// steps, the scroll bar's thumb and the packet ranges of the play buttons. Every result that could
// leave the 32-bit fields saturates, so damaged saved values or absurd field texts never overflow.
#pragma once
#include <cstdint>

// Whole packets of an input, one past the last packet index: trunc(size / packetSize); 0 for an
// empty input or a packet size below 1.
int32_t packet_count(double size, int32_t packetSize);
// A packet number taken from a field: negative or beyond the count becomes the count.
int32_t limit_packet(int32_t packet, int32_t count);
// A time moved by delta milliseconds, raised to 0 and lowered to total.
int32_t step_time(int32_t ms, int32_t delta, int32_t total);

// Thumb position of a packet number on a bar of range min..max:
// trunc((max - min) * packet * packetSize / size) when size >= 1, else 0; kept within the range.
int scroll_position_of(int32_t packet, int32_t packetSize, double size, int min, int max);
// Packet number under thumb position pos: the byte pos * size / (max - min), divided by the
// packet size and truncated. 0 when the range is empty or the packet size below 1.
int32_t scroll_packet_at(int pos, double size, int min, int max, int32_t packetSize);

struct PacketRange {
  int32_t from = 0;
  int32_t to = 0;
};
// The clip that plays up to time t ("→∥"): from t - seconds to t, each raised to 0.
PacketRange play_range_before(int32_t t, int32_t seconds, double size, int32_t total, int32_t packetSize);
// The clip that plays from time t ("∥→"): from t to t + seconds - 1 ms, the end kept within
// 0..total.
PacketRange play_range_after(int32_t t, int32_t seconds, double size, int32_t total, int32_t packetSize);
