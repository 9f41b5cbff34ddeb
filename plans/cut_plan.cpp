// Planning a cut (see cut_plan.h): stretches as packets, outputs checked, the programme found,
// sequence headers looked up, overlaps refused.
#include "plans/cut_plan.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "common/path.h"
#include "common/raw_file.h"
#include "core/scan_window.h"
#include "mpeg2/sequence_headers.h"

namespace {

std::string numbered_name(const std::string& pattern, int number) {
  std::string name;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.compare(i, 2, "%d") == 0) {
      name += std::to_string(number);
      ++i;
    } else {
      name += pattern[i];
    }
  }
  return name;
}

// The stretches in the order given, as packets, each with its output.
CommandError plan_stretches(const CutRequest& request, CutPlan& plan) {
  const Recording& rec = plan.rec;
  for (const CutRange& range : request.ranges) {
    Stretch s;
    s.number = int(plan.stretches.size()) + 1;
    s.askedFirst = range.start ? rec.ToPacket(*range.start) : 0;
    s.askedLast = range.end ? rec.ToPacket(*range.end) : rec.packets;
    plan.stretches.push_back(s);
  }
  for (Stretch& s : plan.stretches) {
    s.first = s.askedFirst;
    s.last = s.askedLast;
    if (s.first > s.last) {
      if (!request.numbered)
        return command_error(Outcome::Refused, "the start (%08X) lies after the end (%08X)", unsigned(s.first),
                             unsigned(s.last));
      return command_error(Outcome::Refused, "stretch %d: the start (%08X) lies after the end (%08X)", s.number,
                           unsigned(s.first), unsigned(s.last));
    }
    if (request.controlFile.empty())
      s.output = !request.numbered || request.join ? request.output : numbered_name(request.output, s.number);
  }
  return {};
}

// Every output is a new file apart from the recording (replaced only when the request says so).
CommandError check_outputs(const CutRequest& request, const CutPlan& plan) {
  for (const Stretch& s : plan.stretches) {
    if (s.output.empty() || (s.number > 1 && request.join)) continue;
    const std::string& output = s.output;
    if (output.size() > kPathMax || output.find('"') != std::string::npos)
      return command_error(Outcome::BadRequest, "the output path is too long or holds a double quote");
    // However it is spelt (another case, "..", a link): replacing it would destroy the recording.
    if (output == plan.rec.path || path_same_file(output.c_str(), plan.rec.path.c_str()))
      return command_error(Outcome::OutputError,
                           "the output is the input file (%s); it is never replaced, not even with --force",
                           output.c_str());
    if (path_exists(output.c_str()) && !request.replace)
      return command_error(Outcome::OutputError, "%s exists (--force replaces it)", output.c_str());
  }
  return {};
}

// The programme cut (by ordinal or service id) checked against the analysis.
CommandError find_programme(const CutRequest& request, const ProgrammeAnalysis& analysis, CutPlan& plan) {
  const std::vector<Programme>& programmes = analysis.structure.programmes;
  plan.programme = request.programme;
  if (request.serviceId >= 0) {
    for (const Programme& p : programmes)
      if (p.serviceId == request.serviceId) {
        plan.programme = p.ordinal;
        break;
      }
    if (!plan.programme)
      return command_error(Outcome::InputError, "no programme with service id %04X in the %d packets from %08X",
                           unsigned(request.serviceId), int(analysis.packets), unsigned(plan.listAt));
  } else if (plan.programme > int(programmes.size())) {
    return command_error(Outcome::InputError, "no programme %d: the %d packets from %08X hold %d", plan.programme,
                         int(analysis.packets), unsigned(plan.listAt), int(programmes.size()));
  }
  return {};
}

const char* walk_failure(HeaderWalkEnd end) {
  switch (end) {
    case HeaderWalkEnd::SeekFailed: return "cannot position in the recording";
    case HeaderWalkEnd::SyncLossLimit: return "too many packets without a sync byte";
    case HeaderWalkEnd::NoResync: return "the packet grid was lost for good";
    case HeaderWalkEnd::ReadError: return "reading the recording failed";
    default: return "";
  }
}

CommandError walk_error(HeaderWalkEnd end) {
  return command_error(Outcome::InputError, "--snap: %s", walk_failure(end));
}

// The packet after which the stretch ends once moved: just before the next sequence header.
CommandError snap_end(RawHandle file, const Recording& rec, int32_t videoPid, uint8_t* buffer, Stretch& s,
                      int64_t& last) {
  last = s.last;
  if (s.last >= rec.packets - 1) return {};
  HeaderWalkEnd end = HeaderWalkEnd::Done;
  const int64_t next = sequence_header_after(file, videoPid, s.last, buffer, end);
  if (end != HeaderWalkEnd::Done) return walk_error(end);
  if (next >= 0)
    last = next - 1;
  else
    s.notes.push_back("stretch " + std::to_string(s.number) + ": no sequence header after the end; the end stays");
  return {};
}

