// Channel names as the table layer reports them: the actual SDT's service descriptors across
// packets, versions and damaged sections, and the rule that tells how a network codes its text.
#include "demux/psi/service_names.h"

#include "tests/demux/psi/psi_fixture.h"

namespace {

std::string utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

class ServiceNames : public PsiFixture {
 protected:
  void SetUp() override { layer_.SetObserver(&names_); }
  ServiceNameCollector names_;
};

// Twelve services 0x0400.. named in ARIB text: a section of two packets.
tsb::LongSection sdt(const char* name, uint8_t version, uint8_t tableId = 0x42) {
  std::vector<tsb::SdtService> services;
  for (uint16_t i = 0; i < 12; ++i)
    services.push_back({uint16_t(0x0400 + i), 0, false, true, 4, false,
                        tsb::ServiceDescriptor(0x01, tsb::AribText().Sjis("放送").bytes(),
                                               tsb::AribText().Sjis(name).bytes())});
  return tsb::Sdt(0x7FE1, 0x7FE1, services, version, tableId);
}

TEST_F(ServiceNames, FollowTheActualSdtAcrossPacketsAndVersionsButNotDamage) {
  Send(0x0011, sdt("他局チャンネル", 0, 0x46));   // another stream's SDT names nothing here
  EXPECT_EQ(names_.Names(0x0400).serviceName, "");
  const tsb::Bytes first = sdt("旧チャンネル", 0).Build();
  ASSERT_GT(first.size(), 184u);
  Send(0x0011, first);
  EXPECT_EQ(names_.Names(0x040B).serviceName, utf8(u8"旧チャンネル"));
  EXPECT_EQ(names_.Names(0x0400).providerName, utf8(u8"放送"));
  tsb::LongSection damaged = sdt("壊れた名前", 1);
  damaged.corruptCrc = true;
  Send(0x0011, damaged);
  EXPECT_EQ(names_.Names(0x040B).serviceName, utf8(u8"旧チャンネル"));
  Send(0x0011, sdt("新チャンネル", 2));
  EXPECT_EQ(names_.Names(0x040B).serviceName, utf8(u8"新チャンネル"));
  EXPECT_EQ(layer_.crcErrors(), 1u);
}

TEST(SiTextCoding, DeliverySystemDecidesThenTheNetworkId) {
  using C = SiTextCoding;
  // Satellite: frequency (4), orbital_position (2), west_east/polarisation/modulation, symbol rate.
  const tsb::Bytes isdbS = tsb::Descriptor(0x43, {0x01, 0x17, 0x27, 0x48, 0x01, 0x10, 0x08, 0x02, 0x88, 0x60, 0x08});
  const tsb::Bytes dvbS2 = tsb::Descriptor(0x43, {0x01, 0x17, 0x27, 0x48, 0x01, 0x92, 0x85, 0x02, 0x75, 0x00, 0x03});
  const tsb::Bytes dvbS2At124East = tsb::Descriptor(0x43, {0x01, 0x23, 0x45, 0x67, 0x12, 0x40, 0x85, 0x02, 0x30, 0x00, 0x03});
  const tsb::Bytes isdbT = tsb::Descriptor(0xFA, {0x7F, 0xE0, 0x16, 0x30});
  const tsb::Bytes dvbT = tsb::Descriptor(0x5A, tsb::Bytes(11, 0x00));
  const tsb::Bytes cable = tsb::Descriptor(0x44, tsb::Bytes(11, 0x00));
  const struct {
    const tsb::Bytes* delivery;
    uint16_t original_network_id;
    C expected;
  } cases[] = {
      {&isdbT, 0x0001, C::Arib}, {&isdbS, 0x0001, C::Arib}, {&dvbS2, 0x0004, C::Dvb}, {&dvbS2At124East, 0x0001, C::Arib},
      {&dvbT, 0x7FE1, C::Dvb},   {&cable, 0x0004, C::Arib}, {&cable, 0x0085, C::Dvb},
      {nullptr, 0x7FE1, C::Arib}, {nullptr, 0x0006, C::Arib}, {nullptr, 0x233A, C::Dvb},
  };
  for (const auto& c : cases) {
    const uint8_t* d = c.delivery ? c.delivery->data() : nullptr;
    const uint32_t n = c.delivery ? uint32_t(c.delivery->size()) : 0;
    EXPECT_EQ(si_text_coding(d, n, c.original_network_id), c.expected)
        << std::hex << c.original_network_id << " " << (d ? tsb::hex_dump(*c.delivery) : "no NIT");
  }
}

}  // namespace
