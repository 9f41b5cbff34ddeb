// Sequence header positions in a recording (see sequence_headers.h).
#include "mpeg2/sequence_headers.h"

#include "mpeg2/sequence_scanner.h"
#include "ts/packet_reader.h"

namespace {

// No video packet for this many packets after the walk's last packet: the video has ended there,
// so no start code can continue past it.
constexpr int64_t kVideoGapLimit = 65536;

// The last video payloads, newest first: a start code found at a seam began in one of them (each
// holds at least one byte, so three are enough for the three bytes it can reach back).
struct RecentPayloads {
  struct Entry {
    int64_t packet = -1;
    int32_t length = 0;
    int64_t pcrTicks = -1;
  };
  Entry e[3];

  void Push(int64_t packet, int32_t length, int64_t pcrTicks) {
    e[2] = e[1];
    e[1] = e[0];
    e[0] = {packet, length, pcrTicks};
  }
  // The payload holding the byte `back` bytes (1..3) before the current payload.
  const Entry& Before(int back) const {
    int i = 0;
    while (i < 2 && back > e[i].length) back -= e[i++].length;
    return e[i];
  }
};

HeaderWalkEnd end_of(TsReadEnd end) {
  switch (end) {
    case TsReadEnd::SyncLossLimit: return HeaderWalkEnd::SyncLossLimit;
    case TsReadEnd::NoResync: return HeaderWalkEnd::NoResync;
    case TsReadEnd::ReadError: return HeaderWalkEnd::ReadError;
    default: return HeaderWalkEnd::Done;
  }
}

}  // namespace

HeaderWalkEnd walk_sequence_headers(RawHandle file, const HeaderWalk& walk, uint8_t* buffer) {
  PacketReader reader(buffer, PacketReaderConfig::Blocks(kHeaderWalkBufferSize));
  if (walk.firstPacket < 0 || !reader.BeginAt(file, uint64_t(walk.firstPacket) * kPacketSize))
    return HeaderWalkEnd::SeekFailed;

  SequenceHeaderSearch search;
  RecentPayloads recent;
  int64_t pcrTicks = -1;
  int64_t countdown = kHeaderWalkProgressPackets;
  int64_t bytesBeyond = 0;   // video payload bytes after the last packet
  const uint32_t videoPid = uint32_t(walk.videoPid);
  const uint32_t pcrPid = uint32_t(walk.pcrPid);
  while (const uint8_t* packet = reader.Next()) {
    if (--countdown == 0) {
      countdown = kHeaderWalkProgressPackets;
      if (walk.progress && !walk.progress(int64_t(reader.position() / kPacketSize)))
        return HeaderWalkEnd::Ended;
    }
    const uint32_t pid = ts_pid(packet);
    if (pid == pcrPid && ts_has_pcr(packet)) pcrTicks = int64_t(ts_pcr(packet).ticks());
    if (pid != videoPid) {
      if (walk.lastPacket < INT64_MAX - kVideoGapLimit &&
          int64_t(reader.position() / kPacketSize) > walk.lastPacket + kVideoGapLimit)
        return HeaderWalkEnd::Done;
      continue;
    }
    const uint8_t* payload;
    int32_t length;
    if (!ts_video_payload(packet, kPacketSize, payload, length) || length <= 0) continue;
    const int64_t n = int64_t(reader.position() / kPacketSize);
    int32_t s;
    int back;
    if (search.Find(payload, length, ts_unit_start(packet), s, back)) {
      SequenceHeaderAt at{n, pcrTicks};
      if (back < 0) {
        const RecentPayloads::Entry& begun = recent.Before(-back);
        at = {begun.packet, begun.pcrTicks};
      }
      if (at.packet <= walk.lastPacket && walk.found && !walk.found(at)) return HeaderWalkEnd::Ended;
    }
    // A start code beginning at or before the last packet ends within three bytes after it.
    if (n > walk.lastPacket && (bytesBeyond += length) >= 3) return HeaderWalkEnd::Done;
    recent.Push(n, length, pcrTicks);
  }
  return end_of(reader.end());
}

int64_t sequence_header_at_or_before(RawHandle file, int32_t videoPid, int64_t packet, uint8_t* buffer,
                                     HeaderWalkEnd& end) {
  // Groups of pictures last a second or two, a few thousand packets: the first window nearly
  // always holds the header, and each wider one at most doubles what was read.
  for (int64_t span = kHeaderWalkProgressPackets;; span *= 2) {
    HeaderWalk walk;
    walk.videoPid = videoPid;
    walk.firstPacket = packet > span ? packet - span : 0;
    walk.lastPacket = packet;
    int64_t last = -1;
    walk.found = [&last](const SequenceHeaderAt& at) {
      last = at.packet;
      return true;
    };
    end = walk_sequence_headers(file, walk, buffer);
    if (end != HeaderWalkEnd::Done) return -1;
    if (last >= 0 || walk.firstPacket == 0) return last;
  }
}

int64_t sequence_header_after(RawHandle file, int32_t videoPid, int64_t packet, uint8_t* buffer,
                              HeaderWalkEnd& end) {
  HeaderWalk walk;
  walk.videoPid = videoPid;
  walk.firstPacket = packet < 0 ? 0 : packet + 1;
  int64_t next = -1;
  walk.found = [&next](const SequenceHeaderAt& at) {
    next = at.packet;
    return false;
  };
  end = walk_sequence_headers(file, walk, buffer);
  if (end == HeaderWalkEnd::Ended) end = HeaderWalkEnd::Done;
  return next;
}
