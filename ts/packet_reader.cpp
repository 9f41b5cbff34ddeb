// The grid search of the packet reader (see packet_reader.h); everything else of the reader is
// inline in the header.
#include "ts/packet_reader.h"

size_t ts_find_grid(const uint8_t* p, size_t span, size_t packetSize) {
  for (size_t i = 0; i < span; ++i) {
    if (p[i] == kSyncByte && p[i + packetSize] == kSyncByte &&
        p[i + 2 * packetSize] == kSyncByte)
      return i;
  }
  return span;
}
