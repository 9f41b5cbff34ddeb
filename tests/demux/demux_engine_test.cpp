// The demux engine run in-process with recorded surroundings, through its typed front door and
// through kerfdmx's command line: what is posted to the caller and when, the lock-file test, the
// stop flag, the refusals before any option is read, and the outcome of every kind of end.
#include "demux/demux_engine.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "demux/kerfdmx_front_end.h"
#include "demux/psi/table_layer.h"
#include "demux/tool_exit.h"
#include "tests/support/stream_builder.h"

namespace {

struct Post {
  uint32_t handle, message, wparam, lparam;
};

// Records every post and lock-file test; the lock file vanishes at a chosen test.
class RecordingHost : public DemuxHost {
 public:
  void Print(const char* text, size_t length) override { out.append(text, length); }
  int Post(uint32_t handle, uint32_t message, uint32_t wparam, uint32_t lparam) override {
    posts.push_back({handle, message, wparam, lparam});
    if (wparam == 1 && onProgress) onProgress(lparam);
    return postResult;
  }
  uint32_t RegisterMessage(const char*) override { return 0xC123; }
  bool WindowExists(uint32_t) override { return windowExists; }
  bool LockFileExists(const char* path) override {
    lockPath = path;
    ++lockTests;
    return lockTests < lockGoneAtTest;
  }
  void Sleep(uint32_t ms) override {
    sleeps.push_back(ms);
    sleptBetweenPosts.push_back(posts.size());
  }

  std::string out;
  std::vector<struct Post> posts;
  std::vector<uint32_t> sleeps;
  std::vector<size_t> sleptBetweenPosts;
  std::string lockPath;
  int lockTests = 0;
  int lockGoneAtTest = 1 << 30;
  int postResult = 1;
  bool windowExists = true;
  std::function<void(uint32_t percent)> onProgress;   // runs inside the packet loop
};

class DemuxEngineRun : public ::testing::Test {
 protected:
  // A recording of n packets: a PAT, a PMT, then video packets.
  std::string Recording(size_t n) {
    tsb::TsStream ts;
    ts.Section(0x0000, tsb::Pat(0x7FE1, {{0x0400, 0x01F0}}).Build());
    ts.Section(0x01F0, tsb::Pmt(0x0400, 0x0100, {{0x02, 0x0100, {}}}).Build());
    tsb::PacketDesc video;
    video.pid = 0x0100;
    video.payload = tsb::Bytes(184, 0xA5);
    while (ts.PacketCount() < n) ts.Packet(video);
    return dir_.Write("in.ts", ts.bytes());
  }
  int Run(const std::string& line) { return RunCommandLine(engine_, line.c_str(), &result_); }
  DemuxResult RunJob(const std::string& input, DemuxRequest request = DemuxRequest::None,
                     const std::string& path = "") {
    DemuxJob job;
    job.inputPath = input.c_str();
    job.request = request;
    job.requestPath = path.c_str();
    job.callerWindow = 1;
    job.stop = stop_;
    job.giveWay = giveWay_;
    return engine_.Run(job);
  }
  std::vector<uint32_t> Progress() const {
    std::vector<uint32_t> v;
    for (const auto& p : host_.posts)
      if (p.wparam == 1) v.push_back(p.lparam);
    return v;
  }
  void ExpectCompletionTwice(uint32_t handle) const {
    ASSERT_GE(host_.posts.size(), 2u);
    const size_t n = host_.posts.size();
    for (size_t i = n - 2; i < n; ++i) {
      EXPECT_EQ(host_.posts[i].handle, handle);
      EXPECT_EQ(host_.posts[i].message, 0xC123u);
      EXPECT_EQ(host_.posts[i].wparam, 2u);
      EXPECT_EQ(host_.posts[i].lparam, 0u);
    }
    ASSERT_FALSE(host_.sleeps.empty());
    EXPECT_EQ(host_.sleeps.back(), 100u);
    EXPECT_EQ(host_.sleptBetweenPosts.back(), n - 1);   // the pause lies between the two posts
  }

