// PAT, CAT and PMT into the programme tables: versions, stream classes, CA descriptors, CRC
// counting, descriptor kinds, distinct PIDs, and PAT version changes.
#include <string>
#include <vector>

#include "demux/psi/stream_kind.h"
#include "tests/demux/psi/psi_fixture.h"

namespace {

constexpr uint16_t kPmtA = 0x01F0, kPmtB = 0x01F1, kPmtC = 0x01F2;

tsb::LongSection AvPmt(uint16_t program, uint16_t video, uint8_t version = 0,
                       const tsb::Bytes& programInfo = {}) {
  return tsb::Pmt(program, video,
                  {{0x02, video, tsb::StreamIdentifierDescriptor(0x00)},
                   {0x0F, uint16_t(video + 0x10), tsb::StreamIdentifierDescriptor(0x10)}},
                  programInfo, version);
}

tsb::Bytes Name(const char* sjis) { return tsb::AribText().Sjis(sjis).bytes(); }

}  // namespace

class ProgrammeTables : public PsiFixture {};

TEST_F(ProgrammeTables, RepeatedPatKeepsOneTableAndAVersionChangeStartsAnEmptyOne) {
  Send(0x0000, tsb::Pat(0x7FE1, {{0, 0x0010}, {0x0400, kPmtA}}));
  Send(kPmtA, AvPmt(0x0400, 0x0100));
  Send(0x0000, tsb::Pat(0x7FE1, {{0, 0x0010}, {0x0400, kPmtA}}));
  EXPECT_EQ(layer_.currentTable(), 0);
  EXPECT_EQ(layer_.patPidCount(), 2);
  EXPECT_EQ(Current(0x0400)->streamCount, 2);

  Send(0x0000, tsb::Pat(0x7FE2, {{0x0400, kPmtA}, {0x0401, kPmtB}}, 1));
  ASSERT_EQ(layer_.currentTable(), 1);
  EXPECT_EQ(layer_.transportStreamId(), 0x7FE2);
  EXPECT_EQ(layer_.patVersion(), 1);
  ASSERT_EQ(layer_.patPidCount(), 2);
  EXPECT_EQ(layer_.patPid(1).programNumber, 0x0401);
  EXPECT_EQ(layer_.patPid(1).pid, kPmtB);
  ASSERT_EQ(layer_.table(1).serviceCount, 2);
  EXPECT_EQ(Current(0x0400)->streamCount, 0);
  EXPECT_EQ(Current(0x0400)->pcrPid, 0);
  // The old table keeps what it had.
  EXPECT_EQ(FindService(0, 0x0400)->streamCount, 2);
  EXPECT_EQ(FindService(0, 0x0400)->pcrPid, 0x0100);
}

TEST_F(ProgrammeTables, StreamClassComesFromTheComponentTag) {
  Send(0x0000, tsb::Pat(1, {{1, kPmtA}}));
  // The edges of the tag ranges where the class changes.
  const std::vector<std::pair<uint8_t, const char*>> tags = {
      {0x0F, "V"}, {0x10, "A"}, {0x2F, "A"}, {0x30, "C"}, {0x3F, "C"}, {0x40, "D"}, {0x80, "D"},
      {0x81, "V"}, {0x83, "A"}, {0x87, "C"}, {0x8B, "D"}, {0x8F, "A"}, {0x90, ""}};
  std::vector<tsb::PmtStream> streams;
  for (size_t i = 0; i < tags.size(); ++i) {
    streams.push_back({0x06, uint16_t(0x0100 + i), tsb::StreamIdentifierDescriptor(tags[i].first)});
  }
  streams.push_back({0x02, 0x0200, {}});   // no descriptors
  Send(kPmtA, tsb::Pmt(1, 0x0100, streams));
  const Service* s = Current(1);
  ASSERT_EQ(s->streamCount, int(tags.size()) + 1);
  for (size_t i = 0; i < tags.size(); ++i) {
    EXPECT_STREQ(class_text(s->streams[i].streamClass), tags[i].second) << "tag " << int(tags[i].first);
  }
  EXPECT_STREQ(class_text(s->streams[tags.size()].streamClass), "");
}

