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

bool needs_adaptation_field(const PacketSpec& spec) {
  return spec.pcr || spec.discontinuity_indicator || spec.random_access_indicator ||
         spec.forceAdaptationField || spec.adaptationStuffing > 0 || spec.noPayload;
}

// Bytes of an adaptation field with its length byte, before stuffing added for padding.
size_t adaptation_field_size(const PacketSpec& spec) {
  if (!needs_adaptation_field(spec)) return 0;
  return 2 + (spec.pcr ? 6 : 0) + spec.adaptationStuffing;
}

}  // namespace

size_t payload_room(const PacketSpec& spec) {
  const size_t af = adaptation_field_size(spec);
  if (af > kPacketSize - 4) throw std::length_error("adaptation field larger than the packet");
  return kPacketSize - 4 - af;
}

Bytes MakePacket(const PacketSpec& spec, uint8_t continuityCounter) {
  if (spec.pid > 0x1FFF) throw std::invalid_argument("PID above 0x1FFF");
  if (spec.transport_scrambling_control > 3) throw std::invalid_argument("scrambling control above 3");
  const size_t room = payload_room(spec);
  if (spec.noPayload && !spec.payload.empty()) throw std::invalid_argument("payload in an adaptation-only packet");
  if (spec.payload.size() > room) throw std::length_error("payload does not fit in the packet");

  // Short payloads without 0xFF padding are padded by growing the adaptation field
  // (2.4.3.5: stuffing bytes in the adaptation field); a field of length 0 is one byte.
  size_t afSize = adaptation_field_size(spec);
  size_t stuffing = spec.adaptationStuffing;
  if (spec.noPayload) {
    afSize = kPacketSize - 4;
  } else if (!spec.padWithFF && spec.payload.size() < room) {
    afSize += room - spec.payload.size();
  }
  const bool hasAf = afSize > 0;
  const bool hasPayload = !spec.noPayload;

  Bytes p;
  p.reserve(kPacketSize);
  p.push_back(kSyncByte);
  p.push_back(uint8_t((spec.transport_error_indicator ? 0x80 : 0) |
                      (spec.payload_unit_start_indicator ? 0x40 : 0) |
                      (spec.transport_priority ? 0x20 : 0) | (spec.pid >> 8)));
  p.push_back(uint8_t(spec.pid & 0xFF));
  const uint8_t cc = spec.continuity_counter ? *spec.continuity_counter : continuityCounter;
  p.push_back(uint8_t((spec.transport_scrambling_control << 6) | (hasAf ? 0x20 : 0) |
                      (hasPayload ? 0x10 : 0) | (cc & 0x0F)));
  if (hasAf) {
    const size_t afLength = afSize - 1;   // adaptation_field_length excludes itself
    p.push_back(uint8_t(afLength));
    if (afLength > 0) {
      p.push_back(uint8_t((spec.discontinuity_indicator ? 0x80 : 0) |
                          (spec.random_access_indicator ? 0x40 : 0) | (spec.pcr ? 0x10 : 0)));
      if (spec.pcr) {
        // program_clock_reference_base (33), reserved (6, all ones), extension (9).
        const uint64_t base = spec.pcr->base % kPcrBaseWrap;
        const uint64_t field = (base << 15) | (uint64_t(0x3F) << 9) | (spec.pcr->extension & 0x1FF);
        put_be(p, field, 6);
      }
      stuffing = afLength - 1 - (spec.pcr ? 6 : 0);
      p.insert(p.end(), stuffing, 0xFF);
    }
  }
  p.insert(p.end(), spec.payload.begin(), spec.payload.end());
  p.resize(kPacketSize, 0xFF);
  return p;
}

Bytes MakeNullPacket() {
  PacketSpec spec;
  spec.pid = kNullPid;
  spec.payload.assign(184, 0xFF);
  return MakePacket(spec, 0);
}

size_t TsStream::Packet(const PacketSpec& spec) {
  const size_t index = PacketCount();
  uint8_t& next = continuity_[spec.pid];
  if (spec.continuity_counter) next = *spec.continuity_counter & 0x0F;
  Bytes p = MakePacket(spec, next);
  // 2.4.3.3: the counter does not advance for packets without payload.
  if (!spec.noPayload) next = (next + 1) & 0x0F;
  bytes_.insert(bytes_.end(), p.begin(), p.end());
  return index;
}

size_t TsStream::Packets(const std::vector<PacketSpec>& specs) {
  const size_t first = PacketCount();
  for (const PacketSpec& s : specs) Packet(s);
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
  PacketSpec spec;
  spec.pid = pid;
  spec.pcr = pcr;
  spec.noPayload = true;
  return Packet(spec);
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

size_t TsStream::Pes(uint16_t pid, const PesSpec& pes, std::optional<Pcr> pcr) {
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
