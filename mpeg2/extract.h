// Cutting one MPEG-2 video sequence of a programme out of the input recording near a packet
// position, and the driver that hands it to the picture decoder and words the outcome for the
// preview status line. No window code: the cutter and the command line both use it.
#pragma once
#include <cstdint>

#include "common/message_sink.h"
#include "common/raw_file.h"
#include "common/ts_packet.h"
#include "mpeg2/convert.h"
#include "mpeg2/picture_decoder.h"
#include "mpeg2/sequence_scanner.h"

// The preview reads the input in blocks of this size (the first 1 MiB of the shared read buffer).
constexpr int32_t kPreviewReadSize = 1048576;
// Packets after the position (or before the end of the file) searched for two sequence headers.
constexpr int32_t kPreviewWindowPackets = 100000;

// Result codes of CollectVideoSequence.
constexpr int kExtractOk = 0;
constexpr int kExtractSeekFailed = 100;   // positioning at the window's first packet failed
constexpr int kExtractSyncLimit = 101;    // the packet grid was lost for the 1000th time
constexpr int kExtractNoResync = 102;     // no three sync bytes a packet apart in the buffered data
constexpr int kExtractNoPayload = 103;    // a video packet flags a payload but has no payload bytes
constexpr int kExtractNoSequence = 104;   // fewer than two sequence headers in the window

// What CollectVideoSequence needs to know about the open input.
struct SequenceSource {
  RawHandle file = kInvalidRawHandle;
  double inputSize = 0;        // bytes
  int32_t packetSize = kPacketSize;
  int32_t pcrPid = -1;         // PID whose PCRs are read; ignored when equal to the video PID
  bool loneHeaderToEnd = false;   // a window with one sequence header gives the sequence from it to its end
  bool firstPictureOnly = false;   // stop once the sequence's first picture is whole (SequenceScanner)
};

// The packets read for a preview at a position: normally the kPreviewWindowPackets + 1 packets
// from the position on; when fewer than kPreviewWindowPackets follow it, the last
// kPreviewWindowPackets packets of the file. first is negative for a position before the file
// (it names no packet); count is 0 or less when the file holds no whole packet.
struct PreviewWindow {
  int64_t first = 0;
  int64_t count = 0;
};
PreviewWindow preview_window(double inputSize, int32_t packetSize, int32_t position);

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

// What one preview takes from the cutter's state (the Settings record, the programme list and the
// job flags), as plain values: the window fills it before a preview and copies the PCR times
// back; the command line fills it from its arguments.
struct PreviewRequest {
  const char* inputPath = "";       // loadedInputPath
  double inputSize = 0;             // inputSize, bytes
  int32_t packetSize = kPacketSize; // packetSize
  int32_t previewEnabled = 1;       // previewEnabled
  int32_t stopDecodeOnError = 0;    // stopDecodeOnError
  int32_t programmeCount = 0;       // entries of ProgrammeList; 0 = no video stream known
  int32_t videoPid = 0;             // video PID of ProgrammeList entry programmeIndex
  int32_t pcrPid = 0;               // pcrPid
  int32_t startPacket = 0;          // startPacket
  int32_t endPacket = 0;            // endPacket
  int32_t activePoint = 0;          // 0 = the start point is previewed, 1 = the end point
  // In and out: the PCR read near the previewed point replaces the value of that point.
  int32_t startPcrMs = 0;
  int32_t endPcrMs = 0;
  // The process-wide busy flag (jobRunning), held during the extraction; null where there are no
  // jobs (the command line).
  int32_t* jobRunning = nullptr;
  // kerf: a window that holds a single sequence header is previewed from it to the window's end
  // (the window program needs a second header to close the sequence).
  bool loneHeaderToEnd = false;
  // Collect only as far as the first picture of the sequence (what the decoder decodes) instead
  // of the whole sequence: less to read for a front end that shows nothing else of it.
  bool firstPictureOnly = false;

  // Out: the PCR range field. pcrRangeSet tells whether the field is to be replaced by
  // pcrRangeText (an empty text clears it); untouched fields keep what they show.
  bool pcrRangeSet = false;
  char pcrRangeText[64] = {};
};

// The preview driver: extracts a video sequence into the ES buffer and runs the decoder over it.
// Status texts ("状態：...") go to the sink as MessageKind::Status.
class PreviewDriver {
 public:
  // readBuffer: kPreviewReadSize bytes or more (the shared read buffer); esBuffer: kEsBufferSize
  // bytes, owned by the caller.
  PreviewDriver(uint8_t* readBuffer, uint8_t* esBuffer, PreviewDecoder& decoder)
      : readBuffer_(readBuffer), decoder_(decoder) {
    es_.data = esBuffer;
  }

  // 0 when the ES buffer holds a sequence (or the preview is disabled), 1 when nothing was
  // extracted (a busy job, an empty programme list, an input that cannot be opened or read).
  int ExtractPreviewStream(PreviewRequest& request, MessageSink& sink);
  // Decodes the extracted sequence, drawing the first picture into dib (kPreviewDibBytes, may be
  // null). 0 decoded without error, 1 a decode is already running, 3 unsupported picture format
  // (a profile other than Main or Simple, or a size larger than the frame store), 4 decoded with
  // errors.
  int DecodePreviewStream(const PreviewRequest& request, MessageSink& sink, uint8_t* dib);

  // The extraction result code of the last ExtractPreviewStream that reached the file (0 or
  // 100-104), -1 when it stopped before.
  int lastExtractCode() const { return lastExtractCode_; }
  // True when the last decode finished a picture and converted it (false for a B picture, a run
  // stopped at its first error, or a stream without a second picture start).
  bool pictureConverted() const { return target_.converted; }
  const EsBuffer& es() const { return es_; }

 private:
  uint8_t* readBuffer_;
  PreviewDecoder& decoder_;
  EsBuffer es_;
  ConvertTarget target_;
  bool decoding_ = false;
  int lastExtractCode_ = -1;
};
