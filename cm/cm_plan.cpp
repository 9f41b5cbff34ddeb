// The commercial finder as one of kerf's plans (see cm_plan.h).
#include "cm/cm_plan.h"

#include <cstdio>

#include "demux/psi/stream_kind.h"

namespace {

class PercentProgress final : public CmScanProgress {
 public:
  explicit PercentProgress(const PercentCallback& callback) : callback_(callback) {}
  void OnProgress(int percent) override {
    if (callback_) callback_(percent);
  }

 private:
  const PercentCallback& callback_;
};

}  // namespace

CommandError CheckCmRequest(const CmRequest& request) {
  if (request.programme < 1) return command_error(Outcome::BadRequest, "--programme takes an ordinal from 1");
  if (request.path.empty()) return command_error(Outcome::BadRequest, "no recording named");
  return {};
}

CmResult RunCm(const CmRequest& request, const PercentCallback& progress, const std::atomic<bool>* stop) {
  CmResult result;
  PercentProgress percent(progress);
  CmScanRequest scan;
  scan.path = request.path;
  scan.programme = request.programme;
  scan.stop = stop;
  scan.progress = &percent;
  result.scan = CmScanRecording(scan);
  switch (result.scan.outcome) {
    case CmScanOutcome::Done: break;
    case CmScanOutcome::Stopped: result.outcome = Outcome::Stopped; break;
    case CmScanOutcome::UnknownAudio: {
      const char* codec = codec_name(result.scan.audioCodec);
      result.outcome = Outcome::InputError;
      result.error = command_error(Outcome::InputError, "%s: %s (%s%sstream type 0x%02X)", request.path.c_str(),
                                   cm_scan_outcome_text(result.scan.outcome), codec, *codec ? ", " : "",
                                   unsigned(result.scan.audioStreamType));
      return result;
    }
    case CmScanOutcome::UnreadVideo:
      // Said as kerf scan and kerf frame say it: the key pictures are decoded as the preview does.
      result.outcome = Outcome::InputError;
      result.error = unread_video_error((request.path + ": ").c_str(), request.programme, result.scan.videoPid,
                                        result.scan.videoCodec);
      return result;
    default:
      result.outcome = Outcome::InputError;
      result.error = command_error(Outcome::InputError, "%s: %s", request.path.c_str(),
                                   cm_scan_outcome_text(result.scan.outcome));
      return result;
  }
  if (progress) progress(100);
  result.stretches = plan_stretches(result.scan.findings);
  return result;
}

std::vector<std::string> programme_ranges(const std::vector<CmStretch>& stretches) {
  std::vector<std::string> lines;
  for (const CmStretch& s : stretches) {
    if (s.kind != CmStretchKind::Programme) continue;
    char line[64];
    std::snprintf(line, sizeof line, "p:%llX-p:%llX", static_cast<unsigned long long>(s.start.packet),
                  static_cast<unsigned long long>(s.end.packet - 1));
    lines.push_back(line);
  }
  return lines;
}
