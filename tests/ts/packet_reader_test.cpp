// The packet reader: block refills, the packet grid and its recovery, the loss limit, the
// reader's configurations, and the packet field helpers.
#include "ts/packet_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/stream_builder.h"

namespace {

using tsb::Bytes;

// A small buffer makes refills frequent: ten packets, topped up below four.
PacketReaderConfig SmallBlocks(uint32_t packetSize = 188) {
  PacketReaderConfig c;
  c.packetSize = packetSize;
  c.blockSize = 10 * size_t(packetSize);
  c.refillBelow = 4 * size_t(packetSize);
  return c;
}

// Packet i of a numbered stream carries PID i, so the order read back shows in the PIDs.
tsb::TsStream Numbered(size_t packets) {
  tsb::TsStream ts;
  for (size_t i = 0; i < packets; ++i) {
    tsb::PacketDesc p;
    p.pid = uint16_t(i);
    p.payload = Bytes(184, 0x11);
    ts.Packet(p);
  }
  return ts;
}

struct Read {
  std::vector<uint32_t> pids;
  std::vector<uint64_t> positions;
  TsReadEnd end = TsReadEnd::None;
  uint32_t losses = 0;
};

class PacketReaderTest : public ::testing::Test {
 protected:
  ~PacketReaderTest() override {
    if (file_ != kInvalidRawHandle) raw_close(file_);
  }
  // Opens the bytes as a file and begins a reader on it (at offset when given).
  PacketReader& Open(const Bytes& bytes, const PacketReaderConfig& config, int64_t offset = -1) {
    if (file_ != kInvalidRawHandle) raw_close(file_);
    file_ = raw_open(dir_.Write("in.ts", bytes).c_str(), "rb");
    EXPECT_NE(file_, kInvalidRawHandle);
    buffer_.assign(config.blockSize, 0);
    reader_ = PacketReader(buffer_.data(), config);
    const bool begun = offset < 0 ? reader_.Begin(file_) : reader_.BeginAt(file_, uint64_t(offset));
    EXPECT_TRUE(begun);
    return reader_;
  }
  static Read ReadAll(PacketReader& reader) {
    Read r;
    while (const uint8_t* p = reader.Next()) {
      r.pids.push_back(ts_pid(p));
      r.positions.push_back(reader.position());
    }
    r.end = reader.end();
    r.losses = reader.syncLosses();
    return r;
  }
  static std::vector<uint32_t> Range(uint32_t from, uint32_t to) {
    std::vector<uint32_t> v;
    for (uint32_t i = from; i < to; ++i) v.push_back(i);
    return v;
  }

