// What the API's handlers share: the roots, the guard's settings, the job queue and the caches.
// Private to serve/.
#pragma once
#include <nlohmann/json.hpp>

#include <memory>
#include <string>

#include "serve/api.h"
#include "serve/job_queue.h"
#include "serve/measure_cache.h"

using Json = nlohmann::json;

struct Api::State {
  State(const Roots& r, const GuardConfig& g, int jobsPerRoot);

  const Roots& roots;
  GuardConfig guard;
  JobQueue jobs;
  MeasureCache measurements;
};

// Answers with a JSON body and status 200.
void answer_json(const Json& body, HttpResponse& response);
// A query parameter as a whole number within min..max; fallback when absent. An error names the
// parameter.
ApiError int_param(const HttpRequest& request, const char* name, long min, long max, long fallback, long& value);
// The one parameter name as text (empty when absent); an error when it is given twice.
ApiError text_param(const HttpRequest& request, const char* name, std::string& value);

// The handlers, one per request (api_files.cpp and the files beside it).
void HandleFiles(Api::State& state, const HttpRequest& request, HttpResponse& response);
// The facts of a recording for the list (measuring it; the measurement cache calls this).
RecordingFacts measure_recording(const Roots& roots, const FileKey& key);
