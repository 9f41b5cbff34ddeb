// Where the sequence headers of a programme's video lie in a recording: the packet each start
// code begins in, found with the preview extraction's search (SequenceHeaderSearch), with the PCR
// read last before it. A cut that starts at such a packet starts with a decodable picture, and one
// that ends just before such a packet ends on a whole group of pictures.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "common/raw_file.h"

// Blocks of 4096 packets, as the demux engine reads: a walk over a whole recording runs at the
// packet reader's speed.
constexpr size_t kHeaderWalkBufferSize = 4096 * 188;
// The walk reports its progress once per this many packets.
constexpr int64_t kHeaderWalkProgressPackets = 65536;

struct SequenceHeaderAt {
  int64_t packet = 0;      // byte offset of the packet the start code begins in / 188
  int64_t pcrTicks = -1;   // the PCR (27 MHz ticks) of the PCR PID read last before it; -1 none
};

struct HeaderWalk {
  int32_t videoPid = 0;
  int32_t pcrPid = -1;                 // -1: no PCRs are read
  int64_t firstPacket = 0;
  // Headers beginning after this packet are not reported: the walk ends once three bytes of
  // video payload beyond it were read (a start code beginning at or before it may end there).
  int64_t lastPacket = INT64_MAX;
  // Every header in file order; false ends the walk.
  std::function<bool(const SequenceHeaderAt&)> found;
  // Every kHeaderWalkProgressPackets packets, with the packet reached; false ends the walk.
  std::function<bool(int64_t packet)> progress;
};

enum class HeaderWalkEnd {
  Done,            // the end of the file or of the walk's packets
  Ended,           // found or progress asked to end
  SeekFailed,      // the first packet could not be positioned at
  SyncLossLimit,   // the packet grid was lost too often
  NoResync,        // no grid of three sync bytes in the held data
  ReadError,       // reading the file failed
};

// Walks the packets of file from walk.firstPacket on. buffer: kHeaderWalkBufferSize bytes.
HeaderWalkEnd walk_sequence_headers(RawHandle file, const HeaderWalk& walk, uint8_t* buffer);

// The packet where the last sequence header beginning at or before packet begins, looked for in
// windows that widen backwards from it; -1 when none does. The walk's end is kept in end (Done
// when the search itself went well).
int64_t sequence_header_at_or_before(RawHandle file, int32_t videoPid, int64_t packet, uint8_t* buffer,
                                     HeaderWalkEnd& end);
// The packet where the first sequence header beginning after packet begins; -1 when none does
// before the end of the file.
int64_t sequence_header_after(RawHandle file, int32_t videoPid, int64_t packet, uint8_t* buffer,
                              HeaderWalkEnd& end);
