// The preview's MPEG-2 video decoder: walks an elementary stream from start code to start code,
// decodes the first picture (intra pictures completely, P pictures with a simplified motion
// compensation, B pictures parsed only) into the frame store. One file per stage: stream_decoder
// (start codes, headers, pictures), slice_decoder (slices, macroblock modes), motion (vectors,
// prediction), blocks (coefficients, inverse quantisation), idct, macroblock_store (reconstruction;
// its SSSE3 and AVX-512 rows in macroblock_store_x86).
#pragma once
#include <cstdint>

#include "mpeg2/frame_store.h"
#include "mpeg2/stream_headers.h"

// Decode error codes; each new error overwrites the last. Reset only at the start of a run.
enum DecodeError : int32_t {
  kDecodeOk = 0,
  kErrorForwardHorizontalFCode = 1,   // f_code[0][0] is 0
  kErrorForwardVerticalFCode = 2,     // f_code[0][1] is 0
  kErrorBackwardHorizontalFCode = 3,  // f_code[1][0] is 0
  kErrorBackwardVerticalFCode = 4,    // f_code[1][1] is 0
  kErrorMotionCode = 5,               // motion_code not in Table B-10
  kErrorMacroblockAddress = 6,        // macroblock_address_increment not in Table B-1
  kErrorCodedBlockPattern = 7,        // coded_block_pattern not in Table B-9
  kErrorCoefficientCode = 10,         // DCT coefficient code not in Table B-14 / B-15
  kErrorCoefficientIndex = 11,        // a coefficient landed at index 64 or higher
  kErrorUnsupportedProfile = 21,      // profile the decoder does not read (below): the run stops
  kErrorPictureTooLarge = 22,         // coded size beyond the frame store: the run stops
};

struct PreviewDecoder;

// Called at every picture start code, before the picture count decides whether to go on; the
// colour conversion hangs here and works from the second picture start code on.
using PictureStartHook = void (*)(PreviewDecoder& decoder, void* context);

// Per-run state, reset by ResetDecoderRun before every preview decode.
struct DecoderRun {
  int32_t scanPosition;        // byte index into the ES of the start-code search
  int32_t errorCode;           // DecodeError
  int32_t pictureCount;        // picture start codes met in this run
  int32_t macroblockCounter;   // macroblock address of the current picture
  int32_t stopDecodeOnError;   // 1: end the run after the slice in which an error was found
  // Geometry of the picture being decoded, fixed at its picture start code (slices ahead of the
  // first picture header take the headers as they stand). The conversion reads the store with it,
  // so a sequence header met after the picture cannot change how the picture is read back.
  FrameGeometry picture;
};

// Everything the decoder keeps. The header record and the frame stores survive between runs; the
// run state does not. Large (about 38 MB): its owner allocates one (value-initialised, so zero)
// and keeps it for as long as it previews.
struct PreviewDecoder {
  StreamHeaders headers;
  FrameStore frames;
  DecoderRun run;
  PictureStartHook pictureStartHook;
  void* pictureStartContext;
  // Set by an owner that reads more than the window program's preview: High profile and the 4:2:2
  // profile (profile_and_level_indication 0x82 and 0x85) are read besides Main and Simple, each
  // with 4:2:0 or 4:2:2 chroma, and 4:2:2 macroblocks are stored. False (as a zeroed decoder
  // starts): any profile but Main and Simple is error 21, and only 4:2:0 macroblocks are stored.
  bool extendedProfiles;
};

// Prepares a new run: scan position 0, error 0, picture count 0, no picture geometry, frame-store
// roles 0 and 1.
void ResetDecoderRun(PreviewDecoder& decoder, int32_t stopDecodeOnError);

// Runs the decoder over es[0, esLength). esLength is clamped to esCapacity (the size of the buffer
// es points into) and to 0; no byte outside es[0, esLength) is read and no sample outside the frame
// stores is written, whatever the stream holds. A picture larger than the frame store (wider than
// FrameStore::kMaxWidth or taller than kMaxHeight in whole macroblock rows) is not decoded: the run
// stops at it with error 22 and nothing of it is stored or converted. Returns 0 normally and 1 when
// error 21 or 22 stopped the run; the outcome is in decoder.run.errorCode.
int32_t DecodeStream(PreviewDecoder& decoder, const uint8_t* es, int32_t esLength,
                     int64_t esCapacity);
