// Cuts: POST /api/cuts plans a cut (so every mistake is answered at once) and queues its run;
// GET /api/cuts/ID tells how it stands, /events tells it as server-sent events, DELETE stops it.
// Outputs are written under temporary names in their folder and renamed when complete, so a
// stopped or failed cut leaves nothing under the names asked for.
#include <memory>

#include "plans/cut_plan.h"
#include "plans/plan_json.h"
#include "serve/api_state.h"
#include "serve/guard.h"
#include "serve/request_body.h"

namespace {

const char kPartPrefix[] = ".kerf-part-";
// Cuts of one root waiting or running; more are refused until some end.
constexpr size_t kMaxPendingCuts = 32;
// Time between two keep-alive comments of an event stream, so a gone client is noticed.
constexpr int kEventIdleMs = 15000;

// Everything a queued cut needs, kept alive until it ends.
struct CutJob {
  std::string path;                 // the recording as the request named it
  RawFile input;                    // held open: the cut reads this file, whatever its name becomes
  RawFile folder;                   // the outputs' folder
  std::string outputFolder;         // ROOT/... of that folder, for the answer
  std::string partPattern;          // the temporary names, "%d" for the stretch's number
  std::vector<std::string> parts;   // temporary names, created empty before the plan
  std::vector<std::string> finals;  // the names asked for, in the same order
  bool overwrite = false;
  double bytesNeeded = 0;
  const std::atomic<int>* picturesMaking = nullptr;   // the run gives way while it is above zero
  std::unique_ptr<WorkEngine> engine;
  CutPlan plan;