// Moves the stretch to sequence headers of videoPid.
CommandError snap(const Recording& rec, int32_t videoPid, uint8_t* buffer, Stretch& s) {
  RawFile file(rec.path.c_str(), "rb");
  if (!file.ok()) return command_error(Outcome::InputError, "cannot open %s", rec.path.c_str());
  HeaderWalkEnd end = HeaderWalkEnd::Done;
  int64_t first = sequence_header_at_or_before(file.get(), videoPid, s.first, buffer, end);
  if (end == HeaderWalkEnd::Done && first < 0) {
    first = sequence_header_after(file.get(), videoPid, s.first, buffer, end);
    if (first >= 0)
      s.notes.push_back("stretch " + std::to_string(s.number) +
                        ": no sequence header at or before the start; it moves forward to the first");
  }
  if (end != HeaderWalkEnd::Done) return walk_error(end);
  if (first < 0)
    return command_error(Outcome::InputError, "--snap: the video PID %04X has no sequence header in the recording",
                         unsigned(videoPid));
  int64_t last = 0;
  if (CommandError error = snap_end(file.get(), rec, videoPid, buffer, s, last)) return error;
  if (first > last)
    return command_error(Outcome::Refused, "stretch %d (%08X..%08X) holds no sequence header of the video PID %04X",
                         s.number, unsigned(s.first), unsigned(s.last), unsigned(videoPid));
  s.first = int32_t(first);
  s.last = int32_t(last > INT32_MAX ? INT32_MAX : last);
  s.snapped = true;
  return {};
}

CommandError snap_stretches(const ProgrammeAnalysis& analysis, CutPlan& plan) {
  CommandError error;
  const VideoEntry* video = programme_video(analysis, plan.programme, "--snap: ", error);
  if (!video) return error;
  plan.videoPid = video->videoPid;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kHeaderWalkBufferSize]);
  for (Stretch& s : plan.stretches)
    if (CommandError failed = snap(plan.rec, plan.videoPid, buffer.get(), s)) return failed;
  return {};
}

// The stretches in the order of the recording, none overlapping: one pass over the input.
CommandError order_stretches(CutPlan& plan) {
  for (size_t i = 0; i < plan.stretches.size(); ++i) plan.order.push_back(i);
  std::stable_sort(plan.order.begin(), plan.order.end(),
                   [&plan](size_t a, size_t b) { return plan.stretches[a].first < plan.stretches[b].first; });
  for (size_t i = 1; i < plan.order.size(); ++i) {
    const Stretch& a = plan.stretches[plan.order[i - 1]];
    const Stretch& b = plan.stretches[plan.order[i]];
    if (b.first <= a.last)
      return command_error(Outcome::Refused, "stretches %d (%08X..%08X) and %d (%08X..%08X) overlap%s", a.number,
                           unsigned(a.first), unsigned(a.last), b.number, unsigned(b.first), unsigned(b.last),
                           plan.snap ? " once moved to sequence headers" : "");
  }
  return {};
}

}  // namespace

CommandError CheckCutRequest(const CutRequest& request) {
  const bool control = !request.controlFile.empty();
  if ((request.programme > 0) + (request.serviceId >= 0) + control > 1)
    return command_error(Outcome::BadRequest, "--programme, --service and --control exclude each other");
  if (control == !request.output.empty())
    return command_error(Outcome::BadRequest, control ? "--control names the outputs itself; leave out -o"
                                                      : "-o OUT is required");
  if (control && (request.ranges.size() > 1 || request.join))
    return command_error(Outcome::BadRequest, "--control takes one stretch");
  if (request.ranges.size() > 1 && !request.join && request.output.find("%d") == std::string::npos)
    return command_error(Outcome::BadRequest, "several stretches need %%d in OUT (or --join)");
  if (request.ranges.empty()) return command_error(Outcome::BadRequest, "no stretch to cut");
  if (request.programme < 0) return command_error(Outcome::BadRequest, "--programme takes an ordinal from 1");
  if (request.serviceId != -1 && (request.serviceId < 1 || request.serviceId > 0xFFFF))
    return command_error(Outcome::BadRequest, "--service takes a hexadecimal id");
  return {};
}

CommandError PlanCut(const CutRequest& request, const Recording& rec, WorkEngine& engine, CutPlan& plan) {
  plan = CutPlan{};
  plan.rec = rec;
  plan.controlFile = request.controlFile;
  plan.listAt = request.listAt ? rec.ToPacket(*request.listAt) : 0;
  plan.snap = request.snap;
  plan.join = request.join;
  plan.keepNetworkEntry = request.keepNetworkEntry;
  if (CommandError error = CheckCutRequest(request)) return error;
  if (CommandError error = plan_stretches(request, plan)) return error;
  if (CommandError error = check_outputs(request, plan)) return error;
  if (CommandError error = engine.Ready()) return error;
  // The programmes, when a programme is cut or the video is needed for the snap.
  ProgrammeAnalysis analysis;
  if (request.programme || request.serviceId >= 0 || request.snap) {
    analysis = AnalyseProgrammes(engine, rec, plan.listAt);
    plan.structurePath = analysis.structurePath;
  }
  if (CommandError error = find_programme(request, analysis, plan)) return error;
  if (request.snap)
    if (CommandError error = snap_stretches(analysis, plan)) return error;
  if (CommandError error = order_stretches(plan)) return error;
  if (!plan.controlFile.empty() && !RawFile(plan.controlFile.c_str(), "rb").ok())
    return command_error(Outcome::InputError, "cannot read the control file %s", plan.controlFile.c_str());
  return {};
}
