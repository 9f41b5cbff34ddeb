// The fixed numbers of a transport stream packet and of reading one, named once for every
// reader of packets (the demux engine, the PCR measurement, the preview extraction).
#pragma once
#include <cstdint>

constexpr uint32_t kPacketSize = 188;   // ISO/IEC 13818-1 2.4.3.2: a transport packet is 188 bytes
constexpr uint8_t kSyncByte = 0x47;     // sync_byte, the first byte of every packet
constexpr uint32_t kTsNullPid = 0x1FFF;  // 2.4.3.3 Table 2-3: null packets; also "no PID" in a field
// Packets found without their sync byte before a reader gives up on a recording: a file this
// damaged is not a TS, and searching on would only read it to the end.
constexpr uint32_t kSyncLossLimit = 1000;
