// The packet reader's cost per packet (user CPU time), on a recording in the page cache, against
// the bare block loop under it: the same 770048-byte reads and a pass over every 188 bytes,
// without the sync check, the refill rule or loss counting. Both passes do the same per-packet
// step (a count per PID), so the difference is what the reader adds. The reader runs as the
// demux loop sets it.
//   ts_reader_bench <recording.ts> [passes (default 20)]
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ts/packet_reader.h"

namespace {

constexpr size_t kBlock = 4096 * kPacketSize;     // the demux loop's block
constexpr size_t kRefill = 1024 * kPacketSize;    // and its refill threshold

// User CPU seconds of the process: the kernel's copy of the file data, the same for both loops
// and most of their wall time, is left out.
double user_seconds() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec) + double(u.ru_utime.tv_usec) * 1e-6;
}

struct PassResult {
  uint64_t packets = 0;
  double seconds = 0;
  uint32_t check = 0;   // keeps the step's work observable
};

template <typename Loop>
PassResult Timed(const char* path, uint32_t* pidCounts, Loop loop) {
  RawFile file(path, "rb");
  if (!file.ok()) {
    std::fprintf(stderr, "cannot open %s\n", path);
    std::exit(1);
  }
  PassResult r;
  const double t0 = user_seconds();
  r.packets = loop(file.get(), pidCounts);
  r.seconds = user_seconds() - t0;
  for (int i = 0; i < 8192; ++i) r.check += pidCounts[i];
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: ts_reader_bench <recording.ts> [passes]\n");
    return 2;
  }
  const int passes = argc == 3 ? std::atoi(argv[2]) : 20;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBlock]);
  std::unique_ptr<uint32_t[]> pidCounts(new uint32_t[8192]());

  auto reader = [&](RawHandle file, uint32_t* counts) {
    PacketReaderConfig config;
    config.blockSize = kBlock;
    config.refillBelow = kRefill;
    PacketReader r(buffer.get(), config);
    r.Begin(file);
    uint64_t n = 0;
    while (const uint8_t* p = r.Next()) {
      ++counts[ts_pid(p)];
      ++n;
    }
    return n;
  };
  auto bare = [&](RawHandle file, uint32_t* counts) {
    uint64_t n = 0;
    size_t got;
    while ((got = raw_read(buffer.get(), 1, kBlock, file)) >= kPacketSize) {
      for (size_t at = 0; at + kPacketSize <= got; at += kPacketSize) {
        ++counts[ts_pid(buffer.get() + at)];
        ++n;
      }
    }
    return n;
  };

  // User time is accounted in clock ticks, coarser than one pass: the passes are summed.
  double total[2] = {0, 0};
  uint64_t packets = 0;
  uint32_t check = 0;
  Timed(argv[1], pidCounts.get(), bare);   // brings the file into the page cache
  for (int i = 0; i < passes; ++i) {
    const PassResult a = Timed(argv[1], pidCounts.get(), reader);
    const PassResult b = Timed(argv[1], pidCounts.get(), bare);
    total[0] += a.seconds;
    total[1] += b.seconds;
    packets += a.packets;
    check ^= a.check ^ b.check;
  }
  std::printf("%llu packets in %d passes (check %08X), user time per packet:\n",
              (unsigned long long)packets, passes, unsigned(check));
  std::printf("  packet reader   %6.2f ns\n", total[0] * 1e9 / double(packets));
  std::printf("  bare block loop %6.2f ns\n", total[1] * 1e9 / double(packets));
  return 0;
}
