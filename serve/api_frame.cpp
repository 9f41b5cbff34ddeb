// Pictures: GET /api/frame (one picture as a JPEG file) and GET /api/timeline (the positions of
// pictures spread over a recording, with their addresses).
#include <algorithm>
#include <memory>
#include <vector>

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

// The picture's planes at the asked width; the decoder goes back to the pool as soon as they are
// made, so the compression that follows holds no decoder.
ApiError decode_planes(Api::State& state, const OpenedRecording& opened, int programme, int32_t at, int width,
                       std::vector<uint8_t>& planes, int32_t& height) {
  CommandError error;
  const VideoEntry* video = programme_video(opened.state->analysis, programme, "", error);
  if (!video) return command_api_error(error, "the recording holds no video");
  FramePlan plan;
  plan.rec = opened.rec;
  plan.programme = video->ordinal;
  plan.videoPid = video->videoPid;
  plan.programmeCount = int32_t(opened.state->analysis.structure.videos.size());
  plan.at = at;
  plan.pictureOnly = true;
  QuietSink quiet;
  PooledFrame pooled(state.frames);
  DecodedFrame& frame = *pooled;
  if (CommandError e = RunFrame(plan, quiet, frame)) return command_api_error(e, "no picture could be decoded at this position");
  const PictureView view = frame.view();
  height = scaled_height(view, frame.decoder->headers.aspect_ratio_information, width);
  if (height <= 0) return {422, "no_picture", "no picture was decoded at this position"};
  const size_t luma = size_t(width) * size_t(height), chroma = size_t(chroma_width(width)) * size_t(chroma_height(height));
  planes.resize(luma + 2 * chroma);
  const YuvPlanes out{planes.data(), planes.data() + luma, planes.data() + luma + chroma};
  if (!scale_picture_yuv420(view, width, height, out)) return {422, "no_picture", "no picture was decoded at this position"};
  return {};
}

ApiError decode_jpeg(Api::State& state, const OpenedRecording& opened, int programme, int32_t at, int width,
                     std::string& jpeg) {
  std::vector<uint8_t> planes;
  int32_t height = 0;
  if (ApiError e = decode_planes(state, opened, programme, at, width, planes, height)) return e;
  const size_t luma = size_t(width) * size_t(height), chroma = size_t(chroma_width(width)) * size_t(chroma_height(height));
  const YuvPlanes in{planes.data(), planes.data() + luma, planes.data() + luma + chroma};
  if (!encode_jpeg(in, width, height, kJpegQuality, jpeg)) return {500, "failed", "the picture could not be compressed"};
  return {};
}

// Counts a picture being made for as long as it lives (the running cuts pause meanwhile).
struct Making {
  std::atomic<int>& count;
  explicit Making(std::atomic<int>& c) : count(c) { ++count; }
  ~Making() { --count; }
  Making(const Making&) = delete;
  Making& operator=(const Making&) = delete;
};

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
    const Making making(state.picturesMaking);
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
  // The key pictures from the recording's scan when it is known (a lookup each); otherwise each is
  // looked for in the file, and the scan is asked for in the background for the next timeline.
  FileKey scanKey = opened.key;
  scanKey.programme = video->ordinal;
  ScanPtr scan;
  if (!state.scans.Get(scanKey, scan) || scan->outcome != Outcome::Done) scan = nullptr;
  std::unique_ptr<uint8_t[]> buffer;
  const Recording& rec = opened.rec;
  Json pictures = Json::array();
  int64_t previous = -1;
  for (long i = 0; i < count; ++i) {
    Position time;
    time.ms = int32_t(int64_t(rec.m.totalMs) * i / count);
    const int32_t from = rec.ToPacket(time);
    // The first sequence header beginning at or after the even time's packet.
    int64_t packet = -1;
    if (scan) {
      const auto it = std::lower_bound(scan->headers.begin(), scan->headers.end(), int64_t(from),
                                       [](const SequenceHeaderAt& h, int64_t p) { return h.packet < p; });
      if (it != scan->headers.end()) packet = it->packet;
    } else {
      if (!buffer) buffer.reset(new uint8_t[kHeaderWalkBufferSize]);
      HeaderWalkEnd end = HeaderWalkEnd::Done;
      packet = sequence_header_after(opened.file.get(), video->videoPid, int64_t(from) - 1, buffer.get(), end);
      if (end != HeaderWalkEnd::Done) return Api::Fail({422, "unreadable", path + " cannot be read"}, response);
    }
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
