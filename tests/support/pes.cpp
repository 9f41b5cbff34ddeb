// PES packets (ISO/IEC 13818-1 2.4.3.6-2.4.3.7), their packetisation, and the embedding of a
// whole elementary stream on a PCR timeline (2.7.2: a PCR at least every 100 ms).
#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "tests/support/stream_builder.h"

namespace tsb {

namespace {

// Table 2-22: these stream ids carry no optional PES header, only data after PES_packet_length.
bool has_no_pes_header(uint8_t stream_id) {
  switch (stream_id) {
    case 0xBC: case 0xBE: case 0xBF: case 0xF0: case 0xF1: case 0xF2: case 0xF8: case 0xFF:
      return true;
    default:
      return false;
  }
}

// A 33-bit time stamp in the 5-byte form 'pppp' t[32..30] '1' t[29..15] '1' t[14..0] '1'.
void put_timestamp(Bytes& out, uint8_t prefix, uint64_t t) {
  t %= kPcrBaseWrap;
  out.push_back(uint8_t((prefix << 4) | (((t >> 30) & 0x7) << 1) | 1));
  put_be(out, (((t >> 15) & 0x7FFF) << 1) | 1, 2);
  put_be(out, ((t & 0x7FFF) << 1) | 1, 2);
}

// PCR ticks (unwrapped) of packet i relative to packet 0 of the stream.
uint64_t ticks_at(const TsStream& ts, size_t i) {
  return uint64_t((unsigned __int128)i * kPacketSize * 8 * kSystemClockHz / ts.bitrate());
}

}  // namespace

Bytes BuildPes(const PesDesc& pes) {
  if (pes.dts && !pes.pts) throw std::invalid_argument("DTS without PTS");
  Bytes header;   // everything after PES_packet_length, before the data
  if (!has_no_pes_header(pes.stream_id)) {
    // '10', scrambling '00', priority 0, data_alignment_indicator, copyright 0, original 0.
    header.push_back(uint8_t(0x80 | (pes.data_alignment_indicator ? 0x04 : 0)));
    const uint8_t ptsDtsFlags = pes.dts ? 3 : pes.pts ? 2 : 0;
    header.push_back(uint8_t(ptsDtsFlags << 6));
    header.push_back(uint8_t(pes.dts ? 10 : pes.pts ? 5 : 0));   // PES_header_data_length
    if (pes.pts) put_timestamp(header, pes.dts ? 0x3 : 0x2, *pes.pts);
    if (pes.dts) put_timestamp(header, 0x1, *pes.dts);
  } else if (pes.pts) {
    throw std::invalid_argument("this stream_id has no PES header for a PTS");
  }
  const size_t length = header.size() + pes.data.size();
  Bytes out{0x00, 0x00, 0x01, pes.stream_id};
  put_be(out, (pes.unboundedLength || length > 0xFFFF) ? 0 : length, 2);
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), pes.data.begin(), pes.data.end());
  return out;
}

std::vector<PacketDesc> PacketisePes(uint16_t pid, const Bytes& pesPacket, std::optional<Pcr> pcr) {
  std::vector<PacketDesc> packets;
  size_t done = 0;
  do {
    PacketDesc p;
    p.pid = pid;
    if (packets.empty()) {
      p.payload_unit_start_indicator = true;
      p.pcr = pcr;
    }
    const size_t n = std::min(payload_room(p), pesPacket.size() - done);
    p.payload.assign(pesPacket.begin() + done, pesPacket.begin() + done + n);
    done += n;
    packets.push_back(std::move(p));
  } while (done < pesPacket.size());
  return packets;
}

std::vector<size_t> PictureAccessUnits(const Bytes& es) {
  std::vector<size_t> starts;
  if (es.empty()) return starts;
  starts.push_back(0);
  constexpr size_t kNone = SIZE_MAX;
  size_t headerRun = kNone;   // first header after the previous picture's slices
  bool seenPicture = false;
  for (size_t i = 0; i + 3 < es.size(); ++i) {
    if (es[i] != 0 || es[i + 1] != 0 || es[i + 2] != 1) continue;
    const uint8_t code = es[i + 3];
    if (code == 0x00) {   // picture_start_code
      const size_t start = headerRun != kNone ? headerRun : i;
      if (seenPicture && start > starts.back()) starts.push_back(start);
      seenPicture = true;
      headerRun = kNone;
    } else if (code == 0xB3 || code == 0xB5 || code == 0xB8 || code == 0xB2) {
      // sequence header, extension, group of pictures, user data: they belong to the picture
      // that follows them.
      if (headerRun == kNone) headerRun = i;
    } else {
      headerRun = kNone;   // slices, sequence_end_code: part of the current picture
    }
    i += 3;
  }
  return starts;
}

size_t EmbedEs(TsStream& ts, const Bytes& es, const EsEmbedding& how) {
  if (how.pcrIntervalMs == 0 || how.pcrIntervalMs > 100) {
    throw std::invalid_argument("PCR interval must be 1..100 ms");
  }
  if (es.empty()) return 0;
  std::vector<size_t> starts;
  if (how.pesChunk == 0) {
    starts = PictureAccessUnits(es);
  } else {
    for (size_t o = 0; o < es.size(); o += how.pesChunk) starts.push_back(o);
  }
  const uint64_t intervalTicks = uint64_t(how.pcrIntervalMs) * (kSystemClockHz / 1000);
  std::optional<uint64_t> lastPcr;   // unwrapped ticks of the last PCR sent
  uint64_t pts = how.firstPts ? *how.firstPts : ts.ClockNow().base + 45000;
  size_t esPackets = 0;

  for (size_t k = 0; k < starts.size(); ++k) {
    const size_t end = k + 1 < starts.size() ? starts[k + 1] : es.size();
    PesDesc desc;
    desc.stream_id = how.stream_id;
    desc.pts = pts % kPcrBaseWrap;
    desc.data.assign(es.begin() + starts[k], es.begin() + end);
    desc.data_alignment_indicator = true;
    desc.unboundedLength = (how.stream_id & 0xF0) == 0xE0;   // video may leave the length open
    const Bytes pes = BuildPes(desc);
    pts += how.ptsStep;

    size_t done = 0;
    while (done < pes.size()) {
      if (how.beforePacket) how.beforePacket(ts, esPackets);
      PacketDesc p;
      p.pid = how.pid;
      p.payload_unit_start_indicator = done == 0;
      // Send a PCR now if waiting one more packet would stretch the gap past the interval.
      const bool pcrDue = how.pcrPid != 0 &&
          (!lastPcr || ticks_at(ts, ts.PacketCount() + 1) - *lastPcr > intervalTicks);
      if (pcrDue) {
        if (how.pcrPid == how.pid) {
          p.pcr = ts.ClockNow();
          lastPcr = ticks_at(ts, ts.PacketCount());
        } else {
          lastPcr = ticks_at(ts, ts.PacketCount());
          ts.PcrPacket(how.pcrPid);
        }
      }
      const size_t n = std::min(payload_room(p), pes.size() - done);
      p.payload.assign(pes.begin() + done, pes.begin() + done + n);
      done += n;
      ts.Packet(p);
      ++esPackets;
    }
  }
  return esPackets;
}

}  // namespace tsb
