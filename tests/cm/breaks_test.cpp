// The chain rules and the stretches on findings written by hand: which silences make a break,
// which are kept, and where the programme's present event puts its ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cm/breaks.h"

namespace {

// A boundary whose silence is centred on second s; change is the picture change across it. The
// fixtures' key pictures have packet numbers equal to their milliseconds.
CmBoundary at(double s, float change = 0.3f, int64_t silenceMs = 400) {
  CmBoundary b;
  const int64_t ms = int64_t(s * 1000);
  b.silence = Silence{ms - silenceMs / 2, ms + silenceMs / 2};
  b.change = change;
  b.picture = CutPoint{ms, ms};
  return b;
}

// A boundary whose new scene's first key picture comes 0.4 s after the silence, the one before
// 0.3 s before its middle.
CmBoundary late(double s) {
  CmBoundary b = at(s);
  b.picture = CutPoint{b.ms() + 400, b.ms() + 400};
  b.earlier = CutPoint{b.ms() - 300, b.ms() - 300};
  return b;
}

std::vector<std::vector<double>> chain_times(const std::vector<CmBoundary>& b) {
  std::vector<std::vector<double>> out;
  for (const CmChain& c : find_chains(b)) {
    out.emplace_back();
    for (size_t i : c) out.back().push_back(double(b[i].ms()) / 1000);
  }
  return out;
}

struct ChainCase {
  const char* name;
  std::vector<CmBoundary> boundaries;
  std::vector<std::vector<double>> chains;
};

TEST(CmChains, WhichSilencesMakeBreaks) {
  const ChainCase cases[] = {
      {"one unit", {at(100), at(115)}, {{100, 115}}},
      {"30 + 15 within the tolerance", {at(0), at(30.2), at(45.1)}, {{0, 30.2, 45.1}}},
      {"spacing off by 0.5 s", {at(0), at(15.5)}, {}},
      {"a lone 60-s spacing is programme", {at(0), at(60)}, {}},
      {"60 s inside a chain", {at(0), at(15), at(75), at(90)}, {{0, 15, 75, 90}}},
      {"60 s at a chain's end is left out", {at(0), at(15), at(75)}, {{0, 15}}},
      {"a pause without a picture change", {at(70, 0.03f), at(100), at(115)}, {{100, 115}}},
      {"a long silence is a pause", {at(70, 0.3f, 2500), at(100), at(115)}, {{100, 115}}},
      {"sponsor credit before the break", {at(93), at(100), at(115), at(130)}, {{100, 115, 130}}},
      {"unknown picture change", {at(0, -1), at(15), at(30)}, {{15, 30}}},
      {"two breaks", {at(0), at(15), at(100), at(130)}, {{0, 15}, {100, 130}}},
  };
  for (const ChainCase& c : cases) EXPECT_EQ(chain_times(c.boundaries), c.chains) << c.name;
}

TableChange event(uint32_t id, double s) {
  const int64_t ms = int64_t(s * 1000);
  return TableChange{TableChangeKind::PresentEvent, id, ms, CutPoint{ms - 300, ms - 300}, CutPoint{ms + 200, ms + 200}};
}

std::string describe(const std::vector<CmStretch>& stretches) {
  std::string text;
  for (const CmStretch& s : stretches)
    text += std::string(cm_stretch_kind_text(s.kind)).substr(0, 3) + " " + std::to_string(s.start.packet) + "-" +
            std::to_string(s.end.packet) + (s.uncertainStart ? " ?<" : "") + (s.uncertainEnd ? " ?>" : "") + "\n";
  return text;
}

struct PlanCase {
  const char* name;
  std::vector<CmBoundary> boundaries;
  std::vector<TableChange> changes;
  std::string stretches;
};

TEST(CmPlan, StretchesCoverTheRecording) {
  const PlanCase cases[] = {
      {"no present event: all programme but the break",
       {at(100), at(115), at(130)}, {},
       "pro 0-100000\ncom 100000-130000\npro 130000-600000\n"},
      {"event changes at boundaries; margin breaks fall outside",
       {at(10), at(25), at(100), at(115), at(500), at(515)},
       {event(1, 0), event(2, 26), event(3, 501)},
       "out 0-25000\npro 25000-100000\ncom 100000-115000\npro 115000-500000\nout 500000-600000\n"},
      {"an event change far from any boundary keeps the programme and says so",
       {at(100), at(115)}, {event(1, 0), event(2, 40), event(3, 580)},
       "out 0-39700 ?>\npro 39700-100000 ?<\ncom 100000-115000\npro 115000-580200 ?>\nout 580200-600000 ?<\n"},
      {"a key picture after the silence: the programme starts at the one before the cut",
       {at(100), late(115)}, {},
       "pro 0-100000\ncom 100000-114700\npro 114700-600000\n"},
      {"a break running into the programme's start is cut at the start",
       {at(20), at(35), at(50)}, {event(1, 0), event(2, 33)},
       "out 0-35000\ncom 35000-50000\npro 50000-600000\n"},
  };
  for (const PlanCase& c : cases) {
    CmFindings f;
    f.boundaries = c.boundaries;
    f.changes = c.changes;
    f.endMs = 600000;
    f.packets = 600000;
    EXPECT_EQ(describe(plan_stretches(f)), c.stretches) << c.name;
  }
}

}  // namespace