  ~CutJob() {
    for (const std::string& part : parts) folder_remove(folder.get(), part);
  }
};

std::string numbered(const std::string& pattern, size_t number) {
  const size_t at = pattern.find("%d");
  return at == std::string::npos ? pattern : pattern.substr(0, at) + std::to_string(number) + pattern.substr(at + 2);
}

// The output's folder opened beneath its root and the final names checked against the input.
ApiError prepare_outputs(Api::State& state, const CutBody& body, CutJob& job, Located& out) {
  if (ApiError e = state.roots.Locate(body.output, false, out)) return e;
  const size_t slash = out.rest.rfind('/');
  const std::string name = slash == std::string::npos ? out.rest : out.rest.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? "" : out.rest.substr(0, slash);
  if (name.empty()) return bad_request("bad_output", "output must name a file: ROOT/folder/name.ts");
  if (name.rfind(kPartPrefix, 0) == 0) return bad_request("bad_output", "output names beginning with .kerf-part- are the server's own");
  const size_t marks = name.find("%d") == std::string::npos ? 0 : 1 + (name.find("%d", name.find("%d") + 2) != std::string::npos);
  const bool several = body.ranges.size() > 1 && !body.join;
  if (several && marks != 1) return bad_request("bad_output", "several stretches cut apart need one %d in the output's name (it becomes 1, 2, ...)");
  if (!several && marks) return bad_request("bad_output", "the cut writes one file: its name holds no %d");
  if (ApiError e = state.roots.OpenFolder(out, folder, job.folder)) return e;
  job.outputFolder = out.root->name + (folder.empty() ? "" : "/" + folder);
  job.partPattern = kPartPrefix + new_token().substr(0, 16) + (several ? "-%d" : "") + ".ts";
  for (size_t n = 1; n <= (several ? body.ranges.size() : 1); ++n) {
    const std::string final = several ? numbered(name, n) : name;
    if (folder_entry_is(job.folder.get(), final, job.input.get()))
      return {409, "output_is_input", job.outputFolder + "/" + final + " is the recording itself"};
    if (!body.overwrite && folder_has_entry(job.folder.get(), final))
      return {409, "exists", job.outputFolder + "/" + final + " exists already (ask to overwrite it)"};
    job.finals.push_back(final);
    const std::string part = numbered(job.partPattern, n);
    BeneathError error = BeneathError::None;
    RawFile made(folder_create_new(job.folder.get(), part, error));
    if (!made.ok()) return beneath_api_error(error, job.outputFolder + "/" + part);
    job.parts.push_back(part);
  }
  return {};
}

ApiError make_request(const CutBody& body, const CutJob& job, CutRequest& request) {
  for (const CutBodyRange& r : body.ranges) {
    CutRange range;
    Position p;
    if (r.start && !parse_position(*r.start, p)) return bad_request("bad_position", "a range's start is no position: " + r.start->substr(0, 64));
    if (r.start) range.start = p;
    if (r.end && !parse_position(*r.end, p)) return bad_request("bad_position", "a range's end is no position: " + r.end->substr(0, 64));
    if (r.end) range.end = p;
    request.ranges.push_back(range);
  }
  request.numbered = body.ranges.size() > 1;
  request.output = handle_path(job.folder.get()) + "/" + job.partPattern;
  request.programme = body.programme;
  request.serviceId = body.serviceId;
  request.snap = body.snap;
  request.join = body.join;
  request.replace = true;   // the temporary files were made empty for it
  return {};
}

// What kerf cut --json gives for the plan, with the paths as the API names them, each stretch's
// snapping and notes, and the outputs as published.
Json outcome_json(const CutJob& job, const CutResult& result, const ApiError& error) {
  // The engine writes the parts: their paths are shown under the final names.
  const PathText paths = [&job](const std::string& written) {
    const std::string name = written.substr(written.rfind('/') + 1);
    for (size_t i = 0; i < job.finals.size(); ++i)
      if (name == numbered(job.partPattern, i + 1)) return job.outputFolder + "/" + job.finals[i];
    return job.outputFolder + "/" + name;
  };
  Json out = CutJson(job.path, job.plan, result, paths);
  for (size_t i = 0; i < result.stretches.size() && i < out["stretches"].size(); ++i) {
    out["stretches"][i]["snapped"] = result.stretches[i].stretch.snapped;
    out["stretches"][i]["notes"] = result.stretches[i].stretch.notes;
  }
  // The files are measured here: the engine lists only files it created, and the parts were
  // created empty before it ran. Once published they carry their final names.
  Json outputs = Json::array();
  for (size_t i = 0; i < job.finals.size(); ++i) {
    const double bytes = folder_entry_size(job.folder.get(), job.parts.empty() ? job.finals[i] : job.parts[i]);
    if (bytes < 0 || !job.parts.empty()) continue;
    outputs.push_back({{"path", job.outputFolder + "/" + job.finals[i]}, {"bytes", int64_t(bytes)},
                       {"packets", int64_t(bytes) / 188}});
  }
  out["outputs"] = outputs;
  if (error) {
    out["message"] = error.message;
    out["code"] = error.code;
  }
  return out;
}

// Renames every part to its final name; on a failure the parts not yet renamed are removed.
ApiError publish(CutJob& job) {
  for (size_t i = 0; i < job.parts.size(); ++i) {
    if (folder_entry_is(job.folder.get(), job.finals[i], job.input.get()))
      return {409, "output_is_input", job.finals[i] + " has become the recording itself; nothing was replaced"};
    BeneathError error = BeneathError::None;
    if (!folder_rename(job.folder.get(), job.parts[i], job.finals[i], job.overwrite, error))
      return beneath_api_error(error, job.outputFolder + "/" + job.finals[i]);
    job.parts[i].clear();   // no longer ours to remove
  }
  job.parts.clear();
  return {};
}

JobEnd run_cut(CutJob& job, JobControl& control) {
  CutResult result;
  if (handle_free_bytes(job.folder.get()) >= 0 && handle_free_bytes(job.folder.get()) < job.bytesNeeded) {
    const ApiError e{507, "no_space", "the disk of " + job.outputFolder + " has too little free space for this cut"};
    return {JobState::Failed, json_compact(outcome_json(job, result, e))};
  }
  // A file this cut replaces stays whole until the end, but its cached pages would hold memory
  // that the new output needs meanwhile: they are let go first, as replacing it at once would.
  if (job.overwrite)
    for (const std::string& final : job.finals)
      if (!folder_entry_is(job.folder.get(), final, job.input.get())) folder_entry_drop_cache(job.folder.get(), final);
  CutEvents events;
  events.progress = [&](const CutProgress& p) { control.Progress(p.percent); };
  events.giveWay = job.picturesMaking;
  result = RunCut(job.plan, *job.engine, &control.stopFlag(), events);
  if (result.outcome == Outcome::Stopped)
    return {JobState::Stopped, json_compact(outcome_json(job, result, {409, "stopped", "the cut was stopped; nothing was kept"}))};
  if (result.outcome != Outcome::Done)
    return {JobState::Failed, json_compact(outcome_json(job, result, command_api_error(result.error, "the cut failed")))};
  control.Progress(100);
  if (ApiError e = publish(job)) return {JobState::Failed, json_compact(outcome_json(job, result, e))};
  return {JobState::Done, json_compact(outcome_json(job, result, {}))};
}

Json job_json(const JobView& view) {
  Json out = {{"id", view.id}, {"state", job_state_name(view.state)}, {"percent", view.percent},
              {"queuePosition", view.queuePosition}};
  Json outcome;
  std::string ignored;
  if (!view.outcome.empty() && json_parse(view.outcome, outcome, ignored)) out["outcome"] = outcome;
  return out;
}

bool ended(JobState s) { return s != JobState::Queued && s != JobState::Running; }

}  // namespace

