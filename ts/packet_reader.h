// The one reader of transport packets from a file: block reads into the caller's fixed buffer,
// the sync byte check, loss counting and resynchronisation on three sync bytes a packet apart.
// The demux packet loop, the PCR measurement and the preview extraction all read through it with
// the same sync rules; they differ in the block size of the buffer they lend it and in where the
// packet stride comes from.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/raw_file.h"
#include "ts/ts_packet.h"

// The buffer is topped up when fewer than this many packets are held, so a block read moves at
// most that much data and a resync away from the end of the file has that many to search.
constexpr uint32_t kTsRefillPackets = 1024;

struct PacketReaderConfig {
  uint32_t packetSize = kPacketSize;   // stride between packets (188)
  size_t blockSize = 0;                  // bytes of the caller's buffer; a full read fills it
  size_t refillBelow = 0;                // top up when fewer bytes than this are held
  // The buffer's blockSize bytes appear again right after themselves (RawBlock's mirror): a
  // top-up then reads after the held bytes in the ring instead of moving them to the front.
  bool ring = false;

  // A buffer of blockSize bytes topped up below kTsRefillPackets packets.
  static PacketReaderConfig Blocks(size_t blockSize, uint32_t packetSize = kPacketSize) {
    PacketReaderConfig c;
    c.packetSize = packetSize;
    c.blockSize = blockSize;
    c.refillBelow = size_t(packetSize) * kTsRefillPackets;
    return c;
  }
  // Packets of at least kPacketSize bytes (their header fields exist), three of them fitting
  // in the buffer (so a resync can look at all three), and a threshold of a whole packet or more
  // (so a packet is held whenever the file has one). A threshold beyond the buffer is slow but
  // sound: the buffer is then topped up before every packet.
  bool usable() const {
    return packetSize >= kPacketSize && blockSize / 3 >= packetSize && refillBelow >= packetSize;
  }
};

// Why Next() returned no packet.
enum class TsReadEnd : uint8_t {
  None,           // not ended
  EndOfFile,      // fewer than packetSize bytes were left (a partial last packet is dropped)
  SyncLossLimit,  // the kSyncLossLimit-th packet without a sync byte
  NoResync,       // no three sync bytes a packet apart in the held data
  ReadError,      // reading the file failed; the packets read before it were handed out
};

// Offset of the first position in p[0, span) from which the bytes at 0, packetSize and
// 2 x packetSize further on are all sync bytes; span when there is none. p must hold
// span + 2 x packetSize bytes.
size_t ts_find_grid(const uint8_t* p, size_t span, size_t packetSize);

// Next() is inline and small: most packets cost a compare, a sync byte test and an add. The
// rest (top-ups, resynchronisation, the end) runs out of line on a copy of the reader, so the
// reader's own address is never handed to a call: one kept in a local variable then lives in
// registers across a packet loop, as the loop's own variables would, even where the loop calls
// functions the compiler cannot see into.
class PacketReader {
 public:
  // buffer: config.blockSize bytes owned by the caller; the reader allocates nothing.
  PacketReader(uint8_t* buffer, const PacketReaderConfig& config)
      : buffer_(buffer),
        ps_(config.packetSize),
        blockSize_(config.blockSize),
        refillBelow_(config.refillBelow),
        ring_(config.ring),
        usable_(config.usable()) {}

  // Reads on from the file's current position, which the caller states (0 for a file just
  // opened); no positioning call is made. False when the configuration is unusable.
  bool Begin(RawHandle file, uint64_t position = 0) {
    file_ = file;
    cursor_ = 0;
    filled_ = 0;
    quickEnd_ = 0;
    base_ = position;
    syncLosses_ = 0;
    eof_ = !usable_;   // an unusable reader never reads: its first Next() ends it
    readFailed_ = false;
    end_ = TsReadEnd::None;
    return usable_;
  }
  // Moves the file to the byte offset and begins there. False when the configuration is
  // unusable or positioning fails.
  bool BeginAt(RawHandle file, uint64_t offset) {
    if (!Begin(file, offset)) return false;
    if (raw_seek(file, uint32_t(offset), int32_t(offset >> 32), 0) == 0) return true;
    eof_ = true;
    return false;
  }

