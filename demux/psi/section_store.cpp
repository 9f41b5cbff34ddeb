// Section reassembly from TS packet payloads (ISO/IEC 13818-1 2.4.4.1 pointer_field, 2.4.4.2
// stuffing) into fixed slot stores, with duplicate detection and the complete-table test.
#include "demux/psi/section_store.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"

namespace {

// The header fields of a section as the assembler keys and checks them.
struct SectionHeader {
  uint8_t table_id = 0;
  uint32_t expected = 0;           // section_length + 3
  int32_t extensionKey = -1;
  int32_t segmentKey = 0;
  uint8_t version_number = 0;
  uint8_t current_next_indicator = 0;
  uint8_t section_number = 0;
  uint8_t last_section_number = 0;
};

// Bytes a header needs inside the packet before it can be read: the long form up to
// last_section_number (8), for EIT schedule tables up to segment_last_section_number (13); the
// clock tables only need table_id and section_length (3).
constexpr uint32_t kLongHeaderBytes = 8;
constexpr uint32_t kEitScheduleHeaderBytes = 13;
constexpr uint32_t kShortHeaderBytes = 3;
// A section cannot start in fewer bytes than a long header: the rest of the packet is stuffing.
constexpr uint32_t kMinSectionStart = 8;

bool ReadHeader(AssemblerVariant variant, const uint8_t* p, uint32_t available, SectionHeader& h) {
  if (variant == AssemblerVariant::kClock) {
    if (available < kShortHeaderBytes) return false;
    h.table_id = p[0];
    h.expected = be_read12(p + 1) + 3;
    return true;
  }
  if (available < kLongHeaderBytes) return false;
  h.table_id = p[0];
  h.expected = be_read12(p + 1) + 3;
  h.version_number = (p[5] >> 1) & 0x1F;
  h.current_next_indicator = p[5] & 0x01;
  h.section_number = p[6];
  h.last_section_number = p[7];
  if (variant == AssemblerVariant::kEit) {
    h.extensionKey = int32_t(be_read16(p + 3));   // service_id
    if (is_eit_schedule(h.table_id)) {
      if (available < kEitScheduleHeaderBytes) return false;
      h.segmentKey = h.section_number & 0xF8;
      h.last_section_number = p[12];               // segment_last_section_number
    }
  } else if (h.table_id == 0x02) {
    h.extensionKey = int32_t(be_read16(p + 3));   // program_number
  }
  return true;
}

bool HoldsSection(const SectionSlot& slot, uint8_t sectionNumber, uint8_t version) {
  StoredSections walk(slot);
  const uint8_t* section;
  uint32_t length;
  while (walk.Next(section, length)) {
    if (length >= kLongHeaderBytes && section[6] == sectionNumber &&
        ((section[5] >> 1) & 0x1F) == version) {
      return true;
    }
  }
  return false;
}

bool IsComplete(const SectionStore& store, const SectionSlot& slot) {
  if (!slot.inUse || slot.state != kSlotCollecting || slot.collected < slot.expected) return false;
  // TDT, TOT and DIT are single sections without section numbers.
  if (store.variant == AssemblerVariant::kClock || slot.tableId == 0x70 || slot.tableId == 0x73 ||
      slot.tableId == 0x7E) {
    return true;
  }
  uint32_t first = 0;
  uint32_t last = slot.lastSectionNumber;
  if (is_eit_schedule(slot.tableId)) {
    // A schedule segment runs from its first section to segment_last_section_number.
    if (slot.writeOffset < kEitScheduleHeaderBytes) return false;
    first = slot.buffer[6];
    last = std::max<uint32_t>(first, slot.buffer[12]);
  }
  bool seen[256] = {};
  StoredSections walk(slot);
  const uint8_t* section;
  uint32_t length;
  while (walk.Next(section, length)) {
    if (length >= kLongHeaderBytes) seen[section[6]] = true;
  }
  for (uint32_t n = first; n <= last; ++n) {
    if (!seen[n]) return false;
  }
  return true;
}

class Assembler {
 public:
  Assembler(SectionStore& store, AssemblerCursor& cursor, const uint8_t* packet,
            CompleteTableSink& sink)
      : store_(store), cursor_(cursor), packet_(packet), sink_(sink) {}

  void Run();

