// kerf's answers as JSON values (see plan_json.h). Fields are set in the order they are printed.
#include "plans/plan_json.h"

#include "common/timefmt.h"
#include "demux/psi/stream_kind.h"

namespace {

std::string time_text(int32_t ms) {
  char buffer[32];
  return ms_to_text(ms, buffer);
}

Json ProgrammeJson(const Programme& p) {
  Json pids = Json::array();
  for (const ProgrammePid& pid : p.pids)
    pids.push_back(Json{{"pid", pid.pid}, {"class", pid.classText}, {"codec", codec_name(pid.codec)}});
  return Json{{"ordinal", p.ordinal},
              {"serviceId", p.serviceId},
              {"name", p.eventName},
              {"serviceName", p.serviceName},
              {"providerName", p.providerName},
              {"pids", pids}};
}

Json HeaderJson(const Recording& rec, const SequenceHeaderAt& h) {
  const int32_t ms = rec.ToMs(int32_t(h.packet));
  Json header{{"packet", h.packet}, {"ms", ms}, {"time", time_text(ms)}};
  header["pcr"] = h.pcrTicks < 0 ? Json() : Json(h.pcrTicks);
  header["pcrTime"] = h.pcrTicks < 0 ? Json() : Json(time_text(pcr_ms(h.pcrTicks)));
  return header;
}

// How a stretch's run ended, in a word.
const char* outcome_word(const StretchResult& s) {
  if (!s.ran) return "not run";
  switch (s.demux.outcome) {
    case DemuxOutcome::Done: return "done";
    case DemuxOutcome::Stopped: return "stopped";
    case DemuxOutcome::InputError: return "input error";
    case DemuxOutcome::OutputError: return "output error";
    case DemuxOutcome::ControlFileError: return "control file error";
    case DemuxOutcome::UsageError: return "usage error";
  }
  return "";
}

Json StretchJson(const Recording& rec, const StretchResult& r, const PathText& paths) {
  const Stretch& s = r.stretch;
  const DemuxSummary& c = r.demux.summary;
  Json outputs = Json::array();
  for (const std::string& path : r.demux.written) outputs.push_back(paths(path));
  return Json{{"number", s.number},
              {"startPacket", s.first},
              {"endPacket", s.last},
              {"start", time_text(rec.ToMs(s.first))},
              {"end", time_text(rec.ToMs(s.last))},
              {"askedStartPacket", s.askedFirst},
              {"askedEndPacket", s.askedLast},
              {"outcome", outcome_word(r)},
              {"summary", Json{{"packets", c.packets},
                               {"pids", c.distinctPids},
                               {"descriptorKinds", c.descriptorKinds},
                               {"nullPackets", c.nullPackets},
                               {"syncLosses", c.syncLosses},
                               {"crcErrors", c.crcErrors}}},
              {"outputs", outputs}};
}

// The word of a cut's status.
const char* status_word(int status) {
  static const char* const kStatusWords[] = {"done", "", "usage", "input", "output", "stopped"};
  return status >= 0 && status <= 5 ? kStatusWords[status] : "";
}

}  // namespace

int outcome_status(Outcome outcome) {
  switch (outcome) {
    case Outcome::Done: return 0;
    case Outcome::BadRequest:
    case Outcome::Refused: return 2;
    case Outcome::InputError: return 3;
    case Outcome::OutputError: return 4;
    case Outcome::Stopped: return 5;
  }
  return 3;
}

Json InfoJson(const std::string& file, const Recording& rec, int32_t at, const std::vector<Programme>& programmes) {
  Json list = Json::array();
  for (const Programme& p : programmes) list.push_back(ProgrammeJson(p));
  return Json{{"file", file},
              {"size", int64_t(rec.size)},
              {"packets", rec.packets},
              {"measured", rec.measured},
              {"pcrPid", rec.m.pcrPid},
              {"firstPcrMs", rec.m.startPcrMs},
              {"lastPcrMs", rec.m.endPcrMs},
              {"rateEstimate", rec.m.rateEstimate},
              {"method", int(rec.method) + 1},
              {"totalMs", rec.m.totalMs},
              {"total", time_text(rec.m.totalMs)},
              {"bitrate", rec.bitrate},
              {"programmesAt", at},
              {"programmes", list}};
}

Json ScanJson(const std::string& file, const ScanPlan& plan, const ScanResult& result) {
  Json headers = Json::array();
  for (const SequenceHeaderAt& h : result.headers) headers.push_back(HeaderJson(plan.rec, h));
  const char* outcome = result.outcome == Outcome::Done      ? "done"
                        : result.outcome == Outcome::Stopped ? "stopped"
                                                             : "input error";
  return Json{{"file", file},
              {"status", outcome_status(result.outcome)},
              {"outcome", outcome},
              {"programme", plan.programme},
              {"videoPid", plan.videoPid},
              {"pcrPid", plan.pcrPid},
              {"headers", headers}};
}

Json CutJson(const std::string& file, const CutPlan& plan, const CutResult& result, const PathText& paths) {
  Json stretches = Json::array();
  for (const StretchResult& r : result.stretches) stretches.push_back(StretchJson(plan.rec, r, paths));
  Json outputs = Json::array();
  for (const CutOutput& o : result.outputs)
    outputs.push_back(Json{{"path", paths(o.path)}, {"bytes", o.bytes}, {"packets", o.packets}});
  const int status = outcome_status(result.outcome);
  return Json{{"file", file},
              {"status", status},
              {"outcome", status_word(status)},
              {"snap", plan.snap},
              {"stretches", stretches},
              {"outputs", outputs}};
}
