// Section reassembly from packets: spanning, packing, stuffing, lost packets, interleaved PIDs,
// damaged pointers and lengths, and the CRC-32 it checks with.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/demux/psi/psi_fixture.h"

namespace {

std::vector<tsb::PatEntry> Programs(int count, uint16_t firstNumber, uint16_t firstPid) {
  std::vector<tsb::PatEntry> programs;
  for (int i = 0; i < count; ++i) {
    programs.push_back({uint16_t(firstNumber + i), uint16_t(firstPid + i)});
  }
  return programs;
}

// A PMT whose program_info holds one descriptor (tag 0x80) making the section total bytes long.
tsb::Bytes PmtOfSize(uint16_t program_number, uint16_t pcr_pid, size_t total) {
  const size_t bare = tsb::Pmt(program_number, pcr_pid, {}).Build().size();
  const tsb::Bytes info = tsb::Descriptor(0x80, tsb::Bytes(total - bare - 2, 0x11));
  tsb::Bytes s = tsb::Pmt(program_number, pcr_pid, {}, info).Build();
  EXPECT_EQ(s.size(), total);
  return s;
}

}  // namespace

class SectionAssembler : public PsiFixture {};

TEST_F(SectionAssembler, Crc32Mpeg2KnownAnswers) {
  const char* check = "123456789";
  EXPECT_EQ(crc32_mpeg2(reinterpret_cast<const uint8_t*>(check), 9), 0x0376E6E7u);
  EXPECT_EQ(crc32_mpeg2(nullptr, 0), 0xFFFFFFFFu);
  // A section followed by its own CRC_32 leaves a remainder of 0.
  const tsb::Bytes pat = tsb::Pat(0x7FE1, Programs(3, 1, 0x100)).Build();
  EXPECT_EQ(crc32_mpeg2(pat.data(), uint32_t(pat.size())), 0u);
}

TEST_F(SectionAssembler, SectionSpanningTwoPacketsIsParsedWhenItsLastByteArrives) {
  const tsb::Bytes pat = tsb::Pat(0x7FE1, Programs(50, 0x400, 0x1F0)).Build();
  const std::vector<tsb::PacketDesc> packets = tsb::PacketiseSections(0x0000, {pat});
  ASSERT_EQ(packets.size(), 2u);
  SendPacket(packets[0]);
  EXPECT_EQ(layer_.currentTable(), -1);
  SendPacket(packets[1]);
  ASSERT_EQ(layer_.currentTable(), 0);
  EXPECT_EQ(layer_.table(0).serviceCount, 50);
  EXPECT_EQ(layer_.patPidCount(), 50);
  EXPECT_EQ(layer_.table(0).services[49].pmtPid, 0x1F0 + 49);
  EXPECT_EQ(layer_.transportStreamId(), 0x7FE1);
  EXPECT_EQ(layer_.crcErrors(), 0u);
}

TEST_F(SectionAssembler, TwoSectionsInOnePacketAreBothTaken) {
  Send(0x0000, tsb::Pat(1, {{1, 0x0100}, {2, 0x0100}}));
  const tsb::Bytes a = tsb::Pmt(1, 0x0111, {}).Build();
  const tsb::Bytes b = tsb::Pmt(2, 0x0222, {}).Build();
  SendPayload(0x0100, true, tsb::cat({{0x00}, a, b}));
  ASSERT_NE(Current(1), nullptr);
  ASSERT_NE(Current(2), nullptr);
  EXPECT_EQ(Current(1)->pcrPid, 0x0111);
  EXPECT_EQ(Current(2)->pcrPid, 0x0222);
}

