// Writes a long three-service recording for the demux benchmark: PAT/PMT rounds, video and audio
// PES of each service with PCRs, built in segments so that memory stays small. With a video
// elementary stream the services carry it (and no audio), so that other tools can remux them.
//   make_recording <output.ts> <size in MiB> [video.m2v]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/stream_builder.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: make_recording <output.ts> <size in MiB> [video.m2v]\n");
    return 2;
  }
  const unsigned long long wanted = std::strtoull(argv[2], nullptr, 10) * 1048576ull;
  FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  constexpr size_t kSegmentPackets = 200000;   // about 36 MiB per segment
  tsb::BroadcastDesc desc;
  auto service = [](uint16_t sid, uint16_t pmt, uint16_t video, uint16_t audio) {
    tsb::BroadcastService s;
    s.service_id = sid;
    s.pmt_pid = pmt;
    s.video_pid = video;
    s.audio_pid = audio;
    return s;
  };
  desc.services = {service(0x0400, 0x01F0, 0x0100, 0x0110), service(0x0408, 0x01F8, 0x0200, 0x0210),
                   service(0x0410, 0x0300, 0x0310, 0x0311)};
  if (argc == 4) {
    desc.videoEs = tsb::ReadFile(argv[3]);
    for (auto& s : desc.services) s.audio_pid = 0;
  }
  desc.packets = kSegmentPackets;
  desc.psiInterval = 2000;
  desc.bitrate = 24000000;
  unsigned long long written = 0;
  uint64_t clock = tsb::Pcr::FromMs(1000).Ticks();
  while (written < wanted) {
    desc.firstPcr = tsb::Pcr::FromTicks(clock);
    const tsb::TsStream ts = tsb::Broadcast(desc);
    size_t n = ts.bytes().size();
    if (written + n > wanted) n = size_t((wanted - written) / tsb::kPacketSize * tsb::kPacketSize);
    if (n == 0) break;
    if (std::fwrite(ts.bytes().data(), 1, n, out) != n) {
      std::perror(argv[1]);
      return 1;
    }
    written += n;
    // The next segment's clock goes on from where this one stopped.
    clock += uint64_t(kSegmentPackets) * tsb::kPacketSize * 8 * tsb::kSystemClockHz / desc.bitrate;
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