TEST_F(ProgrammeTables, StreamKindComesFromTypeThenNamingDescriptorThenComponentTag) {
  Send(0x0000, tsb::Pat(1, {{1, kPmtA}, {2, kPmtB}}));
  using tsb::Descriptor;
  const tsb::Bytes english = Descriptor(0x0A, {'e', 'n', 'g', 0});   // ISO 639: 'e' is no tag
  struct Case {
    uint8_t stream_type;
    tsb::Bytes descriptors;
    const char* streamClass;
    const char* codec;
  };
  const std::vector<Case> cases = {
      {0x01, {}, "V", "mpeg1video"},
      {0x02, english, "V", "mpeg2video"},
      {0x02, tsb::StreamIdentifierDescriptor(0x10), "V", "mpeg2video"},   // a DVB tag in ARIB's audio range
      {0x1B, {}, "V", "h264"},
      {0x24, {}, "V", "hevc"},
      {0x03, english, "A", "mpeg_audio"},
      {0x04, {}, "A", "mpeg_audio"},
      {0x0F, tsb::StreamIdentifierDescriptor(0x10), "A", "aac"},
      {0x11, {}, "A", "aac_latm"},
      {0x81, {}, "A", "ac3"},
      {0x87, {}, "A", "eac3"},
      {0x06, tsb::cat({english, Descriptor(0x6A, {0})}), "A", "ac3"},
      {0x06, Descriptor(0x7A, {0}), "A", "eac3"},
      {0x06, Descriptor(0x7B, {0, 0, 0, 0, 0}), "A", "dts"},
      {0x06, Descriptor(0x05, {'A', 'C', '-', '3'}), "A", "ac3"},
      {0x06, Descriptor(0x05, {'E', 'A', 'C', '3'}), "A", "eac3"},
      {0x06, Descriptor(0x05, {'K', 'L', 'V', 'A'}), "D", ""},
      {0x06, tsb::cat({tsb::StreamIdentifierDescriptor(0x05), Descriptor(0x59, {'e', 'n', 'g', 0x10, 0, 1, 0, 1})}),
       "C", "dvb_subtitle"},
      {0x06, Descriptor(0x56, {'d', 'e', 'u', 0x09, 0x00}), "C", "dvb_teletext"},
      {0x06, tsb::cat({tsb::StreamIdentifierDescriptor(0x30), Descriptor(0xFD, {0x00, 0x08, 0x3D})}), "C",
       "arib_caption"},
      {0x06, tsb::StreamIdentifierDescriptor(0x38), "C", ""},
      {0x0D, tsb::cat({tsb::StreamIdentifierDescriptor(0x40), Descriptor(0xFD, {0x00, 0x0C})}), "D", ""},
      {0x06, tsb::StreamIdentifierDescriptor(0x05), "D", ""},   // ARIB's video range on private data
      {0x06, {}, "D", ""},
      {0x06, {0x59, 0x08, 'e', 'n', 'g'}, "D", ""},   // a descriptor that runs past its loop is not read
      {0x86, {}, "D", "scte_35"},
      {0x86, Descriptor(0x05, {'H', 'D', 'M', 'V'}), "D", "scte_35"},   // Blu-ray's numbering per stream: no
      {0x90, tsb::StreamIdentifierDescriptor(0x00), "", ""},
  };
  std::vector<tsb::PmtStream> streams;
  for (size_t i = 0; i < cases.size(); ++i)
    streams.push_back({cases[i].stream_type, uint16_t(0x0100 + i), cases[i].descriptors});
  Send(kPmtA, tsb::Pmt(1, 0x0100, streams));
  const Service* s = Current(1);
  ASSERT_EQ(s->streamCount, int(cases.size()));
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(s->streams[i].stream_type, cases[i].stream_type);
    EXPECT_STREQ(class_text(s->streams[i].kind.streamClass), cases[i].streamClass) << "case " << i;
    EXPECT_STREQ(codec_name(s->streams[i].kind.codec), cases[i].codec) << "case " << i;
  }
  // Blu-ray's numbering holds in a programme registered as "HDMV"; ISO's types keep their meaning.
  Send(kPmtB, tsb::Pmt(2, 0x0100, {{0x86, 0x0300, english}, {0xEA, 0x0301, {}}, {0x04, 0x0302, {}}},
                       tsb::cat({english, Descriptor(0x05, {'H', 'D', 'M', 'V'})})));
  const Service* bd = Current(2);
  ASSERT_EQ(bd->streamCount, 3);
  const char* const kinds[] = {"A dts", "V vc1", "A mpeg_audio"};
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(std::string(class_text(bd->streams[k].kind.streamClass)) + " " + codec_name(bd->streams[k].kind.codec),
              kinds[k]);
  // The information file's class stays the component tag's, read where the tag would stand.
  EXPECT_STREQ(class_text(s->streams[1].streamClass), "D");   // 'e' (0x65)
  EXPECT_STREQ(class_text(s->streams[2].streamClass), "A");
}

