// Planning and running a scan (see scan_plan.h).
#include "plans/scan_plan.h"

#include <memory>

#include "common/raw_file.h"

int32_t pcr_ms(int64_t ticks) { return int32_t((ticks * 1000 + 13500000) / 27000000); }

CommandError PlanScan(const Recording& rec, int programme, int32_t listAt, WorkEngine& engine, ScanPlan& plan) {
  plan = ScanPlan{};
  plan.rec = rec;
  if (CommandError error = engine.Ready()) return error;
  const ProgrammeAnalysis analysis = AnalyseProgrammes(engine, rec, listAt);
  CommandError error;
  const VideoEntry* video = programme_video(analysis, programme, "", error);
  if (!video) return error;
  if (!RawFile(rec.path.c_str(), "rb").ok()) return command_error(Outcome::InputError, "cannot open %s", rec.path.c_str());
  plan.programme = video->ordinal;
  plan.videoPid = video->videoPid;
  plan.pcrPid = rec.measured ? rec.m.pcrPid : -1;
  return {};
}

ScanResult RunScan(const ScanPlan& plan, const PercentCallback& progress, const std::atomic<bool>* stop) {
  ScanResult result;
  RawFile file(plan.rec.path.c_str(), "rb");
  if (!file.ok()) {
    result.error = command_error(Outcome::InputError, "cannot open %s", plan.rec.path.c_str());
    result.outcome = Outcome::InputError;
    return result;
  }
  HeaderWalk walk;
  walk.videoPid = plan.videoPid;
  walk.pcrPid = plan.pcrPid;
  walk.found = [&result](const SequenceHeaderAt& at) {
    result.headers.push_back(at);
    return true;
  };
  const int32_t packets = plan.rec.packets;
  walk.progress = [&progress, packets, stop](int64_t packet) {
    if (progress) progress(packets > 0 ? int(packet * 100 / packets) : 100);
    return !(stop && stop->load());
  };
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kHeaderWalkBufferSize]);
  const HeaderWalkEnd end = walk_sequence_headers(file.get(), walk, buffer.get());
  switch (end) {
    case HeaderWalkEnd::Done:
      if (progress) progress(100);
      break;
    case HeaderWalkEnd::Ended:
      result.outcome = Outcome::Stopped;
      break;
    default:
      result.outcome = Outcome::InputError;
      result.error = command_error(Outcome::InputError, "%s after packet %08X",
                                   end == HeaderWalkEnd::SyncLossLimit ? "too many packets without a sync byte"
                                   : end == HeaderWalkEnd::NoResync    ? "the packet grid was lost for good"
                                                                       : "reading the recording failed",
                                   unsigned(result.headers.empty() ? 0 : result.headers.back().packet));
      break;
  }
  return result;
}
