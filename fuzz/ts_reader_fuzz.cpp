// libFuzzer target for the packet reader under its file-reading users in the shared logic: the
// PCR measurement, the preview extraction and the sequence header walk with its searches around
// a packet, over arbitrary bytes as the input file. The first two bytes choose the position of
// the extraction and the searches and whether the PCR PID is the video PID; the rest is the file.
// Nothing may read outside the read buffer or the ES buffer, every read ends, the walk reports
// headers in file order within the file, and the searches land on the right side of the packet.
// The reader itself, through a small mirrored ring taking runs of packets, hands out exactly what
// it hands out packet by packet from a plain buffer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/input_measure.h"
#include "fuzz/fuzz_file.h"
#include "mpeg2/extract.h"
#include "mpeg2/sequence_headers.h"
#include "ts/packet_reader.h"

namespace {

// Positions of every packet handed out, then the end and the losses.
std::vector<uint64_t> read_through(RawHandle file, uint8_t* buffer, const PacketReaderConfig& config,
                                   size_t runLength) {
  std::vector<uint64_t> seen;
  PacketReader reader(buffer, config);
  if (!reader.BeginAt(file, 0)) std::abort();
  for (size_t k = 1;; ++k) {
    const uint8_t* first;
    const size_t n = runLength ? reader.NextRun(k % runLength, first) : 0;
    for (size_t i = 0; i < n; ++i) seen.push_back(reader.position() - (n - 1 - i) * kPacketSize);
    if (n > 0) continue;
    if (!reader.Next()) break;
    seen.push_back(reader.position());
  }
  seen.push_back(uint64_t(reader.end()));
  seen.push_back(reader.syncLosses());
  return seen;
}

struct NullSink : MessageSink {
  bool Report(MessageKind, const char*) override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<uint8_t[]> readBuffer(new uint8_t[kCutterReadBufferSize]);
  static std::unique_ptr<uint8_t[]> esData(new uint8_t[kEsBufferSize]);
  static FuzzFolder folder;
  const std::string input = folder.File("in.ts");
  const char* path = input.c_str();
  if (size < 2 || !folder.Write("in.ts", data + 2, size - 2)) return 0;
  const double fileSize = double(size - 2);

  PcrScanner scanner(readBuffer.get());
  NullSink sink;
  scanner.MeasureInput(path, fileSize, kMethodAutomatic, sink);

  RawFile file(path, "rb");
  if (!file.ok()) return 0;
  SequenceSource src;
  src.file = file.get();
  src.inputSize = fileSize;
  src.pcrPid = (data[1] & 1) ? 0x0100 : 0x01FF;
  EsBuffer es;
  es.data = esData.get();
  int32_t pcrMs = 0;
  const int32_t position = int32_t(data[0] & 0x7F) * 4;   // spans small files packet by packet
  if (CollectVideoSequence(src, position, 0x0100, readBuffer.get(), es, pcrMs) == kExtractOk)
    AppendEsEndMarker(es);

  static std::unique_ptr<uint8_t[]> walkBuffer(new uint8_t[kHeaderWalkBufferSize]);
  const int64_t packets = int64_t(fileSize / 188);
  HeaderWalk walk;
  walk.videoPid = 0x0100;
  walk.pcrPid = src.pcrPid;
  int64_t previous = -1;
  walk.found = [&previous, packets](const SequenceHeaderAt& at) {
    if (at.packet < previous || at.packet < 0 || at.packet >= packets) std::abort();
    previous = at.packet;
    return true;
  };
  walk_sequence_headers(file.get(), walk, walkBuffer.get());
  HeaderWalkEnd end;
  const int64_t before = sequence_header_at_or_before(file.get(), 0x0100, position, walkBuffer.get(), end);
  if (before > position) std::abort();
  const int64_t after = sequence_header_after(file.get(), 0x0100, position, walkBuffer.get(), end);
  if (after >= 0 && after <= position) std::abort();

  // One page of ring, topped up below four packets: it wraps every 22 packets or so.
  static RawBlock ring(4096, true);
  static std::unique_ptr<uint8_t[]> plain(new uint8_t[4096]);
  PacketReaderConfig config = PacketReaderConfig::Blocks(4096);
  config.refillBelow = 4 * kPacketSize;
  const std::vector<uint64_t> one = read_through(file.get(), plain.get(), config, 0);
  config.ring = ring.mirrored();
  if (read_through(file.get(), ring.get(), config, 2 + data[0] % 9) != one) std::abort();
  return 0;
}
