// libFuzzer target for the packet reader under its two file-reading users in the shared logic:
// the PCR measurement and the preview extraction, over arbitrary bytes as the input file. The
// first two bytes choose the position of the extraction and whether its PCR PID is the video
// PID; the rest is the file. Nothing may read outside the read buffer or the ES buffer, and every
// read ends.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>

#include "core/input_measure.h"
#include "mpeg2/extract.h"

namespace {

struct NullSink : MessageSink {
  bool Report(MessageKind, const char*) override { return true; }
};

// The input file, one per fuzzing process, removed when the process ends.
struct InputFile {
  InputFile() { std::snprintf(path, sizeof path, "/tmp/kerf_ts_reader_fuzz_%d.ts", int(getpid())); }
  ~InputFile() { std::remove(path); }
  char path[64];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<uint8_t[]> readBuffer(new uint8_t[kCutterReadBufferSize]);
  static std::unique_ptr<uint8_t[]> esData(new uint8_t[kEsBufferSize]);
  static InputFile input;
  const char* path = input.path;
  if (size < 2) return 0;
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return 0;
  std::fwrite(data + 2, 1, size - 2, f);
  std::fclose(f);
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
  return 0;
}