TEST_F(ProgrammeTables, CaDescriptorsSetEcmPidsOfServicesAndStreamsOnly) {
  Send(0x0000, tsb::Pat(1, {{1, kPmtA}, {2, kPmtB}}));
  Send(0x0001, tsb::Cat(tsb::CaDescriptor(0x0005, 0x0901)));
  Send(kPmtA, tsb::Pmt(1, 0x0100,
                       {{0x02, 0x0100, tsb::cat({tsb::StreamIdentifierDescriptor(0x00),
                                                 tsb::CaDescriptor(0x0005, 0x0902)})},
                        {0x0F, 0x0110, tsb::CaDescriptor(0x0005, 0x1FFF)}},
                       tsb::CaDescriptor(0x0005, 0x0903)));
  Send(kPmtB, tsb::Pmt(2, 0x0200, {{0x02, 0x0200, {}}}, tsb::CaDescriptor(0x0005, 0x1FFF)));
  const Service* a = Current(1);
  EXPECT_EQ(a->ecmPid, 0x0903);
  EXPECT_EQ(a->streams[0].ecmPid, 0x0902);
  EXPECT_EQ(a->streams[1].ecmPid, 0);
  EXPECT_EQ(Current(2)->ecmPid, 0);   // CA_PID 0x1FFF and the CAT's descriptor set nothing

  // The ECM PID now carries ECM sections: their descriptors (from byte 34) are walked.
  const size_t before = layer_.descriptorKinds();
  tsb::LongSection ecm;
  ecm.table_id = 0x82;
  ecm.body = tsb::cat({tsb::Bytes(26, 0x00), tsb::Descriptor(0xE0, {1, 2}), tsb::Bytes(4, 0)});
  Send(0x0903, ecm);
  EXPECT_EQ(layer_.descriptorKinds(), before + 1);
  EXPECT_EQ(layer_.crcErrors(), 0u);
}

TEST_F(ProgrammeTables, WrongCrcIsCountedOncePerParseAndTheContentsAreUsed) {
  Send(0x0000, tsb::Pat(1, {{1, kPmtA}}));
  tsb::LongSection pmt = AvPmt(1, 0x0100);
  pmt.corruptCrc = true;
  for (int i = 0; i < 3; ++i) Send(kPmtA, pmt);
  EXPECT_EQ(layer_.crcErrors(), 1u);
  EXPECT_EQ(Current(1)->pcrPid, 0x0100);
  EXPECT_EQ(Current(1)->streamCount, 2);
}

TEST_F(ProgrammeTables, CatWithTwoDescriptorsIsOneCorrectSection) {
  Send(0x0001, tsb::Cat(tsb::cat({tsb::CaDescriptor(0x0005, 0x0901),
                                  tsb::Descriptor(0xC1, {0x01, 0x02})})));
  EXPECT_EQ(layer_.crcErrors(), 0u);
  EXPECT_EQ(layer_.descriptorKinds(), 2u);
}

