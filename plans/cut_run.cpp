// Running a cut plan (see cut_plan.h): each stretch through the demux engine in the order of the
// recording, progress by packets over the whole plan, the outputs measured at the end.
#include <algorithm>

#include "common/path.h"
#include "common/ts_packet.h"
#include "core/control_files.h"
#include "demux/work_files.h"
#include "plans/cut_plan.h"

namespace {

// Why a run that did not complete failed, in kerf's words (the engine's own messages are the
// window program's).
CommandError failure_of(const DemuxResult& result, const CutPlan& plan, const Stretch& s) {
  const bool control = !plan.controlFile.empty();
  if (result.clashingOutput != -1) {
    if (result.clashingOutput == kInformationClash || result.clashesWith == kClashInput)
      return command_error(Outcome::OutputError, "an output of the control file is the input file; nothing was written");
    return command_error(Outcome::OutputError, "two outputs of the control file are one file; nothing was written");
  }
  if (result.uncreatedOutput >= 0)
    return command_error(Outcome::OutputError, "cannot create the output file%s", control ? "s" : "");
  const char* input = plan.rec.path.c_str();
  const char* kept = "; the output keeps what was written before it";
  switch (result.failure) {
    case DemuxFailure::CannotOpenControl:
      return command_error(Outcome::InputError, "cannot read the control file %s", plan.controlFile.c_str());
    case DemuxFailure::BadControlLine:
      return command_error(Outcome::InputError, "line %d of the control file %s is not one the cut reads",
                           result.badControlLine, plan.controlFile.c_str());
    case DemuxFailure::CannotOpenInput: return command_error(Outcome::InputError, "cannot open %s", input);
    case DemuxFailure::Seek:
      return command_error(Outcome::InputError, "cannot move to packet %08X of %s", unsigned(s.first), input);
    case DemuxFailure::SyncLossLimit:
      return command_error(Outcome::InputError, "too many packets without a sync byte in %s%s", input, kept);
    case DemuxFailure::NoResync:
      return command_error(Outcome::InputError, "the packet grid of %s was lost for good%s", input, kept);
    case DemuxFailure::ReadError: return command_error(Outcome::InputError, "reading %s failed%s", input, kept);
    case DemuxFailure::WriteError:
    case DemuxFailure::None: break;
  }
  switch (result.outcome) {
    case DemuxOutcome::UsageError: return command_error(Outcome::Refused, "the demux engine refused the job");
    case DemuxOutcome::InputError: return command_error(Outcome::InputError, "reading %s failed%s", input, kept);
    default:
      return command_error(Outcome::OutputError, "writing the output file%s failed (is the disk full?)%s",
                           control ? "s" : "", kept);
  }
}

// The control file of a stretch: the user's own, or one written in the work folder as the cutter
// writes it.
CommandError control_file_for(const CutPlan& plan, const Stretch& s, const WorkEngine& engine, std::string& control) {
  if (!plan.controlFile.empty()) {
    control = plan.controlFile;
    return {};
  }
  control = engine.folder() + kDemuxControlFileName;
  const ControlWrite written =
      plan.programme ? write_programme_control(plan.structurePath.c_str(), plan.programme, s.output.c_str(),
                                               control.c_str())
                     : write_all_control(control.c_str(), s.output.c_str());
  if (written != ControlWrite::Ok) return command_error(Outcome::OutputError, "cannot write the work folder");
  return {};
}

// Every file the stretches wrote, once, with its size.
std::vector<CutOutput> outputs_of(const std::vector<StretchResult>& stretches) {
  std::vector<CutOutput> outputs;
  for (const StretchResult& s : stretches)
    for (const std::string& path : s.demux.written) {
      if (std::any_of(outputs.begin(), outputs.end(), [&path](const CutOutput& o) { return o.path == path; }))
        continue;
      const double bytes = path_file_size(path.c_str());
      const int64_t whole = bytes < 0 ? 0 : int64_t(bytes);
      outputs.push_back(CutOutput{path, whole, whole / int64_t(kPacketSize)});
    }
  return outputs;
}

}  // namespace

CutResult RunCut(const CutPlan& plan, WorkEngine& engine, const std::atomic<bool>* stop, const CutEvents& events) {
  CutResult result;
  for (size_t index : plan.order) {
    result.stretches.emplace_back();
    result.stretches.back().stretch = plan.stretches[index];
  }
  double total = 0;
  for (const Stretch& s : plan.stretches) total += double(s.last) - s.first + 1;
  double done = 0;
  for (size_t i = 0; i < result.stretches.size() && result.outcome == Outcome::Done; ++i) {
    StretchResult& r = result.stretches[i];
    const Stretch& s = r.stretch;
    std::string control;
    if (CommandError error = control_file_for(plan, s, engine, control)) {
      result.outcome = error.outcome;
      result.error = error;
      break;
    }
    DemuxJob job;
    job.inputPath = plan.rec.path.c_str();
    job.startPacket = s.first;
    job.endPacket = s.last;
    job.request = DemuxRequest::Control;
    job.requestPath = control.c_str();
    job.keepNetworkEntry = plan.keepNetworkEntry;
    job.appendOutputs = plan.join && i > 0;
    job.stop = stop;
    job.giveWay = events.giveWay;
    // The stretch fills its share of the whole, by packets.
    const double size = double(s.last) - s.first + 1;
    const int from = total > 0 ? int(done * 100 / total) : 0;
    const int to = total > 0 ? int((done + size) * 100 / total) : 100;
    done += size;
    const PercentCallback progress = [&events, &s, from, to](int percent) {
      if (!events.progress) return;
      const int p = percent < 0 ? 0 : percent > 100 ? 100 : percent;
      events.progress(CutProgress{s.number, p, from + p * (to - from) / 100});
    };
    r.demux = engine.Run(job, progress);
    r.ran = true;
    if (!demux_succeeded(r.demux)) {
      result.error = failure_of(r.demux, plan, s);
      result.outcome = result.error.outcome;
    } else if (r.demux.outcome == DemuxOutcome::Stopped) {
      result.outcome = Outcome::Stopped;
    }
    if (events.stretchDone) events.stretchDone(r);
  }
  result.outputs = outputs_of(result.stretches);
  return result;
}
