// CmScanRecording: one pass of the packet reader; the table layer tells which PIDs are the
// programme's and when its present event and PMT change; audio PES go to the decoder and the
// silence finder, video PES that open with a sequence header to the key-picture ring. A silence
// or a table change waits until a key picture after it has arrived, then the pictures around it
// are looked at.
#include "cm/cm_scan.h"

#include <memory>
#include <vector>

#include "cm/audio_decoder.h"
#include "cm/key_pictures.h"
#include "cm/silences.h"
#include "common/path.h"
#include "common/raw_file.h"
#include "demux/psi/table_layer.h"
#include "mpeg2/sequence_scanner.h"
#include "plans/work_engine.h"
#include "ts/packet_reader.h"
#include "ts/ts_packet.h"

namespace {

// Read block: large enough that reads cost little next to the work per packet.
constexpr size_t kReadBlock = size_t(4) << 20;
// Packets between two looks at the stop flag and the progress.
constexpr int64_t kProgressPackets = 1 << 16;
constexpr int64_t kPtsWrap = int64_t(1) << 33;

// 33-bit stamps (90 kHz) unwrapped into milliseconds from an origin, each stream on its own
// tracker since each runs nearly monotonic.
class StampTrack {
 public:
  int64_t Ms(int64_t origin, int64_t raw) {
    if (!set_) {
      set_ = true;
      ticks_ = signed33(raw - origin);
    } else {
      ticks_ += signed33(raw - last_);
    }
    last_ = raw;
    return ticks_ / 90;
  }

 private:
  static int64_t signed33(int64_t d) {
    d &= kPtsWrap - 1;
    return d >= kPtsWrap / 2 ? d - kPtsWrap : d;
  }
  bool set_ = false;
  int64_t last_ = 0, ticks_ = 0;
};

// A PES header at the start of payload p (n bytes): the offset of its data and its PTS (-1 none).
bool pes_header(const uint8_t* p, int32_t n, int32_t& dataAt, int64_t& pts) {
  if (n < 9 || p[0] != 0 || p[1] != 0 || p[2] != 1) return false;
  dataAt = 9 + p[8];
  pts = -1;
  if ((p[7] & 0x80) && n >= 14)
    pts = (int64_t(p[9] & 0x0E) << 29) | (int64_t(p[10]) << 22) | (int64_t(p[11] & 0xFE) << 14) |
          (int64_t(p[12]) << 7) | (p[13] >> 1);
  return dataAt <= n;
}

int32_t find_sequence_header(const uint8_t* p, int32_t n) {
  for (int32_t i = 0; i + 3 < n; ++i)
    if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && p[i + 3] == 0xB3) return i;
  return -1;
}


class Scan final : TableObserver, SilenceSink {
 public:
  explicit Scan(const CmScanRequest& request) : request_(request), silences_(*this) {
    tables_.SetObserver(this);
  }
  CmScanResult Run();

 private:
  void OnPmt(uint16_t program_number, uint8_t version_number, uint16_t pcr_pid, const PmtStreamEntry* streams,
             int count) override;
  void OnPresentEvent(uint16_t service_id, uint16_t event_id, uint64_t start_time, uint32_t duration) override;
  void OnSilence(const Silence& silence) override;
  bool ChooseService();
  void Packet(const uint8_t* packet, uint32_t pid, int64_t number);
  void Video(const uint8_t* packet, const uint8_t* payload, int32_t n, int64_t number);
  void Audio(const uint8_t* payload, int32_t n, bool unitStart);
  void Resolve(bool final);
  bool ResolveBoundary(CmBoundary& b, bool final);
  bool ResolveChange(TableChange& c, bool final);
  void Finish();