TEST_F(ProgrammeTables, DescriptorLoopEndsAtAnUnknownTag) {
  Send(0x0000, tsb::Pat(1, {{1, kPmtA}}));
  // 0x0A (ISO 639 language) is not a known tag: the CA descriptor after it is never seen.
  Send(kPmtA, tsb::Pmt(1, 0x0100,
                       {{0x0F, 0x0110, tsb::cat({tsb::StreamIdentifierDescriptor(0x10),
                                                 tsb::Descriptor(0x0A, {'j', 'p', 'n', 0}),
                                                 tsb::CaDescriptor(0x0005, 0x0902)})}}));
  EXPECT_STREQ(class_text(Current(1)->streams[0].streamClass), "A");
  EXPECT_EQ(Current(1)->streams[0].ecmPid, 0);
  EXPECT_EQ(layer_.descriptorKinds(), 1u);
}

TEST_F(ProgrammeTables, LengthsPastTheSectionStayInsideIt) {
  Send(0x0000, tsb::Pat(1, {{1, kPmtA}, {2, kPmtB}, {3, kPmtC}}));
  // program_info_length 0xFFF over a 6-byte CA descriptor: the loop ends at the CRC.
  tsb::LongSection a = tsb::Pmt(1, 0x0100, {});
  a.body = tsb::cat({{0xE1, 0x00, 0xFF, 0xFF}, tsb::CaDescriptor(5, 0x0901)});
  Send(kPmtA, a);
  EXPECT_EQ(Current(1)->pcrPid, 0x0100);
  EXPECT_EQ(Current(1)->ecmPid, 0x0901);
  // ES_info_length 0xFFF on the last stream, and a descriptor longer than what is left.
  tsb::LongSection b = tsb::Pmt(2, 0x0200, {});
  b.body = tsb::cat({{0xE2, 0x00, 0xF0, 0x00, 0x02, 0xE2, 0x00, 0xFF, 0xFF, 0x52, 0x01, 0x10,
                      0x09, 0x20, 0x00}});
  Send(kPmtB, b);
  ASSERT_EQ(Current(2)->streamCount, 1);
  EXPECT_STREQ(class_text(Current(2)->streams[0].streamClass), "A");
  EXPECT_EQ(Current(2)->streams[0].ecmPid, 0);
  // ES_info_length 2: too short to hold a component tag, so no class.
  tsb::LongSection c = tsb::Pmt(3, 0x0300, {});
  c.body = {0xE3, 0x00, 0xF0, 0x00, 0x02, 0xE3, 0x00, 0xF0, 0x02, 0x52, 0x00};
  Send(kPmtC, c);
  ASSERT_EQ(Current(3)->streamCount, 1);
  EXPECT_STREQ(class_text(Current(3)->streams[0].streamClass), "");
}

TEST_F(ProgrammeTables, DistinctPidsCountPacketsAndAnnouncedPids) {
  Send(0x0000, tsb::Pat(1, {{0, 0x0010}, {1, kPmtA}}));
  EXPECT_EQ(layer_.distinctPids(), 3u);   // 0x0000, 0x0010, kPmtA
  Send(kPmtA, AvPmt(1, 0x0100));
  EXPECT_EQ(layer_.distinctPids(), 5u);   // + 0x0100 (PCR and video), 0x0110
  layer_.CountPid(0x0100);
  layer_.CountPid(0x0123);
  EXPECT_EQ(layer_.distinctPids(), 6u);
}

