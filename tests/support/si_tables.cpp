// ARIB STD-B10 SI tables (NIT, SDT, EIT, TDT, TOT, BIT, SIT, DIT) and the download tables of
// ARIB STD-B21 (SDTT, CDT) in their section layouts, with the descriptors programme names need.
#include <algorithm>
#include <stdexcept>

#include "tests/support/stream_builder.h"

namespace tsb {

namespace {

void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// A descriptor loop behind its 4 high bits (reserved or reserved_future_use, all ones) and
// 12-bit length.
void put_loop(Bytes& out, const Bytes& descriptors, uint8_t highBits = 0xF) {
  if (descriptors.size() > 0x0FFF) throw std::length_error("descriptor loop above 4095 bytes");
  put_be(out, (uint32_t(highBits) << 12) | descriptors.size(), 2);
  append(out, descriptors);
}

uint8_t bcd(int v) {
  if (v < 0 || v > 99) throw std::invalid_argument("BCD value out of 0..99");
  return uint8_t(((v / 10) << 4) | (v % 10));
}

LongSection si_section(uint8_t table_id, uint16_t extension, uint8_t version_number) {
  LongSection s;
  s.table_id = table_id;
  s.table_id_extension = extension;
  s.version_number = version_number;
  return s;
}

}  // namespace

uint64_t mjd_bcd_time(int year, int month, int day, int hour, int minute, int second) {
  // ARIB STD-B10 Annex C: MJD = 14956 + D + int((Y - L) × 365.25) + int((M + 1 + L × 12) ×
  // 30.6001), Y = year - 1900, L = 1 for January and February. In integers: 365.25 = 1461/4,
  // and 30.6001 = 306001/10000 (both products are positive, so division truncates like int()).
  const int l = (month == 1 || month == 2) ? 1 : 0;
  const int y = year - 1900;
  const long mjd = 14956 + day + long(y - l) * 1461 / 4 + long(month + 1 + l * 12) * 306001 / 10000;
  if (mjd < 0 || mjd > 0xFFFF) throw std::invalid_argument("date outside the 16-bit MJD range");
  return (uint64_t(mjd) << 24) | (uint64_t(bcd(hour)) << 16) | (uint64_t(bcd(minute)) << 8) | bcd(second);
}

uint32_t bcd_duration(int hours, int minutes, int seconds) {
  return (uint32_t(bcd(hours)) << 16) | (uint32_t(bcd(minutes)) << 8) | bcd(seconds);
}

Bytes ShortEventDescriptor(const Bytes& event_name, const Bytes& text, std::string_view language) {
  if (language.size() != 3) throw std::invalid_argument("ISO 639 language code must be 3 letters");
  if (event_name.size() > 255 || text.size() > 255) throw std::length_error("name or text above 255 bytes");
  Bytes body(language.begin(), language.end());
  body.push_back(uint8_t(event_name.size()));
  append(body, event_name);
  body.push_back(uint8_t(text.size()));
  append(body, text);
  return Descriptor(0x4D, body);
}

Bytes ServiceDescriptor(uint8_t service_type, const Bytes& provider_name, const Bytes& service_name) {
  if (provider_name.size() > 255 || service_name.size() > 255) throw std::length_error("name above 255 bytes");
  Bytes body{service_type, uint8_t(provider_name.size())};
  append(body, provider_name);
  body.push_back(uint8_t(service_name.size()));
  append(body, service_name);
  return Descriptor(0x48, body);
}

LongSection Eit(const EitDesc& eit) {
  LongSection s = si_section(eit.table_id, eit.service_id, eit.version_number);
  s.current_next_indicator = eit.current_next_indicator;
  s.section_number = eit.section_number;
  s.last_section_number = eit.last_section_number;
  s.corruptCrc = eit.corruptCrc;
  uint8_t segmentLast = eit.last_section_number;   // present/following: not segmented
  if (eit.table_id >= 0x50) {
    // Schedule tables come in segments of 8 sections (3 hours each, ARIB STD-B10 5.2.7).
    segmentLast = uint8_t(std::min<int>(eit.section_number | 7, eit.last_section_number));
  }
  if (eit.segment_last_section_number) segmentLast = *eit.segment_last_section_number;
  put_be(s.body, eit.transport_stream_id, 2);
  put_be(s.body, eit.original_network_id, 2);
  s.body.push_back(segmentLast);
  s.body.push_back(eit.last_table_id ? *eit.last_table_id : eit.table_id);
  for (const EitEvent& e : eit.events) {
    put_be(s.body, e.event_id, 2);
    put_be(s.body, e.start_time, 5);
    put_be(s.body, e.duration, 3);
    if (e.running_status > 7) throw std::invalid_argument("running_status above 7");
    put_loop(s.body, e.descriptors, uint8_t((e.running_status << 1) | (e.free_CA_mode ? 1 : 0)));
  }
  return s;
}

LongSection EitPf(uint16_t service_id, uint16_t transport_stream_id, uint16_t original_network_id,
                  uint8_t section_number, uint16_t event_id, const Bytes& aribName,
                  uint8_t version_number) {
  EitDesc eit;
  eit.service_id = service_id;
  eit.transport_stream_id = transport_stream_id;
  eit.original_network_id = original_network_id;
  eit.version_number = version_number;
  eit.section_number = section_number;
  eit.last_section_number = 1;
  EitEvent e;
  e.event_id = event_id;
  e.start_time = mjd_bcd_time(2026, 12, 7, section_number == 0 ? 21 : 22, 0, 0);
  e.duration = bcd_duration(1, 0, 0);
  e.running_status = section_number == 0 ? 4 : 1;   // running / not yet running
  e.descriptors = ShortEventDescriptor(aribName);
  eit.events.push_back(e);
  return Eit(eit);
}

LongSection Sdt(uint16_t transport_stream_id, uint16_t original_network_id,
                const std::vector<SdtService>& services, uint8_t version_number, uint8_t table_id) {
  LongSection s = si_section(table_id, transport_stream_id, version_number);
  put_be(s.body, original_network_id, 2);
  s.body.push_back(0xFF);   // reserved_future_use
  for (const SdtService& sv : services) {
    put_be(s.body, sv.service_id, 2);
    s.body.push_back(uint8_t(0xE0 | ((sv.EIT_user_defined_flags & 7) << 2) |
                             (sv.EIT_schedule_flag ? 2 : 0) | (sv.EIT_present_following_flag ? 1 : 0)));
    if (sv.running_status > 7) throw std::invalid_argument("running_status above 7");
    put_loop(s.body, sv.descriptors, uint8_t((sv.running_status << 1) | (sv.free_CA_mode ? 1 : 0)));
  }
  return s;
}

LongSection Nit(uint16_t network_id, const Bytes& network_descriptors,
                const std::vector<NitTransportStream>& streams, uint8_t version_number,
                uint8_t table_id) {
  LongSection s = si_section(table_id, network_id, version_number);
  put_loop(s.body, network_descriptors);
  Bytes loop;
  for (const NitTransportStream& ts : streams) {
    put_be(loop, ts.transport_stream_id, 2);
    put_be(loop, ts.original_network_id, 2);
    put_loop(loop, ts.descriptors);
  }
  put_loop(s.body, loop);
  return s;
}

Bytes Tdt(uint64_t JST_time) {
  Bytes body;
  put_be(body, JST_time, 5);
  return ShortSection(0x70, body, false);
}

Bytes Tot(uint64_t JST_time, const Bytes& descriptors, bool corruptCrc) {
  Bytes body;
  put_be(body, JST_time, 5);
  put_loop(body, descriptors);
  return ShortSection(0x73, body, true, corruptCrc);
}

LongSection Sdtt(uint8_t maker_id, uint8_t model_id, uint16_t transport_stream_id,
                 uint16_t original_network_id, uint16_t service_id,
                 const std::vector<SdttContent>& contents, uint8_t version_number) {
  if (contents.size() > 255) throw std::length_error("more than 255 contents");
  LongSection s = si_section(0xC3, uint16_t((maker_id << 8) | model_id), version_number);
  put_be(s.body, transport_stream_id, 2);
  put_be(s.body, original_network_id, 2);
  put_be(s.body, service_id, 2);
  s.body.push_back(uint8_t(contents.size()));
  for (const SdttContent& c : contents) {
    const size_t scheduleLength = c.schedules.size() * 8;
    const size_t contentLength = scheduleLength + c.descriptors.size();
    if (contentLength > 0x0FFF) throw std::length_error("content description above 4095 bytes");
    put_be(s.body, (uint32_t(c.group & 0xF) << 12) | (c.target_version & 0x0FFF), 2);
    put_be(s.body, (uint32_t(c.new_version & 0x0FFF) << 4) | ((c.download_level & 3) << 2) |
                   (c.version_indicator & 3), 2);
    // content_description_length (12) then reserved (4); schedule_description_length (12) then
    // schedule_timeshift_information (4): the lengths are the high 12 bits of their 16.
    put_be(s.body, (uint32_t(contentLength) << 4) | 0xF, 2);
    put_be(s.body, (uint32_t(scheduleLength) << 4) | (c.schedule_timeshift_information & 0xF), 2);
    for (const auto& [start, duration] : c.schedules) {
      put_be(s.body, start, 5);
      put_be(s.body, duration, 3);
    }
    append(s.body, c.descriptors);
  }
  return s;
}

LongSection Bit(uint16_t original_network_id, bool broadcast_view_propriety,
                const Bytes& first_descriptors, const std::vector<BitBroadcaster>& broadcasters,
                uint8_t version_number) {
  LongSection s = si_section(0xC4, original_network_id, version_number);
  put_loop(s.body, first_descriptors, uint8_t(0xE | (broadcast_view_propriety ? 1 : 0)));
  for (const BitBroadcaster& b : broadcasters) {
    s.body.push_back(b.broadcaster_id);
    put_loop(s.body, b.descriptors);
  }
  return s;
}

LongSection Sit(const Bytes& transmission_info_descriptors, const std::vector<SitService>& services,
                uint8_t version_number) {
  LongSection s = si_section(0x7F, 0xFFFF, version_number);
  put_loop(s.body, transmission_info_descriptors);
  for (const SitService& sv : services) {
    if (sv.running_status > 7) throw std::invalid_argument("running_status above 7");
    put_be(s.body, sv.service_id, 2);
    put_loop(s.body, sv.descriptors, uint8_t(0x8 | sv.running_status));
  }
  return s;
}

LongSection Cdt(uint16_t download_data_id, uint16_t original_network_id, uint8_t data_type,
                const Bytes& descriptors, const Bytes& data_module, uint8_t version_number) {
  LongSection s = si_section(0xC8, download_data_id, version_number);
  put_be(s.body, original_network_id, 2);
  s.body.push_back(data_type);
  put_loop(s.body, descriptors);
  append(s.body, data_module);
  return s;
}

Bytes Dit(bool transition_flag) {
  // transition_flag (1), reserved_future_use (7, all ones).
  return ShortSection(0x7E, {uint8_t((transition_flag ? 0x80 : 0) | 0x7F)}, false);
}

}  // namespace tsb
