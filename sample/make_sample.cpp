// Builds the bundled sample recording: three programmes with ARIB-coded titles, each carrying the
// committed MPEG-2 clip as its video, with PAT/PMT, EIT present/following and PCRs as a broadcast
// has them.
#include <cstdio>
#include <exception>

#include "tests/support/stream_builder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kerf_make_sample CLIP.m2v OUT.ts\n");
    return 2;
  }
  try {
    tsb::BroadcastDesc desc;
    desc.transport_stream_id = 0x7FE0;
    desc.original_network_id = 0x7FE0;
    desc.eit = true;
    desc.videoEs = tsb::ReadFile(argv[1]);
    desc.bitrate = 5000000;
    desc.packets = 99750;      // 30 seconds at 5 Mbit/s
    desc.psiInterval = 2000;   // PAT, PMTs and EIT about every 0.6 s
    desc.pcrIntervalMs = 40;
    desc.firstPcr = tsb::Pcr::FromMs(3600000);
    desc.services = {
        {0x0400, 0x01F0, 0x0111, 0x0112, 0, tsb::AribText().Sjis("ニュース").Alnum("7").bytes(), 0},
        {0x0401, 0x01F1, 0x0121, 0x0122, 0, tsb::AribText().Sjis("天気予報").bytes(), 0},
        {0x0402, 0x01F2, 0x0131, 0x0132, 0,
         tsb::AribText().Sjis("映画「").KatakanaSjis("カット").Sjis("の日」").bytes(), 0},
    };
    tsb::WriteFile(argv[2], tsb::Broadcast(desc).bytes());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kerf_make_sample: %s\n", e.what());
    return 1;
  }
  return 0;
}