  tsb::TempDir dir_;
  RecordingHost host_;
  DemuxEngine engine_{host_, "/prog/"};
  DemuxResult result_;
  const std::atomic<bool>* stop_ = nullptr;
  const std::atomic<int>* giveWay_ = nullptr;
};

TEST_F(DemuxEngineRun, EveryWholePerCentIsPostedOnceAndTheLockFileTestedWithIt) {
  const std::string in = Recording(200);
  EXPECT_EQ(Run("t " + in + " -h:ABC -e:C7"), kToolExitDone);
  std::vector<uint32_t> expected;
  for (uint32_t p = 0; p <= 100; ++p) expected.push_back(p);
  EXPECT_EQ(Progress(), expected);
  EXPECT_EQ(host_.lockTests, 101);
  EXPECT_EQ(host_.lockPath, "/prog/lockfile");
  EXPECT_EQ(host_.posts.front().handle, 0xABCu);
  ExpectCompletionTwice(0xABC);
  EXPECT_EQ(result_.outcome, DemuxOutcome::Done);
  EXPECT_EQ(result_.summary.packets, 200u);
}

TEST_F(DemuxEngineRun, OpenEndedRunPostsZeroOnceAndTestsTheLockOnce) {
  const std::string in = Recording(300);
  Run("t " + in + " -h:1 -s:0");
  EXPECT_EQ(Progress(), std::vector<uint32_t>{0});
  EXPECT_EQ(host_.lockTests, 1);
  EXPECT_EQ(result_.summary.packets, 300u);
}

TEST_F(DemuxEngineRun, LockFileGoneEndsTheRunNormallyAtThatPerCent) {
  const std::string in = Recording(400);
  host_.lockGoneAtTest = 11;   // the test that comes with per cent 10
  Run("t " + in + " -h:1 -e:18F");
  EXPECT_EQ(Progress().back(), 10u);
  EXPECT_EQ(result_.outcome, DemuxOutcome::Stopped);
  EXPECT_EQ(result_.summary.packets, 40u);   // 40 of 400 packets is the first 10 %
  EXPECT_NE(host_.out.find("=00000028h\n"), std::string::npos) << host_.out;
  ExpectCompletionTwice(1);
}

// The per cent is worked out only near where it can change; the lock file is still tested at
// exactly the first packet of each per cent, for a range that does not divide evenly.
TEST_F(DemuxEngineRun, LockFileIsTestedAtTheFirstPacketOfEveryPerCent) {
  const uint32_t total = 7919;
  const std::string in = Recording(total);
  for (int percent : {1, 37, 99, 100}) {
    host_ = RecordingHost{};
    host_.lockGoneAtTest = percent + 1;
    Run("t " + in + " -h:1 -e:" + (std::stringstream() << std::hex << (total - 1)).str());
    uint32_t first = 1;
    while (int(double(first) * 100.0 / double(total)) < percent) ++first;
    EXPECT_EQ(result_.summary.packets, first) << percent;
    EXPECT_EQ(Progress().back(), uint32_t(percent));
  }
}

TEST_F(DemuxEngineRun, StopFlagEndsTheRunNormally) {
  const std::string in = Recording(50);
  std::atomic<bool> stop{true};
  stop_ = &stop;
  const DemuxResult r = RunJob(in);
  EXPECT_EQ(r.outcome, DemuxOutcome::Stopped);
  EXPECT_EQ(r.summary.packets, 1u);
  EXPECT_NE(host_.out.find("=00000001h\n"), std::string::npos) << host_.out;
  EXPECT_TRUE(host_.posts.size() == 1 && host_.posts[0].wparam == 1) << "the API itself posts no completion";
}

// A run gives way while the count is above zero, but only for as long as it has worked: held above
// zero for good, the count slows the run and cannot hold it still; a stop still ends it at once.
TEST_F(DemuxEngineRun, GivingWayNeverHoldsTheRunStill) {
  const std::string in = Recording(20000);
  for (const bool stopMeanwhile : {false, true}) {
    std::atomic<bool> stop{stopMeanwhile};
    std::atomic<int> giveWay{1};
    stop_ = &stop;
    giveWay_ = &giveWay;
    const DemuxResult r = RunJob(in);
    EXPECT_EQ(r.outcome, stopMeanwhile ? DemuxOutcome::Stopped : DemuxOutcome::Done);
    EXPECT_EQ(r.summary.packets < 20000u, stopMeanwhile) << r.summary.packets;
  }
}

TEST_F(DemuxEngineRun, RefusalsPostToTheHandleAsItStands) {
  EXPECT_EQ(Run("t"), kToolExitUsage);
  EXPECT_EQ(host_.out, "KERFDMX.exeは、単体では使用できません.\n");
  ExpectCompletionTwice(0);
  EXPECT_EQ(host_.lockTests, 0);

  host_ = RecordingHost{};
  Run("t in.ts -s:0");
  EXPECT_EQ(host_.out, "KERFDMX.exeは、単体では使用できません.\n");
  ExpectCompletionTwice(kNoCallerWindow);

  host_ = RecordingHost{};
  Run("t in.ts -q -h:5");   // parsing ends before -h: is read
  EXPECT_EQ(host_.out, "オプションの指定が間違っています.\n");
  ExpectCompletionTwice(kNoCallerWindow);
  EXPECT_EQ(result_.outcome, DemuxOutcome::UsageError);
}

TEST_F(DemuxEngineRun, CommandLineBeyondTheCopyIsRefused) {
  std::string line = "t in.ts -h:5 " + std::string(kCommandLineCopy, 'x');
  Run(line);
  EXPECT_EQ(host_.out, "オプションの指定が間違っています.\n");
  ExpectCompletionTwice(0);
}

// The completion posts are the same for every outcome; the exit status tells them apart, and it
// does not depend on whether anyone received the posts.
TEST_F(DemuxEngineRun, ExitStatusCarriesTheOutcome) {
  const std::string in = Recording(400);
  const std::string ctl = dir_.File("c.cfg");
  struct Case {
    const char* what;
    std::string control;   // written to c.cfg when not empty
    std::string options;
    int lockGoneAtTest;
    int expected;
  };
  const Case cases[] = {
      {"whole range", "", "-e:18F", 1 << 30, kToolExitDone},
      {"lock gone at the last per cent", "", "-e:18F", 101, kToolExitDone},
      {"lock gone mid-run", "", "-e:18F", 11, kToolExitStopped},
      {"lock gone, open end", "", "", 1, kToolExitStopped},
      {"unknown option", "", "-q", 1 << 30, kToolExitUsage},
      {"missing control file", "", "-d:none.cfg", 1 << 30, kToolExitControl},
      {"wrong control line", "BAD=1\n", "-d:c.cfg", 1 << 30, kToolExitControl},
      {"output not creatable", "MODE=ALL\nNAME=" + dir_.File("no/such/dir/o.ts") + "\n", "-d:c.cfg",
       1 << 30, kToolExitOutput},
      {"output is the input", "MODE=ALL\nNAME=" + in + "\n", "-d:c.cfg", 1 << 30, kToolExitOutput},
      {"two outputs are one file", "NAME=" + dir_.File("x.ts") + "\nNAME=" + dir_.File("x.ts") + "\n", "-d:c.cfg",
       1 << 30, kToolExitOutput},
  };
  for (const Case& c : cases) {
    host_ = RecordingHost{};
    host_.lockGoneAtTest = c.lockGoneAtTest;
    if (!c.control.empty()) tsb::WriteFile(ctl, tsb::bytes_of(c.control));
    DemuxEngine engine(host_, (dir_.path() + "/").c_str());
    EXPECT_EQ(RunCommandLine(engine, ("t " + in + " -h:1 " + c.options).c_str()), c.expected)
        << c.what << ": " << host_.out;
    ExpectCompletionTwice(1);
  }
  host_ = RecordingHost{};
  EXPECT_EQ(Run("t " + dir_.File("missing.ts") + " -h:1"), kToolExitInput);
  EXPECT_EQ(result_.outcome, DemuxOutcome::InputError);
  tsb::WriteFile(dir_.File("junk.ts"), tsb::Bytes(188 * 10, 0x00));
  EXPECT_EQ(Run("t " + dir_.File("junk.ts") + " -h:1"), kToolExitInput);
  // Posts that fail change nothing of the run; the pause between the completion posts stays
  // while the window exists (its queue may be full) and goes when there is none.
  host_ = RecordingHost{};
  host_.postResult = 0;
  EXPECT_EQ(Run("t " + in + " -h:1"), kToolExitDone);
  ExpectCompletionTwice(1);
  host_ = RecordingHost{};
  host_.postResult = 0;
  host_.windowExists = false;
  EXPECT_EQ(Run("t " + in + " -h:1"), kToolExitDone);
  ASSERT_GE(host_.posts.size(), 2u);
  EXPECT_EQ(host_.posts.back().wparam, 2u);
  EXPECT_EQ(host_.posts[host_.posts.size() - 2].wparam, 2u);
  EXPECT_TRUE(host_.sleeps.empty());
  // The stop flag (Ctrl-C) reaches the engine through the job; its outcome maps the same way.
  std::atomic<bool> stop{true};
  stop_ = &stop;
  EXPECT_EQ(tool_exit_for(RunJob(in).outcome), kToolExitStopped);
}

TEST_F(DemuxEngineRun, OutcomeAndFilesWrittenForEveryKindOfEnd) {
  const std::string in = Recording(30);
  const std::string info = dir_.File("DEMUX.txt");
  DemuxResult r = RunJob(in, DemuxRequest::Information, info);
  EXPECT_EQ(r.outcome, DemuxOutcome::Done);
  EXPECT_EQ(r.summary.packets, 30u);
  EXPECT_EQ(r.written, std::vector<std::string>{info});

  EXPECT_EQ(RunJob(dir_.File("none.ts")).outcome, DemuxOutcome::InputError);
  EXPECT_EQ(RunJob(in, DemuxRequest::Control, dir_.File("none.cfg")).outcome,
            DemuxOutcome::ControlFileError);
  const std::string a = dir_.File("a.ts");
  dir_.Write("bad.cfg", tsb::bytes_of("NAME=" + a + "\nbogus\n"));
  EXPECT_EQ(RunJob(in, DemuxRequest::Control, dir_.File("bad.cfg")).outcome,
            DemuxOutcome::ControlFileError);
  // The second output cannot be created: the first was, and the run does not start.
  dir_.Write("two.cfg", tsb::bytes_of("NAME=" + a + "\nNAME=" + dir_.File("no/such/b.ts") + "\n"));
  r = RunJob(in, DemuxRequest::Control, dir_.File("two.cfg"));
  EXPECT_EQ(r.outcome, DemuxOutcome::OutputError);
  EXPECT_EQ(r.uncreatedOutput, 1);
  EXPECT_EQ(r.written, std::vector<std::string>{a});
  EXPECT_EQ(r.summary.packets, 0u);
  // Outputs that are the input or each other: refused before any is created, every one named.
  const std::string b = dir_.File("b.ts");
  dir_.Write("clash.cfg", tsb::bytes_of("NAME=" + a + "\nNAME=" + in + "\nNAME=" + b + "\nNAME=" + a + "\n"));
  std::remove(a.c_str());
  host_ = RecordingHost{};
  r = RunJob(in, DemuxRequest::Control, dir_.File("clash.cfg"));
  EXPECT_EQ(r.outcome, DemuxOutcome::OutputError);
  EXPECT_EQ(r.clashingOutput, 1);
  EXPECT_EQ(r.clashesWith, kClashInput);
  EXPECT_EQ(r.uncreatedOutput, -1);
  EXPECT_TRUE(r.written.empty());
  EXPECT_EQ(host_.out, "出力ファイル(" + in + ")は入力TSファイルと同じファイルです.\n"
                       "出力ファイル(" + a + ")が重複して指定されています.\n");
  EXPECT_EQ(tsb::ReadFile(in).size(), 30u * 188);
  EXPECT_FALSE(std::filesystem::exists(a) || std::filesystem::exists(b));
  r = RunJob(in, DemuxRequest::Information, in);
  EXPECT_EQ(r.outcome, DemuxOutcome::OutputError);
  EXPECT_EQ(r.clashingOutput, kInformationClash);
  EXPECT_EQ(tsb::ReadFile(in).size(), 30u * 188);
#ifndef _WIN32
  // The final MODE=ALL write fails after the summary was printed: still a failed run.
  dir_.Write("full.cfg", tsb::bytes_of("MODE=ALL\nNAME=/dev/full\n"));
  r = RunJob(in, DemuxRequest::Control, dir_.File("full.cfg"));
  EXPECT_EQ(r.outcome, DemuxOutcome::OutputError);
  EXPECT_EQ(r.summary.packets, 30u);
#endif
}

#ifndef _WIN32
// A recording that another program shortens or lengthens while the tool reads it (Windows keeps
// that from happening: the tool opens its input without sharing). The tool reads what there is
// when it comes to it: what it had already read counts, a cut-off packet at the new end is
// dropped, nothing beyond the end is read, and a run into what a recorder added goes on to its
// end. The MODE=ALL output is always exactly the packets counted.
TEST_F(DemuxEngineRun, RecordingThatShrinksOrGrowsDuringTheRun) {
  const size_t block = kDemuxReadBlockSize / 188;   // packets of one read
  const tsb::Bytes whole = tsb::ReadFile(Recording(5 * block));
  const std::string in = dir_.File("in.ts");
  const std::string out = dir_.File("all.ts");
  dir_.Write("all.cfg", tsb::bytes_of("MODE=ALL\nNAME=" + out + "\n"));
  struct Case {
    const char* what;
    size_t initial;           // packets in the file at the start
    uint32_t atPercent;       // when the file changes
    size_t changedBytes;      // its size afterwards
    uint32_t expected;        // packets counted
  };
  const Case cases[] = {
      // Shrunk beyond what was read: the rest of the read block counts, then the end.
      {"shrunk past the buffer", 5 * block, 10, 2 * block * 188 + 100, uint32_t(2 * block)},
      // Shrunk below what was read already: what the buffer holds was read before the change.
      {"shrunk below the buffer", 5 * block, 5, 100 * 188, uint32_t(block)},
      {"emptied", 5 * block, 1, 0, uint32_t(block)},
      {"grown", 2 * block, 10, 5 * block * 188 + 77, uint32_t(5 * block)},
  };
  for (const Case& c : cases) {
    dir_.Write("in.ts", tsb::Bytes(whole.begin(), whole.begin() + long(c.initial * 188)));
    host_ = RecordingHost{};
    bool changed = false;
    host_.onProgress = [&](uint32_t percent) {
      if (changed || percent < c.atPercent) return;
      changed = true;
      if (c.changedBytes <= c.initial * 188) {
        ASSERT_EQ(truncate(in.c_str(), off_t(c.changedBytes)), 0);
      } else {
        std::FILE* f = std::fopen(in.c_str(), "ab");
        ASSERT_NE(f, nullptr);
        const size_t from = c.initial * 188, n = std::min(c.changedBytes, whole.size()) - from;
        std::fwrite(whole.data() + from, 1, n, f);
        if (c.changedBytes > whole.size()) std::fwrite(whole.data(), 1, c.changedBytes - whole.size(), f);
        std::fclose(f);
      }
    };
    DemuxJob job;
    job.inputPath = in.c_str();
    job.endPacket = int32_t(5 * block) - 1;   // a known end, so that every per cent is posted
    job.request = DemuxRequest::Control;
    const std::string control = dir_.File("all.cfg");
    job.requestPath = control.c_str();
    job.callerWindow = 1;
    const DemuxResult r = engine_.Run(job);
    EXPECT_TRUE(changed) << c.what;
    EXPECT_EQ(r.outcome, DemuxOutcome::Done) << c.what;
    EXPECT_EQ(r.summary.packets, c.expected) << c.what;
    EXPECT_EQ(r.summary.syncLosses, 0u) << c.what;
    const tsb::Bytes written = tsb::ReadFile(out);
    EXPECT_TRUE(written == tsb::Bytes(whole.begin(), whole.begin() + long(c.expected) * 188)) << c.what;
  }
}
#endif

TEST_F(DemuxEngineRun, ToolCanRunAgainWithFreshState) {
  const std::string in = Recording(30);
  Run("t " + in + " -h:1");
  EXPECT_EQ(engine_.tables().currentTable(), 0);
  host_ = RecordingHost{};
  Run("t " + in + " -h:1 -e:0");
  EXPECT_EQ(result_.summary.packets, 1u);
  EXPECT_EQ(Progress(), std::vector<uint32_t>{100});
}

TEST_F(DemuxEngineRun, DamagedRecordingsEndCleanly) {
  tsb::BroadcastDesc desc;
  desc.services.push_back(tsb::BroadcastService{});
  desc.services[1].service_id = 0x0408;
  desc.services[1].pmt_pid = 0x01F8;
  desc.services[1].video_pid = 0x0200;
  desc.services[1].audio_pid = 0x0210;
  desc.packets = 6000;
  const tsb::Bytes clean = tsb::Broadcast(desc).bytes();
  tsb::WriteFile(dir_.File("DEMUX.cfg"), tsb::bytes_of("NAME=" + dir_.File("a.ts") + "\nPID=0000\nPID=01F0\nPID=0100\n"
                                    "NAME=" + dir_.File("b.ts") + "\nSERVICE_ID=0408\nPID=0000\n"));
  const std::string summaryStart = "\n＜集計情報＞\n";
  std::mt19937 rng(20261207);
  for (int round = 0; round < 24; ++round) {
    tsb::Bytes damaged = clean;
    // Flipped bytes anywhere (sync bytes, headers, sections), then a cut at any length.
    const int flips = int(rng() % 4000);
    for (int i = 0; i < flips; ++i) damaged[rng() % damaged.size()] = uint8_t(rng());
    damaged.resize(rng() % damaged.size());
    dir_.Write("in.ts", damaged);
    host_ = RecordingHost{};
    const std::string in = dir_.File("in.ts");
    const std::string line = "t \"" + in + "\" -h:1 " + (round % 2 ? "-i:X.txt" : "-d:DEMUX.cfg");
    DemuxEngine engine(host_, dir_.File("").c_str());
    DemuxResult result;
    RunCommandLine(engine, line.c_str(), &result);
    const std::string& out = host_.out;
    const bool summary = out.compare(0, summaryStart.size(), summaryStart) == 0;
    const bool resync = out == "再同期エラー：SYNC BYTEが見つかりません.\n";
    const bool limit = out == "SYNC BYTEエラーが規定値を超えました.\n";
    EXPECT_TRUE(summary || resync || limit) << round << ": " << out;
    EXPECT_EQ(result.outcome, summary ? DemuxOutcome::Done : DemuxOutcome::InputError) << round;
    ExpectCompletionTwice(1);
  }
}

}  // namespace
