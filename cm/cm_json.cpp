// The commercial finder's proposal as JSON (see cm_json.h). Fields are set in the order they are
// printed.
#include "cm/cm_json.h"

namespace {

const char* kind_word(CmStretchKind kind) {
  switch (kind) {
    case CmStretchKind::Programme: return "programme";
    case CmStretchKind::Break: return "break";
    case CmStretchKind::Outside: return "outside";
  }
  return "";
}

Json CmStretchJson(const CmStretch& s) {
  return Json{{"kind", kind_word(s.kind)},
              {"startMs", int64_t(s.start.ms)},
              {"endMs", int64_t(s.end.ms)},
              {"start", clock_text(s.start.ms)},
              {"end", clock_text(s.end.ms)},
              {"lengthMs", int64_t(s.lengthMs())},
              {"firstPacket", int64_t(s.start.packet)},
              {"lastPacket", int64_t(s.end.packet - 1)},
              {"uncertainStart", s.uncertainStart},
              {"uncertainEnd", s.uncertainEnd},
              {"why", s.why}};
}

}  // namespace

Json CmJson(const std::string& file, const CmRequest& request, const CmResult& result, int status) {
  const CmScanResult& scan = result.scan;
  Json stretches = Json::array();
  for (const CmStretch& s : result.stretches) stretches.push_back(CmStretchJson(s));
  return Json{{"file", file},
              {"status", status},
              {"outcome", result.outcome == Outcome::Stopped ? "stopped" : "done"},
              {"programme", request.programme},
              {"serviceId", int(scan.serviceId)},
              {"videoPid", int(scan.videoPid)},
              {"audioPid", int(scan.audioPid)},
              {"lengthMs", int64_t(scan.findings.endMs)},
              {"silences", int64_t(scan.silences)},
              {"keyPictures", int64_t(scan.keyPictures)},
              {"decodedPictures", int64_t(scan.decodes)},
              {"stretches", stretches},
              {"ranges", programme_ranges(result.stretches)}};
}
