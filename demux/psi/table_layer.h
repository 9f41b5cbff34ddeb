// The table layer of the demux tool: every TS packet of a run goes through HandlePacket, which
// routes it by PID, reassembles sections, checks CRCs, parses each new table version once and
// keeps the programme tables. All storage is fixed and allocated with the object (one per run).
#pragma once
#include <cstdint>
#include "demux/psi/programme_table.h"

constexpr uint32_t kPidCount = 8192;   // 13-bit PIDs

class TableLayer {
 public:
  TableLayer();
  ~TableLayer();
  TableLayer(const TableLayer&) = delete;
  TableLayer& operator=(const TableLayer&) = delete;

  // Clears every table, store and counter, as at the start of a run.
  void Reset();
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
