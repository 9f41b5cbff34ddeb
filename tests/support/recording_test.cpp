// Temporary folders, whole broadcasts, and ffprobe as an independent reader of built streams.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "tests/support/stream_builder.h"

namespace {

using tsb::Bytes;

int pid_of(const Bytes& p) { return ((p[1] & 0x1F) << 8) | p[2]; }

TEST(TempDir, UniqueFoldersRemovedWithTheirFiles) {
  std::string kept;
  {
    tsb::TempDir a, b;
    EXPECT_NE(a.path(), b.path());
    ASSERT_TRUE(std::filesystem::is_directory(a.path()));
    const std::string file = a.Write("x.ts", {1, 2, 3});
    EXPECT_EQ(file, a.File("x.ts"));
    EXPECT_EQ(tsb::ReadFile(file), (Bytes{1, 2, 3}));
    a.Write("x.ts", {4});
    EXPECT_EQ(tsb::ReadFile(file), (Bytes{4})) << "replaced, not appended";
    std::filesystem::create_directory(a.File("sub"));
    tsb::WriteFile(a.File("sub") + "/y", Bytes(10000, 7));
    kept = a.path();
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
  EXPECT_THROW(tsb::ReadFile(kept + "/x.ts"), std::runtime_error);
  EXPECT_THROW(tsb::WriteFile(kept + "/no/such/folder", {}), std::runtime_error);
}

// The fixture shown at the top of the builder's header, as other test folders will write it.
TEST(TempDir, HeaderExampleWritesARecording) {
  tsb::TsStream ts;
  ts.Section(0x0000, tsb::Pat(0x7FE1, {{0, 0x0010}, {0x0400, 0x01F0}}));
  ts.Section(0x01F0, tsb::Pmt(0x0400, 0x0100, {{0x02, 0x0100, tsb::StreamIdentifierDescriptor(0x00)},
                                               {0x0F, 0x0110, tsb::StreamIdentifierDescriptor(0x10)}}));
  ts.Pes(0x0100, {.stream_id = 0xE0, .pts = 90000, .data = tsb::Bytes(1000, 0xAA)},
         tsb::Pcr::FromMs(1000));
  tsb::TempDir dir;
  const std::string path = dir.Write("in.ts", ts.bytes());
  const Bytes back = tsb::ReadFile(path);
  ASSERT_EQ(back.size(), 2u * 188 + 6 * 188) << "PAT, PMT and 1014 PES bytes in 6 packets";
  EXPECT_EQ(back, ts.bytes());
  EXPECT_EQ(pid_of(ts.PacketAt(1)), 0x01F0);
  EXPECT_EQ(pid_of(ts.PacketAt(7)), 0x0100);
}

class BroadcastStream : public ::testing::Test {
 protected:
  static tsb::BroadcastDesc TwoServices() {
    tsb::BroadcastDesc desc;
    desc.services = {{.service_id = 0x0400, .pmt_pid = 0x01F0, .video_pid = 0x0100, .audio_pid = 0x0110,
                      .name = tsb::AribText().Sjis("ニュース").bytes()},
                     {.service_id = 0x0408, .pmt_pid = 0x01F8, .video_pid = 0x0200, .audio_pid = 0,
                      .pcr_pid = 0x01FF, .name = tsb::AribText().Sjis("天気").bytes(), .ecm_pid = 0x0901}};
    desc.packets = 3000;
    desc.psiInterval = 500;
    desc.eit = true;
    desc.bitrate = 4000000;
    return desc;
  }
};

TEST_F(BroadcastStream, PsiRoundsPcrTimelineAndContinuity) {
  const tsb::TsStream ts = tsb::Broadcast(TwoServices());
  ASSERT_EQ(ts.PacketCount(), 3000u);
  std::map<int, int> lastCc;
  std::map<int, uint64_t> lastPcr;
  std::map<int, size_t> count;
  for (size_t i = 0; i < ts.PacketCount(); ++i) {
    const Bytes p = ts.PacketAt(i);
    const int pid = pid_of(p);
    ++count[pid];
    if (i % 500 == 0) {
      EXPECT_EQ(pid, 0) << "PAT opens each round, packet " << i;
    }
    if (p[3] & 0x10) {
      if (lastCc.count(pid)) {
        EXPECT_EQ(p[3] & 0x0F, (lastCc[pid] + 1) & 0x0F) << "PID " << pid << " packet " << i;
      }
      lastCc[pid] = p[3] & 0x0F;
    }
    if ((p[3] & 0x20) && p[4] > 0 && (p[5] & 0x10)) {
      const uint64_t base = (uint64_t(p[6]) << 25) | (p[7] << 17) | (p[8] << 9) | (p[9] << 1) | (p[10] >> 7);
      const uint64_t ticks = base * 300 + (((p[10] & 1) << 8) | p[11]);
      EXPECT_EQ(ticks, ts.ClockAt(i).Ticks());
      if (lastPcr.count(pid)) {
        EXPECT_LE(ticks - lastPcr[pid], 40u * 27000) << "PID " << pid << " packet " << i;
      }
      lastPcr[pid] = ticks;
    }
  }
  EXPECT_EQ(lastPcr.size(), 2u);
  EXPECT_TRUE(lastPcr.count(0x0100) && lastPcr.count(0x01FF));
  EXPECT_EQ(count[0x0000], 6u);
  EXPECT_EQ(count[0x0012], 12u) << "present and following of two services, six rounds";
  EXPECT_GT(count[0x0100], count[0x0110]);
  EXPECT_GT(count[0x0200], 0u);
  // The second PMT: PCR PID 0x01FF, the CA descriptor, the video stream only.
  const Bytes pmt = ts.PacketAt(2);
  ASSERT_EQ(pid_of(pmt), 0x01F8);
  const Bytes expected = tsb::Pmt(0x0408, 0x01FF, {{0x02, 0x0200, tsb::StreamIdentifierDescriptor(0x00)}},
                                  tsb::CaDescriptor(0x0005, 0x0901));
  EXPECT_EQ(Bytes(pmt.begin() + 5, pmt.begin() + 5 + expected.size()), expected) << tsb::hex_dump(pmt);
  // EIT p/f of the first service: the present event's name in section 0.
  const Bytes eit = ts.PacketAt(3);
  ASSERT_EQ(pid_of(eit), 0x0012);
  const Bytes present = tsb::EitPf(0x0400, 0x7FE1, 0x7FE1, 0, 0x1400, tsb::AribText().Sjis("ニュース").bytes());
  EXPECT_EQ(Bytes(eit.begin() + 5, eit.begin() + 5 + present.size()), present) << tsb::hex_dump(eit);
}

TEST_F(BroadcastStream, PatVersionChangeAtAGivenPacket) {
  tsb::BroadcastDesc desc = TwoServices();
  desc.patVersionChangeAt = 1234;
  desc.servicesAfterChange = {desc.services[1]};
  const tsb::TsStream ts = tsb::Broadcast(desc);
  std::vector<std::pair<size_t, Bytes>> pats;
  for (size_t i = 0; i < ts.PacketCount(); ++i) {
    const Bytes p = ts.PacketAt(i);
    if (pid_of(p) == 0) pats.emplace_back(i, Bytes(p.begin() + 5, p.begin() + 5 + 3 + p[7]));
  }
  ASSERT_GE(pats.size(), 4u);
  for (const auto& [index, section] : pats) {
    ASSERT_EQ(tsb::crc32_mpeg2(section), 0u);
    const int version = (section[5] >> 1) & 0x1F;
    EXPECT_EQ(version, index >= 1234 ? 1 : 0) << "packet " << index;
    EXPECT_EQ(section.size(), index >= 1234 ? 12u + 8 : 12u + 12);
  }
  EXPECT_EQ(pats[3].first, 1234u) << "the change is sent at once";
}

// ffprobe, when present, reads the built stream independently of anything in this project.
class FfprobeOracle : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "ffprobe is a Linux program; not run under Wine";
#else
    if (std::system("ffprobe -version >/dev/null 2>&1") != 0 ||
        std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "ffprobe or ffmpeg not installed";
    }
#endif
  }

