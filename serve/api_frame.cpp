// Pictures: GET /api/frame (one picture as a JPEG file) and GET /api/timeline (the positions of
// pictures spread over a recording, with their addresses).
#include <memory>

#include "mpeg2/scale.h"
#include "mpeg2/sequence_headers.h"
#include "plans/frame_plan.h"
#include "serve/api_state.h"
#include "serve/jpeg_image.h"

namespace {

constexpr long kDefaultWidth = kPreviewWidth;
constexpr long kDefaultTimelineWidth = 160;
constexpr long kMaxTimelineCount = 200;
constexpr long kDefaultTimelineCount = 100;

struct QuietSink : MessageSink {
  bool Report(MessageKind, const char*) override { return true; }
};

// Holds a decoder of the pool for as long as it lives.
class PooledFrame {
 public:
  explicit PooledFrame(FramePool& pool) : pool_(pool), frame_(pool.Acquire()) {}
  ~PooledFrame() { pool_.Release(frame_); }
  PooledFrame(const PooledFrame&) = delete;
  PooledFrame& operator=(const PooledFrame&) = delete;
  DecodedFrame& operator*() const { return *frame_; }

 private:
  FramePool& pool_;
  DecodedFrame* frame_;
};

ApiError decode_jpeg(Api::State& state, const OpenedRecording& opened, int programme, int32_t at, int width,
                     std::string& jpeg) {
  CommandError error;
  const VideoEntry* video = programme_video(opened.state->analysis, programme, "", error);
  if (!video) return command_api_error(error, "the recording holds no video");
  FramePlan plan;
  plan.rec = opened.rec;
  plan.programme = video->ordinal;
  plan.videoPid = video->videoPid;
  plan.programmeCount = int32_t(opened.state->analysis.structure.videos.size());
  plan.at = at;
  QuietSink quiet;
  PooledFrame pooled(state.frames);
  DecodedFrame& frame = *pooled;
  if (CommandError e = RunFrame(plan, quiet, frame)) return command_api_error(e, "no picture could be decoded at this position");
  const PictureView view = frame.view();
  const int32_t height = scaled_height(view, frame.decoder->headers.aspect_ratio_information, width);
  std::unique_ptr<uint8_t[]> rgb(new uint8_t[size_t(width) * size_t(height > 0 ? height : 1) * 3]);
  if (height <= 0 || !scale_picture(view, width, height, rgb.get())) return {422, "no_picture", "no picture was decoded at this position"};
  if (!encode_jpeg(rgb.get(), width, height, kJpegQuality, jpeg)) return {500, "failed", "the picture could not be compressed"};
  return {};
}

}  // namespace

void HandleFrame(Api::State& state, const HttpRequest& request, HttpResponse& response) {
  std::string path, atText;
  long programme = 0, width = 0;
  if (ApiError e = text_param(request, "path", path)) return Api::Fail(e, response);
  if (ApiError e = text_param(request, "at", atText)) return Api::Fail(e, response);
  if (ApiError e = int_param(request, "programme", 0, 255, 0, programme)) return Api::Fail(e, response);
  if (ApiError e = int_param(request, "width", 16, kScaleMaxWidth, kDefaultWidth, width)) return Api::Fail(e, response);
  Position position;
  if (!parse_position(atText, position))
    return Api::Fail(bad_request("bad_position", "at must be a time (hh:mm:ss.sss) or a packet (p:HEX)"), response);
  OpenedRecording opened;
  if (ApiError e = open_recording(state, path, opened)) return Api::Fail(e, response);
  FileKey key = opened.key;
  key.programme = int(programme);
  key.at = opened.rec.ToPacket(position);
  key.width = int(width);
  std::shared_ptr<const std::string> jpeg;
  if (!state.pictures.Find(key, jpeg)) {
    auto made = std::make_shared<std::string>();
    if (ApiError e = decode_jpeg(state, opened, int(programme), int32_t(key.at), int(width), *made)) return Api::Fail(e, response);
    jpeg = made;
    state.pictures.Put(key, jpeg);
  }
  response.contentType = "image/jpeg";
  response.body = *jpeg;
}

void HandleTimeline(Api::State& state, const HttpRequest& request, HttpResponse& response) {
  std::string path;
  long programme = 0, count = 0, width = 0;
  if (ApiError e = text_param(request, "path", path)) return Api::Fail(e, response);
  if (ApiError e = int_param(request, "programme", 0, 255, 0, programme)) return Api::Fail(e, response);
  if (ApiError e = int_param(request, "count", 1, kMaxTimelineCount, kDefaultTimelineCount, count)) return Api::Fail(e, response);
  if (ApiError e = int_param(request, "width", 16, kScaleMaxWidth, kDefaultTimelineWidth, width)) return Api::Fail(e, response);
  OpenedRecording opened;
  if (ApiError e = open_recording(state, path, opened)) return Api::Fail(e, response);
  CommandError error;
  const VideoEntry* video = programme_video(opened.state->analysis, int(programme), "", error);
  if (!video) return Api::Fail(command_api_error(error, "the recording holds no video"), response);
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kHeaderWalkBufferSize]);
  const Recording& rec = opened.rec;
  Json pictures = Json::array();
  int64_t previous = -1;
  for (long i = 0; i < count; ++i) {
    Position time;
    time.ms = int32_t(int64_t(rec.m.totalMs) * i / count);
    const int32_t from = rec.ToPacket(time);
    HeaderWalkEnd end = HeaderWalkEnd::Done;
    // The first sequence header beginning at or after the even time's packet.
    const int64_t packet = sequence_header_after(opened.file.get(), video->videoPid, int64_t(from) - 1, buffer.get(), end);
    if (end != HeaderWalkEnd::Done) return Api::Fail({422, "unreadable", path + " cannot be read"}, response);
    if (packet < 0 || packet == previous) continue;   // past the last key picture, or the same one again
    previous = packet;
    char at[24];
    std::snprintf(at, sizeof at, "p:%llX", static_cast<unsigned long long>(packet));
    const int32_t ms = rec.ToMs(int32_t(packet));
    pictures.push_back({{"packet", packet}, {"ms", ms}, {"time", time_text(ms)}, {"at", at},
                        {"url", "/api/frame?path=" + url_encode(path) + "&at=" + at + "&programme=" +
                                    std::to_string(video->ordinal) + "&width=" + std::to_string(width)}});
  }
  answer_json({{"file", path}, {"programme", video->ordinal}, {"totalMs", rec.m.totalMs}, {"pictures", pictures}}, response);
}
