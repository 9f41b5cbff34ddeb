// The one reader of transport packets from a file: block reads into the caller's fixed buffer,
// the sync byte check, loss counting and resynchronisation on three sync bytes a packet apart.
// The demux packet loop, the PCR measurement and the preview extraction all read through it;
// they differ only in the buffer they lend it and the packet stride.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/raw_file.h"
#include "ts/ts_packet.h"

// The 1000th packet without a sync byte ends a read: a file that loses the grid this often is no
// recording, and giving up bounds the work spent on it.
constexpr uint32_t kTsSyncLossLimit = 1000;
// The buffer is topped up when fewer than this many packets are held, so a block read moves at
// most that much data and a resync always has 1024 packets to search.
constexpr uint32_t kTsRefillPackets = 1024;

struct PacketReaderConfig {
  uint32_t packetSize = kTsPacketSize;   // stride between packets (188)
  size_t blockSize = 0;                  // bytes of the caller's buffer; a full read fills it
  size_t refillBelow = 0;                // top up when fewer bytes than this are held

  // A buffer of blockSize bytes topped up below kTsRefillPackets packets.
  static PacketReaderConfig Blocks(size_t blockSize, uint32_t packetSize = kTsPacketSize) {
    PacketReaderConfig c;
    c.packetSize = packetSize;
    c.blockSize = blockSize;
    c.refillBelow = size_t(packetSize) * kTsRefillPackets;
    return c;
  }
  // Packets of at least kTsPacketSize bytes (their header fields exist), three of them fitting
  // in the buffer (so a resync can look at all three), and a threshold of a whole packet or more
  // (so a packet is held whenever the file has one). A threshold beyond the buffer is slow but
  // sound: the buffer is then topped up before every packet.
  bool usable() const {
    return packetSize >= kTsPacketSize && blockSize / 3 >= packetSize && refillBelow >= packetSize;
  }
};

// Why Next() returned no packet.
enum class TsReadEnd : uint8_t {
  None,           // not ended
  EndOfFile,      // fewer than packetSize bytes were left (a partial last packet is dropped)
  SyncLossLimit,  // the kTsSyncLossLimit-th packet without a sync byte
  NoResync,       // no three sync bytes a packet apart in the held data
};

class PacketReader {
 public:
  // buffer: config.blockSize bytes owned by the caller; the reader allocates nothing.
  PacketReader(uint8_t* buffer, const PacketReaderConfig& config)
      : buffer_(buffer),
        ps_(config.packetSize),
        blockSize_(config.blockSize),
        refillBelow_(config.refillBelow),
        usable_(config.usable()) {}

  // Reads on from the file's current position, which the caller states (0 for a file just
  // opened); no positioning call is made. False when the configuration is unusable.
  bool Begin(RawHandle file, uint64_t position = 0);
  // Moves the file to the byte offset and begins there. False when the configuration is
  // unusable or positioning fails.
  bool BeginAt(RawHandle file, uint64_t offset);

  // The next packet (packetSize bytes, starting with the sync byte), valid until the next call;
  // null once the read has ended, and on every call after (end() tells why). A packet that does
  // not start with the sync byte counts one loss and the grid is searched again: from it, at most
  // (held - 3 x packetSize) positions, only in what is held (no read is made for the search);
  // the bytes passed over are dropped.
  const uint8_t* Next() {
    if (held_ < refillBelow_ && !eof_) Refill();
    if (held_ < ps_) return EndOfFile();
    if (buffer_[cursor_] != kTsSyncByte && !Resync()) return nullptr;
    const uint8_t* packet = buffer_ + cursor_;
    cursor_ += ps_;
    held_ -= ps_;
    return packet;
  }

  TsReadEnd end() const { return end_; }
  // Packets met without a sync byte since Begin, the one that ended the read included.
  uint32_t syncLosses() const { return syncLosses_; }
  // File offset of the packet Next() returned last (64-bit: recordings pass 4 GiB).
  uint64_t position() const { return base_ + cursor_ - ps_; }

 private:
  void Refill();
  bool Resync();
  const uint8_t* EndOfFile();

  uint8_t* buffer_;
  size_t ps_;
  size_t blockSize_;
  size_t refillBelow_;
  bool usable_;

  RawHandle file_ = kInvalidRawHandle;
  size_t cursor_ = 0;    // next unread byte in buffer_
  size_t held_ = 0;      // unread bytes from cursor_
  bool eof_ = true;      // a read came back short (or nothing has begun)
  uint64_t base_ = 0;    // file offset of buffer_[0]
  uint32_t syncLosses_ = 0;
  TsReadEnd end_ = TsReadEnd::None;
};
