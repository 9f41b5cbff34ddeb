// Walks of the ARIB SI tables (ARIB STD-B10 vol. 2, 5.2; STD-B21 12.2) through their descriptor
// loops, and the short event descriptor that names a service after its present event.
// Every loop is clamped to its section (before CRC_32), whatever its length fields say.
#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/sjis.h"
#include "demux/psi/table_state.h"

namespace {

constexpr uint32_t kCrcBytes = 4;

// The bytes before CRC_32, or 0 for a section too short to carry one.
uint32_t body_end(uint32_t length) { return length >= kCrcBytes ? length - kCrcBytes : 0; }

// length bytes at pos, cut to end.
uint32_t clamp_length(uint32_t pos, uint32_t length, uint32_t end) {
  return pos >= end ? 0 : std::min(length, end - pos);
}

DescriptorContext make_context(const uint8_t* section, int32_t serviceId, int32_t level) {
  DescriptorContext context;
  context.tableId = section[0];
  context.serviceId = serviceId;
  context.sectionNumber = section[6];
  context.level = level;
  return context;
}

}  // namespace

// NIT (5.2.4): network descriptors, then the transport stream loop.
void TableLayer::State::WalkNit(const uint8_t* section, uint32_t length) {
  const uint32_t end = body_end(length);
  if (end < 10) return;
  if (observer && sectionIntact && section[0] == 0x40) ReportDeliverySystems(section, length);
  const int32_t network_id = int32_t(be_read16(section + 3));
  uint32_t pos = 10;
  const uint32_t network_descriptors_length = clamp_length(pos, be_read12(section + 8), end);
  Loop(section + pos, network_descriptors_length, make_context(section, network_id, kProgrammeLevel));
  pos += network_descriptors_length;
  if (pos + 2 > end) return;
  const uint32_t loopEnd = pos + 2 + clamp_length(pos + 2, be_read12(section + pos), end);
  pos += 2;
  for (int32_t index = 0; pos + 6 <= loopEnd; ++index) {
    const uint32_t n = clamp_length(pos + 6, be_read12(section + pos + 4), loopEnd);
    DescriptorContext context = make_context(section, network_id, kStreamLevel);
    context.streamIndex = index;
    Loop(section + pos + 6, n, context);
    pos += 6 + n;
  }
}

// SDT (5.2.6): per service, service_id, EIT flags, descriptors_loop_length.
void TableLayer::State::WalkSdt(const uint8_t* section, uint32_t length) {
  const uint32_t end = body_end(length);
  if (observer && sectionIntact && section[0] == 0x42) ReportServiceNames(section, length);
  uint32_t pos = 11;
  for (int32_t index = 0; pos + 5 <= end; ++index) {
    const uint32_t n = clamp_length(pos + 5, be_read12(section + pos + 3), end);
    Loop(section + pos + 5, n, make_context(section, -1, index));
    pos += 5 + n;
  }
}

// SIT (ARIB STD-B21 / B10 5.2.15) and BIT (5.2.13) share one shape: a first descriptor loop
// (length at offset 8, from offset 10), then entries of `header` bytes (service_id and
// running_status; broadcaster_id) whose 12-bit loop length ends the header.
void TableLayer::State::WalkFirstLoopThenEntries(const uint8_t* section, uint32_t length,
                                                 uint32_t header) {
  const uint32_t end = body_end(length);
  if (end < 10) return;
  uint32_t pos = 10;
  const uint32_t first = clamp_length(pos, be_read12(section + 8), end);
  Loop(section + pos, first, make_context(section, -1, kProgrammeLevel));
  pos += first;
  for (int32_t index = 0; pos + header <= end; ++index) {
    const uint32_t n = clamp_length(pos + header, be_read12(section + pos + header - 2), end);
    DescriptorContext context = make_context(section, -1, kStreamLevel);
    context.streamIndex = index;
    Loop(section + pos + header, n, context);
    pos += header + n;
  }
}

void TableLayer::State::WalkSit(const uint8_t* section, uint32_t length) {
  WalkFirstLoopThenEntries(section, length, 4);
}

void TableLayer::State::WalkBit(const uint8_t* section, uint32_t length) {
  WalkFirstLoopThenEntries(section, length, 3);
}

// CDT (STD-B21 12.2.2): descriptors; the data module after them is not looked at.
void TableLayer::State::WalkCdt(const uint8_t* section, uint32_t length) {
  const uint32_t end = body_end(length);
  if (end < 13) return;
  const uint32_t n = clamp_length(13, be_read12(section + 11), end);
  Loop(section + 13, n, make_context(section, -1, kProgrammeLevel));
}

