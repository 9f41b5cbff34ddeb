// The built kerfdmx under real faults of the file system: an output file system that fills up in
// the middle of a run, and a recording that cannot be written by anyone, read through every kind
// of run.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/demux/kerfdmx_fixture.h"
#include "tests/support/test_mounts.h"

namespace {

using tsb::Bytes;

constexpr char kWriteError[] = "DEMUX用のファイルの書き込みでエラーが発生しました.\n";

#ifndef _WIN32
// The packets of one PID, in order.
Bytes PacketsOf(const Bytes& b, uint16_t pid) {
  Bytes out;
  for (size_t at = 0; at + kPacket <= b.size(); at += kPacket)
    if (pid_of(b.data() + at) == pid) out.insert(out.end(), b.begin() + long(at), b.begin() + long(at + kPacket));
  return out;
}

bool StartsWith(const Bytes& whole, const Bytes& prefix) {
  return prefix.size() <= whole.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

// A 64 KiB file system that the outputs fill long before the range ends: the write-error
// message and no summary, status 4, completion posted twice, outputs of whole packets that are
// the start of what they should hold, and the recording as it was.
TEST_F(Kerfdmx, OutputFileSystemFillingUpEndsTheRunWithWholePackets) {
  const std::string small = Out("small");
  std::filesystem::create_directory(small);
  tsb::TestMount fs = tsb::TestMount::SmallFileSystem(small, 64 * 1024);
  if (!fs.ok()) GTEST_SKIP() << "no small file system to fill: " << fs.why();
  const Bytes in = PlainRecording(6000);   // 1.1 MB
  const std::string input = Input(in);
  const std::string out = small + "/out.ts";
  struct Case {
    const char* what;
    std::string control;
    Bytes complete;   // what the output holds after a run with room enough
  };
  const Case cases[] = {
      {"MODE=ALL", "MODE=ALL\nNAME=" + out + "\n", in},
      {"MODE=DEMUX", "NAME=" + out + "\nPID=0100\n", PacketsOf(in, 0x0100)},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(out);
    Control("DEMUX.cfg", c.control);
    PostLog log(handle_);
    ASSERT_TRUE(log.ok());
    const ToolResult r = Run({"-d:DEMUX.cfg"});
    EXPECT_EQ(r.out, kWriteError) << c.what;
    EXPECT_EQ(r.exitStatus, 4) << c.what;
    const auto posts = log.Finish();
    ASSERT_GE(posts.size(), 2u) << c.what;
    EXPECT_EQ(posts[posts.size() - 1][1], 2u);
    EXPECT_EQ(posts[posts.size() - 2][1], 2u);
    const Bytes written = Read(out);
    EXPECT_GT(written.size(), 0u) << c.what;
    EXPECT_EQ(written.size() % kPacket, 0u) << c.what << ": " << written.size();
    EXPECT_LT(written.size(), c.complete.size()) << c.what;
    EXPECT_TRUE(StartsWith(c.complete, written)) << c.what;
    EXPECT_EQ(Read(input), in) << c.what;
  }
}
#endif

#ifndef _WIN32
// A recording whose reading fails (the tool's own memory file fails every read at offset 0 with
// an I/O error): the run is an input failure with its message, never a normal end of file.
TEST_F(Kerfdmx, ReadErrorIsAnInputFailureNotTheEndOfTheFile) {
  Control("ALL.cfg", "MODE=ALL\nNAME=" + Out("all.ts") + "\n");
  for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"-d:ALL.cfg"}, {"-i:DEMUX.txt"}}) {
    const ToolResult r = run_tool(tool_, [&] {
      std::vector<std::string> args{"/proc/self/mem", hOption_};
      args.insert(args.end(), options.begin(), options.end());
      return args;
    }());
    EXPECT_EQ(r.out, "入力TSファイルの読み込みでエラーが発生しました.\n");
    EXPECT_EQ(r.exitStatus, 3);
  }
  EXPECT_EQ(Read(Out("all.ts")).size(), 0u);
  EXPECT_FALSE(std::filesystem::exists(prog_.File("DEMUX.txt")));
}
#endif

// The recording cannot be written by anyone (a read-only mount over it, or the read-only
// attribute under Windows): every kind of run reads it to the end as usual and leaves it as it was.
TEST_F(Kerfdmx, ReadOnlyRecordingServesEveryKindOfRun) {
  const Bytes in = PlainRecording(3000);
  const std::string input = Input(in);
#ifdef _WIN32
  // The read-only attribute. Wine run by root still lets a program write such a file; there the
  // unchanged bytes are what shows that nothing wrote it.
  std::filesystem::permissions(input, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  ASSERT_EQ(std::filesystem::status(input).permissions() & std::filesystem::perms::owner_write,
            std::filesystem::perms::none);
  if (std::ofstream(input, std::ios::binary | std::ios::app))
    std::printf("NOTE: the read-only attribute does not keep this process from writing the recording\n");
#else
  tsb::TestMount readOnly = tsb::TestMount::ReadOnly(input);
  if (!readOnly.ok()) GTEST_SKIP() << "the recording cannot be made read-only: " << readOnly.why();
#endif
  Control("ALL.cfg", "MODE=ALL\nNAME=" + Out("all.ts") + "\n");
  Control("DEMUX.cfg", "NAME=" + Out("video.ts") + "\nSERVICE_ID=0400\nPID=0000\nPID=01F0\nPID=0100\n");
  const std::vector<std::vector<std::string>> runs = {
      {}, {"-i:DEMUX.txt"}, {"-i1:DEMUX.txt", "-x"}, {"-d:ALL.cfg"}, {"-d:DEMUX.cfg"}, {"-d1:DEMUX.cfg", "-s:A", "-e:FF"}};
  for (const auto& options : runs) {
    const ToolResult r = Run(options);
    const std::string what = options.empty() ? "no request" : options[0];
    EXPECT_EQ(r.exitStatus, 0) << what << ": " << r.out;
    EXPECT_GT(SummaryPackets(r.out), 0) << what;
    EXPECT_EQ(Read(input), in) << what;
  }
  EXPECT_EQ(Read(Out("all.ts")), in);
#ifdef _WIN32
  std::filesystem::permissions(input, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
#endif
}

}  // namespace
