// Planning and decoding the picture at a position (see frame_plan.h).
#include "plans/frame_plan.h"

#include "common/ts_packet.h"
#include "mpeg2/extract.h"

namespace {

// Why no sequence could be extracted, by the extraction's code.
const char* extract_failure_text(int code) {
  switch (code) {
    case kExtractSeekFailed: return "the position could not be reached";
    case kExtractSyncLimit: return "too many packets without a sync byte";
    case kExtractNoResync: return "the packet grid was lost for good";
    case kExtractNoPayload: return "a video packet flags a payload it has no room for";
    case kExtractNoSequence: return "no sequence header in reach of it";
  }
  return "reading failed";
}

}  // namespace

bool DecodedFrame::progressive() const { return decoder->headers.progressive_frame != 0; }

CommandError PlanFrame(const Recording& rec, int programme, int32_t at, int32_t listAt, bool stopOnError,
                       WorkEngine& engine, FramePlan& plan) {
  plan = FramePlan{};
  plan.rec = rec;
  plan.at = at;
  plan.stopOnError = stopOnError;
  if (CommandError error = engine.Ready()) return error;
  const ProgrammeAnalysis analysis = AnalyseProgrammes(engine, rec, listAt);
  CommandError error;
  const VideoEntry* video = programme_video(analysis, programme, "", error);
  if (!video) return error;
  plan.programme = video->ordinal;
  plan.videoPid = video->videoPid;
  plan.programmeCount = int32_t(analysis.structure.videos.size());
  return {};
}

CommandError RunFrame(const FramePlan& plan, MessageSink& status, DecodedFrame& frame) {
  PreviewRequest request;
  request.inputPath = plan.rec.path.c_str();
  request.inputSize = plan.rec.size;
  request.packetSize = kPacketSize;
  request.stopDecodeOnError = plan.stopOnError ? 1 : 0;
  request.programmeCount = plan.programmeCount;
  request.videoPid = plan.videoPid;
  request.pcrPid = plan.rec.m.pcrPid;
  request.startPacket = plan.at;
  request.endPacket = plan.rec.packets;
  request.activePoint = 0;
  request.startPcrMs = plan.rec.m.startPcrMs;
  request.endPcrMs = plan.rec.m.endPcrMs;
  // A short recording may hold one sequence header: its picture is still shown.
  request.loneHeaderToEnd = true;
  request.firstPictureOnly = plan.pictureOnly;

  // The work areas of the frame, made at its first picture (the decoder's frame stores start
  // zeroed) and kept for the next.
  if (!frame.readBuffer) frame.readBuffer.reset(new uint8_t[kCutterReadBufferSize]);
  if (!frame.esBuffer) frame.esBuffer.reset(new uint8_t[kEsBufferSize]);
  if (!frame.previewDib && !plan.pictureOnly) frame.previewDib.reset(new uint8_t[kPreviewDibBytes]);
  if (!frame.decoder) frame.decoder.reset(new PreviewDecoder());
  // kerf reads the High and 4:2:2 profiles too (contribution feeds are coded in 4:2:2).
  frame.decoder->extendedProfiles = true;
  PreviewDriver driver(frame.readBuffer.get(), frame.esBuffer.get(), *frame.decoder);
  if (driver.ExtractPreviewStream(request, status) != 0) {
    const int code = driver.lastExtractCode();
    if (code < 0) return command_error(Outcome::InputError, "cannot open %s", plan.rec.path.c_str());
    return command_error(Outcome::InputError, "no video sequence of PID %04X could be taken from packet %08X: %s",
                         unsigned(plan.videoPid), unsigned(plan.at), extract_failure_text(code));
  }
  driver.DecodePreviewStream(request, status, plan.pictureOnly ? nullptr : frame.previewDib.get());
  frame.pcrRange = request.pcrRangeSet && request.pcrRangeText[0] != '\0';
  frame.pcrFromMs = request.startPcrMs;
  frame.pcrToMs = request.endPcrMs;
  frame.decodeError = frame.decoder->run.errorCode;
  frame.converted = driver.pictureConverted();
  if (frame.decodeError == kErrorUnsupportedProfile)
    return command_error(Outcome::InputError, "the picture's profile is beyond the preview decoder, which reads the "
                                              "Main, Simple, High and 4:2:2 profiles with 4:2:0 or 4:2:2 chroma (error %d)", int(frame.decodeError));
  if (frame.decodeError == kErrorPictureTooLarge)
    return command_error(Outcome::InputError, "the picture is larger than the preview decoder's frame store (error %d)",
                         int(frame.decodeError));
  if (!frame.converted) return command_error(Outcome::InputError, "no picture was decoded at this position");
  return {};
}
