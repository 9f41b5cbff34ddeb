// Section forms, PAT/PMT/CAT against FFmpeg's bytes, and the packetisation of sections.
#include <gtest/gtest.h>

#include <set>

#include "tests/support/stream_builder.h"

namespace {

using tsb::Bytes;

Bytes with_crc(Bytes s, uint32_t crc) {
  tsb::put_be(s, crc, 4);
  return s;
}

TEST(Sections, PatAndPmtMatchFfmpegBytes) {
  EXPECT_EQ(tsb::Pat(0x0001, {{0x0001, 0x1000}}).Build(),
            with_crc({0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xF0, 0x00}, 0x2AB104B2));
  EXPECT_EQ(tsb::Pmt(0x0001, 0x0100, {{0x02, 0x0100, {}}}).Build(),
            with_crc({0x02, 0xB0, 0x12, 0x00, 0x01, 0xC1, 0x00, 0x00, 0xE1, 0x00, 0xF0, 0x00, 0x02, 0xE1,
                      0x00, 0xF0, 0x00},
                     0x9E8B23D1));
}

TEST(Sections, SdtMatchesFfmpegBytes) {
  tsb::SdtService svc;
  svc.service_id = 1;
  svc.EIT_user_defined_flags = 7;
  svc.EIT_present_following_flag = false;
  svc.descriptors = tsb::ServiceDescriptor(0x01, tsb::bytes_of("FFmpeg"), tsb::bytes_of("Service01"));
  const Bytes expected = with_crc(
      tsb::cat({{0x42, 0xF0, 0x25, 0x00, 0x01, 0xC1, 0x00, 0x00, 0xFF, 0x01, 0xFF, 0x00, 0x01, 0xFC,
                 0x80, 0x14, 0x48, 0x12, 0x01, 0x06},
                tsb::bytes_of("FFmpeg"), {0x09}, tsb::bytes_of("Service01")}),
      0x777C43CA);
  EXPECT_EQ(tsb::Sdt(0x0001, 0xFF01, {svc}).Build(), expected);
}

TEST(Sections, HeaderFieldsCorruptCrcAndForcedLength) {
  tsb::LongSection s;
  s.table_id = 0x4E;
  s.table_id_extension = 0x0400;
  s.version_number = 31;
  s.current_next_indicator = false;
  s.section_number = 1;
  s.last_section_number = 2;
  s.body = {0xAA};
  Bytes b = s.Build();
  ASSERT_EQ(b.size(), 3u + 5 + 1 + 4);
  EXPECT_EQ(b[1], 0xF0) << "SI table: reserved_future_use set";
  EXPECT_EQ(b[2], 10);
  EXPECT_EQ(b[5], 0xC0 | (31 << 1));
  EXPECT_EQ(tsb::crc32_mpeg2(b), 0u);
  s.corruptCrc = true;
  EXPECT_NE(tsb::crc32_mpeg2(s.Build()), 0u);
  s.corruptCrc = false;
  s.section_length = 0x3FF;
  b = s.Build();
  EXPECT_EQ(b[1] & 0x0F, 0x03);
  EXPECT_EQ(b[2], 0xFF);
  EXPECT_EQ(b.size(), 13u) << "the bytes stay; only the field lies";
  s.section_length.reset();
  s.body.assign(4093 - 9 + 1, 0);
  EXPECT_THROW(s.Build(), std::length_error);
}

TEST(Sections, ShortFormsTdtWithoutAndTotWithCrc) {
  const uint64_t jst = tsb::mjd_bcd_time(1993, 10, 13, 12, 45, 0);
  EXPECT_EQ(jst, 0xC079124500ull) << "the worked example of the MJD annex";
  EXPECT_EQ(tsb::Tdt(jst), (Bytes{0x70, 0x70, 0x05, 0xC0, 0x79, 0x12, 0x45, 0x00}));
  const Bytes tot = tsb::Tot(jst, tsb::Descriptor(0x58, {1, 2, 3}));
  ASSERT_EQ(tot.size(), 3u + 5 + 2 + 5 + 4);
  EXPECT_EQ(tot[0], 0x73);
  EXPECT_EQ(tot[1] & 0xF0, 0x70);
  EXPECT_EQ(tot[2], tot.size() - 3);
  EXPECT_EQ(tot[8], 0xF0);
  EXPECT_EQ(tot[9], 5);
  EXPECT_EQ(tsb::crc32_mpeg2(tot), 0u);
  EXPECT_NE(tsb::crc32_mpeg2(tsb::Tot(jst, {}, true)), 0u);
  EXPECT_EQ(tsb::Dit(true), (Bytes{0x7E, 0x70, 0x01, 0xFF}));
}

TEST(Sections, DescriptorsAndCat) {
  EXPECT_EQ(tsb::StreamIdentifierDescriptor(0x10), (Bytes{0x52, 0x01, 0x10}));
  EXPECT_EQ(tsb::CaDescriptor(0x0005, 0x0901, {0x7F}), (Bytes{0x09, 0x05, 0x00, 0x05, 0xE9, 0x01, 0x7F}));
  const Bytes cat = tsb::Cat(tsb::cat({tsb::CaDescriptor(5, 0x901), tsb::CaDescriptor(6, 0x902)})).Build();
  EXPECT_EQ(cat[0], 0x01);
  EXPECT_EQ(cat[1], 0xB0);
  EXPECT_EQ(cat.size(), 8u + 12 + 4);
  EXPECT_THROW(tsb::Descriptor(0x4D, Bytes(256)), std::length_error);
}

// What a reader of 2.4.4.2 sees on one PID: the payload bytes with the pointer_fields taken out,
// and, per packet with payload_unit_start_indicator, the offset in that run its pointer names.
struct SectionRun {
  Bytes run;
  std::vector<size_t> pointed;          // run offsets named by pointer_fields
  std::vector<size_t> packetStarts;     // run offset of each packet's first payload byte
};

SectionRun read_run(const tsb::TsStream& ts) {
  SectionRun r;
  for (size_t i = 0; i < ts.PacketCount(); ++i) {
    const Bytes p = ts.PacketAt(i);
    size_t at = 4;
    if (p[3] & 0x20) at += 1 + p[4];
    r.packetStarts.push_back(r.run.size());
    if (p[1] & 0x40) {
      r.pointed.push_back(r.run.size() + p[at]);
      ++at;
    }
    r.run.insert(r.run.end(), p.begin() + at, p.end());
  }
  return r;
}

Bytes section_of(size_t size, uint8_t fill) {
  tsb::LongSection s;
  s.table_id = 0x42;
  s.body.assign(size - 12, fill);
  return s.Build();
}

TEST(SectionPacking, PackedSectionsFollowEachOtherAndPointersNameFirstStarts) {
  const std::vector<Bytes> sections = {section_of(100, 1), section_of(150, 2), section_of(30, 3),
                                       section_of(400, 4), section_of(20, 5)};
  tsb::TsStream ts;
  ts.Sections(0x11, sections);
  const SectionRun r = read_run(ts);
  Bytes expected;
  std::vector<size_t> starts;
  for (const Bytes& s : sections) {
    starts.push_back(expected.size());
    expected.insert(expected.end(), s.begin(), s.end());
  }
  ASSERT_GE(r.run.size(), expected.size());
  EXPECT_EQ(Bytes(r.run.begin(), r.run.begin() + expected.size()), expected);
  for (size_t i = expected.size(); i < r.run.size(); ++i) ASSERT_EQ(r.run[i], 0xFF) << i;
  // Every packet holding a section start has a pointer to the first such start, and no other does.
  std::vector<size_t> firstStarts;
  for (size_t k = 0; k < r.packetStarts.size(); ++k) {
    const size_t end = k + 1 < r.packetStarts.size() ? r.packetStarts[k + 1] : r.run.size();
    for (size_t s : starts) {
      if (s >= r.packetStarts[k] && s < end) {
        firstStarts.push_back(s);
        break;
      }
    }
  }
  EXPECT_EQ(r.pointed, firstStarts);
  // 700 bytes and 3 pointer_fields fill 4 packets; packet 1 starts with the tail of the second
  // section, then the third one starts.
  EXPECT_EQ(ts.PacketAt(1)[4], 150 - 83);
  EXPECT_EQ(ts.PacketCount(), 4u);
}

TEST(SectionPacking, NewPacketPerSectionAndStuffing) {
  tsb::SectionPacking packing;
  packing.newPacketPerSection = true;
  tsb::TsStream ts;
  ts.Sections(0x11, {section_of(20, 1), section_of(20, 2)}, packing);
  ASSERT_EQ(ts.PacketCount(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const Bytes p = ts.PacketAt(i);
    EXPECT_EQ(p[1] & 0x40, 0x40);
    EXPECT_EQ(p[4], 0);
    EXPECT_EQ(p[5 + 20], 0xFF);
  }
  tsb::SectionPacking stuffed;
  stuffed.stuffAfterEachSection = true;
  tsb::TsStream ts2;
  ts2.Sections(0x11, {section_of(20, 1), section_of(20, 2)}, stuffed);
  EXPECT_EQ(ts2.PacketCount(), 2u);
}

TEST(SectionPacking, LeadingBytesAreSkippedByThePointer) {
  tsb::SectionPacking packing;
  packing.leadingBytes = {0xAB, 0xCD, 0xEF};
  tsb::TsStream ts;
  ts.Sections(0x11, {section_of(20, 1)}, packing);
  const Bytes p = ts.PacketAt(0);
  EXPECT_EQ(p[4], 3);
  EXPECT_EQ(p[5], 0xAB);
  EXPECT_EQ(p[8], 0x42);
}

TEST(SectionPacking, MinRoomMovesAStartThatWouldSplitItsHeader) {
  // 180 bytes leave 183 - 180 = 3 bytes in the first packet.
  const std::vector<Bytes> sections = {section_of(180, 1), section_of(20, 2)};
  tsb::TsStream tight;
  tight.Sections(0x11, sections);
  EXPECT_EQ(tight.PacketCount(), 2u);
  EXPECT_EQ(tight.PacketAt(0)[5 + 180], 0x42) << "started in the 3 bytes left";
  tsb::SectionPacking packing;
  packing.minRoomToStart = 8;
  tsb::TsStream roomy;
  roomy.Sections(0x11, sections, packing);
  EXPECT_EQ(roomy.PacketAt(0)[5 + 180], 0xFF);
  EXPECT_EQ(roomy.PacketAt(1)[4], 0);
  EXPECT_EQ(roomy.PacketAt(1)[5], 0x42);
}

}  // namespace
