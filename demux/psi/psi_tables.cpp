// PAT, CAT and PMT (ISO/IEC 13818-1 2.4.4.3, 2.4.4.6, 2.4.4.8) and the CA descriptor
// (2.6.16): they fill the programme tables, the PAT PID list and the ECM PIDs.
#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/ts_packet.h"
#include "demux/psi/stream_kind.h"
#include "demux/psi/table_state.h"

namespace {

// Long-form header: table_id .. last_section_number.
constexpr uint32_t kHeaderBytes = 8;
constexpr uint32_t kCrcBytes = 4;

}  // namespace

void TableLayer::State::ParsePat(const uint8_t* section, uint32_t length) {
  if (length < kHeaderBytes + kCrcBytes) return;
  transportStreamId = uint16_t(be_read16(section + 3));
  patVersion = (section[5] >> 1) & 0x1F;
  const uint32_t end = length - kCrcBytes;
  ProgrammeTable& table = tables[currentTable];
  for (uint32_t pos = kHeaderBytes; pos + 4 <= end; pos += 4) {
    const uint16_t program_number = uint16_t(be_read16(section + pos));
    const uint16_t pid = uint16_t(be_read13(section + pos + 2));
    CountPid(pid);
    if (patPidCount < kMaxServices) patPids[patPidCount++] = PatPidEntry{program_number, pid};
    if (program_number != 0 && table.serviceCount < kMaxServices) {
      Service& service = table.services[table.serviceCount++];
      service = Service{};
      service.serviceId = program_number;
      service.pmtPid = pid;
    }
  }
}

void TableLayer::State::ParseCat(const uint8_t* section, uint32_t length) {
  // section_length > 9: at least one byte of descriptors between the header and the CRC.
  if (length <= kHeaderBytes + kCrcBytes) return;
  DescriptorContext context;
  context.tableId = section[0];
  context.sectionNumber = section[6];
  context.level = kProgrammeLevel;
  Loop(section + kHeaderBytes, length - kHeaderBytes - kCrcBytes, context);
}

void TableLayer::State::ParsePmt(const uint8_t* section, uint32_t length) {
  // PCR_PID and program_info_length follow the header.
  if (length < kHeaderBytes + 4 + kCrcBytes) return;
  const uint32_t end = length - kCrcBytes;
  const uint16_t program_number = uint16_t(be_read16(section + 3));
  const uint16_t pcr_pid = uint16_t(be_read13(section + 8));
  CountPid(pcr_pid);
  Service* service = FindService(program_number);
  if (service) service->pcrPid = pcr_pid;

  DescriptorContext context;
  context.tableId = section[0];
  context.serviceId = program_number;
  context.sectionNumber = section[6];
  uint32_t pos = kHeaderBytes + 4;
  const uint32_t program_info_length = std::min(be_read12(section + 10), end - pos);
  if (program_info_length > 0) {
    context.level = kProgrammeLevel;
    Loop(section + pos, program_info_length, context);
  }
  const bool hdmv = hdmv_registered(section + pos, program_info_length);
  pos += program_info_length;

  PmtStreamEntry entries[kMaxStreams];
  int entryCount = 0;
  for (int32_t index = 0; pos + 5 <= end; ++index) {
    const uint16_t elementary_PID = uint16_t(be_read13(section + pos + 1));
    const uint32_t ES_info_length = std::min(be_read12(section + pos + 3), end - pos - 5);
    const StreamKind kind = classify_stream(section[pos], section + pos + 5, ES_info_length, hdmv);
    if (entryCount < kMaxStreams) entries[entryCount++] = PmtStreamEntry{section[pos], elementary_PID, kind};
    pos += 5;
    // The CA handler may have changed the table; look the service up again for each stream.
    service = FindService(program_number);
    if (service && service->streamCount < kMaxStreams) {
      ServiceStream& stream = service->streams[service->streamCount++];
      stream = ServiceStream{};
      stream.pid = elementary_PID;
      stream.stream_type = section[pos - 5];
      stream.kind = kind;
    }
    CountPid(elementary_PID);
    if (ES_info_length > 0) {
      context.level = kStreamLevel;
      context.streamIndex = index;
      context.elementaryPid = elementary_PID;
      Loop(section + pos, ES_info_length, context);
      // The component_tag of a stream identifier descriptor (0x52 0x01 tag) opening the loop.
      // A loop too short to hold it gives no class.
      if (service && ES_info_length >= 3) {
        for (int k = 0; k < service->streamCount; ++k) {
          ServiceStream& stream = service->streams[k];
          if (stream.pid != elementary_PID) continue;
          stream.streamClass = class_for_component_tag(section[pos + 2]);
          break;
        }
      }
    }
    pos += ES_info_length;
  }
  if (observer) observer->OnPmt(program_number, uint8_t((section[5] >> 1) & 0x1F), pcr_pid, entries, entryCount);
}

void TableLayer::State::OnCaDescriptor(const DescriptorContext& context, const uint8_t* descriptor,
                                       uint32_t length) {
  // descriptor_tag, descriptor_length, CA_system_ID (16), reserved (3), CA_PID (13).
  if (length < 6) return;
  const uint16_t CA_PID = uint16_t(be_read13(descriptor + 4));
  if (CA_PID == kTsNullPid) return;
  if (context.serviceId < 0 || !InPatPidList(context.serviceId)) return;
  Service* service = FindService(context.serviceId);
  if (!service) return;
  uint16_t* target = nullptr;
  if (context.level == kProgrammeLevel) {
    target = &service->ecmPid;
  } else if (context.elementaryPid >= 0) {
    for (int k = 0; k < service->streamCount; ++k) {
      if (service->streams[k].pid == context.elementaryPid) {
        target = &service->streams[k].ecmPid;
        break;
      }
    }
  }
  if (!target || *target == CA_PID) return;
  *target = CA_PID;
  RebuildRoutes();   // the ECM PID now carries ECM sections
}