  // The next packet (packetSize bytes, starting with the sync byte), valid until the next call;
  // null once the read has ended, and on every call after (end() tells why). A packet that does
  // not start with the sync byte counts one loss and the grid is searched again: from it, at most
  // (held - 3 x packetSize) positions, only in what is held (no read is made for the search);
  // the bytes passed over are dropped.
  const uint8_t* Next() {
    // No top-up due and the sync byte in place.
    if (cursor_ < quickEnd_ && buffer_[cursor_] == kSyncByte) return Take();
    PacketReader copy = *this;
    const uint8_t* packet = copy.NextSlowly();
    *this = copy;
    return packet;
  }

  // The packets Next() would hand out now one after another without a top-up or a resync, at
  // most max of them: consecutive packets from the cursor, each with its sync byte in place. They
  // are taken at once (position() is then the last one's); *first is the first, and the count is
  // returned, 0 when the next packet needs Next()'s slower steps. Lets a loop work through a
  // stretch of packets with nothing but a pointer and a count.
  size_t NextRun(size_t max, const uint8_t*& first) {
    first = buffer_ + cursor_;
    if (cursor_ >= quickEnd_) return 0;
    const size_t quick = (quickEnd_ - cursor_ + ps_ - 1) / ps_;
    const size_t limit = quick < max ? quick : max;
    size_t n = 0;
    while (n < limit && first[n * ps_] == kSyncByte) ++n;
    cursor_ += n * ps_;
    return n;
  }

  // True when the next Next() cannot move the held data or read over what was handed out, so the
  // packets handed out so far stay as they are until then: only a top-up changes the buffer, and
  // none is due (enough is held, or the file has ended).
  bool NextKeepsData() const { return cursor_ < quickEnd_ || eof_; }

  TsReadEnd end() const { return end_; }
  // Packets met without a sync byte since Begin, the one that ended the read included.
  uint32_t syncLosses() const { return syncLosses_; }
  // File offset of the packet Next() returned last (64-bit: recordings pass 4 GiB).
  uint64_t position() const { return base_ + cursor_ - ps_; }

 private:
  const uint8_t* Take() {
    const uint8_t* packet = buffer_ + cursor_;
    cursor_ += ps_;
    return packet;
  }
  // Next() with every rule: the top-up, the end of the file, the sync check and the resync.
  const uint8_t* NextSlowly();
  // The unread rest moves to the front (or, in a ring, stays where it is) and one read tops it up
  // to a block behind it; data is moved only here, once per block.
  void Refill();
  // At a packet without its sync byte: counts the loss and searches the grid again; false when
  // the read has ended (the loss limit, or no grid in the held data).
  bool Resync();
  // The end is final: later calls return no packet and keep the reason.
  bool Stop(TsReadEnd why);

  uint8_t* buffer_;
  size_t ps_;
  size_t blockSize_;
  size_t refillBelow_;
  bool ring_;
  bool usable_;

  RawHandle file_ = kInvalidRawHandle;
  size_t cursor_ = 0;    // next unread byte in buffer_
  size_t filled_ = 0;    // end of the bytes read into buffer_: filled_ - cursor_ are held, unread
  size_t quickEnd_ = 0;  // below it, at least refillBelow_ bytes are held from the cursor
  bool eof_ = true;      // a read came back short (or nothing has begun)
  bool readFailed_ = false;  // the short read was a failure of the system, not the file's end
  uint64_t base_ = 0;    // file offset of buffer_[0]
  uint32_t syncLosses_ = 0;
  TsReadEnd end_ = TsReadEnd::None;
};
