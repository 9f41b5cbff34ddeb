// The packet reader's slower steps (see packet_reader.h): top-ups, the end of the file, the
// resynchronisation and its grid search. Next()'s quick way is inline in the header.
#include "ts/packet_reader.h"

#include <cstring>

size_t ts_find_grid(const uint8_t* p, size_t span, size_t packetSize) {
  for (size_t i = 0; i < span; ++i) {
    if (p[i] == kSyncByte && p[i + packetSize] == kSyncByte &&
        p[i + 2 * packetSize] == kSyncByte)
      return i;
  }
  return span;
}

const uint8_t* PacketReader::NextSlowly() {
  if (filled_ - cursor_ < refillBelow_ && !eof_) Refill();
  if (filled_ - cursor_ < ps_) {
    if (end_ == TsReadEnd::None) end_ = readFailed_ ? TsReadEnd::ReadError : TsReadEnd::EndOfFile;
    return nullptr;
  }
  if (buffer_[cursor_] != kSyncByte && !Resync()) return nullptr;
  return Take();
}

void PacketReader::Refill() {
  const size_t held = filled_ - cursor_;
  if (!ring_) {
    std::memmove(buffer_, buffer_ + cursor_, held);
    base_ += cursor_;
    cursor_ = 0;
    filled_ = held;
  } else if (cursor_ >= blockSize_) {
    // The same bytes a block further back: the read below then ends within the second view.
    base_ += blockSize_;
    cursor_ -= blockSize_;
    filled_ -= blockSize_;
  }
  const size_t want = blockSize_ - held;
  size_t got = 0;
  // A failed read ends the data like the end of the file, but is told apart from it.
  if (!raw_read_checked(buffer_ + filled_, want, file_, got)) readFailed_ = true;
  if (got < want || readFailed_) eof_ = true;
  filled_ += got;
  quickEnd_ = filled_ >= refillBelow_ ? filled_ - refillBelow_ + 1 : 0;
}

bool PacketReader::Resync() {
  if (++syncLosses_ >= kSyncLossLimit) return Stop(TsReadEnd::SyncLossLimit);
  // Only positions from which three packets' sync bytes lie inside the held data: with three
  // packets or less held there is nothing to search.
  const size_t held = filled_ - cursor_;
  const size_t span = held > 3 * ps_ ? held - 3 * ps_ : 0;
  const size_t skip = ts_find_grid(buffer_ + cursor_, span, ps_);
  if (skip == span) return Stop(TsReadEnd::NoResync);
  cursor_ += skip;
  return true;
}

bool PacketReader::Stop(TsReadEnd why) {
  end_ = why;
  filled_ = cursor_;
  quickEnd_ = 0;
  eof_ = true;
  return false;
}
