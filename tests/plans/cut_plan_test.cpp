// A cut planned and run without a command line, as a server runs it: progress over the whole plan,
// the stop flag, the typed result, and the plans that are refused with their outcome.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "plans/cut_plan.h"
#include "tests/support/stream_builder.h"

namespace {

struct QuietSink : MessageSink {
  bool Report(MessageKind, const char*) override { return true; }
};

Position packet(int32_t p) { return Position{true, 0, p}; }

class CutPlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tsb::BroadcastDesc desc;
    desc.packets = 60000;
    desc.services = {{0x0400, 0x01F0, 0x0111, 0x0112, 0, {}, 0}, {0x0401, 0x01F1, 0x0121, 0, 0, {}, 0}};
    input_ = dir_.Write("in.ts", tsb::Broadcast(desc).bytes());
    QuietSink quiet;
    ASSERT_FALSE(OpenRecording(input_, kMethodAutomatic, quiet, rec_));
  }
  CutRequest Request(std::vector<CutRange> ranges, const std::string& output) const {
    CutRequest r;
    r.ranges = std::move(ranges);
    r.numbered = true;
    r.output = output;
    return r;
  }
  tsb::Bytes Slice(int32_t first, int32_t last) const {
    const tsb::Bytes all = tsb::ReadFile(input_);
    return tsb::Bytes(all.begin() + first * 188, all.begin() + (last + 1) * 188);
  }

  tsb::TempDir dir_;
  std::string input_;
  Recording rec_;
};

TEST_F(CutPlanTest, StretchesRunInFileOrderWithProgressOverTheWholePlan) {
  const CutRequest request = Request({{packet(30000), packet(39999)}, {packet(100), packet(9999)}},
                                     dir_.File("part_%d.ts"));
  WorkEngine engine;
  CutPlan plan;
  ASSERT_FALSE(PlanCut(request, rec_, engine, plan));
  std::vector<int> percents, stretchesDone;
  CutEvents events;
  events.progress = [&](const CutProgress& p) { percents.push_back(p.percent); };
  events.stretchDone = [&](const StretchResult& r) { stretchesDone.push_back(r.stretch.number); };
  const CutResult result = RunCut(plan, engine, nullptr, events);

  ASSERT_EQ(result.outcome, Outcome::Done) << result.error.message;
  EXPECT_EQ(stretchesDone, (std::vector<int>{2, 1}));
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 100);
  EXPECT_LT(percents.front(), 50);   // the first stretch fills only its share
  ASSERT_EQ(result.outputs.size(), 2u);
  EXPECT_EQ(result.outputs[0].path, dir_.File("part_2.ts"));
  EXPECT_EQ(result.outputs[0].packets, 9900);
  EXPECT_EQ(result.outputs[0].bytes, 9900 * 188);
  EXPECT_EQ(tsb::ReadFile(dir_.File("part_2.ts")), Slice(100, 9999));
  EXPECT_EQ(tsb::ReadFile(dir_.File("part_1.ts")), Slice(30000, 39999));
}

// A stop set before the run: the first stretch ends early with whole packets from its start, the
// next never runs, and the result says so.
TEST_F(CutPlanTest, StopFlagEndsTheRunAndKeepsWhatWasWritten) {
  const CutRequest request = Request({{packet(0), packet(49999)}, {packet(50000), {}}}, dir_.File("s_%d.ts"));
  WorkEngine engine;
  CutPlan plan;
  ASSERT_FALSE(PlanCut(request, rec_, engine, plan));
  const std::atomic<bool> stop{true};
  const CutResult result = RunCut(plan, engine, &stop);
  EXPECT_EQ(result.outcome, Outcome::Stopped);
  ASSERT_EQ(result.stretches.size(), 2u);
  EXPECT_TRUE(result.stretches[0].ran);
  EXPECT_EQ(result.stretches[0].demux.outcome, DemuxOutcome::Stopped);
  EXPECT_FALSE(result.stretches[1].ran);
  const tsb::Bytes part = tsb::ReadFile(dir_.File("s_1.ts"));
  EXPECT_LT(part.size(), size_t(50000) * 188);
  EXPECT_EQ(part, Slice(0, int32_t(part.size() / 188) - 1));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("s_2.ts")));
}

TEST_F(CutPlanTest, PlansThatCannotRunAreRefusedWithTheirOutcome) {
  const std::string exists = dir_.Write("exists.ts", {0x47});
  struct Case {
    const char* what;
    CutRequest request;
    Outcome outcome;
    const char* says;
  };
  CutRequest control = Request({{}}, "");
  control.controlFile = dir_.File("none.cfg");
  CutRequest programme = Request({{}}, dir_.File("o.ts"));
  programme.programme = 9;
  CutRequest service = Request({{}}, dir_.File("o.ts"));
  service.serviceId = 0x0999;
  const Case cases[] = {
      {"overlap", Request({{packet(10), packet(20)}, {packet(20), packet(30)}}, dir_.File("o_%d.ts")),
       Outcome::Refused, "stretches 1 (0000000A..00000014) and 2 (00000014..0000001E) overlap"},
      {"backwards", Request({{packet(30), packet(20)}}, dir_.File("o.ts")), Outcome::Refused,
       "stretch 1: the start (0000001E) lies after the end (00000014)"},
      {"no %d", Request({{packet(1), packet(2)}, {packet(3), packet(4)}}, dir_.File("o.ts")), Outcome::BadRequest,
       "several stretches need %d"},
      {"no stretch", Request({}, dir_.File("o.ts")), Outcome::BadRequest, "no stretch"},
      {"input", Request({{}}, input_), Outcome::OutputError, "the output is the input file"},
      {"exists", Request({{}}, exists), Outcome::OutputError, "exists"},
      {"control", control, Outcome::InputError, "cannot read the control file"},
      {"programme", programme, Outcome::InputError, "no programme 9"},
      {"service", service, Outcome::InputError, "no programme with service id 0999"},
  };
  for (const Case& c : cases) {
    WorkEngine engine;
    CutPlan plan;
    const CommandError error = PlanCut(c.request, rec_, engine, plan);
    EXPECT_EQ(error.outcome, c.outcome) << c.what << ": " << error.message;
    EXPECT_NE(error.message.find(c.says), std::string::npos) << c.what << ": " << error.message;
  }
  EXPECT_EQ(tsb::ReadFile(exists), tsb::Bytes{0x47});
}

}  // namespace
