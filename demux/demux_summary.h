// The counters of one run and the summary the tool prints from them at a normal end.
#pragma once
#include <cstddef>
#include <cstdint>

struct DemuxSummary {
  uint32_t packets = 0;           // packets handed to the table layer
  uint32_t distinctPids = 0;      // PIDs seen as a packet's PID or announced in a PAT or PMT
  uint32_t descriptorKinds = 0;   // distinct descriptor tags met
  uint32_t nullPackets = 0;       // packets with PID 0x1FFF
  uint32_t syncLosses = 0;        // packets that did not start with the sync byte
  uint32_t crcErrors = 0;         // sections whose CRC-32 did not match
};

constexpr size_t kSummaryTextSize = 512;   // the ten lines with their eight-digit values

// The summary's text, ten lines, exactly as the tool prints it.
void format_summary(const DemuxSummary& summary, char (&text)[kSummaryTextSize]);
