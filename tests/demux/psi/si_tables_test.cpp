// SI tables: programme names from present events, EIT schedule segments, the clock and DIT
// tables, descriptor kinds, and damaged SI of every kind.
#include <random>
#include <string>
#include <vector>

#include "tests/demux/psi/psi_fixture.h"

namespace {

constexpr uint16_t kService = 0x0400, kPmt = 0x01F0;

tsb::Bytes Name(const char* sjis) { return tsb::AribText().Sjis(sjis).bytes(); }

tsb::EitEvent Event(uint16_t id, const tsb::Bytes& descriptors) {
  tsb::EitEvent e;
  e.event_id = id;
  e.descriptors = descriptors;
  return e;
}

}  // namespace

class SiTables : public PsiFixture {
 protected:
  void SetUp() override {
    Send(0x0000, tsb::Pat(0x7FE1, {{0, 0x0010}, {kService, kPmt}}));
    Send(kPmt, tsb::Pmt(kService, 0x0100, {{0x02, 0x0100, tsb::StreamIdentifierDescriptor(0)}}));
  }
  // Both sections of a present/following table: section 0 the present, 1 the following event.
  void Present(uint16_t service, const tsb::Bytes& presentName, uint8_t version,
               uint16_t pid = 0x0012, const tsb::Bytes& followingName = {}) {
    Send(pid, tsb::EitPf(service, 0x7FE1, 0x7FE1, 0, 1, presentName, version));
    Send(pid, tsb::EitPf(service, 0x7FE1, 0x7FE1, 1, 2, followingName, version));
  }
};

TEST_F(SiTables, PresentEventNamesItsServiceAndTheFollowingEventDoesNot) {
  // The table is parsed when both sections are in: the present event names the service.
  Send(0x0012, tsb::EitPf(kService, 0x7FE1, 0x7FE1, 0, 1, Name("ニュース７"), 0));
  EXPECT_STREQ(Current(kService)->name, "");
  Send(0x0012, tsb::EitPf(kService, 0x7FE1, 0x7FE1, 1, 2, Name("次の番組"), 0));
  EXPECT_STREQ(Current(kService)->name, "ニュース７");
  // A new version of the present event renames; a repetition of a version does not.
  Present(kService, Name("天気"), 1, 0x0027, Name("ニュース７"));
  EXPECT_STREQ(Current(kService)->name, "天気");
  Present(kService, Name("映画"), 1, 0x0027);
  EXPECT_STREQ(Current(kService)->name, "天気");
  EXPECT_EQ(layer_.crcErrors(), 0u);
}

TEST_F(SiTables, EitOfAServiceNotInThePatSetsNothing) {
  Present(0x0999, Name("ニュース"), 0);
  EXPECT_STREQ(Current(kService)->name, "");
  EXPECT_EQ(layer_.table(0).serviceCount, 1);
}

TEST_F(SiTables, NameIsCutAtACharacterBoundaryAndAFailedConversionLeavesItEmpty) {
  // Two single bytes (medium-size alphanumerics) then kanji: 2 + 62 × 2 = 126 bytes fit, the
  // 63rd kanji would end at byte 128.
  tsb::AribText text;
  text.MSZ().Alnum("AB").NSZ();
  for (int i = 0; i < 80; ++i) text.Kanji(0x30, 0x21);   // 亜
  Present(kService, text.bytes(), 0);
  const std::string name = Current(kService)->name;
  ASSERT_EQ(name.size(), 126u);
  EXPECT_EQ(name.substr(0, 2), "AB");
  EXPECT_EQ(name.substr(124), "亜");

  // A kanji pair whose second byte is below 0x21 cannot be converted.
  Present(kService, tsb::cat({Name("ニュース"), {0x30, 0x20}}), 1);
  EXPECT_STREQ(Current(kService)->name, "");
}

TEST_F(SiTables, ScheduleTablesAreAssembledPerSegmentAndNeverName) {
  auto schedule = [&](uint8_t section, uint8_t tag) {
    tsb::EitDesc desc;
    desc.table_id = 0x50;
    desc.service_id = kService;
    desc.section_number = section;
    desc.last_section_number = 0x0F;
    desc.events = {Event(section, tsb::cat({tsb::ShortEventDescriptor(Name("予定")),
                                            tsb::Descriptor(tag, {0x00})}))};
    Send(0x0012, tsb::Eit(desc));
  };
  const size_t before = layer_.descriptorKinds();   // 0x52 from the PMT
  schedule(8, 0x54);            // segment 1, first section; its segment ends at section 15
  EXPECT_EQ(layer_.descriptorKinds(), before);
  schedule(0, 0x55);            // segment 0 runs to section 7: sections 1..7 are missing
  EXPECT_EQ(layer_.descriptorKinds(), before);
  for (uint8_t n = 9; n <= 15; ++n) schedule(n, 0x54);
  EXPECT_EQ(layer_.descriptorKinds(), before + 2);   // 0x4D and 0x54 of segment 1
  EXPECT_STREQ(Current(kService)->name, "");
  EXPECT_EQ(layer_.crcErrors(), 0u);
}

TEST_F(SiTables, TotIsWalkedEveryTimeButCountsOnceAsAKind) {
  const tsb::Bytes offset = tsb::Descriptor(0x58, tsb::Bytes(13, 0));
  for (int i = 0; i < 3; ++i) {
    Send(0x0014, tsb::Tot(tsb::mjd_bcd_time(2026, 12, 7, 5, 0, i * 5), offset, true));
  }
  EXPECT_EQ(layer_.crcErrors(), 3u);
  EXPECT_EQ(layer_.descriptorKinds(), 2u);   // 0x52 and 0x58
}