  const CmScanRequest& request_;
  CmScanResult result_;
  TableLayer tables_;
  AudioDecoder audio_;
  SilenceFinder silences_;
  KeyPictureRing ring_;
  std::vector<CmBoundary> pendingBoundaries_;
  std::vector<TableChange> pendingChanges_;
  int serviceChosen_ = 0;     // 0 not yet, 1 chosen, -1 the PAT lacks it
  uint16_t pcrPid_ = 0;
  int pmtVersion_ = -1;
  int eventId_ = -1;
  int32_t firstPcrPid_ = -1;
  int64_t firstPcr_ = 0;
  bool haveOrigin_ = false;
  int64_t origin_ = 0;        // PCR base of the recording's first PCR: time 0
  StampTrack pcrTrack_, videoTrack_, audioTrack_;
  int64_t nowMs_ = 0;         // the programme clock (its PCR)
  bool stopEarly_ = false;
};

bool Scan::ChooseService() {
  if (serviceChosen_ != 0) return serviceChosen_ == 1;
  const int t = tables_.currentTable();
  if (t < 0) return false;
  const ProgrammeTable& table = tables_.table(t);
  if (request_.programme < 1 || request_.programme > table.serviceCount) {
    serviceChosen_ = -1;
    result_.outcome = CmScanOutcome::NoProgramme;
    stopEarly_ = true;
    return false;
  }
  result_.serviceId = table.services[request_.programme - 1].serviceId;
  serviceChosen_ = 1;
  return true;
}

void Scan::OnPmt(uint16_t program_number, uint8_t version_number, uint16_t pcr_pid, const PmtStreamEntry* streams,
                 int count) {
  if (!ChooseService() || program_number != result_.serviceId) return;
  // Streams by their whole PMT entry, so that streams without ISDB's component tags are found:
  // the first video the picture decoder reads (else the first video, to name it), the first audio
  // the audio decoder reads (else the first audio, to name it).
  const PmtStreamEntry *video = nullptr, *unread = nullptr, *audio = nullptr, *unheard = nullptr;
  for (int i = 0; i < count; ++i) {
    const StreamKind& kind = streams[i].kind;
    if (kind.streamClass == StreamClass::Video && !video) (preview_reads(kind.codec) ? video : unread) = &streams[i];
    if (kind.streamClass != StreamClass::Audio || audio) continue;
    if (audio_coding_of(kind.codec) != AudioCoding::None) audio = &streams[i];
    else if (!unheard) unheard = &streams[i];
  }
  if (!audio) audio = unheard;
  pcrPid_ = pcr_pid;
  if (!video || !audio) {
    if (!video && unread) {
      result_.videoPid = unread->elementary_PID;
      result_.videoCodec = unread->kind.codec;
    }
    result_.outcome = !video ? (unread ? CmScanOutcome::UnreadVideo : CmScanOutcome::NoVideo) : CmScanOutcome::NoAudio;
    stopEarly_ = true;
    return;
  }
  if (audio->elementary_PID != result_.audioPid || audio->stream_type != result_.audioStreamType) {
    result_.audioStreamType = audio->stream_type;
    result_.audioCodec = audio->kind.codec;
    if (!audio_.Open(audio_coding_of(audio->kind.codec))) {
      result_.outcome = CmScanOutcome::UnknownAudio;
      stopEarly_ = true;
      return;
    }
  }
  result_.videoPid = video->elementary_PID;
  result_.videoCodec = video->kind.codec;
  result_.audioPid = audio->elementary_PID;
  if (pmtVersion_ >= 0 && version_number != pmtVersion_) {
    TableChange c;
    c.kind = TableChangeKind::PmtVersion;
    c.value = version_number;
    c.ms = nowMs_;
    pendingChanges_.push_back(c);
  }
  pmtVersion_ = version_number;
}

void Scan::OnPresentEvent(uint16_t service_id, uint16_t event_id, uint64_t, uint32_t) {
  if (!ChooseService() || service_id != result_.serviceId || event_id == eventId_) return;
  eventId_ = event_id;
  TableChange c;
  c.kind = TableChangeKind::PresentEvent;
  c.value = event_id;
  c.ms = nowMs_;
  pendingChanges_.push_back(c);
}

