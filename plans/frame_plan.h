// The picture at a position as a plain value: the first picture of the video sequence that
// starts at or after a packet, decoded as the cutter's preview decodes it, besides which High and
// 4:2:2 profile pictures are read. Writing it out (a bitmap, planes, a compressed image) is the
// front end's. Nothing here prints.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "common/message_sink.h"
#include "mpeg2/convert.h"
#include "mpeg2/picture_decoder.h"
#include "plans/outcome.h"
#include "plans/recording.h"
#include "plans/work_engine.h"

struct FramePlan {
  Recording rec;
  int programme = 0;            // the ordinal whose video is decoded
  int32_t videoPid = 0;
  int32_t programmeCount = 0;   // video streams the analysis found
  int32_t at = 0;               // the packet the sequence is looked for from
  bool stopOnError = false;     // the decode stops at its first error, as the cutter's option does
  // Only the decoded picture is wanted (a front end making its own image of it): no preview
  // bitmap is drawn, and the recording is read only as far as the picture's end (the PCR range
  // text then ends at the PCR read there).
  bool pictureOnly = false;
};

// Finds the video of programme (0: the first video) in the programmes at listAt.
CommandError PlanFrame(const Recording& rec, int programme, int32_t at, int32_t listAt, bool stopOnError,
                       WorkEngine& engine, FramePlan& plan);

// A decoded picture: the decoder holding it, and the preview's 360 x 240 bitmap of it. A frame
// given to RunFrame again keeps its decoder and work areas, as the window program's preview keeps
// one decoder for every picture it shows: a server decoding picture after picture then touches
// no fresh memory (tens of MiB, whose first touch is dear in a virtual machine).
struct DecodedFrame {
  std::unique_ptr<PreviewDecoder> decoder;
  std::unique_ptr<uint8_t[]> previewDib;   // kPreviewDibBytes, bottom-up BGR (when asked for)
  std::unique_ptr<uint8_t[]> readBuffer;   // the extraction's work areas
  std::unique_ptr<uint8_t[]> esBuffer;
  bool pcrRange = false;                   // the PCRs read around the picture (the preview's range)
  int32_t pcrFromMs = 0, pcrToMs = 0;
  int32_t decodeError = 0;                 // the decoder's error code (kDecodeOk: none)
  bool converted = false;                  // a picture was decoded and converted

  PictureView view() const { return current_picture_view(*decoder); }
  bool progressive() const;
};

// Extracts and decodes the picture; the preview's status texts (Shift-JIS) go to status. An
// InputError, saying why in English, when nothing could be extracted, the picture's coding is
// beyond the preview decoder or no picture was decoded.
CommandError RunFrame(const FramePlan& plan, MessageSink& status, DecodedFrame& frame);
