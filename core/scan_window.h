// How much of a recording one look at it reads: the packets first .. first + kScanWindowLast. The
// PCR measurement reads such a window at the head and at the tail, and the programme analysis one
// from the start position.
#pragma once
#include <cstdint>

// 50001 packets, about 9.4 MB or 4 s of a 20 Mbit/s broadcast: many PCRs (one every 0.1 s at
// most) and several cycles of every table (PAT and PMT every 0.1 s, SDT every 2 s), read in the
// same short time whatever the size of the file.
constexpr int32_t kScanWindowLast = 50000;   // added to the first packet; kerfdmx's -e: is inclusive
constexpr int32_t kScanWindowPackets = kScanWindowLast + 1;

// The packets such a window holds in a recording of total packets: fewer near the end, none past it.
constexpr int32_t scan_window_packets(int32_t total, int32_t first) {
  if (first < 0 || first >= total) return 0;
  return total - first < kScanWindowPackets ? total - first : kScanWindowPackets;
}
