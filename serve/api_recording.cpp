// Opening a recording for a request (measurement and programme list cached), and the requests
// that describe one: GET /api/info and GET /api/scan.
#include <cstdio>

#include "common/timefmt.h"
#include "plans/plan_json.h"
#include "serve/api_state.h"

namespace {

struct QuietSink : MessageSink {
  bool Report(MessageKind, const char*) override { return true; }
};

ScanPtr run_scan(const ScanPlan& plan, const PercentCallback& progress, const std::atomic<bool>* stop) {
  return std::make_shared<const ScanResult>(RunScan(plan, progress, stop));
}

// The scan of video's programme in rec (the file rec.path names must be open).
ScanPlan scan_plan(const Recording& rec, const VideoEntry& video) {
  ScanPlan plan;
  plan.rec = rec;
  plan.programme = video.ordinal;
  plan.videoPid = video.videoPid;
  plan.pcrPid = rec.measured ? rec.m.pcrPid : -1;
  return plan;
}

}  // namespace

RecordingPtr make_recording_state(const Roots& roots, const FileKey& key) {
  auto state = std::make_shared<RecordingState>();
  if (key.root >= roots.size()) return state;
  RawFile file;
  if (roots.OpenFile({&roots.at(key.root), key.root, key.rest}, file)) return state;
  QuietSink quiet;
  WorkEngine engine;
  if (OpenRecording(handle_path(file.get()), kMethodAutomatic, quiet, state->rec) || !engine.ok()) return state;
  state->analysis = AnalyseProgrammes(engine, state->rec, 0);
  state->opened = true;
  return state;
}

ApiError open_recording(Api::State& state, const std::string& path, OpenedRecording& out) {
  if (ApiError e = state.roots.Locate(path, false, out.where)) return e;
  if (ApiError e = state.roots.OpenFile(out.where, out.file)) return e;
  double size = 0;
  int64_t modified = 0;
  if (!handle_stat(out.file.get(), size, modified)) return {500, "failed", path + " cannot be looked at"};
  out.key = {out.where.rootIndex, out.where.rest, size, modified};
  if (!state.recordings.Find(out.key, out.state)) {
    out.state = make_recording_state(state.roots, out.key);
    state.recordings.Put(out.key, out.state);
  }
  if (!out.state->opened) return {422, "unreadable", path + " cannot be read as a recording"};
  out.rec = out.state->rec;
  out.rec.path = handle_path(out.file.get());
  return {};
}

ApiError command_api_error(const CommandError& error, const char* fallback) {
  const std::string message = error.message.empty() ? fallback : error.message;
  switch (error.outcome) {
    case Outcome::BadRequest: return {400, "bad_request", message};
    case Outcome::Refused: return {400, "refused", message};
    case Outcome::InputError: return {422, "input_error", message};
    case Outcome::OutputError: return {409, "output_error", message};
    case Outcome::Stopped: return {409, "stopped", message};
    default: return {500, "failed", message};
  }
}

ApiError position_param(const std::string& text, const char* name, const Recording& rec, int32_t& packet) {
  Position position;
  if (!parse_position(text, position))
    return bad_request("bad_position", std::string(name) + " must be a time (hh:mm:ss.sss) or a packet (p:HEX): " + text.substr(0, 64));
  packet = rec.ToPacket(position);
  return {};
}

std::string time_text(int32_t ms) {
  char buffer[32];
  return ms_to_text(ms, buffer);
}

void answer_running(PolledAsk ask, int percent, HttpResponse& response) {
  if (ask == PolledAsk::Busy)
    return Api::Fail({503, "busy", "too many long reads run already; ask again when one has ended"}, response);
  answer_json({{"state", "running"}, {"percent", percent}}, response, 202);
}

void HandleInfo(Api::State& state, const HttpRequest& request, HttpResponse& response) {
  std::string path;
  OpenedRecording opened;
  if (ApiError e = text_param(request, "path", path)) return Api::Fail(e, response);
  if (ApiError e = open_recording(state, path, opened)) return Api::Fail(e, response);
  Json info = InfoJson(path, opened.rec, 0, opened.state->analysis.structure.programmes);
  // The key pictures of the first video are counted by a read of the whole recording, in the
  // background.
  CommandError ignored;
  const VideoEntry* video = programme_video(opened.state->analysis, 0, "", ignored);
  FileKey key = opened.key;
  key.programme = video ? video->ordinal : 0;
  ScanPtr scan;
  if (video && state.scans.Get(key, scan) && scan->outcome == Outcome::Done)
    info["keyPictures"] = scan->headers.size();
  else
    info["keyPictures"] = nullptr;
  answer_json(info, response);
}

void HandleScan(Api::State& state, const HttpRequest& request, HttpResponse& response) {
  std::string path;
  long programme = 0;
  OpenedRecording opened;
  if (ApiError e = text_param(request, "path", path)) return Api::Fail(e, response);
  if (ApiError e = int_param(request, "programme", 0, 255, 0, programme)) return Api::Fail(e, response);
  if (ApiError e = open_recording(state, path, opened)) return Api::Fail(e, response);
  CommandError error;
  const VideoEntry* video = programme_video(opened.state->analysis, int(programme), "", error);
  if (!video) return Api::Fail(command_api_error(error, "the recording holds no video"), response);
  FileKey key = opened.key;
  key.programme = video->ordinal;
  if (request.method == "DELETE") {
    const bool running = state.scanWork.Stop(key);
    return answer_json({{"state", running ? "stopped" : "idle"}}, response);
  }
  const ScanPlan plan = scan_plan(opened.rec, *video);
  ScanPtr scan;
  if (state.scans.Find(key, scan)) {
    if (scan->outcome != Outcome::Done) return Api::Fail(command_api_error(scan->error, "the recording cannot be read"), response);
    return answer_json(ScanJson(path, plan, *scan), response);
  }
  // The read holds the recording open (plan.rec names the open file) until it ends.
  auto file = std::make_shared<RawFile>(std::move(opened.file));
  auto work = [file, plan](const PercentCallback& progress, const std::atomic<bool>* stop) {
    (void)file;   // kept open until the read ends
    return run_scan(plan, progress, stop);
  };
  Api::State* shared = &state;
  int percent = 0;
  const PolledAsk ask = state.scanWork.Start(key, work, [shared](const FileKey& k, ScanPtr s) { shared->scans.Put(k, s); }, percent);
  answer_running(ask, percent, response);
}

ScanPtr make_scan(const Roots& roots, const FileKey& key) {
  FileKey base = key;
  base.programme = 0;
  const RecordingPtr state = make_recording_state(roots, base);
  RawFile file;
  CommandError error;
  const VideoEntry* video = state->opened ? programme_video(state->analysis, key.programme, "", error) : nullptr;
  if (!video || roots.OpenFile({&roots.at(key.root), key.root, key.rest}, file)) {
    auto failed = std::make_shared<ScanResult>();
    failed->outcome = Outcome::InputError;
    failed->error = error;
    return failed;
  }
  Recording rec = state->rec;
  rec.path = handle_path(file.get());
  return run_scan(scan_plan(rec, *video), {}, nullptr);
}