 private:
  int CurrentSlot() const;
  bool BeginSection(uint32_t pos);
  void Store(SectionSlot& slot, const uint8_t* bytes, uint32_t n);
  void FinishIfComplete(int slot);
  // Takes n bytes at pos for the cursor's section; returns the slot they went to.
  int Collect(uint32_t pos, uint32_t n);

  SectionStore& store_;
  AssemblerCursor& cursor_;
  const uint8_t* packet_;
  CompleteTableSink& sink_;
};

int Assembler::CurrentSlot() const {
  if (cursor_.slot < 0) return -1;
  const SectionSlot& slot = store_.slots[cursor_.slot];
  // The slot was released (and maybe taken again for another table) since the cursor took it.
  if (!slot.inUse || slot.generation != cursor_.generation) return -1;
  return cursor_.slot;
}

void Assembler::Store(SectionSlot& slot, const uint8_t* bytes, uint32_t n) {
  if (!cursor_.storing || slot.state != kSlotCollecting || n == 0) return;
  if (slot.writeOffset + n > kSlotBytes) {
    // Only reachable when two PIDs write into one slot; drop the section rather than overflow.
    slot.writeOffset = std::min(slot.sectionStart, slot.writeOffset);
    cursor_.storing = false;
    return;
  }
  std::memcpy(slot.buffer + slot.writeOffset, bytes, n);
  slot.writeOffset += n;
}

int Assembler::Collect(uint32_t pos, uint32_t n) {
  int index = cursor_.slot;
  SectionSlot& slot = store_.slots[index];
  Store(slot, packet_ + pos, n);
  slot.collected += n;
  if (slot.collected >= slot.expected) cursor_.slot = -1;
  return index;
}

void Assembler::FinishIfComplete(int index) {
  SectionSlot& slot = store_.slots[index];
  if (!IsComplete(store_, slot)) return;
  slot.state = kSlotComplete;
  sink_.OnTableComplete(store_, index);
}

bool Assembler::BeginSection(uint32_t pos) {
  cursor_.slot = -1;
  SectionHeader h;
  if (!ReadHeader(store_.variant, packet_ + pos, kPacketSize - pos, h)) return false;
  const bool clock = store_.variant == AssemblerVariant::kClock;
  const bool schedule = store_.variant == AssemblerVariant::kEit && is_eit_schedule(h.table_id);

  int found = -1;
  for (int i = 0; i < store_.slotCount; ++i) {
    const SectionSlot& s = store_.slots[i];
    if (!s.inUse || s.state > kSlotCollecting || s.tableId != h.table_id) continue;
    if (s.extensionKey != -1 && s.extensionKey != h.extensionKey) continue;
    if (schedule && s.segmentKey != h.segmentKey) continue;
    found = i;
    break;
  }
  if (found < 0) {
    for (int i = 0; i < store_.slotCount; ++i) {
      if (!store_.slots[i].inUse) {
        found = i;
        break;
      }
    }
    if (found < 0) return false;   // store full: the section is dropped
    SectionSlot& s = store_.slots[found];
    s.inUse = true;
    s.state = kSlotAllocated;
    s.tableId = h.table_id;
    s.extensionKey = h.extensionKey;
    s.segmentKey = h.segmentKey;
    s.collected = s.expected = s.writeOffset = s.sectionStart = 0;
    ++s.generation;
  }
  SectionSlot& s = store_.slots[found];
  // A section of this slot that never got its last bytes (a lost packet) is taken back out,
  // so that only whole sections stay stored.
  if (s.collected < s.expected) s.writeOffset = s.sectionStart;

  const bool duplicate =
      !clock && s.state >= kSlotCollecting && HoldsSection(s, h.section_number, h.version_number);
  bool restart;
  if (clock) {
    restart = true;
  } else {
    const bool first = schedule ? (h.section_number % 8) == 0 : h.section_number == 0;
    restart = first && h.current_next_indicator == 1 && !duplicate;
  }
  if (restart) {
    s.state = kSlotCollecting;
    s.segmentKey = h.segmentKey;
    s.writeOffset = 0;
  }
  s.tableId = h.table_id;
  s.extensionKey = h.extensionKey;
  s.version = h.version_number;
  s.currentNext = h.current_next_indicator;
  s.lastSectionNumber = h.last_section_number;
  s.collected = 0;
  s.expected = h.expected;
  s.sectionStart = s.writeOffset;
  // One writer per slot: a cursor of another PID that was filling this slot is now stale.
  ++s.generation;

  cursor_.slot = int16_t(found);
  cursor_.generation = s.generation;
  cursor_.storing = (clock || (h.current_next_indicator == 1 && !duplicate)) &&
                    s.state == kSlotCollecting && s.writeOffset + h.expected <= kSlotBytes;
  return true;
}

void Assembler::Run() {
  const uint8_t adaptation_field_control = (packet_[3] >> 4) & 0x03;
  if ((adaptation_field_control & 0x01) == 0) return;   // no payload
  uint32_t pos = 4;
  if (adaptation_field_control & 0x02) pos = 5 + packet_[4];
  if (pos >= kPacketSize) return;   // adaptation_field_length leaves no payload

  if (CurrentSlot() < 0) cursor_.slot = -1;
  const bool payload_unit_start_indicator = (packet_[1] & 0x40) != 0;
  if (payload_unit_start_indicator) {
    const uint32_t pointer_field = packet_[pos];
    ++pos;
    // The tail of the section in progress lies between the pointer_field and the new section.
    if (cursor_.slot >= 0) {
      SectionSlot& slot = store_.slots[cursor_.slot];
      if (slot.state == kSlotCollecting && slot.collected < slot.expected) {
        const uint32_t n =
            std::min({slot.expected - slot.collected, pointer_field, kPacketSize - pos});
        const int index = Collect(pos, n);
        FinishIfComplete(index);
      }
    }
    cursor_.slot = -1;
    pos += pointer_field;
    if (pos >= kPacketSize) return;   // pointer_field points past the packet
    if (!BeginSection(pos)) return;
  } else if (cursor_.slot < 0) {
    return;
  }

  for (;;) {
    SectionSlot& slot = store_.slots[cursor_.slot];
    const uint32_t n = std::min(slot.expected - slot.collected, kPacketSize - pos);
    const int index = Collect(pos, n);
    pos += n;
    const uint32_t left = kPacketSize - pos;
    if (left < kMinSectionStart || packet_[pos] == 0xFF) {
      FinishIfComplete(index);
      return;
    }
    // Another section starts right after this one in the same packet.
    FinishIfComplete(index);
    if (!BeginSection(pos)) return;
  }
}

}  // namespace

