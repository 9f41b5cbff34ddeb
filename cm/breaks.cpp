// Chains of boundaries 15 s apart, the programme's extent from its present event, and the
// stretches of the recording between them.
#include "cm/breaks.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

// Whole units between two boundaries ms apart, 0 when the spacing is no whole number of units.
int units_between(int64_t ms) {
  const int64_t k = (ms + kUnitMs / 2) / kUnitMs;
  if (k < 1 || k > kMaxUnits) return 0;
  return std::llabs(ms - k * kUnitMs) <= kSpacingToleranceMs ? int(k) : 0;
}

bool eligible(const CmBoundary& b) { return b.scene() && b.silence.lengthMs() <= kMaxBoundarySilenceMs; }

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
  char text[512];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(text, sizeof text, pattern, args);
  va_end(args);
  return text;
}

// Longest chain ending at each boundary: count of boundaries and the one before.
struct Link {
  int count = 0;
  size_t prev = SIZE_MAX;
};

std::vector<Link> link_boundaries(const std::vector<CmBoundary>& b) {
  std::vector<Link> best(b.size());
  for (size_t i = 0; i < b.size(); ++i) {
    if (!eligible(b[i])) continue;
    best[i].count = 1;
    for (size_t j = i; j-- > 0;) {
      const int64_t spacing = b[i].ms() - b[j].ms();
      if (spacing > kMaxUnits * kUnitMs + kSpacingToleranceMs) break;
      if (best[j].count == 0) continue;
      const int k = units_between(spacing);
      if (k == 0 || (best[j].count == 1 && k > kMaxEdgeUnits)) continue;
      // Strictly longer only: of equal chains the nearer boundary (the shorter unit) wins.
      if (best[j].count + 1 > best[i].count) best[i] = Link{best[j].count + 1, j};
    }
  }
  return best;
}

// Which present event the recording shows longest, and its first and last runs.
struct EventRuns {
  uint32_t event = 0;
  size_t first = SIZE_MAX;   // index into the event changes of its first run
  size_t last = SIZE_MAX;    // of its last run
};

EventRuns longest_event(const std::vector<const TableChange*>& events, int64_t endMs) {
  std::map<uint32_t, int64_t> shown;
  for (size_t i = 0; i < events.size(); ++i) {
    const int64_t from = i == 0 ? 0 : events[i]->ms;
    const int64_t to = i + 1 < events.size() ? events[i + 1]->ms : endMs;
    shown[events[i]->value] += to - from;
  }
  EventRuns runs;
  int64_t longest = -1;
  for (const auto& [event, ms] : shown)
    if (ms > longest) longest = ms, runs.event = event;
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i]->value != runs.event) continue;
    if (runs.first == SIZE_MAX) runs.first = i;
    runs.last = i;
  }
  return runs;
}

// The boundary at a picture change nearest to ms within kTableSnapMs, or null.
const CmBoundary* boundary_near(const std::vector<CmBoundary>& boundaries, int64_t ms) {
  const CmBoundary* best = nullptr;
  for (const CmBoundary& b : boundaries) {
    if (!b.scene() || std::llabs(b.ms() - ms) > kTableSnapMs) continue;
    if (!best || std::llabs(b.ms() - ms) < std::llabs(best->ms() - ms)) best = &b;
  }
  return best;
}

// The PMT version changes near an event change, as words for the why.
std::string pmt_near(const CmFindings& f, int64_t ms) {
  std::string text;
  for (const TableChange& c : f.changes)
    if (c.kind == TableChangeKind::PmtVersion && std::llabs(c.ms - ms) <= kTableSnapMs)
      text += format("; PMT version %u at %s", unsigned(c.value), clock_text(c.ms).c_str());
  return text;
}

// One end of the extent at the event change c: a boundary near it, or the key picture on the
// side that keeps the programme (keepBefore: the one at or before, for a start).
CutPoint place_change(const CmFindings& f, const TableChange& c, bool keepBefore, bool& uncertain,
                      std::string& why, const char* what) {
  why = format("present event %04X %s at %s", unsigned(c.value), what, clock_text(c.ms).c_str());
  const CmBoundary* b = boundary_near(f.boundaries, c.ms);
  why += pmt_near(f, c.ms);
  if (b) {
    why += format("; silence %s-%s at a picture change", clock_text(b->silence.startMs).c_str(),
                  clock_text(b->silence.endMs).c_str());
    return keepBefore ? b->programmeStart() : b->picture;
  }
  uncertain = true;
  why += "; uncertain: no silence at a picture change within 5 s";
  const CutPoint& p = keepBefore ? c.before : c.after;
  return p.packet >= 0 ? p : keepBefore ? CutPoint{0, 0} : CutPoint{f.endMs, f.packets};
}

std::string chain_why(const std::vector<CmBoundary>& b, const CmChain& chain) {
  std::string spacings, silences;
  for (size_t k = 0; k < chain.size(); ++k) {
    const CmBoundary& x = b[chain[k]];
    if (k) spacings += format("%s%.2f", k > 1 ? " + " : "", double(x.ms() - b[chain[k - 1]].ms()) / 1000);
    silences += format("%s%.2f", k ? ", " : "", double(x.silence.lengthMs()) / 1000);
  }
  return format("chain of %zu boundaries %s s apart; silences %s s at picture changes", chain.size(),
                spacings.c_str(), silences.c_str());
}

}  // namespace

std::string clock_text(int64_t ms) {
  if (ms < 0) ms = 0;
  return format("%" PRId64 ":%02d:%02d.%03d", ms / 3600000, int(ms / 60000 % 60), int(ms / 1000 % 60), int(ms % 1000));
}

