// Opening a recording for a request (measurement and programme list cached), and the requests
// that describe one: GET /api/info and GET /api/scan.
#include <cstdio>

#include "common/cp932_text.h"
#include "common/timefmt.h"
#include "demux/psi/stream_kind.h"
#include "serve/api_state.h"

namespace {

struct QuietSink : MessageSink {
  bool Report(MessageKind, const char*) override { return true; }
};

ScanPtr run_scan(const Recording& rec, const ProgrammeAnalysis& analysis, int programme) {
  auto result = std::make_shared<ScanResult>();
  CommandError error;
  const VideoEntry* video = programme_video(analysis, programme, "", error);
  if (!video) {
    result->outcome = Outcome::InputError;
    result->error = error;
    return result;
  }
  ScanPlan plan;
  plan.rec = rec;
  plan.programme = video->ordinal;
  plan.videoPid = video->videoPid;
  plan.pcrPid = rec.measured ? rec.m.pcrPid : -1;
  *result = RunScan(plan, {}, nullptr);
  return result;
}

Json programmes_json(const ProgrammeStructure& structure) {
  Json list = Json::array();
  for (const Programme& p : structure.programmes) {
    Json pids = Json::array();
    for (const ProgrammePid& pid : p.pids)
      pids.push_back({{"pid", pid.pid}, {"class", cp932_to_utf8(pid.classText)}, {"codec", codec_name(pid.codec)}});
    list.push_back({{"ordinal", p.ordinal},
                    {"serviceId", p.serviceId},
                    {"name", p.eventName},
                    {"serviceName", p.serviceName},
                    {"providerName", p.providerName},
                    {"pids", pids}});
  }
  return list;
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

void HandleInfo(Api::State& state, const HttpRequest& request, HttpResponse& response) {
  std::string path;
  OpenedRecording opened;
  if (ApiError e = text_param(request, "path", path)) return Api::Fail(e, response);
  if (ApiError e = open_recording(state, path, opened)) return Api::Fail(e, response);
  const Recording& rec = opened.rec;
  char rateText[32];
  bitrate_to_text(rec.bitrate, rateText);
  Json info = {{"file", path}, {"size", rec.size}, {"packets", rec.packets}, {"measured", rec.measured},
               {"pcrPid", rec.m.pcrPid}, {"firstPcrMs", rec.m.startPcrMs}, {"lastPcrMs", rec.m.endPcrMs},
               {"rateEstimate", rec.m.rateEstimate}, {"method", int(rec.method) + 1}, {"totalMs", rec.m.totalMs},
               {"total", time_text(rec.m.totalMs)}, {"bitrate", rec.bitrate}, {"programmesAt", 0},
               {"programmes", programmes_json(opened.state->analysis.structure)}};
  // The key pictures are counted by a read of the whole recording, in the background.
  ScanPtr scan;
  if (state.scans.Get(opened.key, scan) && scan->outcome == Outcome::Done)
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
  FileKey key = opened.key;
  key.programme = int(programme);
  ScanPtr scan;
  if (!state.scans.Find(key, scan)) {
    scan = run_scan(opened.rec, opened.state->analysis, int(programme));
    state.scans.Put(key, scan);
  }
  if (scan->outcome != Outcome::Done) return Api::Fail(command_api_error(scan->error, "the recording cannot be read"), response);
  CommandError ignored;
  const VideoEntry* video = programme_video(opened.state->analysis, int(programme), "", ignored);
  Json headers = Json::array();
  for (const SequenceHeaderAt& h : scan->headers) {
    const int32_t ms = opened.rec.ToMs(int32_t(h.packet));
    Json item = {{"packet", h.packet}, {"ms", ms}, {"time", time_text(ms)}, {"pcr", nullptr}, {"pcrTime", nullptr}};
    if (h.pcrTicks >= 0) {
      item["pcr"] = h.pcrTicks;
      item["pcrTime"] = time_text(pcr_ms(h.pcrTicks));
    }
    headers.push_back(item);
  }
  answer_json({{"file", path}, {"status", 0}, {"outcome", "done"}, {"programme", video ? video->ordinal : 0},
               {"videoPid", video ? video->videoPid : 0}, {"pcrPid", opened.rec.measured ? opened.rec.m.pcrPid : -1},
               {"headers", headers}},
              response);
}

ScanPtr make_scan(const Roots& roots, const FileKey& key) {
  FileKey base = key;
  base.programme = 0;
  const RecordingPtr state = make_recording_state(roots, base);
  RawFile file;
  if (!state->opened || roots.OpenFile({&roots.at(key.root), key.root, key.rest}, file)) {
    auto failed = std::make_shared<ScanResult>();
    failed->outcome = Outcome::InputError;
    return failed;
  }
  Recording rec = state->rec;
  rec.path = handle_path(file.get());
  return run_scan(rec, state->analysis, key.programme);
}
