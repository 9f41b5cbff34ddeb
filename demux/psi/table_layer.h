// The table layer of the demux tool: every TS packet of a run goes through HandlePacket, which
// routes it by PID, reassembles sections, checks CRCs, parses each new table version once and
// keeps the programme tables. All storage is fixed and allocated with the object (one per run).
#pragma once
#include <cstdint>
#include "demux/psi/programme_table.h"

constexpr uint32_t kPidCount = 8192;   // 13-bit PIDs

// One entry of a PMT's elementary-stream loop.
struct PmtStreamEntry {
  uint8_t stream_type = 0;
  uint16_t elementary_PID = 0;
  StreamKind kind;   // by the whole entry (stream_kind.h)
};

// A service of the actual SDT and the names its service_descriptor gives (ETSI EN 300 468
// 6.2.33, ARIB STD-B10 6.2.13), pointing into the section.
struct SdtServiceNames {
  uint16_t original_network_id = 0;
  uint16_t transport_stream_id = 0;
  uint16_t service_id = 0;
  uint8_t service_type = 0;
  const uint8_t* service_provider_name = nullptr;
  uint32_t service_provider_name_length = 0;
  const uint8_t* service_name = nullptr;
  uint32_t service_name_length = 0;
};

// Told of the tables as the layer parses them: each PMT section of a new version (again after a
// new PAT) and each new version of a service's present event. Tables whose timing matters to a
// caller (where a programme starts, where its streams change) are read here rather than twice.
class TableObserver {
 public:
  // streams: the section's loop in order, at most kMaxStreams entries.
  virtual void OnPmt(uint16_t program_number, uint8_t version_number, uint16_t pcr_pid,
                     const PmtStreamEntry* streams, int count) = 0;
  // The first event of section 0 of the actual stream's present/following EIT (table 0x4E).
  // start_time: 16-bit MJD and 6 BCD digits; duration: 6 BCD digits (all ones: undefined).
  virtual void OnPresentEvent(uint16_t service_id, uint16_t event_id, uint64_t start_time,
                              uint32_t duration) = 0;

  // The tables that name things, in their broadcast coding, from sections whose CRC_32 is right
  // (a section that fails it names nothing until its next version). Observers that do not show
  // names leave these alone.
  // Each service of a new version of the actual transport stream's SDT (table 0x42) that has a
  // service_descriptor (0x48): its service_provider_name and service_name (0 bytes when empty).
  virtual void OnServiceNames(const SdtServiceNames& names) { (void)names; }
  // The event_name of the short_event_descriptor (0x4D) of the present event (section 0 of the
  // actual stream's present/following EIT, table 0x4E), at each new version.
  virtual void OnPresentEventName(uint16_t original_network_id, uint16_t service_id, const uint8_t* event_name,
                                  uint32_t length) {
    (void)original_network_id, (void)service_id, (void)event_name, (void)length;
  }
  // Each delivery system descriptor (tags 0x43, 0x44, 0x5A, 0x7F, 0xFA) in the transport stream
  // loop of a new version of the actual network's NIT (table 0x40), whole (tag, length, body).
  virtual void OnDeliverySystem(uint16_t transport_stream_id, uint16_t original_network_id,
                                const uint8_t* descriptor, uint32_t length) {
    (void)transport_stream_id, (void)original_network_id, (void)descriptor, (void)length;
  }

 protected:
  ~TableObserver() = default;
};

class TableLayer {
 public:
  TableLayer();
  ~TableLayer();
  TableLayer(const TableLayer&) = delete;
  TableLayer& operator=(const TableLayer&) = delete;

  // Clears every table, store and counter, as at the start of a run (the observer stays).
  void Reset();
  // null: no observer (the default).
  void SetObserver(TableObserver* observer);
  // The packet entry: 188 bytes and their PID. The PID is counted as seen (as CountPid does);
  // null packets (0x1FFF) and PIDs routed nowhere do nothing more. Never allocates. Inline, as
  // most packets of a recording (video, audio) take no route: they cost two table lookups.
  void HandlePacket(const uint8_t* packet, uint32_t pid) {
    if (pid >= kPidCount) return;
    CountPid(pid);
    if (routes_[pid] != 0) HandleRoutedPacket(packet, pid);
  }
  // Counts a PID in the distinct-PID count the first time it is seen (packets, PAT and PMT entries).
  void CountPid(uint32_t pid) {
    if (pid < kPidCount && !(pidSeen_[pid >> 3] & (1u << (pid & 7)))) CountNewPid(pid);
  }

  // Programme tables 0..currentTable; -1 before the first PAT.
  int currentTable() const;
  const ProgrammeTable& table(int index) const;
  // The PAT PID list of the newest PAT version.
  int patPidCount() const;
  const PatPidEntry& patPid(int index) const;
  // transport_stream_id and version_number of the last PAT section parsed.
  uint16_t transportStreamId() const;
  uint8_t patVersion() const;

  uint32_t distinctPids() const;
  uint32_t descriptorKinds() const;
  uint32_t crcErrors() const;

 private:
  struct State;
  void HandleRoutedPacket(const uint8_t* packet, uint32_t pid);
  void CountNewPid(uint32_t pid);

  State* state_;   // the large fixed stores, allocated once with the object
  // The state's PID route table (0: no route) and seen-PID bits, read by the inline entries.
  const uint8_t* routes_;
  const uint8_t* pidSeen_;
};

// CRC-32/MPEG-2 (polynomial 0x04C11DB7, MSB first, initial 0xFFFFFFFF, no reflection, no final
// inversion), table-driven.
uint32_t crc32_mpeg2(const uint8_t* data, uint32_t length);
