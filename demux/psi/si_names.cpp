// The table observer's reports of what names a service and its network: the SDT's service
// descriptors, the present event's name and the NIT's delivery system descriptors. These walks
// look at every descriptor of a loop, whatever its tag (the SI of any network, not only the tags
// the demux tool knows), each clamped to its loop and section.
#include <algorithm>

#include "common/bytes.h"
#include "demux/psi/table_state.h"

namespace {

constexpr uint32_t kCrcBytes = 4;

// Calls visit(descriptor, total) for each whole descriptor of length bytes; one that would run
// past them ends the loop.
template <typename Visit>
void each_descriptor(const uint8_t* bytes, uint32_t length, Visit visit) {
  for (uint32_t pos = 0; pos + 2 <= length;) {
    const uint32_t total = 2u + bytes[pos + 1];
    if (total > length - pos) return;
    visit(bytes + pos, total);
    pos += total;
  }
}

// The 12-bit loop length at p, cut to the bytes from pos to end.
uint32_t loop_length(const uint8_t* p, uint32_t pos, uint32_t end) {
  return pos >= end ? 0 : std::min(be_read12(p), end - pos);
}

bool is_delivery_system_tag(uint8_t tag) {
  // Satellite, cable, terrestrial (EN 300 468 6.2.13), extension (T2, C2, S2X: 6.4), ISDB-T
  // terrestrial (ARIB STD-B10 6.2.31).
  return tag == 0x43 || tag == 0x44 || tag == 0x5A || tag == 0x7F || tag == 0xFA;
}

}  // namespace

// SDT (EN 300 468 5.2.3): transport_stream_id, original_network_id at 8, services from 11, each
// service_id, flags and a 12-bit descriptors_loop_length (5 bytes), then its descriptors.
void TableLayer::State::ReportServiceNames(const uint8_t* section, uint32_t length) {
  if (length < 11 + kCrcBytes) return;
  const uint32_t end = length - kCrcBytes;
  SdtServiceNames names;
  names.transport_stream_id = uint16_t(be_read16(section + 3));
  names.original_network_id = uint16_t(be_read16(section + 8));
  for (uint32_t pos = 11; pos + 5 <= end;) {
    const uint32_t n = loop_length(section + pos + 3, pos + 5, end);
    names.service_id = uint16_t(be_read16(section + pos));
    each_descriptor(section + pos + 5, n, [&](const uint8_t* d, uint32_t total) {
      // service_descriptor (6.2.33): service_type, then two length-prefixed names.
      if (d[0] != 0x48 || total < 4) return;
      const uint8_t* body = d + 2;
      const uint32_t bodyLength = total - 2;
      names.service_type = body[0];
      const uint32_t providerLength = std::min<uint32_t>(body[1], bodyLength - 2);
      const uint32_t nameAt = 2 + providerLength;
      const uint32_t nameLength = nameAt < bodyLength ? std::min<uint32_t>(body[nameAt], bodyLength - nameAt - 1) : 0;
      names.service_provider_name = body + 2;
      names.service_provider_name_length = providerLength;
      names.service_name = nameAt < bodyLength ? body + nameAt + 1 : body + bodyLength;
      names.service_name_length = nameLength;
      observer->OnServiceNames(names);
    });
    pos += 5 + n;
  }
}

// NIT (EN 300 468 5.2.1): network descriptors (length at 8), then the transport stream loop,
// each transport_stream_id, original_network_id and a 12-bit descriptor length (6 bytes).
void TableLayer::State::ReportDeliverySystems(const uint8_t* section, uint32_t length) {
  if (length < 10 + kCrcBytes) return;
  const uint32_t end = length - kCrcBytes;
  uint32_t pos = 10 + loop_length(section + 8, 10, end);
  if (pos + 2 > end) return;
  const uint32_t loopEnd = pos + 2 + loop_length(section + pos, pos + 2, end);
  for (pos += 2; pos + 6 <= loopEnd;) {
    const uint16_t transport_stream_id = uint16_t(be_read16(section + pos));
    const uint16_t original_network_id = uint16_t(be_read16(section + pos + 2));
    const uint32_t n = loop_length(section + pos + 4, pos + 6, loopEnd);
    each_descriptor(section + pos + 6, n, [&](const uint8_t* d, uint32_t total) {
      if (is_delivery_system_tag(d[0]))
        observer->OnDeliverySystem(transport_stream_id, original_network_id, d, total);
    });
    pos += 6 + n;
  }
}

// EIT (EN 300 468 5.2.4): original_network_id at 10, the first event from 14 (event_id,
// start_time, duration, a 12-bit descriptors_loop_length: 12 bytes). short_event_descriptor
// (6.2.37): ISO_639_language_code, event_name_length, event_name_char.
void TableLayer::State::ReportPresentEventName(const uint8_t* section, uint32_t length) {
  if (length < 26 + kCrcBytes) return;
  const uint32_t end = length - kCrcBytes;
  const uint16_t service_id = uint16_t(be_read16(section + 3));
  const uint16_t original_network_id = uint16_t(be_read16(section + 10));
  const uint32_t n = loop_length(section + 24, 26, end);
  bool told = false;
  each_descriptor(section + 26, n, [&](const uint8_t* d, uint32_t total) {
    if (told || d[0] != 0x4D || total < 6) return;
    told = true;
    observer->OnPresentEventName(original_network_id, service_id, d + 6, std::min<uint32_t>(d[5], total - 6));
  });
}
