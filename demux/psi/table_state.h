// The fixed state behind TableLayer: PID routes, the slot stores of the assembler variants, the
// programme tables and the counters, with the handlers the tables are parsed by.
#pragma once
#include <cstdint>

#include "demux/arib/arib_text.h"
#include "demux/psi/descriptor_loop.h"
#include "demux/psi/programme_table.h"
#include "demux/psi/section_store.h"
#include "demux/psi/table_layer.h"

// Where a PID's packets go (the fixed SI PIDs of ARIB STD-B10 vol. 2, 5.1; then the PAT's PIDs).
enum Route : uint8_t {
  kRouteNone = 0,
  kRoutePat,
  kRouteCat,
  kRouteSdt,
  kRouteEit0,     // 0x0012
  kRouteEit1,     // 0x0026
  kRouteEit2,     // 0x0027
  kRouteClock,    // 0x0014 TDT/TOT
  kRouteDit,      // 0x001E
  kRouteSit,      // 0x001F
  kRouteSdtt0,    // 0x0023
  kRouteSdtt1,    // 0x0028
  kRouteBit,      // 0x0024
  kRouteCdt,      // 0x0029
  kRouteKind90,   // 0x0721
  kRouteNull,     // 0x1FFF
  kRouteNit,
  kRoutePmt,
  kRouteEcm,
};

// Slots per store: the general assembler and each EIT PID 128, each SDTT PID 32, the clock and
// DIT PIDs 8 (one single-section table each).
constexpr int kGeneralSlots = 128;
constexpr int kEitSlots = 128;
constexpr int kSdttSlots = 32;
constexpr int kClockSlots = 8;
constexpr int kEitStores = 3;
constexpr int kSdttStores = 2;
constexpr int kTotalSlots =
    kGeneralSlots + kEitStores * kEitSlots + kSdttStores * kSdttSlots + 2 * kClockSlots;

struct TableLayer::State final : CompleteTableSink, DescriptorHandler {
  State();
  ~State();
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  void Reset();
  // A packet of a PID that has a route (TableLayer has counted the PID already).
  void HandlePacket(const uint8_t* packet, uint32_t pid);
  void CountPid(uint32_t pid);

  // CompleteTableSink: the table handler frame.
  void OnTableComplete(SectionStore& store, int slot) override;
  // DescriptorHandler.
  void OnCaDescriptor(const DescriptorContext& context, const uint8_t* descriptor,
                      uint32_t length) override;
  void OnShortEventDescriptor(const DescriptorContext& context, const uint8_t* descriptor,
                              uint32_t length) override;

  // Table parsers, one stored section each (section: table_id .. CRC_32, length bytes).
  void ParsePat(const uint8_t* section, uint32_t length);
  void ParseCat(const uint8_t* section, uint32_t length);
  void ParsePmt(const uint8_t* section, uint32_t length);
  void WalkNit(const uint8_t* section, uint32_t length);
  void WalkSdt(const uint8_t* section, uint32_t length);
  void WalkSit(const uint8_t* section, uint32_t length);
  void WalkBit(const uint8_t* section, uint32_t length);
  void WalkFirstLoopThenEntries(const uint8_t* section, uint32_t length, uint32_t header);
  void WalkCdt(const uint8_t* section, uint32_t length);
  void WalkEcm(const uint8_t* section, uint32_t length);
  void WalkEit(const uint8_t* section, uint32_t length);
  void WalkSdtt(const uint8_t* section, uint32_t length);
  void WalkTot(const uint8_t* section, uint32_t length);

  // False (and counted) when the section's CRC_32 is wrong.
  bool CheckCrc(const uint8_t* section, uint32_t length);
  // The observer's reports of the tables that name things (si_names.cpp); the walks call them
  // for intact sections of the actual tables only.
  void ReportServiceNames(const uint8_t* section, uint32_t length);
  void ReportDeliverySystems(const uint8_t* section, uint32_t length);
  void ReportPresentEventName(const uint8_t* section, uint32_t length);
  void Loop(const uint8_t* bytes, uint32_t length, const DescriptorContext& context);
  // A new PAT version: a fresh programme table, and the PMT and present/following EIT
  // versions forgotten so that each service's next ones fill the new table.
  void OpenProgrammeTable();
  Service* FindService(int32_t serviceId);
  bool InPatPidList(int32_t programNumber) const;
  void RebuildRoutes();
  void ParseTable(Route kind, const SectionSlot& slot);

  // Routing.
  uint8_t routes[kPidCount];
  AssemblerCursor cursors[kPidCount];
  Route activeRoute = kRouteNone;

  // Stores.
  SectionSlot slots[kTotalSlots];
  SectionStore general;
  SectionStore eit[kEitStores];
  SectionStore sdtt[kSdttStores];
  SectionStore clock;
  SectionStore dit;

  // Programme tables, zero-filled by calloc: the pages of tables a run never opens are then
  // never touched (the zero value is each field's default).
  ProgrammeTable* const tables;
  int currentTable = -1;
  PatPidEntry patPids[kMaxServices];
  int patPidCount = 0;
  uint16_t transportStreamId = 0;
  uint8_t patVersion = 0;

  // Counters.
  uint8_t pidSeen[kPidCount / 8];
  uint32_t distinctPids = 0;
  DescriptorKinds descriptorKinds;
  uint32_t crcErrors = 0;

  TableObserver* observer = nullptr;
  bool sectionIntact = false;   // the section being walked passed its CRC check

  char aribText[kAribTextMax + 1];
  // Section buffers of every slot; left uninitialised, only written bytes are read.
  uint8_t buffers[kTotalSlots][kSlotBytes];
};

// The class of a stream by its component_tag (ARIB TR-B14 ranges).
StreamClass class_for_component_tag(uint8_t component_tag);
