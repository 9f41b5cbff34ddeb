// The built kerfdmx splitting recordings into programmes: the information file it writes after
// an analysis run, the control file read back, one-programme PATs, and ffprobe's view of the
// outputs.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/demux/kerfdmx_fixture.h"

namespace {

using tsb::Bytes;

tsb::BroadcastService Service(uint16_t sid, uint16_t pmt, uint16_t video, uint16_t audio) {
  tsb::BroadcastService s;
  s.service_id = sid;
  s.pmt_pid = pmt;
  s.video_pid = video;
  s.audio_pid = audio;
  return s;
}

tsb::BroadcastDesc TwoServices() {
  tsb::BroadcastDesc desc;
  desc.services = {
      Service(0x0400, 0x01F0, 0x0100, 0x0110),
      Service(0x0408, 0x01F8, 0x0200, 0x0210),
  };
  desc.packets = 3000;
  return desc;
}

// The one-programme PAT the tool writes in place of the input's PAT packet.
Bytes ExpectedPat(const uint8_t* input, uint16_t tsid, uint8_t version, uint16_t sid, uint16_t pmt,
                  bool network) {
  std::vector<tsb::PatEntry> entries;
  if (network) entries.push_back({0x0000, 0x0010});
  entries.push_back({sid, pmt});
  Bytes section = tsb::Pat(tsid, entries, version).Build();
  Bytes p{input[0], input[1], input[2], uint8_t(0x10 | (input[3] & 0x0F)), 0x00};
  p.insert(p.end(), section.begin(), section.end());
  p.resize(kPacket, 0xFF);
  return p;
}

// What one output should hold: the packets of the listed PIDs in input order, PAT packets
// replaced by patFor(packet) when it gives bytes.
template <typename PatFor>
Bytes ExpectedOutput(const Bytes& input, const std::set<uint16_t>& pids, PatFor patFor) {
  Bytes out;
  for (size_t at = 0; at + kPacket <= input.size(); at += kPacket) {
    const uint8_t* p = input.data() + at;
    uint16_t pid = pid_of(p);
    if (!pids.count(pid)) continue;
    Bytes packet = pid == 0 ? patFor(p) : Bytes(p, p + kPacket);
    if (packet.empty()) packet.assign(p, p + kPacket);
    out.insert(out.end(), packet.begin(), packet.end());
  }
  return out;
}

// Packet-by-packet comparison with the first difference dumped.
::testing::AssertionResult SameStream(const Bytes& actual, const Bytes& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t n = std::min(actual.size(), expected.size());
  size_t i = 0;
  while (i < n && actual[i] == expected[i]) ++i;
  size_t packet = i / kPacket;
  auto dump = [&](const Bytes& b) {
    size_t from = packet * kPacket;
    if (from >= b.size()) return std::string("(none)\n");
    return tsb::hex_dump(b.data() + from, std::min(kPacket, b.size() - from), from);
  };
  return ::testing::AssertionFailure()
         << "sizes " << actual.size() << " / " << expected.size() << ", first difference in packet "
         << packet << "\nactual:\n" << dump(actual) << "expected:\n" << dump(expected);
}

std::string Crlf(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

TEST_F(Kerfdmx, InformationFileThenOneFilePerProgramme) {
  const tsb::TsStream ts = tsb::Broadcast(TwoServices());
  Input(ts.bytes());
  ToolResult r = Run({"-i:DEMUX.txt"});
  ASSERT_EQ(SummaryPackets(r.out), 3000) << r.out;
  const std::string f = prog_.File("");
  EXPECT_EQ(ReadText(prog_.File("DEMUX.txt")),
            Crlf({"MODE=DEMUX", "", "NAME=" + f + "PRG1.TS", "SERVICE_ID=0400", "PID=0000,PAT",
                  "PID=01F0,PMT", "PID=0100,PCR", "PID=0100,V", "PID=0110,A", "",
                  "NAME=" + f + "PRG2.TS", "SERVICE_ID=0408", "PID=0000,PAT", "PID=01F8,PMT",
                  "PID=0200,PCR", "PID=0200,V", "PID=0210,A", ""}));

  r = Run({"-d:DEMUX.txt"});
  EXPECT_EQ(SummaryPackets(r.out), 3000) << r.out;
  auto pat = [](uint16_t sid, uint16_t pmt) {
    return [=](const uint8_t* p) { return ExpectedPat(p, 0x7FE1, 0, sid, pmt, false); };
  };
  EXPECT_TRUE(SameStream(Read(prog_.File("PRG1.TS")),
                         ExpectedOutput(ts.bytes(), {0, 0x1F0, 0x100, 0x110}, pat(0x400, 0x1F0))));
  EXPECT_TRUE(SameStream(Read(prog_.File("PRG2.TS")),
                         ExpectedOutput(ts.bytes(), {0, 0x1F8, 0x200, 0x210}, pat(0x408, 0x1F8))));
}

TEST_F(Kerfdmx, ServiceFoundThroughItsPmtPidWhenNoServiceIdIsGiven) {
  const tsb::TsStream ts = tsb::Broadcast(TwoServices());
  Input(ts.bytes());
  Control("DEMUX.cfg", "MODE=DEMUX\nNAME=" + Out("b.ts") + "\nPID=0000\nPID=01F8\nPID=0200\n");
  Run({"-d:DEMUX.cfg"});
  EXPECT_TRUE(SameStream(Read(Out("b.ts")),
                         ExpectedOutput(ts.bytes(), {0, 0x1F8, 0x200}, [](const uint8_t* p) {
                           return ExpectedPat(p, 0x7FE1, 0, 0x408, 0x1F8, false);
                         })));
}

TEST_F(Kerfdmx, UnmatchedServiceCopiesPatUnchangedAndDoubledPidIsWrittenOnce) {
  const tsb::TsStream ts = tsb::Broadcast(TwoServices());
  Input(ts.bytes());
  Control("DEMUX.cfg", "NAME=" + Out("c.ts") + "\nSERVICE_ID=0999\nPID=0000\nPID=0100\nPID=0100,V\n");
  Run({"-d:DEMUX.cfg"});
  EXPECT_TRUE(SameStream(Read(Out("c.ts")),
                         ExpectedOutput(ts.bytes(), {0, 0x100}, [](const uint8_t*) { return Bytes{}; })));
}

TEST_F(Kerfdmx, OutputsKeepEverythingBeforeAFailedEnd) {
  const tsb::TsStream ts = tsb::Broadcast(TwoServices());
  Bytes in = ts.bytes();
  in[2998 * kPacket] = 0x00;   // a sync loss too near the end to recover from
  Input(in);
  Control("DEMUX.cfg", "NAME=" + Out("a.ts") + "\nSERVICE_ID=0400\nPID=0000\nPID=0100\nNAME=" +
                           Out("b.ts") + "\nPID=0200\n");
  ToolResult r = Run({"-d:DEMUX.cfg"});
  EXPECT_EQ(r.out, "再同期エラー：SYNC BYTEが見つかりません.\n");
  const Bytes head = Slice(in, 0, 2998);
  EXPECT_TRUE(SameStream(Read(Out("a.ts")), ExpectedOutput(head, {0, 0x100}, [](const uint8_t* p) {
                           return ExpectedPat(p, 0x7FE1, 0, 0x400, 0x1F0, false);
                         })));
  EXPECT_TRUE(SameStream(Read(Out("b.ts")),
                         ExpectedOutput(head, {0x200}, [](const uint8_t*) { return Bytes{}; })));
}

TEST_F(Kerfdmx, NetworkEntryKeptWithD1) {
  const tsb::TsStream ts = tsb::Broadcast(TwoServices());
  Input(ts.bytes());
  Control("DEMUX.cfg", "NAME=" + Out("d.ts") + "\nSERVICE_ID=0408\nPID=0000\n");
  Run({"-d1:DEMUX.cfg"});
  const Bytes out = Read(Out("d.ts"));
  ASSERT_GE(out.size(), kPacket);
  EXPECT_EQ(((out[6] & 0x0F) << 8) | out[7], 17);   // section_length with two entries
  EXPECT_TRUE(SameStream(out, ExpectedOutput(ts.bytes(), {0}, [](const uint8_t* p) {
                           return ExpectedPat(p, 0x7FE1, 0, 0x408, 0x1F8, true);
                         })));
}

TEST_F(Kerfdmx, InformationFileClassesEcmAndExclusion) {
  tsb::TsStream ts;
  ts.Section(0x0000, tsb::Pat(0x1234, {{0, 0x0010}, {0x0400, 0x01F0}}, 3).Build());
  Bytes audioDescriptors = tsb::cat({tsb::StreamIdentifierDescriptor(0x10),
                                     tsb::CaDescriptor(0x0005, 0x0131)});
  ts.Section(0x01F0, tsb::Pmt(0x0400, 0x0101,
                              {{0x02, 0x0101, tsb::StreamIdentifierDescriptor(0x00)},
                               {0x0F, 0x0112, audioDescriptors},
                               {0x06, 0x0138, tsb::StreamIdentifierDescriptor(0x30)},
                               {0x0D, 0x0140, tsb::StreamIdentifierDescriptor(0x40)},
                               {0x06, 0x0150, {}}},
                              tsb::CaDescriptor(0x0005, 0x0130))
                         .Build());
  ts.Null(3);
  Input(ts.bytes());
  const std::string name = "NAME=" + prog_.File("") + "PRG1.TS";
  Run({"-i:DEMUX.txt"});
  EXPECT_EQ(ReadText(prog_.File("DEMUX.txt")),
            Crlf({"MODE=DEMUX", "", name, "SERVICE_ID=0400", "PID=0000,PAT", "PID=01F0,PMT",
                  "PID=0101,PCR", "PID=0130,ECM", "PID=0101,V", "PID=0112,A", "PID=0131,ECM",
                  "PID=0138,C", "PID=0140,D", "PID=0150,", ""}));
  Run({"-i:DEMUX.txt", "-x"});
  EXPECT_EQ(ReadText(prog_.File("DEMUX.txt")),
            Crlf({"MODE=DEMUX", "", name, "SERVICE_ID=0400", "PID=0000,PAT", "PID=01F0,PMT",
                  "PID=0101,PCR", "PID=0101,V", "PID=0112,A", "PID=0138,C", "PID=0150,", ""}));

  // Read back as a control file it takes the service's packets with a PAT of version 3.
  Run({"-d:DEMUX.txt"});
  const Bytes out = Read(prog_.File("PRG1.TS"));
  ASSERT_GE(out.size(), kPacket);
  EXPECT_EQ(Slice(out, 0, 1), ExpectedPat(ts.bytes().data(), 0x1234, 3, 0x400, 0x1F0, false));
}

TEST_F(Kerfdmx, FirstProgrammeOnlyAndProgrammeName) {
  tsb::BroadcastDesc desc;
  desc.services = {
      Service(0x0400, 0x01F0, 0x0100, 0),
      Service(0x0401, 0x01F1, 0x0101, 0),
      Service(0x0402, 0x01F2, 0x0102, 0),
  };
  desc.services[0].name = tsb::AribText().Sjis("ニュース").bytes();
  desc.eit = true;
  desc.packets = 1000;
  Input(tsb::Broadcast(desc).bytes());
  Run({"-i1:DEMUX.txt"});
  EXPECT_EQ(ReadText(prog_.File("DEMUX.txt")),
            Crlf({"MODE=DEMUX", "", "// 番組名:ニュース", "NAME=" + prog_.File("") + "PRG1.TS",
                  "SERVICE_ID=0400", "PID=0000,PAT", "PID=01F0,PMT", "PID=0100,PCR", "PID=0100,V",
                  ""}));
}

// A broadcast of three programmes with ARIB-coded titles (kanji, alphanumerics, katakana through
// G3), one of them scrambled, with SDT and TOT: the information file byte for byte and the
// summary's counts as worked out by hand.
TEST_F(Kerfdmx, ThreeProgrammeBroadcastWithTitles) {
  tsb::BroadcastDesc desc;
  desc.services = {
      Service(0x0400, 0x01F0, 0x0111, 0x0112),
      Service(0x0401, 0x01F1, 0x0121, 0x0122),
      Service(0x0402, 0x01F2, 0x0131, 0),
  };
  desc.services[0].name = tsb::AribText().Sjis("ニュース").Alnum("7").bytes();
  desc.services[1].name = tsb::AribText().Sjis("天気予報").bytes();
  desc.services[1].ecm_pid = 0x0123;
  desc.services[2].name = tsb::AribText().Sjis("映画「").KatakanaSjis("カット").Sjis("の日」").bytes();
  desc.eit = true;
  desc.packets = 3000;
  tsb::TsStream ts = tsb::Broadcast(desc);
  tsb::SdtService sdt;
  sdt.service_id = 0x0400;
  sdt.descriptors = tsb::ServiceDescriptor(0x01, tsb::bytes_of("NHK"), tsb::AribText().Sjis("総合").bytes());
  ts.Section(0x0011, tsb::Sdt(desc.transport_stream_id, desc.original_network_id, {sdt}));
  for (int i = 0; i < 3; ++i)   // a TOT every few seconds, with its local time offset descriptor
    ts.Section(0x0014, tsb::Tot(tsb::mjd_bcd_time(2026, 12, 7, 21, 0, i * 5),
                                tsb::Descriptor(0x58, tsb::Bytes(13, 0x00))));
  Input(ts.bytes());
  const ToolResult r = Run({"-i:DEMUX.txt"});

  const std::string f = prog_.File("");
  EXPECT_EQ(ReadText(prog_.File("DEMUX.txt")),
            Crlf({"MODE=DEMUX", "",
                  "// 番組名:ニュース７", "NAME=" + f + "PRG1.TS", "SERVICE_ID=0400", "PID=0000,PAT",
                  "PID=01F0,PMT", "PID=0111,PCR", "PID=0111,V", "PID=0112,A", "",
                  "// 番組名:天気予報", "NAME=" + f + "PRG2.TS", "SERVICE_ID=0401", "PID=0000,PAT",
                  "PID=01F1,PMT", "PID=0121,PCR", "PID=0123,ECM", "PID=0121,V", "PID=0122,A", "",
                  "// 番組名:映画「カットの日」", "NAME=" + f + "PRG3.TS", "SERVICE_ID=0402",
                  "PID=0000,PAT", "PID=01F2,PMT", "PID=0131,PCR", "PID=0131,V", ""}));
  // Descriptor kinds: stream identifier 0x52 (PMTs), CA 0x09 (the scrambled programme's PMT),
  // short event 0x4D (EIT), service 0x48 (SDT), local time offset 0x58 (TOT, three times).
  // PIDs: PAT, the NIT announced in the PAT, three PMTs, five elementary streams, EIT, SDT, TOT.
  EXPECT_EQ(r.out, Summary(uint32_t(ts.PacketCount()), 13, 5, 0, 0, 0));
}

TEST_F(Kerfdmx, PatVersionChangeNumbersProgrammesOn) {
  tsb::BroadcastDesc desc = TwoServices();
  desc.patVersionChangeAt = 1500;
  desc.servicesAfterChange = {
      Service(0x0410, 0x0300, 0x0310, 0),
      Service(0x0418, 0x0308, 0x0318, 0),
  };
  Input(tsb::Broadcast(desc).bytes());
  Run({"-i:DEMUX.txt"});
  const std::string text = ReadText(prog_.File("DEMUX.txt"));
  const std::string f = prog_.File("");
  size_t third = text.find("NAME=" + f + "PRG3.TS\r\nSERVICE_ID=0410\r\n");
  EXPECT_NE(third, std::string::npos) << text;
  EXPECT_NE(text.find("NAME=" + f + "PRG4.TS\r\nSERVICE_ID=0418\r\n"), std::string::npos) << text;
  EXPECT_LT(text.find("SERVICE_ID=0408"), third);
}

TEST_F(Kerfdmx, InformationFileGoesToTheProgramFolder) {
  Input(PlainRecording(30));
  Run({"-i:DEMUX.txt"});
  EXPECT_TRUE(std::filesystem::exists(prog_.File("DEMUX.txt")));
  EXPECT_FALSE(std::filesystem::exists("DEMUX.txt"));
}

#ifndef _WIN32
// ffprobe reads what it finds in a PAT and PMTs: one programme with the service's streams.
std::string Probe(const std::string& path) {
  std::string cmd = "ffprobe -v error -show_entries program=program_id:stream=id -of csv=p=0 '" +
                    path + "' 2>&1";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

TEST_F(Kerfdmx, FfprobeSeesOneProgrammePerOutput) {
  tsb::BroadcastDesc desc = TwoServices();
  desc.packets = 20000;
  Input(tsb::Broadcast(desc).bytes());
  Run({"-i:DEMUX.txt"});
  Run({"-d:DEMUX.txt"});
  const std::string whole = Probe(data_.File("in put.ts"));
  ASSERT_NE(whole.find("1024"), std::string::npos) << whole;   // the input holds both
  ASSERT_NE(whole.find("1032"), std::string::npos) << whole;
  const std::string one = Probe(prog_.File("PRG1.TS"));
  EXPECT_NE(one.find("1024"), std::string::npos) << one;
  EXPECT_EQ(one.find("1032"), std::string::npos) << one;
  EXPECT_NE(one.find("0x100"), std::string::npos) << one;
  EXPECT_NE(one.find("0x110"), std::string::npos) << one;
  EXPECT_EQ(one.find("0x200"), std::string::npos) << one;
  const std::string two = Probe(prog_.File("PRG2.TS"));
  EXPECT_NE(two.find("1032"), std::string::npos) << two;
  EXPECT_EQ(two.find("1024"), std::string::npos) << two;
  EXPECT_NE(two.find("0x200"), std::string::npos) << two;
  EXPECT_NE(two.find("0x210"), std::string::npos) << two;
}
#endif

}  // namespace
