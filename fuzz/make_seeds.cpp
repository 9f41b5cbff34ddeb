// Writes the seed corpora of the fuzz targets from the test stream builder: small recordings with
// PAT/PMT/CAT/NIT/SDT/EIT/TOT, ECM and EMM streams, PES with PCRs and the sample clip's first
// picture; sections and ARIB texts; control, information and command-line texts; settings files
// and LOGO.BMP pictures. Each seed is in the form its target reads (see the targets' headers).
//
//   kerf_make_fuzz_seeds SOURCE_DIR OUT_DIR     (scripts/make-fuzz-seeds.sh runs it)
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/stream_builder.h"

namespace fs = std::filesystem;
using tsb::Bytes;

namespace {

fs::path g_out;

void Seed(const char* target, const std::string& name, const Bytes& bytes) {
  const fs::path folder = g_out / target;
  fs::create_directories(folder);
  std::ofstream f(folder / name, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes Prefixed(std::initializer_list<uint8_t> head, const Bytes& rest) {
  Bytes b(head);
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}

Bytes Text(const std::string& s) { return tsb::bytes_of(s); }

// 番組 ニュース7 in the 8-unit code, through kanji, katakana and the alphanumeric set.
Bytes NewsName() { return tsb::AribText().Sjis("番組").KatakanaSjis("ニュース").Alnum("7").bytes(); }

// Two services (one scrambled, with ECM and a data stream), every SI table the layer parses,
// video PES with PCRs and null packets: about forty packets.
tsb::TsStream RichRecording() {
  tsb::TsStream ts;
  ts.Section(0x0000, tsb::Pat(0x7FE1, {{0x0000, 0x0010}, {0x0400, 0x01F0}, {0x0408, 0x01F8}}).Build());
  ts.Section(0x0001, tsb::Cat(tsb::CaDescriptor(0x0005, 0x0031)).Build());
  ts.Section(0x01F0, tsb::Pmt(0x0400, 0x0100,
                              {{0x02, 0x0100, tsb::StreamIdentifierDescriptor(0x00)},
                               {0x0F, 0x0110, tsb::StreamIdentifierDescriptor(0x10)},
                               {0x0D, 0x0120, tsb::StreamIdentifierDescriptor(0x40)}},
                              tsb::CaDescriptor(0x0005, 0x0030))
                         .Build());
  ts.Section(0x01F8, tsb::Pmt(0x0408, 0x0200,
                              {{0x02, 0x0200, tsb::StreamIdentifierDescriptor(0x00)},
                               {0x0F, 0x0210, tsb::cat({tsb::StreamIdentifierDescriptor(0x10),
                                                         tsb::CaDescriptor(0x0005, 0x0032)})}})
                         .Build());
  ts.Section(0x0010, tsb::Nit(0x7FE1, tsb::Descriptor(0x40, tsb::AribText().Sjis("放送").bytes()),
                              {{0x7FE1, 0x7FE1, {}}})
                         .Build());
  ts.Section(0x0011, tsb::Sdt(0x7FE1, 0x7FE1,
                              {{0x0400, 0, false, true, 4, true,
                                tsb::ServiceDescriptor(0x01, tsb::AribText().Alnum("KERF").bytes(), NewsName())},
                               {0x0408, 0, false, true, 4, false,
                                tsb::ServiceDescriptor(0x01, {}, tsb::AribText().HiraganaSjis("きょう").bytes())}})
                         .Build());
  ts.Sections(0x0012, {tsb::EitPf(0x0400, 0x7FE1, 0x7FE1, 0, 0x1001, NewsName()).Build(),
                       tsb::EitPf(0x0408, 0x7FE1, 0x7FE1, 0, 0x1002,
                                  tsb::AribText().Sjis("映画").Control(0x0D).Alnum("2").bytes())
                           .Build()});
  ts.Section(0x0014, tsb::Tot(tsb::mjd_bcd_time(2026, 12, 7, 21, 0, 0), {}));
  for (int i = 0; i < 6; ++i) {
    ts.Pes(0x0100, {.stream_id = 0xE0, .pts = 90000u + 3003u * i, .data = Bytes(500, uint8_t(0x80 + i))},
           ts.ClockNow());
    ts.Pes(0x0200, {.stream_id = 0xE0, .pts = 90000u + 3003u * i, .data = Bytes(300, 0x90)}, ts.ClockNow());
    ts.Pes(0x0110, {.stream_id = 0xC0, .pts = 90000u + 3003u * i, .data = Bytes(150, 0x91)});
    ts.Null();
  }
  return ts;
}

// The broadcast of the test builder: three services named by EIT, a PAT version change.
Bytes ChangingBroadcast() {
  tsb::BroadcastDesc d;
  d.services[0].name = NewsName();
  d.services[0].ecm_pid = 0x0030;
  tsb::BroadcastService second;
  second.service_id = 0x0408;
  second.pmt_pid = 0x01F8;
  second.video_pid = 0x0200;
  second.audio_pid = 0x0210;
  second.name = tsb::AribText().Sjis("天気").bytes();
  d.services.push_back(second);
  d.servicesAfterChange = {second};
  d.patVersionChangeAt = 80;
  d.eit = true;
  d.psiInterval = 40;
  d.packets = 120;
  return tsb::Broadcast(d).bytes();
}

void EngineSeeds() {
  const Bytes rich = RichRecording().bytes();
  const Bytes changing = ChangingBroadcast();
  Bytes damaged = rich;
  damaged[188 * 5] = 0x00;                                // one lost sync byte
  damaged.insert(damaged.begin() + 188 * 9, {0x47, 0x12, 0x34});   // a few stray bytes
  // request (none, information, ALL, DEMUX) | first only | exclude | lock gone; start; length
  const std::vector<std::vector<uint8_t>> heads = {
      {0x00, 0xFF, 0xFF}, {0x01, 0xFF, 0xFF}, {0x02, 0xFF, 0xFF}, {0x03, 0xFF, 0xFF},
      {0x0D, 0x00, 0xFF}, {0x07, 0x03, 0x05}, {0x12, 0x00, 0x08}, {0x09, 0xFF, 0xFF}};
  int n = 0;
  for (const auto& h : heads) {
    Seed("demux_engine_fuzz", "rich-" + std::to_string(n), Prefixed({h[0], h[1], h[2]}, rich));
    if (n < 4) Seed("demux_engine_fuzz", "change-" + std::to_string(n), Prefixed({h[0], h[1], h[2]}, changing));
    ++n;
  }
  Seed("demux_engine_fuzz", "damaged-all", Prefixed({0x02, 0xFF, 0xFF}, damaged));
  Seed("demux_engine_fuzz", "damaged-info", Prefixed({0x01, 0xFF, 0xFF}, damaged));
}

// The table layer's target routes PMTs on 0x0100/0x0101 and the NIT on 0x0010 through its own PAT.
void PsiSeeds() {
  auto packets = [](std::initializer_list<std::pair<uint16_t, Bytes>> sections) {
    tsb::TsStream ts;
    for (const auto& [pid, section] : sections) ts.Section(pid, section);
    return ts.bytes();
  };
  const Bytes pmt = tsb::Pmt(0x0400, 0x0110,
                             {{0x02, 0x0110, tsb::StreamIdentifierDescriptor(0x00)},
                              {0x0F, 0x0111, tsb::CaDescriptor(0x0005, 0x0131)},
                              {0x0D, 0x0112, {}}},
                             tsb::CaDescriptor(0x0005, 0x0130));
  const Bytes pmt2 = tsb::Pmt(0x0401, 0x0120, {{0x02, 0x0120, tsb::StreamIdentifierDescriptor(0x00)}});
  Seed("psi_table_layer_fuzz", "pmts", packets({{0x0100, pmt}, {0x0101, pmt2}}));
  Seed("psi_table_layer_fuzz", "si",
       packets({{0x0100, pmt},
                {0x0011, tsb::Sdt(0x0001, 0x0001, {{0x0400, 0, false, true, 4, false,
                                                    tsb::ServiceDescriptor(0x01, {}, NewsName())}})},
                {0x0012, tsb::EitPf(0x0400, 0x0001, 0x0001, 0, 0x2000, NewsName())},
                {0x0010, tsb::Nit(0x0001, {}, {{0x0001, 0x0001, {}}})},
                {0x0014, tsb::Tot(tsb::mjd_bcd_time(2026, 1, 2, 3, 4, 5), {})},
                {0x0001, tsb::Cat(tsb::CaDescriptor(0x0005, 0x0140))}}));
  Seed("psi_table_layer_fuzz", "new-pat",
       packets({{0x0000, tsb::Pat(0x0002, {{0x0000, 0x0010}, {0x0402, 0x0102}}, 1)},
                {0x0102, tsb::Pmt(0x0402, 0x0150, {{0x02, 0x0150, {}}}, {}, 1)}}));
  tsb::TsStream spread;
  tsb::SectionPacking packing;
  packing.minRoomToStart = 1;
  spread.Sections(0x0012,
                  {tsb::EitPf(0x0400, 1, 1, 0, 1, NewsName()).Build(),
                   tsb::EitPf(0x0400, 1, 1, 1, 2, tsb::AribText().Sjis("次").bytes()).Build(),
                   tsb::EitPf(0x0401, 1, 1, 0, 3, tsb::AribText().HiraganaSjis("あ", true).bytes()).Build()},
                  packing);
  Seed("psi_table_layer_fuzz", "eit-spread", spread.bytes());
  // A DVB-T network: names in the DVB tables.
  Seed("psi_table_layer_fuzz", "dvb-names",
       packets({{0x0010, tsb::Nit(0x233A, {}, {{0x1001, 0x233A, tsb::Descriptor(0x5A, Bytes(11, 0x00))}})},
                {0x0011, tsb::Sdt(0x1001, 0x233A, {{0x0400, 0, false, true, 4, false,
                                                    tsb::ServiceDescriptor(0x01, {'B', 'B', 'C'}, {0x01, 0xBF, 0xD5})}})},
                {0x0012, tsb::EitPf(0x0400, 0x1001, 0x233A, 0, 0x2000, {'C', 'a', 'f', 0xC2, 'e'})}}));
}

void DvbSeeds() {
  Seed("dvb_text_fuzz", "latin", {'C', 'a', 'f', 0xC2, 'e', 0x86, 0x8A, 0xC8, ' '});
  Seed("dvb_text_fuzz", "8859", {0x10, 0x00, 0x02, 0xB9, 0xA9});
  Seed("dvb_text_fuzz", "ucs2", {0x11, 0x00, 0x41, 0xD8, 0x3D, 0xDE, 0x00, 0xE0, 0x8A});
  Seed("dvb_text_fuzz", "utf8", {0x15, 0xC3, 0x9C, 0xE2, 0x82, 0xAC, 0xEE, 0x82, 0x86});
}

void AribSeeds() {
  Seed("arib_text_fuzz", "news", NewsName());
  Seed("arib_text_fuzz", "hiragana-gr", tsb::AribText().HiraganaSjis("ひらがな", true).bytes());
  Seed("arib_text_fuzz", "sizes", tsb::AribText().MSZ().Alnum("ABC").NSZ().Sjis("漢字").Csi(0x30).bytes());
  Seed("arib_text_fuzz", "designations",
       tsb::AribText()
           .Designate(1, tsb::AribText::kJisX0201Katakana, false)
           .LS1()
           .Raw({0x31, 0x32})
           .Designate(0, tsb::AribText::kAdditionalSymbols, true)
           .LS0()
           .Raw({0x7A, 0x50})
           .Designate(3, 0x41, false, true)
           .SS3()
           .Raw({0x21})
           .Designate(2, tsb::AribText::kMacro, false)
           .SS2()
           .Raw({0x60})
           .bytes());
}

void ParserSeeds() {
  // Byte 0: 1 the command line, 2 the information-file reader, 0 the control-file parser.
  Seed("demux_parsers_fuzz", "cut-line",
       Prefixed({1}, Text("\"C:\\KERF\\KERFDMX.EXE\" \"C:\\REC\\in put.ts\" -h:1A2B -s:10 -e:FF -d:DEMUX.tmp")));
  Seed("demux_parsers_fuzz", "structure-line",
       Prefixed({1}, Text("kerfdmx /rec/in.ts -h:5 -s:FFFFFFFF -e:7FFFFFFF -i1:DEMUX.txt -x")));
  Seed("demux_parsers_fuzz", "clip-line", Prefixed({1}, Text("k \"/r/a b.ts\" -h:1 -d1:DEMUX.txt extra")));
  const std::string info =
      "MODE=DEMUX\r\n\r\n// 番組名:ニュース7\r\nNAME=/prog/PRG1.TS\r\nSERVICE_ID=0400\r\nPID=0000,PAT\r\n"
      "PID=01F0,PMT\r\nPID=0100,PCR\r\nPID=0030,ECM\r\nPID=0100,V\r\nPID=0110,A\r\nPID=0120,D\r\nPID=0130,\r\n\r\n"
      "NAME=/prog/PRG2.TS\r\nSERVICE_ID=0408\r\nPID=0000,PAT\r\npid=01f8,pmt\r\nPID=0200,v\r\n\r\n";
  Seed("demux_parsers_fuzz", "info-cutter", Prefixed({2}, Text(info)));
  Seed("demux_parsers_fuzz", "info-control", Prefixed({0}, Text(info)));
  Seed("demux_parsers_fuzz", "all-control",
       Prefixed({0}, Text("; kept by the user\nMODE=ALL\nNAME=/out/whole.ts\nNAME=/out/second.ts\nPID=0100\n")));
  Seed("demux_parsers_fuzz", "pid-forms",
       Prefixed({0}, Text("NAME=/o.ts\nPID=0111,V\nPID=0111 A\nPID=0111\nPID=\nPID=\t0112\tX\nSERVICE_ID=\n")));
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The sample clip's first sequence header, GOP and I picture, up to the start of the second picture.
Bytes FirstPicture(const fs::path& source) {
  const Bytes clip = ReadFile(source / "sample" / "clip.m2v");
  int pictures = 0;
  for (size_t i = 0; i + 4 <= clip.size(); ++i) {
    if (clip[i] == 0 && clip[i + 1] == 0 && clip[i + 2] == 1 && clip[i + 3] == 0 && ++pictures == 2)
      return Bytes(clip.begin(), clip.begin() + long(i + 4));
  }
  return clip;
}

void PreviewSeeds(const fs::path& source) {
  const Bytes picture = FirstPicture(source);
  if (picture.empty()) return;
  // Byte 0: bit 0 puts the target's own headers first, bit 1 the decoder's stop-at-error rule,
  // bit 2 the extended profiles, bit 3 makes those headers 4:2:2.
  Seed("preview_decoder_fuzz", "i-picture", Prefixed({0}, picture));
  Seed("preview_decoder_fuzz", "i-picture-stop", Prefixed({2}, picture));
  Bytes part(picture.begin(), picture.begin() + long(std::min<size_t>(picture.size(), 6000)));
  Seed("preview_decoder_fuzz", "i-picture-head", Prefixed({0}, part));
  // Slices only, after the target's own headers.
  const Bytes slices(picture.begin() + long(std::min<size_t>(picture.size(), 120)),
                     picture.begin() + long(std::min<size_t>(picture.size(), 4000)));
  Seed("preview_decoder_fuzz", "slices", Prefixed({1}, slices));
  // The same slices after the 4:2:2 prologue, read with the extended profiles: the 4:2:2 store.
  Seed("preview_decoder_fuzz", "slices-422", Prefixed({1 | 4 | 8}, slices));

  // The extraction: the picture as PES on PID 0x0100 with its PCRs, after PAT and PMT.
  tsb::TsStream ts;
  ts.Section(0x0000, tsb::Pat(0x7FE1, {{0x0400, 0x01F0}}).Build());
  ts.Section(0x01F0, tsb::Pmt(0x0400, 0x0100, {{0x02, 0x0100, tsb::StreamIdentifierDescriptor(0)}}).Build());
  tsb::EsEmbedding how;
  how.pid = 0x0100;
  how.pcrPid = 0x0100;
  tsb::EmbedEs(ts, picture, how);
  // Bytes 0 and 1: the position (in fours of packets) and whether the PCR PID is the video PID.
  Seed("ts_reader_fuzz", "picture-pcr-on-video", Prefixed({0x00, 0x01}, ts.bytes()));
  Seed("ts_reader_fuzz", "picture-from-10", Prefixed({0x0A, 0x01}, ts.bytes()));
  tsb::TsStream other;
  other.Section(0x0000, tsb::Pat(0x7FE1, {{0x0400, 0x01F0}}).Build());
  tsb::EsEmbedding apart = how;
  apart.pcrPid = 0x01FF;
  tsb::EmbedEs(other, Bytes(picture.begin(), picture.begin() + long(std::min<size_t>(picture.size(), 9000))), apart);
  Seed("ts_reader_fuzz", "pcr-apart", Prefixed({0x00, 0x00}, other.bytes()));
}

// A settings file: header, reserved word, the 3444-byte record at the defaults the cutter gives
// a program in /fuzz/ (the record is little-endian, 4-byte packed).
Bytes SettingsFile(void (*edit)(Bytes& record)) {
  Bytes record(3444, 0);
  auto text = [&record](size_t at, const char* s) { std::memcpy(record.data() + at, s, std::strlen(s)); };
  auto i32 = [&record](size_t at, int32_t v) {
    for (int k = 0; k < 4; ++k) record[at + size_t(k)] = uint8_t(uint32_t(v) >> (8 * k));
  };
  text(8, "/INPUT_TS/ORG.ts");
  text(528, "/OUTPUT_TS/NEW.ts");
  text(788, "/Program Files/VideoLAN/VLC/VLC.EXE");
  text(1048, "--play-and-stop");
  i32(1308, 1);
  i32(1312, 5);
  i32(1316, 1);
  i32(1324, 2);
  i32(1332, 16500000);
  i32(3436, 188);
  if (edit) edit(record);
  Bytes file = Text("KERFCUT0120HST");
  file.insert(file.end(), {0, 0, 0, 0});
  file.insert(file.end(), record.begin(), record.end());
  return file;
}

void SettingsSeeds() {
  Seed("settings_fuzz", "defaults", SettingsFile(nullptr));
  Seed("settings_fuzz", "loaded", SettingsFile([](Bytes& r) {
         std::memcpy(r.data() + 268, "/dev/null", 9);                 // loadedInputPath
         const int32_t values[] = {3723456, 12345678};                // totalMs, bitrate
         std::memcpy(r.data() + 1328, values, sizeof values);
         const int32_t points[] = {0x1A2B, 1000, 0x7FFFFFFF, 86399999, 5000, 65000, 1, 1, 2, 0x100};
         std::memcpy(r.data() + 1344, points, sizeof points);         // startPacket .. pcrPid
         const int32_t list[] = {0x100, 0x200};
         std::memcpy(r.data() + 1384, list, sizeof list);             // video PIDs
         const int32_t ordinals[] = {1, 3};
         std::memcpy(r.data() + 2408, ordinals, sizeof ordinals);
         r[3432] = 2;                                                 // count
       }));
  Bytes cut = SettingsFile(nullptr);
  cut.resize(1400);
  Seed("settings_fuzz", "short", cut);
}

// An 8-bit BMP: file header, 40-byte info header, palette of `colours`, rows padded to 4 bytes.
Bytes Bmp(int width, int height, int colours, uint32_t compression) {
  const int row = (width + 3) / 4 * 4;
  const uint32_t offset = 14 + 40 + 4 * uint32_t(colours);
  const uint32_t size = offset + uint32_t(row * height);
  Bytes b = Text("BM");
  auto le = [&b](uint32_t v, int n) {
    for (int k = 0; k < n; ++k) b.push_back(uint8_t(v >> (8 * k)));
  };
  le(size, 4), le(0, 4), le(offset, 4);
  le(40, 4), le(uint32_t(width), 4), le(uint32_t(height), 4), le(1, 2), le(8, 2), le(compression, 4),
      le(uint32_t(row * height), 4), le(2835, 4), le(2835, 4), le(uint32_t(colours), 4), le(0, 4);
  for (int c = 0; c < colours; ++c) le(uint32_t(c * 0x010101), 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < row; ++x) b.push_back(uint8_t((x + y) % (colours ? colours : 256)));
  return b;
}

void LogoSeeds() {
  Seed("logo_fuzz", "small", Bmp(16, 8, 4, 0));
  Seed("logo_fuzz", "odd-width", Bmp(13, 5, 16, 0));
  Seed("logo_fuzz", "rle", Bmp(8, 2, 0, 1));
  Seed("logo_fuzz", "logo-size", Bmp(320, 40, 256, 0));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kerf_make_fuzz_seeds SOURCE_DIR OUT_DIR\n");
    return 2;
  }
  g_out = argv[2];
  EngineSeeds();
  PsiSeeds();
  AribSeeds();
  DvbSeeds();
  ParserSeeds();
  PreviewSeeds(argv[1]);
  SettingsSeeds();
  LogoSeeds();
  return 0;
}