  tsb::TempDir dir_;
  RawHandle file_ = kInvalidRawHandle;
  std::vector<uint8_t> buffer_;
  PacketReader reader_{nullptr, PacketReaderConfig{}};
};

TEST_F(PacketReaderTest, ReadsEveryPacketAcrossRefillsAndDropsAPartialLastOne) {
  tsb::TsStream ts = Numbered(57);
  ts.Raw(Bytes(187, 0x47));   // one byte short of a packet
  Read r = ReadAll(Open(ts.bytes(), SmallBlocks()));
  EXPECT_EQ(r.pids, Range(0, 57));
  EXPECT_EQ(r.positions.back(), 56u * 188);
  EXPECT_EQ(r.end, TsReadEnd::EndOfFile);
  EXPECT_EQ(r.losses, 0u);
  EXPECT_EQ(reader_.Next(), nullptr);   // the end stays
  EXPECT_EQ(reader_.end(), TsReadEnd::EndOfFile);

  r = ReadAll(Open(ts.bytes(), SmallBlocks(), 5 * 188));
  EXPECT_EQ(r.pids, Range(5, 57));
  EXPECT_EQ(r.positions.front(), 5u * 188);

  // Positions are 64-bit: a reader told it stands at 5 GiB counts on from there.
  Open(ts.bytes(), SmallBlocks());
  reader_.Begin(file_, uint64_t(5) << 30);
  for (int i = 0; i < 20; ++i) ASSERT_NE(reader_.Next(), nullptr);
  EXPECT_EQ(reader_.position(), (uint64_t(5) << 30) + 19 * 188);
}

TEST_F(PacketReaderTest, PacketStrideIsAParameter) {
  // 204-byte packets (188 plus 16 bytes of parity): sync bytes 204 apart.
  Bytes bytes;
  const Bytes parity(16, 0x00);
  tsb::TsStream ts = Numbered(30);
  for (size_t i = 0; i < 30; ++i) bytes = tsb::cat({bytes, ts.PacketAt(i), parity});
  bytes[204 * 12] = 0x00;
  const Read r = ReadAll(Open(bytes, SmallBlocks(204)));
  std::vector<uint32_t> want = Range(0, 30);
  want.erase(want.begin() + 12);   // the damaged packet is passed over
  EXPECT_EQ(r.pids, want);
  EXPECT_EQ(r.positions[12], 13u * 204);
  EXPECT_EQ(r.losses, 1u);
}

TEST_F(PacketReaderTest, LostGridIsFoundAgainAndTheSkippedBytesDropped) {
  tsb::TsStream ts = Numbered(40);
  ts.bytes().insert(ts.bytes().begin() + 188 * 20, 57, 0x12);   // garbage between packets 19 and 20
  ts.bytes()[188 * 30 + 57] = 0x00;                             // packet 30's sync byte damaged
  const Read r = ReadAll(Open(ts.bytes(), SmallBlocks()));
  std::vector<uint32_t> want = Range(0, 40);
  want.erase(want.begin() + 30);
  EXPECT_EQ(r.pids, want);
  EXPECT_EQ(r.positions[20], 20u * 188 + 57);
  EXPECT_EQ(r.losses, 2u);
  EXPECT_EQ(r.end, TsReadEnd::EndOfFile);
}

TEST_F(PacketReaderTest, ResyncSearchesOnlyTheHeldData) {
  // Garbage after packet 0 reaching beyond what a small buffer holds: three sync bytes a packet
  // apart exist in the file, but not in the 1692 bytes held, and no read is made for the search.
  tsb::TsStream ts = Numbered(1);
  ts.Raw(Bytes(1500, 0x55));
  ts.Raw(Numbered(10).bytes());
  Read r = ReadAll(Open(ts.bytes(), SmallBlocks()));
  EXPECT_EQ(r.pids, Range(0, 1));
  EXPECT_EQ(r.end, TsReadEnd::NoResync);
  EXPECT_EQ(r.losses, 1u);
  EXPECT_EQ(reader_.Next(), nullptr);
  EXPECT_EQ(reader_.end(), TsReadEnd::NoResync);
  // A buffer that holds them finds the grid.
  r = ReadAll(Open(ts.bytes(), PacketReaderConfig::Blocks(4096 * 188)));
  EXPECT_EQ(r.pids.size(), 11u);
  EXPECT_EQ(r.end, TsReadEnd::EndOfFile);

  // Near the end three packets and one byte must be held: 565 bytes search one position.
  for (size_t tail : {564u, 565u}) {
    SCOPED_TRACE(tail);
    Bytes end = tsb::cat({Bytes(tail - 564, 0x00), Numbered(3).bytes()});
    end[0] = 0x00;
    r = ReadAll(Open(tsb::cat({Numbered(2).bytes(), end}), SmallBlocks()));
    EXPECT_EQ(r.pids, Range(0, 2));
    EXPECT_EQ(r.end, TsReadEnd::NoResync);
  }
  Bytes end = tsb::cat({Bytes{0x00}, Numbered(3).bytes(), Bytes{0x00}});   // 566 bytes
  r = ReadAll(Open(tsb::cat({Numbered(2).bytes(), end}), SmallBlocks()));
  EXPECT_EQ(r.pids, (std::vector<uint32_t>{0, 1, 0, 1, 2}));
}

TEST_F(PacketReaderTest, RingBufferAndRunsHandOutWhatNextDoesFromAPlainBuffer) {
  // A damaged stream of several blocks: garbage between packets, damaged sync bytes, a stretch of
  // garbage across a top-up. Read through a plain buffer with Next() alone, and through a mirrored
  // ring taking runs of varying length between single packets: the same packets, positions, end.
  tsb::TsStream ts;
  for (size_t i = 0; i < 9000; ++i) {
    tsb::PacketDesc p;
    p.pid = uint16_t(i % 0x1FFF);
    p.payload = Bytes(184, 0x11);
    ts.Packet(p);
  }
  Bytes& b = ts.bytes();
  for (size_t at : {size_t(1000), size_t(3100), size_t(4096), size_t(7777)}) b[at * 188] = 0x00;
  b.insert(b.begin() + 188 * 2000 + 5, 300, 0x47);
  b.insert(b.begin() + 188 * 5000, 188 * 3 + 11, 0x00);
  b.resize(b.size() - 100);
  PacketReaderConfig config = PacketReaderConfig::Blocks(1024 * 188);   // a multiple of 4096 bytes
  config.refillBelow = 256 * 188;
  const Read plain = ReadAll(Open(b, config));
  ASSERT_EQ(plain.end, TsReadEnd::EndOfFile);
  ASSERT_EQ(plain.losses, 6u);

  RawBlock ring(config.blockSize, true);
#ifdef __linux__
  EXPECT_TRUE(ring.mirrored());
#endif
  config.ring = ring.mirrored();
  PacketReader reader(ring.get(), config);
  ASSERT_TRUE(reader.BeginAt(file_, 0));
  Read r;
  for (size_t k = 0;; ++k) {
    const uint8_t* first;
    const size_t n = reader.NextRun(k % 7 * 50, first);
    for (size_t i = 0; i < n; ++i) {
      r.pids.push_back(ts_pid(first + i * 188));
      r.positions.push_back(reader.position() - (n - 1 - i) * 188);
    }
    if (n > 0) continue;
    const uint8_t* p = reader.Next();
    if (!p) break;
    r.pids.push_back(ts_pid(p));
    r.positions.push_back(reader.position());
  }
  EXPECT_EQ(r.pids, plain.pids);
  EXPECT_EQ(r.positions, plain.positions);
  EXPECT_EQ(reader.end(), plain.end);
  EXPECT_EQ(reader.syncLosses(), plain.losses);
}

TEST_F(PacketReaderTest, ThousandthLossEndsTheRead) {
  // Three good packets, then a stray byte: one loss per round.
  auto lossy = [](int rounds) {
    tsb::TsStream ts;
    for (int i = 0; i < rounds; ++i) {
      ts.Null(3);
      ts.Raw(Bytes{0x00});
    }
    ts.Null(4);   // enough after the last stray byte to find the grid in
    return ts.bytes();
  };
  Read r = ReadAll(Open(lossy(999), SmallBlocks()));
  EXPECT_EQ(r.end, TsReadEnd::EndOfFile);
  EXPECT_EQ(r.losses, 999u);
  EXPECT_EQ(r.pids.size(), 3001u);
  r = ReadAll(Open(lossy(1000), SmallBlocks()));
  EXPECT_EQ(r.end, TsReadEnd::SyncLossLimit);
  EXPECT_EQ(r.losses, kSyncLossLimit);
  EXPECT_EQ(r.pids.size(), 3000u);   // the packets before the 1000th loss
  EXPECT_EQ(reader_.Next(), nullptr);
  EXPECT_EQ(reader_.end(), TsReadEnd::SyncLossLimit);
  EXPECT_EQ(reader_.syncLosses(), kSyncLossLimit);
}

TEST_F(PacketReaderTest, UnusableConfigurationOrPositionReadsNothing) {
  const Bytes bytes = Numbered(10).bytes();
  file_ = raw_open(dir_.Write("in.ts", bytes).c_str(), "rb");
  ASSERT_NE(file_, kInvalidRawHandle);
  // Sync bytes everywhere: a reader that looked at its buffer would find packets there.
  std::vector<uint8_t> buffer(4096, kSyncByte);
  PacketReaderConfig configs[5] = {SmallBlocks(187), SmallBlocks(), SmallBlocks(), SmallBlocks(),
                                   SmallBlocks()};
  configs[1].blockSize = 3 * 188 - 1;    // three packets do not fit
  configs[2].refillBelow = 187;          // a packet might not be held
  configs[3].packetSize = uint32_t(-188);
  configs[4].refillBelow = 0;            // nothing held would already be enough
  for (const PacketReaderConfig& c : configs) {
    EXPECT_FALSE(c.usable());
    PacketReader reader(buffer.data(), c);
    EXPECT_FALSE(reader.Begin(file_));
    EXPECT_EQ(reader.Next(), nullptr);
    EXPECT_FALSE(reader.BeginAt(file_, 0));
    EXPECT_EQ(reader.Next(), nullptr);
  }
  EXPECT_TRUE(PacketReaderConfig::Blocks(1048576).usable());
  PacketReader reader(buffer.data(), SmallBlocks());
  EXPECT_FALSE(reader.BeginAt(file_, uint64_t(1) << 63));   // before the start as a signed offset
  EXPECT_EQ(reader.Next(), nullptr);
}

TEST(TsPacketFields, HeaderAdaptationFieldAndPcr) {
  tsb::Pcr largest;
  largest.base = (uint64_t(1) << 33) - 1;
  largest.extension = 299;
  tsb::PacketDesc desc;
  desc.pid = 0x1ABC;
  desc.payload_unit_start_indicator = true;
  desc.pcr = largest;
  desc.payload = Bytes(100, 0x22);
  const Bytes p = tsb::MakePacket(desc);
  EXPECT_EQ(ts_pid(p.data()), 0x1ABCu);
  EXPECT_TRUE(ts_unit_start(p.data()));
  EXPECT_TRUE(ts_has_payload(p.data()));
  EXPECT_EQ(ts_payload_offset(p.data()), 188u - 100);
  ASSERT_TRUE(ts_has_pcr(p.data()));
  EXPECT_EQ(ts_pcr(p.data()).base, largest.base);
  EXPECT_EQ(ts_pcr(p.data()).extension, 299u);
  EXPECT_EQ(ts_pcr(p.data()).ticks(), largest.Ticks());

  Bytes noFlag = p, emptyField = p, noField = tsb::MakeNullPacket();
  noFlag[5] &= ~0x10;
  emptyField[4] = 0;
  for (const Bytes* q : {&noFlag, &emptyField, &noField}) EXPECT_FALSE(ts_has_pcr(q->data()));
  EXPECT_EQ(ts_payload_offset(noField.data()), 4u);
  EXPECT_EQ(ts_pid(noField.data()), kTsNullPid);
  EXPECT_FALSE(ts_unit_start(noField.data()));
}

}  // namespace