// A new PAT version must not lose the streams and names of its services, whether their PMT
// and present event keep their versions across the change, change them, or are new.
TEST_F(ProgrammeTables, PatVersionChangeKeepsStreamsAndNamesOfEveryService) {
  auto eit = [&](uint16_t service, const char* name, uint8_t version) {
    Send(0x0012, tsb::EitPf(service, 0x7FE1, 0x7FE1, 0, 1, Name(name), version));
    Send(0x0012, tsb::EitPf(service, 0x7FE1, 0x7FE1, 1, 2, Name("次"), version));
  };
  Send(0x0000, tsb::Pat(0x7FE1, {{0x0400, kPmtA}, {0x0401, kPmtB}}, 0));
  Send(kPmtA, AvPmt(0x0400, 0x0100, 3));
  Send(kPmtB, AvPmt(0x0401, 0x0200, 7));
  eit(0x0400, "ニュース", 0);
  eit(0x0401, "天気予報", 0);
  ASSERT_STREQ(Current(0x0401)->name, "天気予報");

  Send(0x0000, tsb::Pat(0x7FE1, {{0x0400, kPmtA}, {0x0401, kPmtB}, {0x0402, kPmtC}}, 1));
  Send(kPmtA, AvPmt(0x0400, 0x0100, 3));   // same version as before the change
  Send(kPmtB, AvPmt(0x0401, 0x0200, 7));
  Send(kPmtC, AvPmt(0x0402, 0x0300, 0));   // new service
  Send(kPmtB, AvPmt(0x0401, 0x0200, 8));   // changes shortly after
  eit(0x0400, "ニュース", 0);
  eit(0x0401, "天気予報", 0);
  eit(0x0402, "映画", 0);

  ASSERT_EQ(layer_.currentTable(), 1);
  const char* names[] = {"ニュース", "天気予報", "映画"};
  for (uint16_t i = 0; i < 3; ++i) {
    const Service* s = Current(uint16_t(0x0400 + i));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->pcrPid, 0x0100 * (i + 1)) << "service " << i;
    EXPECT_GE(s->streamCount, 2) << "service " << i;
    EXPECT_STREQ(class_text(s->streams[0].streamClass), "V");
    EXPECT_STREQ(class_text(s->streams[1].streamClass), "A");
    EXPECT_STREQ(s->name, names[i]);
  }
  // Each parsed PMT version appends its streams; the class stays on the first entry of a PID.
  ASSERT_EQ(Current(0x0401)->streamCount, 4);
  EXPECT_EQ(Current(0x0401)->streams[2].pid, 0x0200);
  EXPECT_STREQ(class_text(Current(0x0401)->streams[2].streamClass), "");
  // The first table keeps its contents.
  EXPECT_EQ(layer_.table(0).serviceCount, 2);
  EXPECT_STREQ(FindService(0, 0x0400)->name, "ニュース");
  EXPECT_EQ(FindService(0, 0x0401)->streamCount, 2);

  // The same version again: no new table, nothing forgotten, nothing parsed twice.
  Send(0x0000, tsb::Pat(0x7FE1, {{0x0400, kPmtA}, {0x0401, kPmtB}, {0x0402, kPmtC}}, 1));
  Send(kPmtA, AvPmt(0x0400, 0x0100, 3));
  EXPECT_EQ(layer_.currentTable(), 1);
  EXPECT_EQ(Current(0x0400)->streamCount, 2);
  EXPECT_STREQ(Current(0x0400)->name, "ニュース");
}

TEST_F(ProgrammeTables, LimitsOfTheDataModelAreKept) {
  std::vector<tsb::PatEntry> programs;
  for (uint16_t i = 0; i < 70; ++i) programs.push_back({uint16_t(1 + i), uint16_t(0x0100 + i)});
  Send(0x0000, tsb::Pat(1, programs));
  EXPECT_EQ(layer_.table(0).serviceCount, kMaxServices);
  EXPECT_EQ(layer_.patPidCount(), kMaxServices);
  std::vector<tsb::PmtStream> streams;
  for (uint16_t k = 0; k < 40; ++k) streams.push_back({0x06, uint16_t(0x0200 + k), {}});
  Send(0x0100, tsb::Pmt(1, 0x0200, streams));
  EXPECT_EQ(Current(1)->streamCount, kMaxStreams);
  // Past 32 PAT versions the newest overwrites the last table.
  for (uint8_t v = 1; v < 40; ++v) Send(0x0000, tsb::Pat(1, {{uint16_t(v), 0x0100}}, v % 32));
  EXPECT_EQ(layer_.currentTable(), kMaxProgrammeTables - 1);
  EXPECT_EQ(layer_.table(kMaxProgrammeTables - 1).services[0].serviceId, 39);
  EXPECT_EQ(layer_.table(kMaxProgrammeTables - 1).serviceCount, 1);
}
