// TS packets (ISO/IEC 13818-1 2.4.3.2 transport packet, 2.4.3.4 adaptation field) and the
// growing stream with its continuity counters and clock.
#include <stdexcept>

#include "tests/support/stream_builder.h"

namespace tsb {

Pcr Pcr::FromTicks(uint64_t ticks27MHz) {
  Pcr pcr;
  pcr.base = (ticks27MHz / 300) % kPcrBaseWrap;
  pcr.extension = uint16_t(ticks27MHz % 300);
  return pcr;
}

Pcr Pcr::FromMs(uint64_t ms) { return FromTicks(ms * (kSystemClockHz / 1000)); }

uint64_t Pcr::Ticks() const { return base * 300 + extension; }

namespace {

bool needs_adaptation_field(const PacketDesc& desc) {
  return desc.pcr || desc.discontinuity_indicator || desc.random_access_indicator ||
         desc.forceAdaptationField || desc.adaptationStuffing > 0 || desc.noPayload;
}

// Bytes of an adaptation field with its length byte, before stuffing added for padding.
size_t adaptation_field_size(const PacketDesc& desc) {
  if (!needs_adaptation_field(desc)) return 0;
  return 2 + (desc.pcr ? 6 : 0) + desc.adaptationStuffing;
}

}  // namespace

size_t payload_room(const PacketDesc& desc) {
  const size_t af = adaptation_field_size(desc);
  if (af > kPacketSize - 4) throw std::length_error("adaptation field larger than the packet");
  return kPacketSize - 4 - af;
}

Bytes MakePacket(const PacketDesc& desc, uint8_t continuityCounter) {
  if (desc.pid > 0x1FFF) throw std::invalid_argument("PID above 0x1FFF");
  if (desc.transport_scrambling_control > 3) throw std::invalid_argument("scrambling control above 3");
  const size_t room = payload_room(desc);
  if (desc.noPayload && !desc.payload.empty()) throw std::invalid_argument("payload in an adaptation-only packet");
  if (desc.payload.size() > room) throw std::length_error("payload does not fit in the packet");

  // Short payloads without 0xFF padding are padded by growing the adaptation field
  // (2.4.3.5: stuffing bytes in the adaptation field); a field of length 0 is one byte.
  size_t afSize = adaptation_field_size(desc);
  size_t stuffing = desc.adaptationStuffing;
  if (desc.noPayload) {
    afSize = kPacketSize - 4;
  } else if (!desc.padWithFF && desc.payload.size() < room) {
    afSize += room - desc.payload.size();
  }
  const bool hasAf = afSize > 0;
  const bool hasPayload = !desc.noPayload;

  Bytes p;
  p.reserve(kPacketSize);
  p.push_back(kSyncByte);
  p.push_back(uint8_t((desc.transport_error_indicator ? 0x80 : 0) |
                      (desc.payload_unit_start_indicator ? 0x40 : 0) |
                      (desc.transport_priority ? 0x20 : 0) | (desc.pid >> 8)));
  p.push_back(uint8_t(desc.pid & 0xFF));
  const uint8_t cc = desc.continuity_counter ? *desc.continuity_counter : continuityCounter;
  p.push_back(uint8_t((desc.transport_scrambling_control << 6) | (hasAf ? 0x20 : 0) |
                      (hasPayload ? 0x10 : 0) | (cc & 0x0F)));
  if (hasAf) {
    const size_t afLength = afSize - 1;   // adaptation_field_length excludes itself
    p.push_back(uint8_t(afLength));
    if (afLength > 0) {
      p.push_back(uint8_t((desc.discontinuity_indicator ? 0x80 : 0) |
                          (desc.random_access_indicator ? 0x40 : 0) | (desc.pcr ? 0x10 : 0)));
      if (desc.pcr) {
        // program_clock_reference_base (33), reserved (6, all ones), extension (9).
        const uint64_t base = desc.pcr->base % kPcrBaseWrap;
        const uint64_t field = (base << 15) | (uint64_t(0x3F) << 9) | (desc.pcr->extension & 0x1FF);
        put_be(p, field, 6);
      }
      stuffing = afLength - 1 - (desc.pcr ? 6 : 0);
      p.insert(p.end(), stuffing, 0xFF);
    }
  }
  p.insert(p.end(), desc.payload.begin(), desc.payload.end());
  p.resize(kPacketSize, 0xFF);
  return p;
}

Bytes MakeNullPacket() {
  PacketDesc desc;
  desc.pid = kNullPid;
  desc.payload.assign(184, 0xFF);
  return MakePacket(desc, 0);
}

size_t TsStream::Packet(const PacketDesc& desc) {
  const size_t index = PacketCount();
  uint8_t& next = continuity_[desc.pid];
  if (desc.continuity_counter) next = *desc.continuity_counter & 0x0F;
  Bytes p = MakePacket(desc, next);
  // 2.4.3.3: the counter does not advance for packets without payload.
  if (!desc.noPayload) next = (next + 1) & 0x0F;
  bytes_.insert(bytes_.end(), p.begin(), p.end());
  return index;
}

size_t TsStream::Packets(const std::vector<PacketDesc>& descs) {
  const size_t first = PacketCount();
  for (const PacketDesc& s : descs) Packet(s);
  return first;
}

size_t TsStream::Null(size_t count) {
  const size_t first = PacketCount();
  const Bytes p = MakeNullPacket();
  for (size_t i = 0; i < count; ++i) bytes_.insert(bytes_.end(), p.begin(), p.end());
  return first;
}

size_t TsStream::Raw(const Bytes& bytes) {
  const size_t first = PacketCount();
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return first;
}

size_t TsStream::PcrPacket(uint16_t pid, Pcr pcr) {
  PacketDesc desc;
  desc.pid = pid;
  desc.pcr = pcr;
  desc.noPayload = true;
  return Packet(desc);
}

size_t TsStream::PcrPacket(uint16_t pid) { return PcrPacket(pid, ClockNow()); }

uint8_t TsStream::NextContinuity(uint16_t pid) const {
  auto it = continuity_.find(pid);
  return it == continuity_.end() ? 0 : it->second;
}

void TsStream::SetContinuity(uint16_t pid, uint8_t next) { continuity_[pid] = next & 0x0F; }

size_t TsStream::Section(uint16_t pid, const Bytes& section) {
  return Packets(PacketiseSections(pid, {section}));
}

size_t TsStream::Sections(uint16_t pid, const std::vector<Bytes>& sections,
                          const SectionPacking& packing) {
  return Packets(PacketiseSections(pid, sections, packing));
}

size_t TsStream::Sections(uint16_t pid, const std::vector<Bytes>& sections) {
  return Packets(PacketiseSections(pid, sections));
}

size_t TsStream::Pes(uint16_t pid, const PesDesc& pes, std::optional<Pcr> pcr) {
  return Packets(PacketisePes(pid, BuildPes(pes), pcr));
}

void TsStream::SetClock(uint64_t bitsPerSecond, Pcr pcrOfPacket0) {
  if (bitsPerSecond == 0) throw std::invalid_argument("bitrate 0");
  bitrate_ = bitsPerSecond;
  clockOrigin_ = pcrOfPacket0.Ticks();
}

Pcr TsStream::ClockAt(size_t packetIndex) const {
  // Ticks per packet = 188 × 8 × 27e6 / bitrate; computed from the index each time so that no
  // rounding error accumulates (the product stays far below 2^64 for any test length).
  const unsigned __int128 ticks = (unsigned __int128)packetIndex * kPacketSize * 8 * kSystemClockHz / bitrate_;
  return Pcr::FromTicks(clockOrigin_ + uint64_t(ticks));
}

Bytes TsStream::PacketAt(size_t index) const {
  if ((index + 1) * kPacketSize > bytes_.size()) throw std::out_of_range("packet index past the end");
  return Bytes(bytes_.begin() + index * kPacketSize, bytes_.begin() + (index + 1) * kPacketSize);
}

}  // namespace tsb
