// The built kerfdmx and its caller: progress and completion posts received by a listener, the
// lock file that stops a run, and the exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "demux/tool_exit.h"
#include "tests/demux/kerfdmx_fixture.h"

#ifndef _WIN32
namespace {

// A listener's datagram queue holds ten messages, so a burst of posts may lose some when this
// process is slow to read (the exact sequence is checked in-process and with a real window under
// Wine). What arrives must still rise from 0 and end with completion.
TEST_F(Kerfdmx, ProgressRisesFromZeroThenCompletion) {
  Input(PlainRecording(100000));
  PostLog log(handle_);
  ASSERT_TRUE(log.ok());
  ToolResult r = Run({"-e:1869F"});
  const auto posts = log.Finish();
  EXPECT_EQ(SummaryPackets(r.out), 100000);
  ASSERT_GE(posts.size(), 2u);
  const uint32_t message = register_message("KERFCUT_00");
  EXPECT_EQ(posts.front()[1], 1u);
  EXPECT_EQ(posts.front()[2], 0u);
  int last = -1;
  size_t i = 0;
  for (; i < posts.size() && posts[i][1] == 1; ++i) {
    EXPECT_EQ(posts[i][0], message);
    EXPECT_GT(int(posts[i][2]), last);
    EXPECT_LE(posts[i][2], 100u);
    last = int(posts[i][2]);
  }
  const size_t completions = posts.size() - i;
  EXPECT_GE(completions, 1u);
  EXPECT_LE(completions, 2u);
  for (; i < posts.size(); ++i) {
    EXPECT_EQ(posts[i][0], message);
    EXPECT_EQ(posts[i][1], 2u);
    EXPECT_EQ(posts[i][2], 0u);
  }
  EXPECT_EQ(r.exitStatus, kToolExitDone);
}

TEST_F(Kerfdmx, MissingLockFileStopsAtTheFirstPerCentButFinishesTheRun) {
  Input(PlainRecording(500));
  std::filesystem::remove(prog_.File("lockfile"));
  PostLog log(handle_);
  ToolResult r = Run({"-e:1F3", "-i:DEMUX.txt"});
  const auto posts = log.Finish();
  EXPECT_EQ(SummaryPackets(r.out), 1) << r.out;
  EXPECT_TRUE(std::filesystem::exists(prog_.File("DEMUX.txt")));
  ASSERT_EQ(posts.size(), 3u);
  EXPECT_EQ(posts[0][1], 1u);
  EXPECT_EQ(posts[0][2], 0u);
  EXPECT_EQ(posts[1][1], 2u);
  EXPECT_EQ(posts[2][1], 2u);
  EXPECT_EQ(r.exitStatus, kToolExitStopped);
}

TEST_F(Kerfdmx, FailedRunStillPostsCompletionTwice) {
  PostLog log(handle_);
  ToolResult r = Run({"-q"});
  EXPECT_EQ(r.out, "オプションの指定が間違っています.\n");
  const auto posts = log.Finish();
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[0][1], 2u);
  EXPECT_EQ(posts[1][1], 2u);
  EXPECT_EQ(r.exitStatus, kToolExitUsage);
}

TEST_F(Kerfdmx, ExitStatusIsDoneWhenNobodyListens) {
  Input(PlainRecording(10));
  EXPECT_EQ(Run({}).exitStatus, kToolExitDone);
}

}  // namespace
#endif