void Scan::OnSilence(const Silence& silence) {
  ++result_.silences;
  CmBoundary b;
  b.silence = silence;
  pendingBoundaries_.push_back(b);
  Resolve(false);
}

void Scan::Packet(const uint8_t* packet, uint32_t pid, int64_t number) {
  tables_.HandlePacket(packet, pid);
  if (ts_has_pcr(packet)) {
    const int64_t base = int64_t(ts_pcr(packet).base);
    // Time 0 is the recording's first PCR, as kerf measures it; PCRs come before the PMT that
    // names the programme's PCR PID, so the first one is kept until the PMT is known.
    if (firstPcrPid_ < 0) {
      firstPcrPid_ = int32_t(pid);
      firstPcr_ = base;
    }
    if (pid == pcrPid_) {
      if (!haveOrigin_) {
        haveOrigin_ = true;
        origin_ = firstPcrPid_ == int32_t(pid) ? firstPcr_ : base;
      }
      nowMs_ = pcrTrack_.Ms(origin_, base);
    }
  }
  if (!haveOrigin_ || (pid != result_.videoPid && pid != result_.audioPid)) return;
  const uint8_t* payload = nullptr;
  int32_t n = 0;
  if (!ts_video_payload(packet, kPacketSize, payload, n) || n <= 0) return;
  if (pid == result_.videoPid)
    Video(packet, payload, n, number);
  else
    Audio(payload, n, ts_unit_start(packet));
}

void Scan::Video(const uint8_t* packet, const uint8_t* payload, int32_t n, int64_t number) {
  if (!ts_unit_start(packet)) {
    ring_.Append(payload, n);
    return;
  }
  if (ring_.collecting()) {
    ring_.End();
    Resolve(false);
  }
  int32_t dataAt = 0;
  int64_t pts = -1;
  if (!pes_header(payload, n, dataAt, pts) || pts < 0) return;
  const int64_t ms = videoTrack_.Ms(origin_, pts);
  const int32_t k = find_sequence_header(payload + dataAt, n - dataAt);
  if (k < 0) return;
  ++result_.keyPictures;
  ring_.Begin(number, ms);
  ring_.Append(payload + dataAt + k, n - dataAt - k);
}

void Scan::Audio(const uint8_t* payload, int32_t n, bool unitStart) {
  if (unitStart) {
    int32_t dataAt = 0;
    int64_t pts = -1;
    if (!pes_header(payload, n, dataAt, pts)) return;
    if (pts >= 0) silences_.SetClock(audioTrack_.Ms(origin_, pts));
    payload += dataAt;
    n -= dataAt;
  }
  audio_.Feed(payload, size_t(n), silences_);
}

void Scan::Resolve(bool final) {
  size_t done = 0;
  while (done < pendingBoundaries_.size() && ResolveBoundary(pendingBoundaries_[done], final)) {
    result_.findings.boundaries.push_back(pendingBoundaries_[done]);
    ++done;
  }
  pendingBoundaries_.erase(pendingBoundaries_.begin(), pendingBoundaries_.begin() + long(done));
  done = 0;
  while (done < pendingChanges_.size() && ResolveChange(pendingChanges_[done], final)) {
    result_.findings.changes.push_back(pendingChanges_[done]);
    ++done;
  }
  pendingChanges_.erase(pendingChanges_.begin(), pendingChanges_.begin() + long(done));
}

bool Scan::ResolveBoundary(CmBoundary& b, bool final) {
  const int count = ring_.count();
  if (count == 0 || ring_.at(count - 1).ms < b.silence.endMs) {
    if (!final) return false;
    if (count == 0) return true;
  }
  int lo = -1, hi = count - 1;
  for (int i = 0; i < count; ++i)
    if (ring_.at(i).ms <= b.silence.startMs) lo = i;
  for (int i = count; i-- > 0;)
    if (ring_.at(i).ms >= b.silence.endMs) hi = i;
  b.change = -1;
  b.picture = CutPoint{ring_.at(hi).ms, ring_.at(hi).packet};
  // The pictures before the silence are gone (or never came); or the silence is too long to
  // bound a commercial, and decoding around it would be spent for nothing.
  if (lo < 0 || b.silence.lengthMs() > kMaxBoundarySilenceMs) return true;
  for (int i = lo; i < hi; ++i) {
    const KeyPicture& a = ring_.Decoded(i);
    const KeyPicture& z = ring_.Decoded(i + 1);
    if (!a.usable || !z.usable) continue;
    const float change = picture_change(a.signature, z.signature);
    if (change > b.change) {
      b.change = change;
      b.picture = CutPoint{z.ms, z.packet};
      b.earlier = CutPoint{a.ms, a.packet};
    }
  }
  return true;
}