  // Runs a shell command and returns its standard output.
  static std::string Run(const std::string& command) {
    std::string out;
    FILE* f = popen(command.c_str(), "r");
    if (f == nullptr) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    pclose(f);
    return out;
  }

  Bytes MakeClip() {
    const std::string clip = dir.File("clip.m2v");
    const int rc = std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=30000/1001 "
                                "-frames:v 6 -c:v mpeg2video -f mpeg2video '" + clip + "'").c_str());
    EXPECT_EQ(rc, 0);
    return tsb::ReadFile(clip);
  }

  std::string Probe(const std::string& path, std::string* errors) {
    const std::string err = dir.File("probe.err");
    const std::string json = Run("ffprobe -v error -show_programs -show_streams -of json '" + path +
                                 "' 2>'" + err + "'");
    const Bytes e = tsb::ReadFile(err);
    *errors = std::string(e.begin(), e.end());
    return json;
  }

  static bool Has(const std::string& json, const std::string& text) {
    return json.find(text) != std::string::npos;
  }

  tsb::TempDir dir;
};

TEST_F(FfprobeOracle, ReadsProgramPmtPcrAndStreamPids) {
  const Bytes video = MakeClip();
  ASSERT_FALSE(video.empty());
  tsb::TsStream ts;
  ts.SetClock(2000000, tsb::Pcr::FromMs(2000));
  auto psi = [](tsb::TsStream& s) {
    s.Section(0x0000, tsb::Pat(0x7FE1, {{0x0000, 0x0010}, {0x0400, 0x01F0}}).Build());
    s.Section(0x01F0, tsb::Pmt(0x0400, 0x01FF,
                               {{0x02, 0x0100, tsb::StreamIdentifierDescriptor(0x00)},
                                {0x0F, 0x0110, tsb::StreamIdentifierDescriptor(0x10)}})
                          .Build());
  };
  psi(ts);
  tsb::EsEmbedding how;
  how.pid = 0x0100;
  how.pcrPid = 0x01FF;
  how.beforePacket = [&](tsb::TsStream& s, size_t i) {
    if (i > 0 && i % 40 == 0) psi(s);
    // A few short audio PES on their own PID (only the PID is checked, not the audio).
    if (i % 20 == 10) s.Pes(0x0110, {.stream_id = 0xC0, .pts = s.ClockNow().base + 45000, .data = Bytes(8, 0)});
  };
  tsb::EmbedEs(ts, video, how);
  const std::string path = dir.Write("built.ts", ts.bytes());

  std::string errors;
  const std::string json = Probe(path, &errors);
  EXPECT_TRUE(errors.empty()) << errors;
  EXPECT_TRUE(Has(json, "\"program_num\": 1024")) << json;
  EXPECT_TRUE(Has(json, "\"pmt_pid\": 496")) << json;
  EXPECT_TRUE(Has(json, "\"pcr_pid\": 511")) << json;
  EXPECT_TRUE(Has(json, "\"id\": \"0x100\"")) << json;
  EXPECT_TRUE(Has(json, "\"id\": \"0x110\"")) << json;
  EXPECT_TRUE(Has(json, "\"codec_name\": \"mpeg2video\"")) << json;
  EXPECT_TRUE(Has(json, "\"width\": 176")) << json;
}

