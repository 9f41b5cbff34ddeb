// Section reassembly: fixed slot stores into which TS packet payloads are gathered as whole PSI/SI
// sections (ISO/IEC 13818-1 2.4.4), with duplicate detection and the test for a complete table.
#pragma once
#include <cstdint>

#include "common/ts_packet.h"

// A table never exceeds 256 sections; 64 KiB holds every table met in practice. A section that
// would not fit is not stored, so a table larger than this never completes.
constexpr uint32_t kSlotBytes = 65536;

enum SlotState : uint8_t {
  kSlotAllocated = 0,   // in use, nothing stored yet
  kSlotCollecting = 1,
  kSlotComplete = 2,
  kSlotArchived = 3,    // copy of a parsed version, kept to recognise repetitions
};

struct SectionSlot {
  bool inUse = false;
  uint8_t tableId = 0;
  int32_t extensionKey = -1;     // program_number (PMT) or service_id (EIT), else -1
  int32_t segmentKey = 0;        // section_number & 0xF8 for EIT schedule tables, else 0
  uint8_t version = 0;
  uint8_t currentNext = 0;
  uint8_t state = kSlotAllocated;
  uint8_t lastSectionNumber = 0;
  uint32_t collected = 0;        // bytes of the current section received
  uint32_t expected = 0;         // section_length + 3 of the current section
  uint32_t writeOffset = 0;      // bytes stored in buffer
  uint32_t sectionStart = 0;     // buffer offset at which the current section began
  uint32_t generation = 0;       // bumped whenever the slot is taken or released
  uint8_t* buffer = nullptr;     // kSlotBytes, owned by the layer's one allocation
};

// How sections are keyed and when a slot starts over.
enum class AssemblerVariant : uint8_t {
  kGeneral,   // key table id (+ program_number for table 0x02); restart at section 0
  kEit,       // key table id + service_id (+ segment for 0x50-0x5F); restart at section 0 or a segment's first
  kClock,     // key table id; every section restarts its slot (TDT, TOT, DIT: no version)
};

struct SectionStore;

// Called with a slot whose table has just become complete (state kSlotComplete).
class CompleteTableSink {
 public:
  virtual void OnTableComplete(SectionStore& store, int slot) = 0;

 protected:
  ~CompleteTableSink() = default;
};

struct SectionStore {
  SectionSlot* slots = nullptr;
  int slotCount = 0;
  AssemblerVariant variant = AssemblerVariant::kGeneral;

  // Frees every slot (buffers are not cleared).
  void Clear();
  void Release(int slot);
  // The first archived slot with the same keys as slot, or -1.
  int FindArchive(int slot) const;
  // Makes slot the archive of its table: copied into archive (when >= 0) or kept in place.
  void Archive(int slot, int archive);
};

// Where one PID's packets are in the middle of a section. Packets of different PIDs never share
// a cursor, so interleaved PIDs cannot mix their bytes.
struct AssemblerCursor {
  int16_t slot = -1;
  uint32_t generation = 0;   // of the slot when taken; a stale cursor is dropped
  bool storing = false;      // current_next 1, not a duplicate, and the section fits
};

// Gathers the payload of one 188-byte packet into store; sink receives every table it completes.
void AssemblePacket(SectionStore& store, AssemblerCursor& cursor, const uint8_t* packet,
                    CompleteTableSink& sink);

// The stored sections of a slot, walked in order. Every section returned lies wholly inside the
// bytes stored, and is at least 3 bytes long.
class StoredSections {
 public:
  explicit StoredSections(const SectionSlot& slot) : slot_(slot) {}
  // Next section: its start and length (section_length + 3); false at the end.
  bool Next(const uint8_t*& section, uint32_t& length);

 private:
  const SectionSlot& slot_;
  uint32_t offset_ = 0;
};

inline bool is_eit_schedule(uint8_t tableId) { return tableId >= 0x50 && tableId <= 0x5F; }
