// Block reading and resynchronisation of the packet reader (see packet_reader.h); the per-packet
// path is inline in the header.
#include "ts/packet_reader.h"

#include <cstring>

bool PacketReader::Begin(RawHandle file, uint64_t position) {
  file_ = file;
  cursor_ = 0;
  held_ = 0;
  base_ = position;
  syncLosses_ = 0;
  eof_ = !usable_;   // an unusable reader never reads: its first Next() ends it
  end_ = TsReadEnd::None;
  return usable_;
}

bool PacketReader::BeginAt(RawHandle file, uint64_t offset) {
  if (!Begin(file, offset)) return false;
  if (raw_seek(file, uint32_t(offset), int32_t(offset >> 32), 0) != 0) {
    eof_ = true;
    return false;
  }
  return true;
}

void PacketReader::Refill() {
  // The unread rest moves to the front and one read fills the buffer behind it; data is moved
  // only here, once per block.
  std::memmove(buffer_, buffer_ + cursor_, held_);
  base_ += cursor_;
  cursor_ = 0;
  const size_t want = blockSize_ - held_;
  const size_t got = raw_read(buffer_ + held_, 1, want, file_);
  if (got < want) eof_ = true;
  held_ += got;
}

bool PacketReader::Resync() {
  if (++syncLosses_ >= kTsSyncLossLimit) {
    end_ = TsReadEnd::SyncLossLimit;
  } else {
    // Positions from which three packets' sync bytes lie inside the held data; the search never
    // reads more, so with three packets or less held there is nothing to search.
    const size_t span = held_ > 3 * ps_ ? held_ - 3 * ps_ : 0;
    const uint8_t* q = buffer_ + cursor_;
    size_t i = 0;
    while (i < span &&
           !(q[i] == kTsSyncByte && q[i + ps_] == kTsSyncByte && q[i + 2 * ps_] == kTsSyncByte))
      ++i;
    if (i < span) {
      cursor_ += i;
      held_ -= i;
      return true;
    }
    end_ = TsReadEnd::NoResync;
  }
  // The end is final: later calls return no packet and keep the reason.
  held_ = 0;
  eof_ = true;
  return false;
}

const uint8_t* PacketReader::EndOfFile() {
  if (end_ == TsReadEnd::None) end_ = TsReadEnd::EndOfFile;
  return nullptr;
}
