// Recordings and positions (see recording.h).
#include "plans/recording.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "common/path.h"
#include "common/raw_file.h"
#include "common/timefmt.h"
#include "common/ts_packet.h"

namespace {

// A transport stream shows itself by sync bytes one packet apart: a run of this many (fewer
// where the file ends sooner) starting in the first MiB.
constexpr size_t kSyncSearchBytes = size_t(1) << 20;
constexpr size_t kSyncRunPackets = 5;
constexpr size_t kNoRun = size_t(-1);

// Where the first run of sync bytes `step` bytes apart starts, or kNoRun.
size_t sync_run_start(const uint8_t* bytes, size_t length, size_t step) {
  for (size_t start = 0; start < length && start < kSyncSearchBytes; ++start) {
    if (bytes[start] != kSyncByte) continue;
    const size_t whole = (length - start) / step;
    if (whole == 0) return kNoRun;   // no later start holds a whole packet either
    const size_t run = whole < kSyncRunPackets ? whole : kSyncRunPackets;
    size_t k = 1;
    while (k < run && bytes[start + k * step] == kSyncByte) ++k;
    if (k == run) return start;
  }
  return kNoRun;
}

// Transport streams in other packet sizes, which kerf does not read: each 188-byte packet with
// something added. Such a stream is told by its grid starting before any 188-byte one.
struct OtherPacketSize {
  size_t size;
  const char* what;
};
constexpr OtherPacketSize kOtherPacketSizes[] = {
    {192, "a 4-byte time stamp before each 188-byte packet, as on Blu-ray discs"},
    {204, "16 bytes of Reed-Solomon parity after each 188-byte packet"},
};

class QuietSink : public MessageSink {
 public:
  bool Report(MessageKind, const char*) override { return true; }
};

// Why the PCRs could not be measured, in kerf's words.
std::string measure_failure_text(const PcrScanner& scanner, int32_t packets) {
  if (scanner.failure() == MeasureFailure::NoPcr)
    return packets <= 2 * kPcrWindowPackets
               ? "no PCR found in the " + std::to_string(packets) + " packets of the file"
               : "no PCR found in the first or the last " + std::to_string(kPcrWindowPackets) + " packets";
  const int code = scanner.failureCode();
  return std::string("the PCRs could not be read: ") +
         (code == kScanSyncLimit  ? "too many packets without a sync byte"
          : code == kScanNoResync ? "the packet grid was lost for good"
                                  : "reading the recording failed");
}

}  // namespace

bool parse_position(const std::string& text, Position& position) {
  position = Position{};
  if (text.rfind("p:", 0) == 0 || text.rfind("P:", 0) == 0) {
    const std::string digits = text.substr(2);
    if (digits.empty() || digits.size() > 8 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return false;
    position.isPacket = true;
    position.packet = int32_t(uint32_t(std::stoul(digits, nullptr, 16)));
    return true;
  }
  // The time-field syntax: up to four numbers separated by runs of " :.,".
  if (text.empty() || text.find_first_not_of("0123456789 :.,") != std::string::npos ||
      text.find_first_of("0123456789") == std::string::npos)
    return false;
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  position.ms = text_to_ms(buf.data());
  return true;
}

int32_t Recording::ToPacket(const Position& p) const {
  if (p.isPacket) return p.packet < 0 || p.packet > packets ? packets : p.packet;
  const int32_t t = p.ms > m.totalMs ? m.totalMs : p.ms;
  return ms_to_packet(t, size, m.totalMs, kPacketSize);
}

int32_t Recording::ToMs(int32_t packet) const {
  return packet_to_ms(packet, size, m.totalMs, kPacketSize);
}

CommandError check_transport_stream(const std::string& path) {
  if (path_is_folder(path.c_str())) return command_error(Outcome::InputError, "a folder, not a recording: %s", path.c_str());
  if (!path_exists(path.c_str())) return command_error(Outcome::InputError, "no such file: %s", path.c_str());
  RawFile file(path.c_str(), "rb");
  if (!file.ok()) return command_error(Outcome::InputError, "cannot open %s", path.c_str());
  std::vector<uint8_t> head(kSyncSearchBytes + kSyncRunPackets * kPacketSize);
  const size_t got = raw_read(head.data(), 1, head.size(), file.get());
  const size_t start = sync_run_start(head.data(), got, kPacketSize);
  for (const OtherPacketSize& other : kOtherPacketSizes) {
    if (sync_run_start(head.data(), got, other.size) < start)
      return command_error(Outcome::InputError, "%s holds %d-byte packets (%s); kerf reads 188-byte packets only",
                           path.c_str(), int(other.size), other.what);
  }
  if (start == kNoRun)
    return command_error(Outcome::InputError, "not an MPEG transport stream: %s", path.c_str());
  return {};
}

CommandError OpenRecording(const std::string& path, int32_t method, MessageSink& notes, Recording& rec) {
  rec = Recording{};
  rec.path = path;
  rec.method = method;
  if (path.size() > kPathMax)
    return command_error(Outcome::InputError, "the path is longer than %d bytes: %s", int(kPathMax), path.c_str());
  if (path.find('"') != std::string::npos)
    return command_error(Outcome::InputError, "a path with a double quote cannot be handed to the demux engine");
  if (CommandError notStream = check_transport_stream(path)) return notStream;
  rec.size = path_file_size(path.c_str());
  rec.packets = int32_t(rec.size / kPacketSize);
  std::unique_ptr<uint8_t[]> readBuffer(new uint8_t[kCutterReadBufferSize]);
  PcrScanner scanner(readBuffer.get(), kPacketSize);
  // The measurement reports in the window program's words; its typed reason is said here instead.
  QuietSink quiet;
  rec.measured = scanner.MeasureInput(path.c_str(), rec.size, method, quiet) == 0;
  rec.m = scanner.result();
  rec.bitrate = total_to_bitrate(rec.m.totalMs, rec.size);
  switch (scanner.failure()) {
    case MeasureFailure::None: break;
    case MeasureFailure::Missing: return command_error(Outcome::InputError, "no such file: %s", path.c_str());
    case MeasureFailure::CannotOpen: return command_error(Outcome::InputError, "cannot open %s", path.c_str());
    case MeasureFailure::ReadError:
    case MeasureFailure::NoPcr: {
      // A recording without PCRs is still one: it is measured as the cutter measures it (total 0).
      char note[256];
      std::snprintf(note, sizeof note,
                    "%s: the total time is taken as 0, so every time given means packet 0; give positions as "
                    "packet numbers (p:hex)",
                    measure_failure_text(scanner, rec.packets).c_str());
      notes.Report(MessageKind::Information, note);
      break;
    }
  }
  return {};
}
