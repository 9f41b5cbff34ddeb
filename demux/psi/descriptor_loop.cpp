// Descriptor loop (ISO/IEC 13818-1 2.6 descriptor syntax: tag, length, body).
#include "demux/psi/descriptor_loop.h"

namespace {

struct TagRange {
  uint8_t first;
  uint8_t last;
};

// CA (0x09), copyright (0x0D), carousel identifier, association tag and deferred association tags
// (0x13-0x15), AVC video and timing (0x28-0x2A), the ARIB SI descriptors 0x40-0x55, 0x58, 0x63,
// the broadcaster-defined range 0x80-0xE0 and 0xF7-0xFE.
constexpr TagRange kKnownTags[] = {
    {0x09, 0x09}, {0x0D, 0x0D}, {0x13, 0x15}, {0x28, 0x2A}, {0x40, 0x55},
    {0x58, 0x58}, {0x63, 0x63}, {0x80, 0xE0}, {0xF7, 0xFE},
};

struct KnownTagTable {
  bool known[256] = {};
  constexpr KnownTagTable() {
    for (const TagRange& r : kKnownTags) {
      for (int t = r.first; t <= r.last; ++t) known[t] = true;
    }
  }
};
constexpr KnownTagTable kKnownTagTable;

}  // namespace

bool is_known_descriptor_tag(uint8_t tag) { return kKnownTagTable.known[tag]; }

void DescriptorKinds::Clear() { *this = DescriptorKinds{}; }

void DescriptorKinds::Count(uint8_t tag) {
  int16_t& index = indexOf_[tag];
  if (index == 0) {
    if (count_ >= kCapacity) return;
    tags_[count_] = tag;
    index = int16_t(++count_);
  }
  ++occurrences_[index - 1];
}

void RunDescriptorLoop(const uint8_t* bytes, uint32_t length, const DescriptorContext& context,
                       DescriptorKinds& kinds, DescriptorHandler& handler) {
  uint32_t pos = 0;
  while (pos < length) {
    const uint8_t tag = bytes[pos];
    if (!is_known_descriptor_tag(tag)) return;
    if (length - pos < 2) return;   // no room for descriptor_length
    const uint32_t total = uint32_t(bytes[pos + 1]) + 2;
    if (length - pos < total) return;
    kinds.Count(tag);
    if (tag == 0x09) {
      handler.OnCaDescriptor(context, bytes + pos, total);
    } else if (tag == 0x4D) {
      handler.OnShortEventDescriptor(context, bytes + pos, total);
    }
    pos += total;
  }
}
