// The finder's test recordings: pictures by ffmpeg's test source (moving), changed per segment by
// brightness, flips and negation; sound computed here; both encoded by ffmpeg and multiplexed
// with the stream builder on a constant-rate clock, PES sent ahead of their decoding times.
#include "tests/cm/cm_recording.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "tests/support/stream_builder.h"

namespace cmrec {

namespace {

constexpr uint16_t kService = 0x0400, kPmtPid = 0x01F0, kVideoPid = 0x0111, kAudioPid = 0x0112, kPcrPid = 0x01FF;
constexpr double kRate = 30000.0 / 1001;
constexpr int kSampleRate = 48000;
constexpr uint64_t kFrameTicks = 3003, kAudioFrameTicks = 1920;   // 90 kHz ticks
constexpr uint64_t kVideoLead = 45000, kAudioLead = 27000;        // sent this far before decoding
constexpr uint64_t kPcrTicks = 40 * 90, kPsiTicks = 100 * 90;

void run(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

std::string between(double a, double b) {
  char text[64];
  std::snprintf(text, sizeof text, "gte(t,%.4f)*lt(t,%.4f)", a, b);
  return text;
}

// The picture of each segment: brightness, vertical flip, negation.
void looks(const Layout& l, const std::vector<double>& starts, std::string& bright, std::string& flip,
           std::string& negate) {
  static const double kBright[] = {0.3, -0.3, 0.15, -0.2};
  int unit = 0;
  bright = flip = negate = "0";
  for (size_t i = 0; i < l.segments.size(); ++i) {
    const std::string range = between(starts[i], starts[i] + l.segments[i].seconds);
    const Part p = l.segments[i].part;
    if (p == Part::Programme) continue;
    const int c = p == Part::Credit ? 3 : unit++;
    bright += "+" + range + "*" + std::to_string(p == Part::Credit ? -0.25 : kBright[c % 4]);
    if (p == Part::Credit || c % 3 == 0) flip += "+" + range;
    if (p == Part::Commercial && c % 2 == 1) negate += "+" + range;
  }
}

void render_video(const Layout& l, const std::vector<double>& starts, double seconds, const std::string& out) {
  std::string bright, flip, negate, keys;
  looks(l, starts, bright, flip, negate);
  // Half a frame late, so the forced key picture is the segment's first picture, not the last
  // picture before it.
  for (size_t i = 1; i < starts.size(); ++i) keys += (i > 1 ? "," : "") + std::to_string(starts[i] + 0.5 / kRate);
  char head[256];
  std::snprintf(head, sizeof head, "testsrc2=size=%dx%d:rate=30000/1001:duration=%.3f", l.width, l.height, seconds);
  run("ffmpeg -nostdin -v error -y -f lavfi -i \"" + std::string(head) + ",eq=brightness='" + bright +
      "':eval=frame,vflip=enable='" + flip + "',negate=enable='" + negate + "'\" -c:v mpeg2video -b:v " +
      std::to_string(l.videoKbps) + "k -g 15 -bf 2 -flags +cgop -sc_threshold 1000000000 -force_key_frames " +
      keys + " -f mpeg2video " + out);
}

// Sound: programme parts a swelling chord that never falls silent, credits and commercials
// tones of their own; silences where the layout puts them.
double sample_at(const Layout& l, const std::vector<double>& starts, double t) {
  size_t i = 0;
  while (i + 1 < starts.size() && t >= starts[i + 1]) ++i;
  const Segment& s = l.segments[i];
  const double u = t - starts[i];
  if (u < s.leadSilence || u >= s.seconds - s.tailSilence) return 0;
  if (s.pauseAt >= 0 && u >= s.pauseAt && u < s.pauseAt + s.pauseLength) return 0;
  constexpr double kTwoPi = 6.283185307179586;
  if (s.part == Part::Programme)
    return 0.1 * std::sin(kTwoPi * 330 * t) * (1.2 + std::sin(kTwoPi * 0.5 * t)) + 0.05 * std::sin(kTwoPi * 1250 * t);
  if (s.part == Part::Credit) return 0.2 * std::sin(kTwoPi * 660 * t);
  return 0.25 * std::sin(kTwoPi * (500 + 37 * double(i % 11)) * t) * (0.8 + 0.2 * std::sin(kTwoPi * 3 * t));
}

void render_audio(const Layout& l, const std::vector<double>& starts, double seconds, const std::string& dir,
                  const std::string& out) {
  const std::string raw = dir + "/cm_audio.raw";
  {
    std::ofstream file(raw, std::ios::binary);
    const int64_t n = int64_t(seconds * kSampleRate);
    std::vector<int16_t> block;
    for (int64_t k = 0; k < n; ++k) {
      const int16_t v = int16_t(std::lround(sample_at(l, starts, double(k) / kSampleRate) * 32767));
      block.push_back(v);
      block.push_back(v);
      if (block.size() >= 65536 || k + 1 == n) {
        file.write(reinterpret_cast<const char*>(block.data()), std::streamsize(block.size() * 2));
        block.clear();
      }
    }
  }
  run("ffmpeg -nostdin -v error -y -f s16le -ar 48000 -ac 2 -i " + raw + " -c:a aac -b:a 128k -f adts " + out);
  std::remove(raw.c_str());
}

// One PES waiting to be sent: its packets and when they may go.
struct Unit {
  uint64_t sendAt = 0;   // 90 kHz, on the stream clock
  std::vector<tsb::PacketDesc> packets;
  size_t next = 0;
};

// Video access units with PTS from the display order (closed GOPs: the GOP's first display index
// plus temporal_reference) one frame after the DTS of the coded order.
std::vector<Unit> video_units(const tsb::Bytes& es, uint64_t firstPts) {
  std::vector<size_t> starts = tsb::PictureAccessUnits(es);
  std::vector<Unit> units;
  uint64_t gopBase = 0;
  for (size_t i = 0; i < starts.size(); ++i) {
    const size_t end = i + 1 < starts.size() ? starts[i + 1] : es.size();
    size_t p = starts[i];
    for (; p + 6 < end; ++p) {
      if (es[p] != 0 || es[p + 1] != 0 || es[p + 2] != 1) continue;
      if (es[p + 3] == 0xB8) gopBase = i;
      if (es[p + 3] == 0x00) break;
    }
    const uint64_t tr = (uint64_t(es[p + 4]) << 2) | (es[p + 5] >> 6);
    tsb::PesDesc pes;
    pes.stream_id = 0xE0;
    pes.pts = firstPts + (gopBase + tr) * kFrameTicks;
    pes.dts = firstPts - kFrameTicks + i * kFrameTicks;
    pes.data.assign(es.begin() + long(starts[i]), es.begin() + long(end));
    pes.data_alignment_indicator = true;
    pes.unboundedLength = true;
    units.push_back(Unit{*pes.dts - kVideoLead, tsb::PacketisePes(kVideoPid, tsb::BuildPes(pes)), 0});
  }
  return units;
}

// ADTS frames, one per PES. The encoder's first frame is its priming (1024 samples): the frames
// are stamped one frame earlier so that the sound lines up with the pictures.
std::vector<Unit> audio_units(const tsb::Bytes& adts, uint64_t firstPts) {
  std::vector<Unit> units;
  uint64_t pts = firstPts - kAudioFrameTicks;
  for (size_t p = 0; p + 7 <= adts.size();) {
    const size_t length = ((adts[p + 3] & 3u) << 11) | (uint32_t(adts[p + 4]) << 3) | (adts[p + 5] >> 5);
    if (adts[p] != 0xFF || length < 7 || p + length > adts.size()) throw std::runtime_error("bad ADTS");
    tsb::PesDesc pes;
    pes.stream_id = 0xC0;
    pes.pts = pts;
    pes.data.assign(adts.begin() + long(p), adts.begin() + long(p + length));
    pes.data_alignment_indicator = true;
    units.push_back(Unit{pts - kAudioLead, tsb::PacketisePes(kAudioPid, tsb::BuildPes(pes)), 0});
    pts += kAudioFrameTicks;
    p += length;
  }
  return units;
}

// The tables for timeline second t: PMT version and present event of the segment shown then.
void tables(tsb::TsStream& ts, const Layout& l, const std::vector<double>& starts, double t) {
  size_t i = 0;
  while (i + 1 < starts.size() && t >= starts[i + 1]) ++i;
  int runs = 0;
  for (size_t k = 1; k <= i; ++k) runs += l.segments[k].event != l.segments[k - 1].event;
  const uint16_t event = uint16_t(l.segments[i].event);
  ts.Section(0x0000, tsb::Pat(0x7FE0, {{0, 0x0010}, {kService, kPmtPid}}));
  ts.Section(kPmtPid, tsb::Pmt(kService, kPcrPid,
                              {{0x02, kVideoPid, tsb::StreamIdentifierDescriptor(0x00)},
                               {0x0F, kAudioPid, tsb::StreamIdentifierDescriptor(0x10)}},
                              {}, uint8_t(runs % 32)));
  const tsb::Bytes name = tsb::AribText().Alnum("CM TEST " + std::to_string(event)).bytes();
  ts.Sections(0x0012, {tsb::EitPf(kService, 0x7FE0, 0x7FE0, 0, event, name, uint8_t(runs % 32)).Build(),
                       tsb::EitPf(kService, 0x7FE0, 0x7FE0, 1, uint16_t(event + 1), name, uint8_t(runs % 32)).Build()});
}

tsb::TsStream mux(const Layout& l, const std::vector<double>& starts, std::vector<Unit> video, std::vector<Unit> audio,
                  uint64_t bitrate, uint64_t firstPcr, uint64_t zero) {
  tsb::TsStream ts;
  ts.SetClock(bitrate, tsb::Pcr::FromTicks(firstPcr * 300));
  size_t vi = 0, ai = 0;
  uint64_t nextPcr = 0, nextPsi = 0;
  while (vi < video.size() || ai < audio.size()) {
    const uint64_t now = ts.ClockNow().base;
    const size_t sent = ts.PacketCount();
    if (now >= nextPcr) {   // PCRs first, then the tables, then the PES due, else stuffing
      ts.PcrPacket(kPcrPid);
      nextPcr = now + kPcrTicks;
    } else if (now >= nextPsi) {
      tables(ts, l, starts, (double(now) - double(zero)) / 90000);
      nextPsi = now + kPsiTicks;
    }
    if (ts.PacketCount() != sent) continue;
    Unit* v = vi < video.size() && video[vi].sendAt <= now ? &video[vi] : nullptr;
    Unit* a = ai < audio.size() && audio[ai].sendAt <= now ? &audio[ai] : nullptr;
    Unit* u = v && a ? (v->sendAt <= a->sendAt ? v : a) : v ? v : a;
    if (!u) {
      ts.Null();
      continue;
    }
    ts.Packet(u->packets[u->next++]);
    if (u->next == u->packets.size()) ++(u == v ? vi : ai);
  }
  return ts;
}

}  // namespace

Recording Build(const Layout& layout, const std::string& dir, const std::string& name) {
  Recording r;
  for (const Segment& s : layout.segments) {
    r.starts.push_back(r.seconds);
    r.seconds += s.seconds;
  }
  const std::string video = dir + "/" + name + ".m2v", audio = dir + "/" + name + ".aac";
  render_video(layout, r.starts, r.seconds, video);
  render_audio(layout, r.starts, r.seconds, dir, audio);
  constexpr uint64_t kFirstPcr = 900000, kZero = kFirstPcr + 54000;   // timeline 0 at 0.6 s
  r.clockOffsetMs = double(kZero - kFirstPcr) / 90;
  const uint64_t bitrate = uint64_t(layout.videoKbps) * 1600 + 300000;
  const tsb::TsStream ts = mux(layout, r.starts, video_units(tsb::ReadFile(video), kZero),
                               audio_units(tsb::ReadFile(audio), kZero), bitrate, kFirstPcr, kZero);
  r.path = dir + "/" + name;
  tsb::WriteFile(r.path, ts.bytes());
  std::remove(video.c_str());
  std::remove(audio.c_str());
  return r;
}

Layout StandardLayout(int repeat) {
  using P = Part;
  Layout l;
  l.segments = {
      {P::Commercial, 6, 0x1000, 0, 0.2},       // the recording starts inside a unit
      {P::Commercial, 15, 0x1000, 0.15, 0.25},
      {P::Programme, 61, 0x1001, 0.2, 0.1, 37.75, 0.5},   // pause 30 s before the break
      {P::Credit, 7, 0x1001, 0.15, 0.2},
      {P::Commercial, 15, 0x1001, 0.2, 0.1},    // a break of one unit
      {P::Programme, 40, 0x1001, 0.2, 0.15},    // shorter than a minute
      {P::Commercial, 30, 0x1001, 0.15, 0.2},
      {P::Commercial, 15, 0x1001, 0.1, 0.3},
      {P::Programme, 52, 0x1001, 0.1, 0.2},
  };
  for (int k = 1; k < repeat; ++k) {
    const double a = 0.1 + 0.05 * (k % 3), b = 0.3 - 0.05 * (k % 4);
    l.segments.push_back({P::Commercial, 15, 0x1001, a, b});
    l.segments.push_back({P::Commercial, 60, 0x1001, b, a});
    l.segments.push_back({P::Commercial, 30, 0x1001, a, a});
    if (k % 2) l.segments.push_back({P::Commercial, 15, 0x1001, b, b});
    l.segments.push_back({P::Programme, 97.0 + 13 * k, 0x1001, a, b, 20.0 + k, 0.4});
  }
  l.segments.push_back({P::Commercial, 15, 0x1002, 0.2, 0.2});   // the margin after the programme
  l.segments.push_back({P::Commercial, 15, 0x1002, 0.1, 0.2});
  l.segments.push_back({P::Programme, 5, 0x1002, 0.3, 0});
  return l;
}

}  // namespace cmrec