TEST_F(SiTables, TdtAndDitNeverChangeTheCrcCount) {
  for (int i = 0; i < 3; ++i) {
    Send(0x0014, tsb::Tdt(tsb::mjd_bcd_time(2026, 12, 7, 5, 0, i)));
    Send(0x001E, tsb::Dit(i % 2 == 0));
  }
  EXPECT_EQ(layer_.crcErrors(), 0u);
}

TEST_F(SiTables, StreamWithoutSiCountsOnlyPmtAndCatDescriptors) {
  Send(0x0001, tsb::Cat(tsb::CaDescriptor(0x0005, 0x0901)));
  EXPECT_EQ(layer_.descriptorKinds(), 2u);   // 0x52 and 0x09
}

TEST_F(SiTables, EveryTableWalksItsDescriptorLoops) {
  // One distinct descriptor per loop, so that each walk shows in the count of kinds.
  uint8_t tag = 0x80;
  auto next = [&] { return tsb::Descriptor(tag++, {0x00}); };
  Send(0x0010, tsb::Nit(0x7FE1, next(), {{0x7FE1, 0x7FE1, next()}}));
  Send(0x0011, tsb::Sdt(0x7FE1, 0x7FE1, {{kService, 0, false, true, 4, false, next()}}));
  Send(0x001F, tsb::Sit(next(), {{kService, 4, next()}}));
  Send(0x0024, tsb::Bit(0x7FE1, true, next(), {{0x01, next()}}));
  Send(0x0029, tsb::Cdt(1, 0x7FE1, 1, next(), tsb::Bytes(30, 0x00)));
  tsb::SdttContent content;
  content.schedules = {{tsb::mjd_bcd_time(2026, 12, 8, 1, 0, 0), tsb::bcd_duration(1, 0, 0)}};
  content.descriptors = next();
  tsb::SdttContent second = content;
  second.schedules.push_back(content.schedules[0]);
  second.descriptors = next();
  Send(0x0023, tsb::Sdtt(0x01, 0x02, 0x7FE1, 0x7FE1, kService, {content, second}));
  content.descriptors = next();
  Send(0x0028, tsb::Sdtt(0x01, 0x03, 0x7FE1, 0x7FE1, kService, {content}));
  EXPECT_EQ(layer_.descriptorKinds(), 1u + 11u);
  // Kind 0x90 is kept but never looked into.
  tsb::LongSection s;
  s.table_id = 0x90;
  s.body = tsb::cat({next(), next()});
  s.corruptCrc = true;
  Send(0x0721, s);
  EXPECT_EQ(layer_.descriptorKinds(), 12u);
  EXPECT_EQ(layer_.crcErrors(), 0u);
}

// Damaged SI: lengths past their section, empty names, names of control codes, and random
// sections on every table PID. Nothing may be read or written outside its buffer (run under
// AddressSanitizer), and names stay within their limit.
TEST_F(SiTables, DamagedSiIsWalkedWithinItsSections) {
  Present(kService, {}, 1);
  EXPECT_STREQ(Current(kService)->name, "");
  // A name of 250 control bytes: "[0D]" each, cut to the limit.
  Present(kService, tsb::Bytes(250, 0x0D), 2);
  EXPECT_EQ(std::string(Current(kService)->name).size(), size_t(kProgrammeNameMax));
  EXPECT_EQ(std::string(Current(kService)->name).substr(0, 8), "[0D][0D]");

  // An event_name_length larger than its descriptor.
  tsb::EitDesc desc;
  desc.service_id = kService;
  desc.version_number = 3;
  desc.last_section_number = 0;
  desc.events = {Event(1, tsb::Descriptor(0x4D, {'j', 'p', 'n', 200, 0x0E, 0x41}))};
  Send(0x0012, tsb::Eit(desc));
  EXPECT_STREQ(Current(kService)->name, "Ａ");

  std::mt19937 random(20261207);
  const uint16_t pids[] = {0x0010, 0x0011, 0x0012, 0x0014, 0x001E, 0x001F, 0x0023, 0x0024,
                           0x0026, 0x0027, 0x0028, 0x0029, 0x0721, 0x0001, kPmt};
  const uint8_t tables[] = {0x40, 0x42, 0x4E, 0x73, 0x7E, 0x7F, 0xC3, 0xC4,
                            0x50, 0x4E, 0xC3, 0xC8, 0x90, 0x01, 0x02};
  for (int round = 0; round < 3000; ++round) {
    const int k = int(random() % std::size(pids));
    tsb::Bytes body(random() % 64, 0);
    for (uint8_t& b : body) b = uint8_t(random() % 4 == 0 ? 0xFF : random());
    tsb::Bytes section;
    if (tables[k] == 0x73 || tables[k] == 0x7E) {
      section = tsb::ShortSection(tables[k], body, tables[k] == 0x73);
    } else {
      tsb::LongSection s;
      s.table_id = tables[k];
      s.table_id_extension = uint16_t(random() % 2 ? kService : random());
      s.version_number = uint8_t(random() % 32);
      s.section_number = uint8_t(random() % 3);
      s.last_section_number = uint8_t(random() % 3);
      s.body = body;
      section = s.Build();
    }
    if (random() % 4 == 0) section[1] = uint8_t(section[1] | 0x0F);   // section_length past the data
    Send(pids[k], section);
  }
  EXPECT_LE(std::string(Current(kService)->name).size(), size_t(kProgrammeNameMax));
}
