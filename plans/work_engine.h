// The demux engine run in-process in a private work folder (removed at the end), and the
// programme analysis over the scan window that every command starts from.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/programme_list.h"
#include "demux/demux_engine.h"
#include "plans/outcome.h"
#include "plans/recording.h"

// The per cent of a run done, as the engine's progress posts give it.
using PercentCallback = std::function<void(int percent)>;

class WorkEngine {
 public:
  WorkEngine();
  ~WorkEngine();
  WorkEngine(const WorkEngine&) = delete;
  WorkEngine& operator=(const WorkEngine&) = delete;

  // False when no work folder could be made; nothing else may be used then.
  bool ok() const { return !folder_.empty(); }
  // An OutputError when !ok().
  CommandError Ready() const;
  // The work folder, ending in the path separator.
  const std::string& folder() const { return folder_; }

  // Runs job in-process; its request path names a file of the work folder or the user's own.
  // progress (may be empty) hears the per cent of the run. The engine's own printed text is
  // dropped: the result says what happened.
  DemuxResult Run(const DemuxJob& job, const PercentCallback& progress = {});
  // The programme tables of the last run.
  const TableLayer& tables() const { return engine_->tables(); }

 private:
  std::string folder_;
  std::unique_ptr<class WorkEngineHost> host_;
  std::unique_ptr<DemuxEngine> engine_;
};

// What the programme analysis found from a packet on.
struct ProgrammeAnalysis {
  int32_t first = 0;               // the window's first packet
  int32_t packets = 0;             // the packets the window holds: fewer than 50001 near the end
  DemuxResult run;                 // the engine's run over the window
  std::string structurePath;       // the information file it wrote; empty when it wrote none
  // Read from that file (empty lists when there is none), each stream classed by its whole PMT
  // entry (stream_kind.h) rather than by the component tag alone, so that streams without ISDB's
  // tags have a class and a codec too.
  ProgrammeStructure structure;
};

// Runs the programme analysis over the scan window from first, as the cutter does; its
// programmes carry their names in UTF-8.
ProgrammeAnalysis AnalyseProgrammes(WorkEngine& engine, const Recording& rec, int32_t first);

// The codings the preview decoder (and the key-picture decoding of kerf cm) reads: MPEG video, and
// video whose coding the PMT does not say.
bool preview_reads(StreamCodec codec);
// An InputError saying that programme's video (pid) is of codec, which the preview decoder does not
// read; what names the asking option ("" for none).
CommandError unread_video_error(const char* what, int programme, uint16_t pid, StreamCodec codec);

// The first video entry of programme (0: of any programme) of analysis that the preview decoder
// reads (MPEG video, or video of no known codec), or null with error set (InputError) when the
// window holds none, saying so plainly where the video is of another coding; what names the
// asking option in the message ("" for none).
const VideoEntry* programme_video(const ProgrammeAnalysis& analysis, int programme, const char* what,
                                  CommandError& error);
