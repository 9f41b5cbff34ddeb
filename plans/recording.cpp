// Recordings and positions (see recording.h).
#include "plans/recording.h"

#include <memory>
#include <vector>

#include "common/path.h"
#include "common/raw_file.h"
#include "common/timefmt.h"
#include "common/ts_packet.h"

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

CommandError OpenRecording(const std::string& path, int32_t method, MessageSink& notes, Recording& rec) {
  rec = Recording{};
  rec.path = path;
  rec.method = method;
  if (path.size() > kPathMax)
    return command_error(Outcome::InputError, "the path is longer than %d bytes: %s", int(kPathMax), path.c_str());
  if (path.find('"') != std::string::npos)
    return command_error(Outcome::InputError, "a path with a double quote cannot be handed to the demux engine");
  if (!path_exists(path.c_str())) return command_error(Outcome::InputError, "no such file: %s", path.c_str());
  rec.size = path_file_size(path.c_str());
  rec.packets = int32_t(rec.size / kPacketSize);
  std::unique_ptr<uint8_t[]> readBuffer(new uint8_t[kCutterReadBufferSize]);
  PcrScanner scanner(readBuffer.get(), kPacketSize);
  rec.measured = scanner.MeasureInput(path.c_str(), rec.size, method, notes) == 0;
  rec.m = scanner.result();
  rec.bitrate = total_to_bitrate(rec.m.totalMs, rec.size);
  // A file that cannot be opened is no recording (the measurement said why); one without PCRs
  // still is (total 0).
  if (!RawFile(path.c_str(), "rb").ok()) return CommandError{Outcome::InputError, ""};
  return {};
}
