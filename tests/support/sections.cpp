// PSI sections (ISO/IEC 13818-1 2.4.4): the long and short section forms, the PAT, PMT and CAT,
// the descriptors they carry, and the packetisation of sections with pointer_field and stuffing.
#include <algorithm>
#include <stdexcept>

#include "tests/support/stream_builder.h"

namespace tsb {

namespace {

constexpr size_t kMaxSectionLength = 4093;   // private sections; PSI tables allow 1021

void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// 12-bit length with its 4 reserved bits set, as every loop length of PSI/SI is coded.
void put_length12(Bytes& out, size_t length, uint8_t highBits = 0xF) {
  if (length > 0x0FFF) throw std::length_error("loop longer than a 12-bit length");
  put_be(out, (uint32_t(highBits) << 12) | length, 2);
}

void append_crc(Bytes& s, bool corrupt) {
  uint32_t crc = crc32_mpeg2(s);
  if (corrupt) crc ^= 1;
  put_be(s, crc, 4);
}

}  // namespace

Bytes LongSection::Build() const {
  if (version_number > 31) throw std::invalid_argument("version_number above 31");
  const size_t trueLength = 5 + body.size() + 4;
  if (trueLength > kMaxSectionLength) throw std::length_error("section longer than 4093 bytes");
  const uint16_t length = section_length ? *section_length : uint16_t(trueLength);
  const bool privateBit = private_bit ? *private_bit : table_id >= 0x40;
  Bytes s;
  s.reserve(3 + trueLength);
  s.push_back(table_id);
  // section_syntax_indicator '1', the private/reserved_future_use bit, reserved '11'.
  s.push_back(uint8_t(0x80 | (privateBit ? 0x40 : 0) | 0x30 | ((length >> 8) & 0x0F)));
  s.push_back(uint8_t(length & 0xFF));
  put_be(s, table_id_extension, 2);
  s.push_back(uint8_t(0xC0 | (version_number << 1) | (current_next_indicator ? 1 : 0)));
  s.push_back(section_number);
  s.push_back(last_section_number);
  append(s, body);
  append_crc(s, corruptCrc);
  return s;
}

Bytes ShortSection(uint8_t table_id, const Bytes& body, bool withCrc, bool corruptCrc) {
  const size_t length = body.size() + (withCrc ? 4 : 0);
  if (length > kMaxSectionLength) throw std::length_error("section longer than 4093 bytes");
  Bytes s;
  s.push_back(table_id);
  // section_syntax_indicator '0', reserved_future_use '1', reserved '11'.
  s.push_back(uint8_t(0x70 | (length >> 8)));
  s.push_back(uint8_t(length & 0xFF));
  append(s, body);
  if (withCrc) append_crc(s, corruptCrc);
  return s;
}

Bytes Descriptor(uint8_t tag, const Bytes& body) {
  if (body.size() > 255) throw std::length_error("descriptor body above 255 bytes");
  Bytes d{tag, uint8_t(body.size())};
  append(d, body);
  return d;
}

Bytes StreamIdentifierDescriptor(uint8_t component_tag) { return Descriptor(0x52, {component_tag}); }

Bytes CaDescriptor(uint16_t CA_system_ID, uint16_t CA_PID, const Bytes& private_data) {
  if (CA_PID > 0x1FFF) throw std::invalid_argument("CA_PID above 0x1FFF");
  Bytes body;
  put_be(body, CA_system_ID, 2);
  put_be(body, 0xE000u | CA_PID, 2);
  append(body, private_data);
  return Descriptor(0x09, body);
}

LongSection Pat(uint16_t transport_stream_id, const std::vector<PatEntry>& programs,
                uint8_t version_number) {
  LongSection s;
  s.table_id = 0x00;
  s.table_id_extension = transport_stream_id;
  s.version_number = version_number;
  for (const PatEntry& e : programs) {
    if (e.pid > 0x1FFF) throw std::invalid_argument("PAT PID above 0x1FFF");
    put_be(s.body, e.program_number, 2);
    put_be(s.body, 0xE000u | e.pid, 2);   // reserved '111', network_PID / program_map_PID
  }
  return s;
}

LongSection Pmt(uint16_t program_number, uint16_t pcr_pid, const std::vector<PmtStream>& streams,
                const Bytes& program_info, uint8_t version_number) {
  if (pcr_pid > 0x1FFF) throw std::invalid_argument("PCR_PID above 0x1FFF");
  LongSection s;
  s.table_id = 0x02;
  s.table_id_extension = program_number;
  s.version_number = version_number;
  put_be(s.body, 0xE000u | pcr_pid, 2);
  put_length12(s.body, program_info.size());
  append(s.body, program_info);
  for (const PmtStream& st : streams) {
    if (st.elementary_PID > 0x1FFF) throw std::invalid_argument("elementary_PID above 0x1FFF");
    s.body.push_back(st.stream_type);
    put_be(s.body, 0xE000u | st.elementary_PID, 2);
    put_length12(s.body, st.descriptors.size());
    append(s.body, st.descriptors);
  }
  return s;
}

LongSection Cat(const Bytes& descriptors, uint8_t version_number) {
  LongSection s;
  s.table_id = 0x01;
  s.table_id_extension = 0xFFFF;
  s.version_number = version_number;
  s.body = descriptors;
  return s;
}

std::vector<PacketDesc> PacketiseSections(uint16_t pid, const std::vector<Bytes>& sections,
                                          const SectionPacking& packing) {
  // Sections are poured into payloads one after the other; the first packet in which a section
  // starts gets payload_unit_start_indicator and a pointer_field in front of the bytes of the
  // previous section it already carries (2.4.4.2).
  std::vector<PacketDesc> packets;
  auto new_packet = [&] {
    PacketDesc p = packing.packetTemplate;
    p.pid = pid;
    p.padWithFF = true;
    p.payload.clear();
    p.payload_unit_start_indicator = false;
    packets.push_back(p);
    return &packets.back();
  };

  PacketDesc* cur = nullptr;
  size_t pointerAt = 0;        // offset of the pointer_field in cur's payload
  bool leadingPending = !packing.leadingBytes.empty();
  auto room_left = [&] { return payload_room(*cur) - cur->payload.size(); };

  for (size_t si = 0; si < sections.size(); ++si) {
    const Bytes& sec = sections[si];
    bool mustStartNew = cur == nullptr || packing.newPacketPerSection;
    // A section needs at least its first byte after a pointer_field in the packet where it
    // starts; a packet that already has a pointer_field only needs room for that byte.
    if (!mustStartNew) {
      const size_t need = std::max<size_t>(packing.minRoomToStart, 1) +
                          (cur->payload_unit_start_indicator ? 0 : 1);
      if (room_left() < need) mustStartNew = true;
    }
    if (mustStartNew) cur = new_packet();   // the previous packet ends in 0xFF stuffing
    if (!cur->payload_unit_start_indicator) {
      cur->payload_unit_start_indicator = true;
      // Insert the pointer_field before the bytes already in the payload (the previous
      // section's tail), pointing just past them.
      pointerAt = 0;
      Bytes tail = std::move(cur->payload);
      cur->payload.clear();
      cur->payload.push_back(uint8_t(tail.size()));
      append(cur->payload, tail);
      if (leadingPending) {
        append(cur->payload, packing.leadingBytes);
        cur->payload[pointerAt] = uint8_t(cur->payload.size() - 1);
        leadingPending = false;
        if (cur->payload.size() >= payload_room(*cur)) {
          throw std::length_error("leading bytes leave no room for a section");
        }
      }
    }
    size_t done = 0;
    while (done < sec.size()) {
      if (room_left() == 0) cur = new_packet();
      const size_t n = std::min(room_left(), sec.size() - done);
      cur->payload.insert(cur->payload.end(), sec.begin() + done, sec.begin() + done + n);
      done += n;
    }
    if (packing.stuffAfterEachSection && si + 1 < sections.size() && room_left() > 0) {
      // 0xFF ends the packet for the reader: the next section starts in a new packet.
      cur->payload.resize(payload_room(*cur), 0xFF);
    }
  }
  return packets;
}

}  // namespace tsb