TEST_F(FfprobeOracle, ReadsBothServicesOfABroadcast) {
  tsb::BroadcastDesc desc;
  desc.services = {{.service_id = 0x0400, .pmt_pid = 0x01F0, .video_pid = 0x0100, .audio_pid = 0},
                   {.service_id = 0x0408, .pmt_pid = 0x01F8, .video_pid = 0x0200, .audio_pid = 0,
                    .pcr_pid = 0x01FF}};
  desc.videoEs = MakeClip();
  desc.packets = 2000;
  const std::string path = dir.Write("broadcast.ts", tsb::Broadcast(desc).bytes());
  std::string errors;
  const std::string json = Probe(path, &errors);
  EXPECT_TRUE(errors.empty()) << errors;
  EXPECT_TRUE(Has(json, "\"program_num\": 1024")) << json;
  EXPECT_TRUE(Has(json, "\"program_num\": 1032")) << json;
  EXPECT_TRUE(Has(json, "\"pmt_pid\": 504")) << json;
  EXPECT_TRUE(Has(json, "\"pcr_pid\": 256")) << json;
  EXPECT_TRUE(Has(json, "\"pcr_pid\": 511")) << json;
  EXPECT_TRUE(Has(json, "\"id\": \"0x200\"")) << json;
}

}  // namespace
