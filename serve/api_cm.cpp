// GET /api/cm: the commercial finder's proposal for a programme of a recording (what `kerf cm
// --json` gives). The finder reads the whole recording, so the request is asked again until the
// answer is there: 202 with the per cent meanwhile (serve/polled_work.h). DELETE stops the read.
#include "serve/api_state.h"

#if KERF_SERVE_CM
#include "cm/cm_json.h"
#include "plans/plan_json.h"

void HandleCm(Api::State& state, const HttpRequest& request, HttpResponse& response) {
  std::string path;
  long programme = 0;
  OpenedRecording opened;
  if (ApiError e = text_param(request, "path", path)) return Api::Fail(e, response);
  if (ApiError e = int_param(request, "programme", 0, 255, 1, programme)) return Api::Fail(e, response);
  if (ApiError e = open_recording(state, path, opened)) return Api::Fail(e, response);
  CmRequest cm;
  cm.path = opened.rec.path;   // the open file
  cm.programme = programme == 0 ? 1 : int(programme);
  if (size_t(cm.programme) > opened.state->analysis.structure.programmes.size())
    return Api::Fail({422, "input_error", path + " has no programme " + std::to_string(cm.programme)}, response);
  FileKey key = opened.key;
  key.programme = cm.programme;
  if (request.method == "DELETE") {
    const bool running = state.cmWork.Stop(key);
    return answer_json({{"state", running ? "stopped" : "idle"}}, response);
  }
  CmPtr result;
  if (state.cms.Find(key, result)) {
    if (result->outcome != Outcome::Done) return Api::Fail(command_api_error(result->error, "the recording cannot be read"), response);
    return answer_json(CmJson(path, cm, *result, outcome_status(result->outcome)), response);
  }
  // The read holds the recording open (cm.path names the open file) until it ends.
  auto file = std::make_shared<RawFile>(std::move(opened.file));
  auto work = [file, cm](const PercentCallback& progress, const std::atomic<bool>* stop) {
    (void)file;   // kept open until the read ends
    return CmPtr(std::make_shared<const CmResult>(RunCm(cm, progress, stop)));
  };
  Api::State* shared = &state;
  int percent = 0;
  const PolledAsk ask = state.cmWork.Start(key, work, [shared](const FileKey& k, CmPtr r) { shared->cms.Put(k, r); }, percent);
  answer_running(ask, percent, response);
}

#else

void HandleCm(Api::State&, const HttpRequest&, HttpResponse& response) {
  Api::Fail({501, "not_built", "this kerf was built without the commercial finder (no audio library)"}, response);
}

#endif