// ECM (ARIB STD-B25): the descriptors between the fixed ECM fields (34 bytes from the section
// start) and the 4-byte falsification check before CRC_32.
void TableLayer::State::WalkEcm(const uint8_t* section, uint32_t length) {
  const uint32_t section_length = length - 3;
  if (section_length < 40) return;
  Loop(section + 34, section_length - 39, make_context(section, -1, kProgrammeLevel));
}

// EIT (5.2.7): per event, event_id, start_time, duration, descriptors_loop_length.
void TableLayer::State::WalkEit(const uint8_t* section, uint32_t length) {
  const uint32_t end = body_end(length);
  if (end < 14) return;
  const int32_t service_id = int32_t(be_read16(section + 3));
  uint32_t pos = 14;
  // event_id (16), start_time (40), duration (24) of the present event.
  if (observer && section[0] == 0x4E && section[6] == 0 && pos + 12 <= end) {
    const uint8_t* e = section + pos;
    const uint64_t start_time = (uint64_t(be_read16(e + 2)) << 24) | (uint64_t(e[4]) << 16) | be_read16(e + 5);
    const uint32_t duration = (uint32_t(e[7]) << 16) | be_read16(e + 8);
    observer->OnPresentEvent(uint16_t(service_id), uint16_t(be_read16(e)), start_time, duration);
    if (sectionIntact) ReportPresentEventName(section, length);
  }
  for (int32_t index = 0; pos + 12 <= end; ++index) {
    const uint32_t n = clamp_length(pos + 12, be_read12(section + pos + 10), end);
    Loop(section + pos + 12, n, make_context(section, service_id, index));
    pos += 12 + n;
  }
}

// SDTT (ARIB STD-B21 12.2.1.1): per content, an 8-byte header whose content_description_length
// and schedule_description_length are the high 12 bits of bytes 4-5 and 6-7; the schedule
// entries (8 bytes each) come first, the descriptors fill the rest of the content description.
void TableLayer::State::WalkSdtt(const uint8_t* section, uint32_t length) {
  const uint32_t end = body_end(length);
  if (end < 15) return;
  const uint32_t num_of_contents = section[14];
  uint32_t pos = 15;
  for (uint32_t index = 0; index < num_of_contents && pos + 8 <= end; ++index) {
    const uint32_t content_description_length = (uint32_t(section[pos + 4]) << 4) | (section[pos + 5] >> 4);
    const uint32_t schedule_description_length = (uint32_t(section[pos + 6]) << 4) | (section[pos + 7] >> 4);
    const uint32_t descriptorsAt = pos + 8 + schedule_description_length;
    const uint32_t descriptorsLength =
        content_description_length > schedule_description_length
            ? clamp_length(descriptorsAt, content_description_length - schedule_description_length, end)
            : 0;
    Loop(section + std::min(descriptorsAt, end), descriptorsLength,
         make_context(section, -1, int32_t(index)));
    pos += 8 + std::max(content_description_length, schedule_description_length);
  }
}

// TOT (5.2.9): JST_time, then descriptors_loop_length. It has no section_number: section 0.
void TableLayer::State::WalkTot(const uint8_t* section, uint32_t length) {
  const uint32_t end = body_end(length);
  if (end < 10) return;
  const uint32_t n = clamp_length(10, be_read12(section + 8), end);
  DescriptorContext context;
  context.tableId = section[0];
  context.sectionNumber = 0;
  context.level = kProgrammeLevel;
  Loop(section + 10, n, context);
}

// Short event descriptor (ARIB STD-B10 6.2.15): the present event (section 0 of the actual
// stream's present/following EIT) names its service in the current programme table.
void TableLayer::State::OnShortEventDescriptor(const DescriptorContext& context,
                                               const uint8_t* descriptor, uint32_t length) {
  if (context.tableId != 0x4E || context.sectionNumber != 0) return;
  Service* service = FindService(context.serviceId);
  if (!service) return;
  // tag, length, ISO_639_language_code (3), event_name_length, event_name_char.
  if (length < 6) return;
  const uint32_t event_name_length = std::min<uint32_t>(descriptor[5], length - 6);
  if (arib_convert(descriptor + 6, event_name_length, aribText) != 0) aribText[0] = '\0';
  // Keep whole characters only: a lead byte whose trail byte would fall past the limit ends it.
  uint32_t n = 0;
  while (aribText[n] != '\0' && n < uint32_t(kProgrammeNameMax)) {
    const uint32_t width = sjis_is_lead(uint8_t(aribText[n])) && aribText[n + 1] != '\0' ? 2 : 1;
    if (n + width > uint32_t(kProgrammeNameMax)) break;
    n += width;
  }
  std::memcpy(service->name, aribText, n);
  service->name[n] = '\0';
}
