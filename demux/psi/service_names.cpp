// Channel names (see service_names.h).
#include "demux/psi/service_names.h"

#include "common/cp932_text.h"
#include "demux/arib/arib_text.h"
#include "demux/dvb/dvb_text.h"

namespace {

struct NetworkIdRange {
  uint16_t first, last;
};
// original_network_id of the ARIB networks that no DVB network shares: BS (0x0004), the
// 110-degree CS networks (0x0006, 0x0007), the 124/128-degree premium network (0x000A) and
// terrestrial broadcasting (0x7880-0x7FE8). (0x0001 and 0x0003, also Japanese satellite
// networks, are European ones too: their NIT's orbit tells them apart.)
constexpr NetworkIdRange kAribNetworkIds[] = {{0x0004, 0x0004}, {0x0006, 0x0007}, {0x000A, 0x000A}, {0x7880, 0x7FE8}};

// Modulations of an ARIB satellite delivery system descriptor (ARIB STD-B10 6.2.6): ISDB-S,
// 2.6 GHz satellite, ISDB-S3. DVB reads these five bits as roll_off, modulation_system and
// modulation_type; to it these values would be DVB-S with a roll-off, which it never sends (a
// roll-off goes with DVB-S2 only).
constexpr uint8_t kIsdbSatelliteModulations[] = {0x08, 0x09, 0x0A};
// The Japanese broadcasting satellites' orbits (BCD tenths of a degree, east): 110, 124 and
// 128 degrees. Their networks send ARIB text whatever they modulate with (the 124/128-degree
// services use DVB-S and DVB-S2).
constexpr uint16_t kJapaneseOrbits[] = {0x1100, 0x1240, 0x1280};

// A satellite delivery system descriptor: frequency (4 bytes), orbital_position (2), then
// west_east_flag, polarization and the 5-bit modulation.
bool is_isdb_satellite(const uint8_t* d) {
  for (uint8_t m : kIsdbSatelliteModulations)
    if ((d[8] & 0x1F) == m) return true;
  const uint16_t orbital_position = uint16_t((d[6] << 8) | d[7]);
  const bool east = (d[8] & 0x80) != 0;
  for (uint16_t orbit : kJapaneseOrbits)
    if (east && orbital_position == orbit) return true;
  return false;
}

// A name is shown on one line: its line breaks become spaces.
std::string decode(const std::vector<uint8_t>& bytes, SiTextCoding coding) {
  if (bytes.empty()) return {};
  std::string text;
  if (coding == SiTextCoding::Dvb) {
    text = dvb_text_to_utf8(bytes.data(), bytes.size());
  } else {
    char sjis[kAribTextMax + 1];
    arib_convert(bytes.data(), bytes.size(), sjis);   // a bad kanji code ends the text there
    text = cp932_to_utf8(sjis);
  }
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

SiTextCoding si_text_coding(const uint8_t* d, uint32_t length, uint16_t original_network_id) {
  if (d && length >= 2) {
    switch (d[0]) {
      case 0xFA: return SiTextCoding::Arib;    // ISDB-T terrestrial
      case 0x5A:                               // DVB-T terrestrial
      case 0x7F: return SiTextCoding::Dvb;     // DVB extension systems (T2, C2, S2X)
      case 0x43:                               // satellite
        if (length < 9) break;
        return is_isdb_satellite(d) ? SiTextCoding::Arib : SiTextCoding::Dvb;
      default: break;
    }
  }
  for (const NetworkIdRange& r : kAribNetworkIds)
    if (original_network_id >= r.first && original_network_id <= r.last) return SiTextCoding::Arib;
  return SiTextCoding::Dvb;
}

ServiceNameCollector::Service* ServiceNameCollector::At(uint16_t service_id) {
  for (Service& s : services_)
    if (s.serviceId == service_id) return &s;
  if (services_.size() >= kMaxServices) return nullptr;
  services_.push_back(Service{service_id, {}, {}, {}});
  return &services_.back();
}

const ServiceNameCollector::Service* ServiceNameCollector::Find(uint16_t service_id) const {
  for (const Service& s : services_)
    if (s.serviceId == service_id) return &s;
  return nullptr;
}

void ServiceNameCollector::OnServiceNames(const SdtServiceNames& names) {
  sdtNetworkId_ = names.original_network_id;
  sdtStreamId_ = names.transport_stream_id;
  Service* s = At(names.service_id);
  if (!s) return;
  s->provider.assign(names.service_provider_name, names.service_provider_name + names.service_provider_name_length);
  s->name.assign(names.service_name, names.service_name + names.service_name_length);
}

void ServiceNameCollector::OnPresentEventName(uint16_t original_network_id, uint16_t service_id,
                                              const uint8_t* event_name, uint32_t length) {
  eitNetworkId_ = original_network_id;
  if (Service* s = At(service_id)) s->event.assign(event_name, event_name + length);
}

void ServiceNameCollector::OnDeliverySystem(uint16_t transport_stream_id, uint16_t original_network_id,
                                            const uint8_t* descriptor, uint32_t length) {
  for (Delivery& d : deliveries_) {
    if (d.transportStreamId == transport_stream_id && d.originalNetworkId == original_network_id &&
        d.descriptor.at(0) == descriptor[0]) {
      d.descriptor.assign(descriptor, descriptor + length);
      return;
    }
  }
  if (deliveries_.size() < kMaxDeliveries)
    deliveries_.push_back(Delivery{transport_stream_id, original_network_id, Text(descriptor, descriptor + length)});
}

SiTextCoding ServiceNameCollector::coding() const {
  const int32_t networkId = sdtNetworkId_ >= 0 ? sdtNetworkId_ : eitNetworkId_;
  if (networkId < 0 && deliveries_.empty()) return SiTextCoding::Arib;
  const Delivery* delivery = deliveries_.empty() ? nullptr : &deliveries_.front();
  for (const Delivery& d : deliveries_)
    if (d.transportStreamId == sdtStreamId_ && d.originalNetworkId == networkId) delivery = &d;
  return si_text_coding(delivery ? delivery->descriptor.data() : nullptr,
                        delivery ? uint32_t(delivery->descriptor.size()) : 0,
                        uint16_t(networkId >= 0 ? networkId : delivery->originalNetworkId));
}

ServiceNameTexts ServiceNameCollector::Names(uint16_t service_id) const {
  const Service* s = Find(service_id);
  if (!s) return {};
  const SiTextCoding c = coding();
  return ServiceNameTexts{decode(s->name, c), decode(s->provider, c), decode(s->event, c)};
}
