// Shared fixture of the table-layer tests: a stream built with the stream builder and fed packet
// by packet into a fresh TableLayer, as the demux tool's packet loop does.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "demux/psi/table_layer.h"
#include "tests/support/stream_builder.h"

class PsiFixture : public ::testing::Test {
 protected:
  // Appends the section's packets on pid and feeds them.
  void Send(uint16_t pid, const tsb::Bytes& section) {
    ts_.Section(pid, section);
    Pump();
  }
  void Send(uint16_t pid, const tsb::LongSection& section) { Send(pid, section.Build()); }
  void SendPacket(const tsb::PacketDesc& desc) {
    ts_.Packet(desc);
    Pump();
  }
  // A payload-only packet with these payload bytes (padded with 0xFF).
  void SendPayload(uint16_t pid, bool unitStart, const tsb::Bytes& payload) {
    tsb::PacketDesc desc;
    desc.pid = pid;
    desc.payload_unit_start_indicator = unitStart;
    desc.payload = payload;
    desc.padWithFF = true;
    SendPacket(desc);
  }
  // Feeds every packet appended since the last call.
  void Pump() {
    const tsb::Bytes& bytes = ts_.bytes();
    for (; fed_ + 188 <= bytes.size(); fed_ += 188) {
      const uint8_t* p = &bytes[fed_];
      layer_.HandlePacket(p, ((p[1] & 0x1Fu) << 8) | p[2]);
    }
  }

  // The service with this id in programme table t, or nullptr.
  const Service* FindService(int t, uint16_t serviceId) const {
    if (t < 0 || t > layer_.currentTable()) return nullptr;
    const ProgrammeTable& table = layer_.table(t);
    for (int i = 0; i < table.serviceCount; ++i) {
      if (table.services[i].serviceId == serviceId) return &table.services[i];
    }
    return nullptr;
  }
  const Service* Current(uint16_t serviceId) const {
    return FindService(layer_.currentTable(), serviceId);
  }

  TableLayer layer_;
  tsb::TsStream ts_;
  size_t fed_ = 0;
};
