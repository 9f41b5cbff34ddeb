// A cut as a plain value: the request a front end builds (stretches as positions, outputs,
// programme, snap), the plan made from it against a measured recording (stretches as packets, in
// the order of the file, moved to sequence headers when asked, outputs checked), and the run of
// that plan with its progress, its stop flag and its typed result. Nothing here prints.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "demux/demux_engine.h"
#include "plans/outcome.h"
#include "plans/recording.h"
#include "plans/work_engine.h"

// One stretch asked for; an absent side is the beginning or the end of the recording.
struct CutRange {
  std::optional<Position> start, end;
};

struct CutRequest {
  std::vector<CutRange> ranges;    // in the order given: stretch n is ranges[n - 1]; at least one
  // The ranges were given as numbered stretches: messages name each by its number, and a "%d" in
  // output becomes the number unless the stretches are joined.
  bool numbered = false;
  std::string output;              // the output file (or pattern, see numbered); empty with controlFile
  std::string controlFile;         // a control file (DEMUX.cfg format) naming the outputs and PIDs
  int programme = 0;               // ordinal from 1 in the programme list; 0: the whole recording
  int serviceId = -1;              // instead of programme: the programme with this service id
  std::optional<Position> listAt;  // where the programmes are looked for (absent: packet 0)
  bool snap = false;               // move each stretch to the sequence headers of the programme's video
  bool join = false;               // every stretch into output, in the order of the recording
  bool keepNetworkEntry = false;   // the one-programme PAT keeps the network PID entry
  bool replace = false;            // an existing output may be replaced (never the recording)
};

// The request's own consistency, before any file is looked at: a BadRequest or nothing.
CommandError CheckCutRequest(const CutRequest& request);

struct Stretch {
  int number = 1;                      // in the order given
  int32_t askedFirst = 0, askedLast = 0;
  int32_t first = 0, last = 0;         // packets, the end included
  std::string output;                  // empty with a control file
  bool snapped = false;                // first and last were moved to sequence headers
  std::vector<std::string> notes;      // what planning it found worth saying (ASCII)
};

struct CutPlan {
  Recording rec;
  std::vector<Stretch> stretches;      // in the order given
  std::vector<size_t> order;           // indices of stretches in the order of the recording
  std::string controlFile;             // the user's control file, or empty
  std::string structurePath;           // the analysis's information file (a programme cut)
  int programme = 0;                   // the ordinal cut, 0 for the whole recording
  int32_t listAt = 0;
  int32_t videoPid = -1;               // the video whose sequence headers the snap used
  bool snap = false, join = false, keepNetworkEntry = false;
};

// Plans request over rec with engine's work folder (which the run uses again). On failure the
// plan holds what was worked out before it (stretches already snapped say so).
CommandError PlanCut(const CutRequest& request, const Recording& rec, WorkEngine& engine, CutPlan& plan);

struct CutProgress {
  int stretch = 0;          // the number of the stretch being cut
  int stretchPercent = 0;   // of that stretch
  int percent = 0;          // of the whole plan, by packets
};

struct StretchResult {
  Stretch stretch;
  bool ran = false;
  DemuxResult demux;        // the engine's result
};

struct CutOutput {
  std::string path;
  int64_t bytes = 0;
  int64_t packets = 0;      // whole packets in the file
};

struct CutResult {
  Outcome outcome = Outcome::Done;
  CommandError error;                   // why, when the cut failed
  std::vector<StretchResult> stretches; // every stretch of the plan, in the order of the recording
  std::vector<CutOutput> outputs;       // every file written, once, in the order first written
};

struct CutEvents {
  std::function<void(const CutProgress&)> progress;
  // After each stretch that ran, before the next starts.
  std::function<void(const StretchResult&)> stretchDone;
  // When given, the run pauses while the count is above zero (see DemuxJob::giveWay).
  const std::atomic<int>* giveWay = nullptr;
};

// Cuts the plan's stretches in one pass over the recording. stop (may be null) ends the run
// cleanly when set: the outputs keep what was written, the outcome is Stopped.
CutResult RunCut(const CutPlan& plan, WorkEngine& engine, const std::atomic<bool>* stop,
                 const CutEvents& events = {});
