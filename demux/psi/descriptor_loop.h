// The descriptor loop shared by every table walk: known tags, the count of distinct descriptor
// kinds, and the context a walk sets before it runs a loop.
#pragma once
#include <cstdint>

// Where a descriptor loop sits. level 0 is the programme level (PMT programme_info, first loops
// of the SI tables, and the first entry of an indexed loop); any other value is a stream level
// or an entry index.
struct DescriptorContext {
  uint8_t tableId = 0;
  int32_t serviceId = -1;
  uint8_t sectionNumber = 0;
  int32_t level = 0;
  int32_t streamIndex = -1;
  int32_t elementaryPid = -1;   // PMT stream level only
};
constexpr int32_t kProgrammeLevel = 0;
constexpr int32_t kStreamLevel = 1;

// Distinct descriptor tags met in a run, with how often each was met.
class DescriptorKinds {
 public:
  // The list holds at most this many tags (one fewer than the 256 possible tags).
  static constexpr int kCapacity = 255;

  void Clear();
  void Count(uint8_t tag);
  int size() const { return count_; }
  uint8_t tag(int i) const { return tags_[i]; }
  uint32_t occurrences(int i) const { return occurrences_[i]; }

 private:
  int count_ = 0;
  uint8_t tags_[kCapacity] = {};
  uint32_t occurrences_[kCapacity] = {};
  int16_t indexOf_[256] = {};   // 1 + index in tags_, 0 = not listed
};

// The tags this system understands (ISO/IEC 13818-1 2.6, ARIB STD-B10 6.1); any other ends the
// loop it appears in.
bool is_known_descriptor_tag(uint8_t tag);

// Receives the descriptors a loop acts on.
class DescriptorHandler {
 public:
  virtual void OnCaDescriptor(const DescriptorContext& context, const uint8_t* descriptor,
                              uint32_t length) = 0;
  virtual void OnShortEventDescriptor(const DescriptorContext& context, const uint8_t* descriptor,
                                      uint32_t length) = 0;

 protected:
  ~DescriptorHandler() = default;
};

// Walks length bytes of descriptors; each descriptor handed on is whole (tag, length, body).
void RunDescriptorLoop(const uint8_t* bytes, uint32_t length, const DescriptorContext& context,
                       DescriptorKinds& kinds, DescriptorHandler& handler);
