// What the API's handlers share: the roots, the guard's settings, the job queue, the caches and
// the decoding slots. Private to serve/.
#pragma once
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/json.h"
#include "plans/frame_plan.h"
#include "plans/scan_plan.h"
#include "plans/work_engine.h"
#include "serve/api.h"
#include "serve/background_cache.h"
#include "serve/job_queue.h"
#include "serve/polled_work.h"
#if KERF_SERVE_CM
#include "cm/cm_plan.h"
#endif

// A recording measured and its programmes listed (from packet 0), as the cache keeps it.
struct RecordingState {
  Recording rec;                  // rec.path names nothing: each use opens the file again
  ProgrammeAnalysis analysis;
  bool opened = false;            // false: the file could not be opened or measured
};
using RecordingPtr = std::shared_ptr<const RecordingState>;
using ScanPtr = std::shared_ptr<const ScanResult>;
#if KERF_SERVE_CM
using CmPtr = std::shared_ptr<const CmResult>;
#endif

// The decoders pictures are decoded with, each kept from picture to picture (a decoder holds
// frame stores of tens of MiB). Two decode at once: a small server has two cores; the other
// requests wait their turn.
class FramePool {
 public:
  static constexpr size_t kFrames = 2;
  FramePool() {
    for (DecodedFrame& f : frames_) free_.push_back(&f);
  }
  DecodedFrame* Acquire() {
    std::unique_lock<std::mutex> lock(mutex_);
    freed_.wait(lock, [this] { return !free_.empty(); });
    DecodedFrame* frame = free_.back();
    free_.pop_back();
    return frame;
  }
  void Release(DecodedFrame* frame) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      free_.push_back(frame);
    }
    freed_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  DecodedFrame frames_[kFrames];
  std::vector<DecodedFrame*> free_;
};

struct Api::State {
  State(const Roots& r, const GuardConfig& g, int jobsPerRoot);

  const Roots& roots;
  GuardConfig guard;
  FramePool frames;
  // Pictures being made now: cuts pause while it is above zero (a person waits for the pictures).
  std::atomic<int> picturesMaking{0};
  BackgroundCache<RecordingPtr> recordings;   // programme 0 of the key
  BackgroundCache<ScanPtr> scans;
  BackgroundCache<std::shared_ptr<const std::string>> pictures;   // JPEG files by position and width
#if KERF_SERVE_CM
  BackgroundCache<CmPtr> cms;                 // the commercial finder's proposals
  PolledWork<CmPtr> cmWork;
#endif
  PolledWork<ScanPtr> scanWork;               // scans a client waits for (after the caches: they
                                              // end first, and their results go to the caches)
  JobQueue jobs;                              // last: its destructor waits for the running cuts
};

// A recording a request names, opened beneath its root for as long as the request needs it.
struct OpenedRecording {
  Located where;
  RawFile file;
  FileKey key;
  RecordingPtr state;
  Recording rec;   // state->rec naming the open file
};
// Opens the recording path names and finds its measurement (cached, or worked out now).
ApiError open_recording(Api::State& state, const std::string& path, OpenedRecording& out);
// Works out a recording's state (the caches call it).
RecordingPtr make_recording_state(const Roots& roots, const FileKey& key);
// A whole read of a recording for its key pictures (the scan cache calls it).
ScanPtr make_scan(const Roots& roots, const FileKey& key);
// A failed plan or run as an API error; fallback is the message when the plan gave none.
ApiError command_api_error(const CommandError& error, const char* fallback);
// A position text of kerf's syntax in rec as a packet number.
ApiError position_param(const std::string& text, const char* name, const Recording& rec, int32_t& packet);

// Answers a client waiting for a long read: 202 {"state":"running","percent"}, or 503 busy.
void answer_running(PolledAsk ask, int percent, HttpResponse& response);
// Answers with a JSON body and status 200.
void answer_json(const Json& body, HttpResponse& response, int status = 200);
// A query parameter as a whole number within min..max; fallback when absent. An error names the
// parameter.
ApiError int_param(const HttpRequest& request, const char* name, long min, long max, long fallback, long& value);
// The one parameter name as text (empty when absent); an error when it is given twice.
ApiError text_param(const HttpRequest& request, const char* name, std::string& value);
// A time as kerf shows it ("hh:mm:ss.sss").
std::string time_text(int32_t ms);
// Text for a query parameter's value.
std::string url_encode(const std::string& text);

// The handlers, one per request.
void HandleFiles(Api::State& state, const HttpRequest& request, HttpResponse& response);
void HandleInfo(Api::State& state, const HttpRequest& request, HttpResponse& response);
void HandleScan(Api::State& state, const HttpRequest& request, HttpResponse& response);
void HandleFrame(Api::State& state, const HttpRequest& request, HttpResponse& response);
void HandleCm(Api::State& state, const HttpRequest& request, HttpResponse& response);
void HandleTimeline(Api::State& state, const HttpRequest& request, HttpResponse& response);
void HandleCutStart(Api::State& state, const HttpRequest& request, HttpResponse& response);
// GET /api/cuts/ID, GET /api/cuts/ID/events, DELETE /api/cuts/ID.
void HandleCutJob(Api::State& state, const HttpRequest& request, HttpResponse& response);
