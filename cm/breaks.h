// From what one read of a recording found (silences with the key pictures around them, table
// changes) to the recording's stretches: commercial breaks as chains of boundaries 15 s apart,
// the programme's extent from its present event, and the programme between. Pure: no I/O.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cm/silences.h"

// Commercials run in whole units of this length.
constexpr int64_t kUnitMs = 15000;
// Two boundaries are a whole number of units apart when the spacing is within this of it. The
// boundaries of the test recordings (silence middles) fall within 0.12 s of the picture change;
// spacings then err by up to 0.2 s, and the tolerance leaves room for the unevenly split
// silences of a real broadcast without taking in much of the programme's own rhythm.
constexpr int64_t kSpacingToleranceMs = 350;
// Spacings of 1..kMaxUnits units link boundaries inside a chain (15-60 s commercials); the first
// and last spacing of a chain may be at most kMaxEdgeUnits units, so a stretch of programme that
// happens to last 45 or 60 s next to a break is not taken in with it.
constexpr int kMaxUnits = 4;
constexpr int kMaxEdgeUnits = 2;
// A silence longer than this is a pause, never the gap between two commercials.
constexpr int64_t kMaxBoundarySilenceMs = 2000;
// A boundary needs the pictures on its two sides to differ at least this much (picture_change):
// the cuts between commercials measure 0.1 and more, motion within a scene stays below 0.03.
constexpr float kSceneChange = 0.06f;
// A table change moves to a boundary (silence at a picture change) at most this far away.
constexpr int64_t kTableSnapMs = 5000;

// A point on the recording's clock and the key picture a cut there starts with.
struct CutPoint {
  int64_t ms = 0;
  int64_t packet = -1;   // packet of the key picture; -1: none known
};

// A key picture this close after a silence's end is taken to be at the cut itself.
constexpr int64_t kKeyAtCutMs = 100;

// A place where a commercial may begin or end: a silence and the pictures around it.
struct CmBoundary {
  Silence silence;
  float change = -1;     // largest change between consecutive key pictures across it; -1: unknown
  CutPoint picture;      // the key picture after that change (first of the new scene)
  CutPoint earlier;      // the key picture before that change
  int64_t ms() const { return silence.middleMs(); }
  bool scene() const { return change >= kSceneChange && picture.packet >= 0; }
  // Where a programme starts after this boundary: at the new scene's first key picture when that
  // lies at the cut; otherwise the cut lies between two key pictures, and the earlier one keeps
  // all of the programme (and up to one group of pictures of what went before).
  CutPoint programmeStart() const {
    return picture.ms <= silence.endMs + kKeyAtCutMs || earlier.packet < 0 ? picture : earlier;
  }
};

enum class TableChangeKind : uint8_t { PresentEvent, PmtVersion };
struct TableChange {
  TableChangeKind kind = TableChangeKind::PresentEvent;
  uint32_t value = 0;    // event_id or version_number
  int64_t ms = 0;        // the programme clock when the table arrived
  CutPoint before;       // last key picture at or before ms
  CutPoint after;        // first key picture at or after ms
};

// Everything the read found, in time order.
struct CmFindings {
  std::vector<CmBoundary> boundaries;
  std::vector<TableChange> changes;
  int64_t endMs = 0;        // the recording's length on its clock
  int64_t packets = 0;      // packets read
};

enum class CmStretchKind : uint8_t { Programme, Break, Outside };
struct CmStretch {
  CmStretchKind kind = CmStretchKind::Programme;
  CutPoint start;               // its first key picture (packet 0 at the recording's start)
  CutPoint end;                 // where the next stretch starts (the recording's end: packets)
  bool uncertainStart = false;  // the start rests on a table change not met by a boundary
  bool uncertainEnd = false;
  std::string why;
  int64_t lengthMs() const { return end.ms - start.ms; }
};

// A chain: indices into the boundaries, in time order, at least two.
using CmChain = std::vector<size_t>;
std::vector<CmChain> find_chains(const std::vector<CmBoundary>& boundaries);

// The programme's extent from the present event that covers most of the recording.
struct CmExtent {
  CutPoint start, end;
  bool uncertainStart = false, uncertainEnd = false;
  std::string startWhy, endWhy;
};
CmExtent programme_extent(const CmFindings& f);

// The stretches, in order, covering the whole recording without gaps.
std::vector<CmStretch> plan_stretches(const CmFindings& f);

const char* cm_stretch_kind_text(CmStretchKind kind);
// Milliseconds as "h:mm:ss.sss".
std::string clock_text(int64_t ms);
