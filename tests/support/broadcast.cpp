// A whole synthetic broadcast: PSI rounds, EIT present/following, video and audio PES of every
// service and PCRs on a steady clock, written packet by packet.
#include <stdexcept>

#include "tests/support/stream_builder.h"

namespace tsb {

namespace {

// One elementary stream of a service: its PES packets waiting to be sent, packet by packet.
struct EsQueue {
  uint16_t pid = 0;
  uint8_t stream_id = 0;
  uint64_t pts = 0;
  uint64_t ptsStep = 0;
  std::vector<PacketDesc> pending;
  size_t next = 0;
};

struct ServiceState {
  BroadcastService service;
  EsQueue video;
  EsQueue audio;
  std::optional<uint64_t> lastPcr;   // unwrapped 27 MHz ticks since packet 0
  size_t unitIndex = 0;              // next picture of the video clip
};

// The name given to every following event (次の番組, "the next programme").
Bytes following_name() { return AribText().Kanji({{0x3C, 0x21}, {0x24, 0x4E}, {0x48, 0x56}, {0x41, 0x48}}).bytes(); }

void psi_round(TsStream& ts, const BroadcastDesc& desc, const std::vector<BroadcastService>& services,
               uint8_t version) {
  std::vector<PatEntry> entries;
  if (desc.nit_pid != 0) entries.push_back({0, desc.nit_pid});
  for (const BroadcastService& s : services) entries.push_back({s.service_id, s.pmt_pid});
  ts.Section(0x0000, Pat(desc.transport_stream_id, entries, version).Build());
  for (const BroadcastService& s : services) {
    std::vector<PmtStream> streams{{0x02, s.video_pid, StreamIdentifierDescriptor(0x00)}};
    if (s.audio_pid != 0) streams.push_back({0x0F, s.audio_pid, StreamIdentifierDescriptor(0x10)});
    const Bytes programInfo = s.ecm_pid != 0 ? CaDescriptor(0x0005, s.ecm_pid) : Bytes{};
    const uint16_t pcrPid = s.pcr_pid != 0 ? s.pcr_pid : s.video_pid;
    ts.Section(s.pmt_pid, Pmt(s.service_id, pcrPid, streams, programInfo, version).Build());
  }
  if (desc.sdt) {
    std::vector<SdtService> entries;
    for (const BroadcastService& s : services)
      entries.push_back({s.service_id, 0, false, true, 4, false, ServiceDescriptor(0x01, s.providerName, s.serviceName)});
    ts.Section(0x0011, Sdt(desc.transport_stream_id, desc.original_network_id, entries, version).Build());
  }
  if (desc.nit_pid != 0 && !desc.nitDelivery.empty())
    ts.Section(desc.nit_pid, Nit(desc.original_network_id, {},
                                 {{desc.transport_stream_id, desc.original_network_id, desc.nitDelivery}}, version)
                                 .Build());
  if (desc.eit) {
    for (const BroadcastService& s : services) {
      const uint16_t eventId = uint16_t(0x1000 + s.service_id % 0x1000);
      ts.Sections(0x0012, {EitPf(s.service_id, desc.transport_stream_id, desc.original_network_id, 0,
                                 eventId, s.name, version).Build(),
                           EitPf(s.service_id, desc.transport_stream_id, desc.original_network_id, 1,
                                 uint16_t(eventId + 1), following_name(), version).Build()});
    }
  }
}

void refill(EsQueue& q, const Bytes& data) {
  PesDesc pes;
  pes.stream_id = q.stream_id;
  pes.pts = q.pts % kPcrBaseWrap;
  pes.data = data;
  pes.data_alignment_indicator = true;
  q.pts += q.ptsStep;
  q.pending = PacketisePes(q.pid, BuildPes(pes));
  q.next = 0;
}

}  // namespace

TsStream Broadcast(const BroadcastDesc& desc, std::vector<std::pair<uint16_t, size_t>>* sequenceHeaders) {
  if (desc.psiInterval == 0) throw std::invalid_argument("psiInterval 0");
  if (desc.pcrIntervalMs == 0 || desc.pcrIntervalMs > 100) throw std::invalid_argument("PCR interval must be 1..100 ms");
  TsStream ts;
  ts.SetClock(desc.bitrate, desc.firstPcr);
  const uint64_t firstPts = desc.firstPcr.base + 45000;   // decode 500 ms after arrival
  const std::vector<size_t> units = PictureAccessUnits(desc.videoEs);
  const Bytes fillerVideo(2000, 0xA5);
  const Bytes fillerAudio(300, 0xA5);

  auto make_states = [&](const std::vector<BroadcastService>& services) {
    std::vector<ServiceState> states;
    for (const BroadcastService& s : services) {
      ServiceState st;
      st.service = s;
      st.video = {s.video_pid, 0xE0, firstPts, 3003, {}, 0};   // 30000/1001 Hz frames
      st.audio = {s.audio_pid, 0xC0, firstPts, 2160, {}, 0};   // 1152 samples at 48 kHz
      states.push_back(std::move(st));
    }
    return states;
  };
  std::vector<ServiceState> states = make_states(desc.services);
  bool changed = false;
  size_t slot = 0;   // round robin over (service, video, video, audio)
  const uint64_t intervalTicks = uint64_t(desc.pcrIntervalMs) * (kSystemClockHz / 1000);
  const uint64_t packetTicks = kPacketSize * 8 * kSystemClockHz / desc.bitrate;

  while (ts.PacketCount() < desc.packets) {
    const size_t index = ts.PacketCount();
    const bool changeNow = !changed && desc.patVersionChangeAt && index >= *desc.patVersionChangeAt;
    if (changeNow) {
      changed = true;
      if (!desc.servicesAfterChange.empty()) states = make_states(desc.servicesAfterChange);
    }
    if (changeNow || index % desc.psiInterval == 0) {
      std::vector<BroadcastService> services;
      for (const ServiceState& st : states) services.push_back(st.service);
      psi_round(ts, desc, services, changed ? 1 : 0);
    }
    const uint64_t now = uint64_t((unsigned __int128)ts.PacketCount() * kPacketSize * 8 * kSystemClockHz / desc.bitrate);
    for (ServiceState& st : states) {
      // PCR-only packets, early enough that no gap exceeds the interval.
      if (!st.lastPcr || now + packetTicks - *st.lastPcr > intervalTicks) {
        st.lastPcr = now;
        ts.PcrPacket(st.service.pcr_pid != 0 ? st.service.pcr_pid : st.service.video_pid);
      }
    }
    if (states.empty()) {
      ts.Null();
      continue;
    }
    ServiceState& st = states[(slot / 3) % states.size()];
    const bool audioTurn = slot % 3 == 2;
    ++slot;
    if (audioTurn && st.service.audio_pid == 0) continue;
    EsQueue& q = audioTurn ? st.audio : st.video;
    if (q.next >= q.pending.size()) {
      if (audioTurn) {
        refill(q, fillerAudio);
      } else if (units.empty()) {
        refill(q, fillerVideo);
      } else {
        const size_t u = st.unitIndex;
        const size_t end = u + 1 < units.size() ? units[u + 1] : desc.videoEs.size();
        refill(q, Bytes(desc.videoEs.begin() + units[u], desc.videoEs.begin() + end));
        st.unitIndex = (u + 1) % units.size();
        const uint8_t* unit = desc.videoEs.data() + units[u];
        if (sequenceHeaders && end - units[u] >= 4 && unit[0] == 0 && unit[1] == 0 && unit[2] == 1 && unit[3] == 0xB3)
          sequenceHeaders->emplace_back(q.pid, ts.PacketCount());
      }
    }
    ts.Packet(q.pending[q.next++]);
  }
  ts.bytes().resize(desc.packets * kPacketSize);   // a recording ends wherever it ends
  return ts;
}

}  // namespace tsb