const char* cm_stretch_kind_text(CmStretchKind kind) {
  switch (kind) {
    case CmStretchKind::Programme: return "programme";
    case CmStretchKind::Break: return "commercial break";
    case CmStretchKind::Outside: return "outside the programme";
  }
  return "";
}

std::vector<CmChain> find_chains(const std::vector<CmBoundary>& boundaries) {
  const std::vector<Link> best = link_boundaries(boundaries);
  std::vector<bool> used(boundaries.size(), false);
  std::vector<CmChain> chains;
  for (size_t i = boundaries.size(); i-- > 0;) {
    if (used[i] || best[i].count < 2) continue;
    CmChain chain;
    for (size_t k = i; k != SIZE_MAX && !used[k]; k = best[k].prev) chain.push_back(k);
    std::reverse(chain.begin(), chain.end());
    // The last spacing obeys the edge rule too.
    while (chain.size() >= 2 &&
           units_between(boundaries[chain.back()].ms() - boundaries[chain[chain.size() - 2]].ms()) > kMaxEdgeUnits)
      chain.pop_back();
    if (chain.size() < 2) continue;
    for (size_t k : chain) used[k] = true;
    chains.push_back(chain);
  }
  std::reverse(chains.begin(), chains.end());
  return chains;
}

CmExtent programme_extent(const CmFindings& f) {
  CmExtent e;
  e.start = CutPoint{0, 0};
  e.end = CutPoint{f.endMs, f.packets};
  std::vector<const TableChange*> events;
  for (const TableChange& c : f.changes)
    if (c.kind == TableChangeKind::PresentEvent) events.push_back(&c);
  if (events.empty()) {
    e.startWhy = e.endWhy = "no present event: the whole recording is taken as the programme";
    return e;
  }
  const EventRuns runs = longest_event(events, f.endMs);
  if (runs.first == 0)
    e.startWhy = format("the recording starts in present event %04X", unsigned(runs.event));
  else
    e.start = place_change(f, *events[runs.first], true, e.uncertainStart, e.startWhy, "begins");
  if (runs.last + 1 == events.size()) {
    e.endWhy = format("the recording ends in present event %04X", unsigned(runs.event));
  } else {
    const TableChange& next = *events[runs.last + 1];
    e.end = place_change(f, next, false, e.uncertainEnd, e.endWhy, "follows");
  }
  return e;
}

namespace {

// Why a stretch is kept as programme: no chain covers it; the boundaries in it that found no
// chain are said, as they are where a doubtful break would have been.
std::string programme_why(const CmFindings& f, const std::vector<bool>& chained, const CutPoint& a,
                          const CutPoint& z) {
  int lone = 0;
  for (size_t i = 0; i < f.boundaries.size(); ++i) {
    const CmBoundary& b = f.boundaries[i];
    if (!chained[i] && b.scene() && b.picture.packet > a.packet && b.picture.packet < z.packet) ++lone;
  }
  if (lone == 0) return "in no chain of 15-s units";
  return format("in no chain of 15-s units; %d silence%s at a picture change in no chain (kept)", lone,
                lone == 1 ? "" : "s");
}

}  // namespace

std::vector<CmStretch> plan_stretches(const CmFindings& f) {
  const CmExtent e = programme_extent(f);
  const std::vector<CmChain> chains = find_chains(f.boundaries);
  std::vector<bool> chained(f.boundaries.size(), false);
  for (const CmChain& c : chains)
    for (size_t i : c) chained[i] = true;

  std::vector<CmStretch> out;
  auto push = [&](CmStretchKind kind, CutPoint a, CutPoint z, std::string why, bool ua, bool uz) {
    if (z.packet <= a.packet) return;
    CmStretch s;
    s.kind = kind;
    s.start = a;
    s.end = z;
    s.uncertainStart = ua;
    s.uncertainEnd = uz;
    s.why = std::move(why);
    out.push_back(std::move(s));
  };
  std::string before = "before the programme: " + e.startWhy, after = "after the programme: " + e.endWhy;
  CutPoint at = e.start;
  bool atUncertain = e.uncertainStart;
  for (const CmChain& c : chains) {
    CutPoint a = f.boundaries[c.front()].picture, z = f.boundaries[c.back()].programmeStart();
    const std::string why = chain_why(f.boundaries, c);
    if (z.packet <= e.start.packet || a.packet >= e.end.packet) {
      std::string& side = z.packet <= e.start.packet ? before : after;
      side += format("; holds a break %s-%s (%s)", clock_text(a.ms).c_str(), clock_text(z.ms).c_str(), why.c_str());
      continue;
    }
    if (a.packet < e.start.packet) a = e.start;
    if (z.packet > e.end.packet) z = e.end;
    push(CmStretchKind::Programme, at, a, programme_why(f, chained, at, a), atUncertain, false);
    push(CmStretchKind::Break, a, z, why, false, false);
    at = z;
    atUncertain = false;
  }
  push(CmStretchKind::Programme, at, e.end, programme_why(f, chained, at, e.end), atUncertain, e.uncertainEnd);
  std::vector<CmStretch> all;
  if (e.start.packet > 0) {
    CmStretch s;
    s.kind = CmStretchKind::Outside;
    s.start = CutPoint{0, 0};
    s.end = e.start;
    s.uncertainEnd = e.uncertainStart;
    s.why = before;
    all.push_back(s);
  }
  all.insert(all.end(), out.begin(), out.end());
  if (e.end.packet < f.packets) {
    CmStretch s;
    s.kind = CmStretchKind::Outside;
    s.start = e.end;
    s.end = CutPoint{f.endMs, f.packets};
    s.uncertainStart = e.uncertainEnd;
    s.why = after;
    all.push_back(s);
  }
  return all;
}
