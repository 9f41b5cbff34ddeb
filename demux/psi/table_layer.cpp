// Packet entry of the table layer: PID routing, the table handler frame (one parse per table
// version), the programme tables and the counters.
#include "demux/psi/table_layer.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "common/bytes.h"
#include "common/ts_packet.h"
#include "demux/psi/table_state.h"

namespace {

struct FixedRoute {
  uint16_t pid;
  Route route;
};

// PIDs with a fixed assignment (ISO/IEC 13818-1 Table 2-3, ARIB STD-B10 vol. 2, table 5-1).
constexpr FixedRoute kFixedRoutes[] = {
    {0x0000, kRoutePat},   {0x0001, kRouteCat},   {0x0011, kRouteSdt},    {0x0012, kRouteEit0},
    {0x0026, kRouteEit1},  {0x0027, kRouteEit2},  {0x0014, kRouteClock},  {0x001E, kRouteDit},
    {0x001F, kRouteSit},   {0x0023, kRouteSdtt0}, {0x0028, kRouteSdtt1},  {0x0024, kRouteBit},
    {0x0029, kRouteCdt},   {0x0721, kRouteKind90}, {kTsNullPid, kRouteNull},
};

// CRC-32/MPEG-2 lookup table, one entry per byte value, MSB-first (ISO/IEC 13818-1 Annex A).
struct CrcTable {
  uint32_t entry[256] = {};
  constexpr CrcTable() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i << 24;
      for (int bit = 0; bit < 8; ++bit) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
      entry[i] = c;
    }
  }
};
constexpr CrcTable kCrcTable;

}  // namespace

uint32_t crc32_mpeg2(const uint8_t* data, uint32_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint32_t i = 0; i < length; ++i) crc = (crc << 8) ^ kCrcTable.entry[(crc >> 24) ^ data[i]];
  return crc;
}

TableLayer::State::State()
    : tables(static_cast<ProgrammeTable*>(std::calloc(kMaxProgrammeTables, sizeof(ProgrammeTable)))) {
  if (!tables) throw std::bad_alloc();
  SectionSlot* next = slots;
  int used = 0;
  auto assign = [&](SectionStore& store, int count, AssemblerVariant variant) {
    store.slots = next;
    store.slotCount = count;
    store.variant = variant;
    for (int i = 0; i < count; ++i) next[i].buffer = buffers[used + i];
    next += count;
    used += count;
  };
  assign(general, kGeneralSlots, AssemblerVariant::kGeneral);
  for (SectionStore& s : eit) assign(s, kEitSlots, AssemblerVariant::kEit);
  for (SectionStore& s : sdtt) assign(s, kSdttSlots, AssemblerVariant::kGeneral);
  assign(clock, kClockSlots, AssemblerVariant::kClock);
  assign(dit, kClockSlots, AssemblerVariant::kClock);
  Reset();
}

TableLayer::State::~State() { std::free(tables); }

void TableLayer::State::Reset() {
  general.Clear();
  for (SectionStore& s : eit) s.Clear();
  for (SectionStore& s : sdtt) s.Clear();
  clock.Clear();
  dit.Clear();
  for (AssemblerCursor& c : cursors) c = AssemblerCursor{};
  activeRoute = kRouteNone;
  currentTable = -1;
  patPidCount = 0;
  transportStreamId = 0;
  patVersion = 0;
  std::memset(pidSeen, 0, sizeof pidSeen);
  distinctPids = 0;
  descriptorKinds.Clear();
  crcErrors = 0;
  RebuildRoutes();
}

void TableLayer::State::CountPid(uint32_t pid) {
  if (pid >= kPidCount) return;
  uint8_t& byte = pidSeen[pid >> 3];
  const uint8_t bit = uint8_t(1u << (pid & 7));
  if (byte & bit) return;
  byte |= bit;
  ++distinctPids;
}

void TableLayer::State::RebuildRoutes() {
  std::memset(routes, kRouteNone, sizeof routes);
  for (const FixedRoute& r : kFixedRoutes) routes[r.pid] = r.route;
  // A PID listed both for program 0 and for a programme is the NIT's: program 0 is tested first.
  for (int i = 0; i < patPidCount; ++i) {
    uint8_t& route = routes[patPids[i].pid];
    if (patPids[i].programNumber == 0 && route == kRouteNone) route = kRouteNit;
  }
  for (int i = 0; i < patPidCount; ++i) {
    uint8_t& route = routes[patPids[i].pid];
    if (patPids[i].programNumber != 0 && route == kRouteNone) route = kRoutePmt;
  }
  if (currentTable < 0) return;
  const ProgrammeTable& table = tables[currentTable];
  auto ecm = [&](uint16_t pid) {
    if (pid != 0 && pid < kPidCount && routes[pid] == kRouteNone) routes[pid] = kRouteEcm;
  };
  for (int s = 0; s < table.serviceCount; ++s) {
    const Service& service = table.services[s];
    ecm(service.ecmPid);
    for (int k = 0; k < service.streamCount; ++k) ecm(service.streams[k].ecmPid);
  }
}

void TableLayer::State::HandlePacket(const uint8_t* packet, uint32_t pid) {
  if (pid >= kPidCount) return;
  const Route route = Route(routes[pid]);
  SectionStore* store;
  switch (route) {
    case kRouteNone:
    case kRouteNull:
      return;
    case kRouteEit0: store = &eit[0]; break;
    case kRouteEit1: store = &eit[1]; break;
    case kRouteEit2: store = &eit[2]; break;
    case kRouteSdtt0: store = &sdtt[0]; break;
    case kRouteSdtt1: store = &sdtt[1]; break;
    case kRouteClock: store = &clock; break;
    case kRouteDit: store = &dit; break;
    default: store = &general; break;
  }
  activeRoute = route;
  AssemblePacket(*store, cursors[pid], packet, *this);
}

