// Cutting one MPEG-2 video sequence of a programme out of the input recording near a packet
// position, and the driver that hands it to the picture decoder and words the outcome for the
// preview status line. No window code: the cutter and the command line both use it.
#pragma once
#include <cstdint>

#include "common/message_sink.h"
#include "common/raw_file.h"

// The preview reads the input in blocks of this size (the first 1 MiB of the shared read buffer).
constexpr int32_t kPreviewReadSize = 1048576;
// Elementary-stream buffer: one sequence of a 1080i broadcast fits with a wide margin.
constexpr int32_t kEsBufferSize = 20971520;
// Packets after the position (or before the end of the file) searched for two sequence headers.
constexpr int32_t kPreviewWindowPackets = 100000;
// End marker: a picture start code, then 128 zero bytes of which 8 count towards esLength, so
// the decoder finishes the last picture and its bit reader may look ahead without leaving data.
constexpr int32_t kEsEndMarkerSpace = 4 + 128;
constexpr int32_t kEsEndMarkerCounted = 4 + 8;

// Result codes of CollectVideoSequence.
constexpr int kExtractOk = 0;
constexpr int kExtractSeekFailed = 100;   // positioning at the window's first packet failed
constexpr int kExtractSyncLimit = 101;    // the packet grid was lost for the 1000th time
constexpr int kExtractNoResync = 102;     // no three sync bytes a packet apart in the buffered data
constexpr int kExtractNoPayload = 103;    // a video packet flags a payload but has no payload bytes
constexpr int kExtractNoSequence = 104;   // fewer than two sequence headers in the window

// The elementary stream a preview works on. data holds kEsBufferSize bytes.
struct EsBuffer {
  uint8_t* data = nullptr;
  int32_t length = 0;   // esLength: valid bytes, end marker included once it is appended
};

// What CollectVideoSequence needs to know about the open input.
struct SequenceSource {
  RawHandle file = kInvalidRawHandle;
  double inputSize = 0;        // bytes
  int32_t packetSize = 188;
  int32_t pcrPid = -1;         // PID whose PCRs are read; ignored when equal to the video PID
};

// Copies into es the video sequence of videoPid that starts at the first sequence header at or
// after packet position (from that header up to the next one). When fewer than two headers follow
// the position, the window reaches back to the last kPreviewWindowPackets packets of the file and
// the last complete sequence found in it is kept. readBuffer holds kPreviewReadSize bytes.
// pcrMs receives the last PCR of pcrPid read before the scan stopped (unchanged when none).
// Returns one of the codes above.
int CollectVideoSequence(const SequenceSource& src, int32_t position, int32_t videoPid,
                         uint8_t* readBuffer, EsBuffer& es, int32_t& pcrMs);

// Appends the end marker to a collected sequence (room for it is always left by the collector).
void AppendEsEndMarker(EsBuffer& es);