TEST_F(SectionAssembler, StuffingOrAShortRemainderEndsThePacket) {
  Send(0x0000, tsb::Pat(1, {{1, 0x0100}, {2, 0x0100}, {3, 0x0101}, {4, 0x0101}, {5, 0x0102},
                            {6, 0x0102}}));
  // 0xFF after a section: the section behind it is never looked at.
  SendPayload(0x0100, true,
              tsb::cat({{0x00}, tsb::Pmt(1, 0x0111, {}).Build(), {0xFF},
                        tsb::Pmt(2, 0x0222, {}).Build()}));
  EXPECT_EQ(Current(1)->pcrPid, 0x0111);
  EXPECT_EQ(Current(2)->pcrPid, 0);

  // 7 bytes left after the first section: no section can start there, even when the next
  // packet carries the rest of one.
  tsb::Bytes second = tsb::Pmt(4, 0x0444, {}).Build();
  tsb::Bytes head(second.begin(), second.begin() + 7);
  tsb::Bytes tail(second.begin() + 7, second.end());
  SendPayload(0x0101, true, tsb::cat({{0x00}, PmtOfSize(3, 0x0333, 184 - 1 - 7), head}));
  SendPayload(0x0101, false, tail);
  EXPECT_EQ(Current(3)->pcrPid, 0x0333);
  EXPECT_EQ(Current(4)->pcrPid, 0);

  // 8 bytes left: a whole header fits, and the section is completed from the next packet.
  second = tsb::Pmt(6, 0x0666, {}).Build();
  head.assign(second.begin(), second.begin() + 8);
  tail.assign(second.begin() + 8, second.end());
  SendPayload(0x0102, true, tsb::cat({{0x00}, PmtOfSize(5, 0x0555, 184 - 1 - 8), head}));
  SendPayload(0x0102, false, tail);
  EXPECT_EQ(Current(5)->pcrPid, 0x0555);
  EXPECT_EQ(Current(6)->pcrPid, 0x0666);
  EXPECT_EQ(layer_.crcErrors(), 0u);
}

TEST_F(SectionAssembler, SectionTornByALostPacketIsNotKept) {
  tsb::LongSection first = tsb::Pat(1, Programs(2, 1, 0x100));
  first.last_section_number = 1;
  tsb::LongSection second = tsb::Pat(1, Programs(50, 3, 0x200));
  second.section_number = 1;
  second.last_section_number = 1;
  const tsb::Bytes s0 = first.Build();
  const tsb::Bytes s1 = second.Build();
  tsb::SectionPacking packing;
  packing.newPacketPerSection = true;
  const std::vector<tsb::PacketDesc> packets = tsb::PacketiseSections(0x0000, {s0, s1}, packing);
  ASSERT_EQ(packets.size(), 3u);
  SendPacket(packets[0]);
  SendPacket(packets[1]);   // the packet with the rest of section 1 is lost
  EXPECT_EQ(layer_.currentTable(), -1);
  Send(0x0000, s0);
  Send(0x0000, s1);
  ASSERT_EQ(layer_.currentTable(), 0);
  EXPECT_EQ(layer_.table(0).serviceCount, 52);
  EXPECT_EQ(layer_.table(0).services[51].pmtPid, 0x200 + 49);
  EXPECT_EQ(layer_.crcErrors(), 0u);
}

TEST_F(SectionAssembler, OnlyCurrentSectionsFromSectionZeroOnAreStored) {
  tsb::LongSection next = tsb::Pat(1, Programs(1, 9, 0x100), 1);
  next.current_next_indicator = false;   // the version that applies next
  Send(0x0000, next);
  EXPECT_EQ(layer_.currentTable(), -1);
  tsb::LongSection first = tsb::Pat(1, Programs(1, 1, 0x100));
  first.last_section_number = 1;
  tsb::LongSection second = tsb::Pat(1, Programs(1, 2, 0x101));
  second.section_number = 1;
  second.last_section_number = 1;
  Send(0x0000, second);   // before section 0: not kept
  Send(0x0000, first);
  EXPECT_EQ(layer_.currentTable(), -1);
  Send(0x0000, second);
  ASSERT_EQ(layer_.currentTable(), 0);
  EXPECT_EQ(layer_.table(0).serviceCount, 2);
  EXPECT_EQ(layer_.table(0).services[1].serviceId, 2);
}

TEST_F(SectionAssembler, InterleavedPidsOfOneTableKindKeepTheirSectionsApart) {
  Send(0x0000, tsb::Pat(1, {{1, 0x0100}, {2, 0x0101}}));
  auto pmt = [](uint16_t program, uint16_t pcr) {
    std::vector<tsb::PmtStream> streams;
    for (uint16_t k = 0; k < 3; ++k) {
      streams.push_back({0x06, uint16_t(pcr + k),
                         tsb::cat({tsb::StreamIdentifierDescriptor(uint8_t(0x30 + k)),
                                   tsb::Descriptor(0xC1, tsb::Bytes(60, 0x22))})});
    }
    return tsb::Pmt(program, pcr, streams).Build();
  };
  const std::vector<tsb::PacketDesc> a = tsb::PacketiseSections(0x0100, {pmt(1, 0x0300)});
  const std::vector<tsb::PacketDesc> b = tsb::PacketiseSections(0x0101, {pmt(2, 0x0400)});
  ASSERT_EQ(a.size(), 2u);
  ASSERT_EQ(b.size(), 2u);
  SendPacket(a[0]);
  SendPacket(b[0]);
  SendPacket(a[1]);
  SendPacket(b[1]);
  for (uint16_t program : {1, 2}) {
    const Service* s = Current(program);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->streamCount, 3) << "program " << program;
    EXPECT_STREQ(class_text(s->streams[2].streamClass), "C");
  }
  EXPECT_EQ(layer_.crcErrors(), 0u);
}

