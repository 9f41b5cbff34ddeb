// The packet loop's reading: the input in blocks consumed in place, the sync byte checked at every
// packet, a lost packet start found again inside what is held. It hands out runs of whole packets,
// so the loop over them is a plain pointer walk.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/raw_file.h"
#include "common/ts_packet.h"

constexpr size_t kReadBufferSize = 4096 * kPacketSize;    // 770048: one block read
constexpr size_t kRefillThreshold = 1024 * kPacketSize;   // 192512: refill below this much held
// Three sync bytes a packet apart, and the packet after the third held too, before a resync is taken.
constexpr size_t kResyncWindow = 3 * kPacketSize;

// Consecutive whole packets in the source's buffer, each starting with the sync byte. Valid until
// the next NextBlock.
struct PacketBlock {
  const uint8_t* data = nullptr;
  uint32_t count = 0;
  uint64_t position = 0;   // file offset of the first packet
};

enum class SourceStatus {
  Block,       // a block was handed out
  End,         // fewer bytes than a packet are left (a partial packet at the end is dropped)
  SyncLimit,   // the kSyncLossLimit-th packet without its sync byte
  NoResync,    // no three sync bytes a packet apart in what is held
  ReadError,   // reading the input failed; the packets read before were handed out
};

class PacketSource {
 public:
  PacketSource();
  PacketSource(const PacketSource&) = delete;
  PacketSource& operator=(const PacketSource&) = delete;

  // Reads input from byte offset on (seeking when offset is not 0); false when the seek fails.
  // Clears the sync-loss count.
  bool Start(RawHandle input, uint64_t offset);
  // Forgets the input and the sync-loss count.
  void Reset() { Start(kInvalidRawHandle, 0); }
  // The next run of whole packets. A block ends where the next packet lacks its sync byte and
  // where the buffer is due for a refill, so that every packet is checked, resynchronisation
  // searches exactly the data held at that packet, and data moves only when the buffer is
  // refilled. The caller may stop using a block at any packet.
  SourceStatus NextBlock(PacketBlock& block);

  // File offset of the first byte not yet handed out.
  uint64_t position() const { return bufferStart_ + cursor_; }
  // Packets found without their sync byte since Start.
  uint32_t syncLosses() const { return syncLosses_; }

 private:
  void Refill();
  // At a packet without its sync byte: looks from the cursor, one byte at a time over at most
  // held - kResyncWindow positions, for three sync bytes a packet apart, and drops what it passes
  // over. False when there is none (nothing more is read for the search).
  bool Resync();

  std::unique_ptr<uint8_t[]> buffer_;   // kReadBufferSize
  RawHandle input_ = kInvalidRawHandle;
  uint64_t bufferStart_ = 0;            // file offset of buffer_[0]
  size_t cursor_ = 0;                   // next unread byte in buffer_
  size_t held_ = 0;                     // unread bytes from the cursor on
  bool eof_ = false;
  bool readFailed_ = false;             // the end came from a failed read, not the end of the file
  uint32_t syncLosses_ = 0;
};