void HandleCutStart(Api::State& state, const HttpRequest& request, HttpResponse& response) {
  CutBody body;
  if (ApiError e = parse_cut_body(request.body, body)) return Api::Fail(e, response);
  OpenedRecording opened;
  if (ApiError e = open_recording(state, body.path, opened)) return Api::Fail(e, response);
  auto job = std::make_shared<CutJob>();
  job->path = body.path;
  job->overwrite = body.overwrite;
  job->picturesMaking = &state.picturesMaking;
  job->input = std::move(opened.file);
  opened.rec.path = handle_path(job->input.get());
  Located out;
  if (ApiError e = prepare_outputs(state, body, *job, out)) return Api::Fail(e, response);
  if (state.jobs.Pending(out.rootIndex) >= kMaxPendingCuts)
    return Api::Fail({503, "busy", "too many cuts are waiting; try again when some have ended"}, response);
  CutRequest cut;
  if (ApiError e = make_request(body, *job, cut)) return Api::Fail(e, response);
  if (CommandError e = CheckCutRequest(cut)) return Api::Fail(command_api_error(e, "the cut is malformed"), response);
  job->engine = std::make_unique<WorkEngine>();
  if (CommandError e = job->engine->Ready()) return Api::Fail(command_api_error(e, "no work folder"), response);
  if (CommandError e = PlanCut(cut, opened.rec, *job->engine, job->plan))
    return Api::Fail(command_api_error(e, "the cut cannot be planned"), response);
  for (const Stretch& s : job->plan.stretches) job->bytesNeeded += (double(s.last) - s.first + 1) * 188;
  const double free = handle_free_bytes(job->folder.get());
  if (free >= 0 && free < job->bytesNeeded)
    return Api::Fail({507, "no_space", "the disk of " + job->outputFolder + " has too little free space for this cut"}, response);
  const std::string id = state.jobs.Submit(out.rootIndex, [job](JobControl& control) { return run_cut(*job, control); });
  JobView view;
  state.jobs.View(id, view);
  Json answer = job_json(view);
  answer["url"] = "/api/cuts/" + id;
  answer_json(answer, response, 202);
}

void HandleCutJob(Api::State& state, const HttpRequest& request, HttpResponse& response) {
  const std::string rest = request.path.substr(std::string("/api/cuts/").size());
  const bool events = rest.size() > 7 && rest.compare(rest.size() - 7, 7, "/events") == 0;
  const std::string id = events ? rest.substr(0, rest.size() - 7) : rest;
  JobView view;
  if (id.empty() || !state.jobs.View(id, view)) return Api::Fail({404, "no_such_cut", "there is no cut " + id}, response);
  if (request.method == "DELETE") {
    state.jobs.Stop(id);
    state.jobs.View(id, view);
    return answer_json(job_json(view), response);
  }
  if (request.method != "GET") return Api::Fail({405, "method_not_allowed", request.method + " is not answered here"}, response);
  if (!events) return answer_json(job_json(view), response);
  response.contentType = "text/event-stream";
  auto seen = std::make_shared<uint64_t>(0);
  auto done = std::make_shared<bool>(false);
  Api::State* shared = &state;
  response.stream = [shared, id, seen, done](const HttpWrite& write) {
    if (*done) return false;
    JobView now;
    if (!shared->jobs.WaitChange(id, *seen, kEventIdleMs, now)) return false;
    if (now.version == *seen) return write(": still here\n\n");
    *seen = now.version;
    *done = ended(now.state);
    return write("event: " + std::string(*done ? "end" : "state") + "\ndata: " + json_compact(job_json(now)) + "\n\n");
  };
}
