// Block reading with sync recovery for the packet loop (see packet_source.h).
#include "demux/packet_source.h"

#include <cstring>

PacketSource::PacketSource() : buffer_(new uint8_t[kReadBufferSize]) {}

bool PacketSource::Start(RawHandle input, uint64_t offset) {
  input_ = input;
  bufferStart_ = offset;
  cursor_ = 0;
  held_ = 0;
  eof_ = false;
  readFailed_ = false;
  syncLosses_ = 0;
  return offset == 0 || raw_seek(input, uint32_t(offset), int32_t(offset >> 32), 0) == 0;
}

void PacketSource::Refill() {
  std::memmove(buffer_.get(), buffer_.get() + cursor_, held_);
  bufferStart_ += cursor_;
  cursor_ = 0;
  const size_t want = kReadBufferSize - held_;
  size_t got = 0;
  // A failed read ends the data like the end of the file, but the run must not pass for complete.
  if (!raw_read_checked(buffer_.get() + held_, want, input_, got)) readFailed_ = true;
  if (got < want || readFailed_) eof_ = true;
  held_ += got;
}

bool PacketSource::Resync() {
  const uint8_t* const at = buffer_.get() + cursor_;
  // Only what is held is searched; with less than three packets' worth there is nothing to look
  // through.
  const size_t span = held_ > kResyncWindow ? held_ - kResyncWindow : 0;
  size_t i = 0;
  while (i < span && !(at[i] == kSyncByte && at[i + kPacketSize] == kSyncByte &&
                       at[i + 2 * kPacketSize] == kSyncByte))
    ++i;
  if (i == span) return false;
  cursor_ += i;
  held_ -= i;
  return true;
}

SourceStatus PacketSource::NextBlock(PacketBlock& block) {
  if (held_ < kRefillThreshold && !eof_) Refill();
  if (held_ < kPacketSize && eof_) return readFailed_ ? SourceStatus::ReadError : SourceStatus::End;
  const uint8_t* const base = buffer_.get();
  if (base[cursor_] != kSyncByte) {
    if (++syncLosses_ >= kSyncLossLimit) return SourceStatus::SyncLimit;
    if (!Resync()) return SourceStatus::NoResync;
  }
  // Before the end of the file the block stops before a packet at which less than the refill
  // threshold would be held (after a resync that may be at once); at the end it takes every whole
  // packet.
  const uint32_t most = eof_                        ? uint32_t(held_ / kPacketSize)
                        : held_ >= kRefillThreshold ? uint32_t((held_ - kRefillThreshold) / kPacketSize) + 1
                                                    : 1;
  const uint8_t* const first = base + cursor_;
  uint32_t count = 1;
  while (count < most && first[size_t(count) * kPacketSize] == kSyncByte) ++count;
  block.data = first;
  block.count = count;
  block.position = position();
  cursor_ += size_t(count) * kPacketSize;
  held_ -= size_t(count) * kPacketSize;
  return SourceStatus::Block;
}