TEST_F(SectionAssembler, DamagedPointersAndAdaptationLengthsAreIgnored) {
  const tsb::Bytes pat = tsb::Pat(1, Programs(1, 1, 0x100)).Build();
  auto raw = [&](uint8_t flags, const tsb::Bytes& rest) {
    tsb::Bytes p = tsb::cat({{0x47, 0x40, 0x00, flags}, rest});
    p.resize(188, 0xFF);
    ts_.Raw(p);
    Pump();
  };
  raw(0x10, tsb::cat({{183}, pat}));   // pointer_field to the last byte
  raw(0x10, tsb::cat({{250}, pat}));   // pointer_field past the packet
  raw(0x10, tsb::cat({{178}, pat}));   // section header cut by the packet end
  raw(0x30, {183, 0x00});              // adaptation field fills the packet
  raw(0x30, {255, 0x00});              // adaptation_field_length past the packet
  raw(0x20, {0x00, pat[0]});           // no payload
  EXPECT_EQ(layer_.currentTable(), -1);
  // The PID still works afterwards.
  Send(0x0000, pat);
  EXPECT_EQ(layer_.currentTable(), 0);
}

TEST_F(SectionAssembler, TableLargerThanASlotNeverOverflowsIt) {
  // Twenty sections of 4096 bytes on the CDT PID: more than a slot holds.
  for (uint8_t n = 0; n < 20; ++n) {
    tsb::LongSection s;
    s.table_id = 0xC8;
    s.section_number = n;
    s.last_section_number = 20;
    s.body = tsb::Bytes(4084, 0x5A);
    Send(0x0029, s);
  }
  // A lying section_length on a PMT, repeated, never makes the slot grow past its buffer.
  Send(0x0000, tsb::Pat(1, Programs(1, 1, 0x100)));
  for (int i = 0; i < 40; ++i) {
    tsb::LongSection s = tsb::Pmt(1, 0x101, {});
    s.section_number = uint8_t(1 + i);
    s.last_section_number = 255;
    s.section_length = 0x0FFF;
    Send(0x0100, s);
  }
  EXPECT_EQ(Current(1)->pcrPid, 0);
  Send(0x0100, tsb::Pmt(1, 0x101, {}));
  EXPECT_EQ(Current(1)->pcrPid, 0x101);
}

TEST_F(SectionAssembler, RandomPacketsOnEveryRouteStayInsideTheirBuffers) {
  Send(0x0000, tsb::Pat(1, {{0, 0x0010}, {1, 0x0100}, {2, 0x0101}}));
  Send(0x0100, tsb::Pmt(1, 0x0200, {{0x02, 0x0200, tsb::CaDescriptor(5, 0x0300)}},
                        tsb::CaDescriptor(5, 0x0301)));
  const uint16_t pids[] = {0x0000, 0x0001, 0x0010, 0x0011, 0x0012, 0x0014, 0x001E, 0x001F,
                           0x0023, 0x0024, 0x0026, 0x0027, 0x0028, 0x0029, 0x0100, 0x0101,
                           0x0300, 0x0301, 0x0721};
  std::mt19937 random(188);
  tsb::Bytes packet(188);
  for (int i = 0; i < 20000; ++i) {
    for (uint8_t& b : packet) b = uint8_t(random());
    const uint16_t pid = pids[random() % std::size(pids)];
    packet[0] = 0x47;
    packet[1] = uint8_t((packet[1] & 0xE0) | (pid >> 8));
    packet[2] = uint8_t(pid);
    if (random() % 2) packet[5 + (packet[4] % 8)] = 0x00;   // plausible table headers
    layer_.HandlePacket(packet.data(), pid);
  }
  EXPECT_LT(layer_.currentTable(), kMaxProgrammeTables);
  EXPECT_LE(layer_.descriptorKinds(), 255u);
}
