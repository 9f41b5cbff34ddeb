// libFuzzer target for the table layer's packet entry: the input is cut into 188-byte packets
// (sync byte forced) after a fixed PAT that routes a few PIDs to PMTs and the NIT. No packet
// sequence may read or write outside a buffer, and the programme tables stay within their limits.
// The channel-name observer hears every SDT, NIT and EIT, and each service's names decode.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/ts_packet.h"
#include "demux/arib/arib_text.h"
#include "demux/psi/service_names.h"
#include "demux/psi/table_layer.h"

namespace {

// PAT: transport_stream_id 1, version 0; program 0 -> 0x0010, 0x0400 -> 0x0100, 0x0401 -> 0x0101.
void BuildPat(uint8_t* packet) {
  std::memset(packet, 0xFF, kPacketSize);
  const uint8_t head[] = {kSyncByte, 0x40, 0x00, 0x10, 0x00, 0x00, 0xB0, 0x15, 0x00, 0x01, 0xC1,
                          0x00, 0x00, 0x00, 0x00, 0xE0, 0x10, 0x04, 0x00, 0xE1, 0x00, 0x04,
                          0x01, 0xE1, 0x01};
  std::memcpy(packet, head, sizeof head);
  const uint32_t crc = crc32_mpeg2(packet + 5, sizeof head - 5);
  for (int i = 0; i < 4; ++i) packet[sizeof head + i] = uint8_t(crc >> (24 - 8 * i));
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Every input starts from the state a run of the demux tool starts from: Reset clears every
  // table, store, cursor and counter (section buffers are read only where written, programme table
  // entries are rebuilt when taken), so a saved crash reproduces on its own. One layer serves the
  // whole fuzzing run: a new one per input would fault in about 39 MB of fresh pages every time.
  static TableLayer* const layer = new TableLayer;
  layer->Reset();
  ServiceNameCollector names;   // fresh per input, as in a kerf run
  layer->SetObserver(&names);
  uint8_t packet[kPacketSize];
  BuildPat(packet);
  layer->HandlePacket(packet, 0);
  for (size_t at = 0; at + kPacketSize <= size; at += kPacketSize) {
    std::memcpy(packet, data + at, kPacketSize);
    packet[0] = kSyncByte;
    layer->HandlePacket(packet, ((packet[1] & 0x1Fu) << 8) | packet[2]);
  }
  Check(layer->currentTable() < kMaxProgrammeTables);
  Check(layer->patPidCount() <= kMaxServices);
  Check(layer->descriptorKinds() <= 255);
  Check(layer->distinctPids() <= 8192);
  for (int t = 0; t <= layer->currentTable(); ++t) {
    const ProgrammeTable& table = layer->table(t);
    Check(table.serviceCount >= 0 && table.serviceCount <= kMaxServices);
    for (int s = 0; s < table.serviceCount; ++s) {
      const Service& service = table.services[s];
      Check(service.streamCount <= kMaxStreams);
      Check(strnlen(service.name, sizeof service.name) <= size_t(kProgrammeNameMax));
      const ServiceNameTexts texts = names.Names(service.serviceId);
      // At most three UTF-8 bytes for each byte of ARIB's Shift-JIS text or of DVB text.
      Check(texts.serviceName.size() <= 3 * kAribTextMax && texts.eventName.size() <= 3 * kAribTextMax);
      for (int k = 0; k < service.streamCount; ++k) {
        Check(service.streams[k].streamClass <= StreamClass::Data);
      }
    }
  }
  layer->SetObserver(nullptr);
  return 0;
}