bool TableLayer::State::CheckCrc(const uint8_t* section, uint32_t length) {
  if (length < 4 || crc32_mpeg2(section, length - 4) != be_read32(section + length - 4)) {
    ++crcErrors;
    return false;
  }
  return true;
}

void TableLayer::State::Loop(const uint8_t* bytes, uint32_t length,
                             const DescriptorContext& context) {
  RunDescriptorLoop(bytes, length, context, descriptorKinds, *this);
}

void TableLayer::State::OnTableComplete(SectionStore& store, int slot) {
  const SectionSlot& s = store.slots[slot];
  if (&store == &clock || &store == &dit) {
    // TDT, TOT and DIT carry no version: every complete section is handled. Only the TOT has
    // descriptors and a CRC.
    if (&store == &clock && s.tableId == 0x73) {
      StoredSections walk(s);
      const uint8_t* section;
      uint32_t length;
      while (walk.Next(section, length)) {
        WalkTot(section, length);
        CheckCrc(section, length);
      }
    }
    store.Release(slot);
    return;
  }
  int archive = store.FindArchive(slot);
  if (archive >= 0 && store.slots[archive].version == s.version) {
    store.Release(slot);   // a repetition of the version already parsed
    return;
  }
  ParseTable(activeRoute, s);
  // Parsing a new PAT may have released archived slots; look again.
  archive = store.FindArchive(slot);
  store.Archive(slot, archive);
}

void TableLayer::State::ParseTable(Route kind, const SectionSlot& slot) {
  if (kind == kRouteKind90) return;   // kept to recognise repetitions, never looked into
  if (kind == kRoutePat) OpenProgrammeTable();
  StoredSections walk(slot);
  const uint8_t* section;
  uint32_t length;
  while (walk.Next(section, length)) {
    // Checked before the walk, which runs whatever the result, so that the walk can keep a
    // damaged section's names from the observer.
    sectionIntact = CheckCrc(section, length);
    switch (kind) {
      case kRoutePat: ParsePat(section, length); break;
      case kRouteCat: ParseCat(section, length); break;
      case kRoutePmt: ParsePmt(section, length); break;
      case kRouteNit: WalkNit(section, length); break;
      case kRouteSdt: WalkSdt(section, length); break;
      case kRouteSit: WalkSit(section, length); break;
      case kRouteBit: WalkBit(section, length); break;
      case kRouteCdt: WalkCdt(section, length); break;
      case kRouteEcm: WalkEcm(section, length); break;
      case kRouteEit0:
      case kRouteEit1:
      case kRouteEit2: WalkEit(section, length); break;
      case kRouteSdtt0:
      case kRouteSdtt1: WalkSdtt(section, length); break;
      default: break;
    }
  }
  if (kind == kRoutePat) RebuildRoutes();
}

void TableLayer::State::OpenProgrammeTable() {
  // Past the last table the newest PAT version overwrites it, so that the outputs still follow
  // the PAT on air.
  if (currentTable < kMaxProgrammeTables - 1) ++currentTable;
  tables[currentTable].serviceCount = 0;
  patPidCount = 0;
  auto forget = [](SectionStore& store, uint8_t tableId) {
    for (int i = 0; i < store.slotCount; ++i) {
      const SectionSlot& s = store.slots[i];
      if (s.inUse && s.state == kSlotArchived && s.tableId == tableId) store.Release(i);
    }
  };
  forget(general, 0x02);
  for (SectionStore& s : eit) forget(s, 0x4E);
}

Service* TableLayer::State::FindService(int32_t serviceId) {
  if (currentTable < 0 || serviceId < 0) return nullptr;
  ProgrammeTable& table = tables[currentTable];
  for (int i = 0; i < table.serviceCount; ++i) {
    if (table.services[i].serviceId == serviceId) return &table.services[i];
  }
  return nullptr;
}

bool TableLayer::State::InPatPidList(int32_t programNumber) const {
  for (int i = 0; i < patPidCount; ++i) {
    if (patPids[i].programNumber == programNumber) return true;
  }
  return false;
}

// --- TableLayer -------------------------------------------------------------------------------

TableLayer::TableLayer() : state_(new State), routes_(state_->routes), pidSeen_(state_->pidSeen) {}
TableLayer::~TableLayer() { delete state_; }
void TableLayer::Reset() { state_->Reset(); }
void TableLayer::SetObserver(TableObserver* observer) { state_->observer = observer; }
void TableLayer::HandleRoutedPacket(const uint8_t* packet, uint32_t pid) {
  state_->HandlePacket(packet, pid);
}
void TableLayer::CountNewPid(uint32_t pid) { state_->CountPid(pid); }
int TableLayer::currentTable() const { return state_->currentTable; }
const ProgrammeTable& TableLayer::table(int index) const {
  static const ProgrammeTable kEmpty{};
  if (index < 0 || index > state_->currentTable) return kEmpty;
  return state_->tables[index];
}
int TableLayer::patPidCount() const { return state_->patPidCount; }
const PatPidEntry& TableLayer::patPid(int index) const {
  static const PatPidEntry kNone{};
  if (index < 0 || index >= state_->patPidCount) return kNone;
  return state_->patPids[index];
}
uint16_t TableLayer::transportStreamId() const { return state_->transportStreamId; }
uint8_t TableLayer::patVersion() const { return state_->patVersion; }
uint32_t TableLayer::distinctPids() const { return state_->distinctPids; }
uint32_t TableLayer::descriptorKinds() const { return uint32_t(state_->descriptorKinds.size()); }
uint32_t TableLayer::crcErrors() const { return state_->crcErrors; }