bool Scan::ResolveChange(TableChange& c, bool final) {
  const int count = ring_.count();
  if (!final && (count == 0 || ring_.at(count - 1).ms < c.ms)) return false;
  for (int i = 0; i < count; ++i) {
    const KeyPicture& p = ring_.at(i);
    if (p.ms <= c.ms) c.before = CutPoint{p.ms, p.packet};
    if (p.ms >= c.ms && c.after.packet < 0) c.after = CutPoint{p.ms, p.packet};
  }
  return true;
}

void Scan::Finish() {
  ring_.End();
  audio_.Flush(silences_);
  silences_.Finish();
  Resolve(true);
  result_.findings.endMs = nowMs_;
  result_.decodes = ring_.decodes();
  result_.levels = silences_.windows();
  result_.audioErrors = audio_.errors();
}

CmScanResult Scan::Run() {
  RawFile file(request_.path.c_str(), "rb");
  if (!file.ok()) {
    result_.outcome = CmScanOutcome::CannotOpen;
    return result_;
  }
  const double size = path_file_size(request_.path.c_str());
  RawBlock block(kReadBlock);
  PacketReader reader(block.get(), PacketReaderConfig::Blocks(kReadBlock));
  reader.Begin(file.get());
  int64_t number = 0;
  while (const uint8_t* packet = reader.Next()) {
    number = int64_t(reader.position() / kPacketSize);
    Packet(packet, ts_pid(packet), number);
    if (stopEarly_) return result_;
    if ((number + 1) % kProgressPackets != 0) continue;
    if (request_.progress && size > 0) request_.progress->OnProgress(int(double(reader.position()) * 100 / size));
    if (request_.stop && request_.stop->load()) {
      result_.outcome = CmScanOutcome::Stopped;
      break;
    }
  }
  if (result_.outcome == CmScanOutcome::Done && reader.end() != TsReadEnd::EndOfFile)
    result_.outcome = CmScanOutcome::ReadError;
  result_.findings.packets = number + 1;
  Finish();
  if (result_.outcome == CmScanOutcome::Done && serviceChosen_ != 1) result_.outcome = CmScanOutcome::NoProgramme;
  if (result_.outcome == CmScanOutcome::Done && !result_.videoPid) result_.outcome = CmScanOutcome::NoVideo;
  return result_;
}

}  // namespace

CmScanResult CmScanRecording(const CmScanRequest& request) {
  auto scan = std::make_unique<Scan>(request);
  return scan->Run();
}

const char* cm_scan_outcome_text(CmScanOutcome outcome) {
  switch (outcome) {
    case CmScanOutcome::Done: return "done";
    case CmScanOutcome::Stopped: return "stopped";
    case CmScanOutcome::CannotOpen: return "cannot open the recording";
    case CmScanOutcome::ReadError: return "reading the recording failed (or its packet grid was lost)";
    case CmScanOutcome::NoProgramme: return "no PAT of the recording lists the programme asked for";
    case CmScanOutcome::NoVideo: return "the programme has no video";
    case CmScanOutcome::UnreadVideo: return "the programme's video is of a coding the picture decoder does not read";
    case CmScanOutcome::NoAudio: return "the programme has no audio";
    case CmScanOutcome::UnknownAudio: return "the programme's audio is of a coding the decoder does not know";
  }
  return "";
}