void SectionStore::Clear() {
  for (int i = 0; i < slotCount; ++i) {
    uint8_t* buffer = slots[i].buffer;
    const uint32_t generation = slots[i].generation + 1;
    slots[i] = SectionSlot{};
    slots[i].buffer = buffer;
    slots[i].generation = generation;
  }
}

void SectionStore::Release(int slot) {
  SectionSlot& s = slots[slot];
  s.inUse = false;
  s.state = kSlotAllocated;
  s.collected = s.expected = s.writeOffset = s.sectionStart = 0;
  ++s.generation;
}

int SectionStore::FindArchive(int slot) const {
  const SectionSlot& s = slots[slot];
  for (int i = 0; i < slotCount; ++i) {
    const SectionSlot& a = slots[i];
    if (a.inUse && a.state == kSlotArchived && a.tableId == s.tableId &&
        a.extensionKey == s.extensionKey && a.segmentKey == s.segmentKey) {
      return i;
    }
  }
  return -1;
}

void SectionStore::Archive(int slot, int archive) {
  SectionSlot& s = slots[slot];
  if (archive < 0) {
    // The complete slot becomes the archive itself: archiving never needs a free slot.
    s.state = kSlotArchived;
    ++s.generation;
    return;
  }
  SectionSlot& a = slots[archive];
  uint8_t* buffer = a.buffer;
  const uint32_t generation = a.generation + 1;
  a = s;
  a.buffer = buffer;
  a.generation = generation;
  a.state = kSlotArchived;
  std::memcpy(a.buffer, s.buffer, s.writeOffset);
  Release(slot);
}

void AssemblePacket(SectionStore& store, AssemblerCursor& cursor, const uint8_t* packet,
                    CompleteTableSink& sink) {
  Assembler(store, cursor, packet, sink).Run();
}

bool StoredSections::Next(const uint8_t*& section, uint32_t& length) {
  if (offset_ + 3 > slot_.writeOffset) return false;
  const uint8_t* p = slot_.buffer + offset_;
  const uint32_t n = be_read12(p + 1) + 3;
  if (offset_ + n > slot_.writeOffset) return false;
  section = p;
  length = n;
  offset_ += n;
  return true;
}
