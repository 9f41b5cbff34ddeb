// Reading the demux information format line by line (see info_file_reader.h).
#include "demux/info_file_reader.h"

#include <cstring>

#include "common/ascii.h"

namespace {

constexpr char kSeparators[] = " ,\t\n";

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct Key {
  const char* text;
  InfoLineKind kind;
};
constexpr Key kKeys[] = {{"NAME=", InfoLineKind::Name},
                         {"SERVICE_ID=", InfoLineKind::ServiceId},
                         {"PID=", InfoLineKind::Pid},
                         {"MODE=", InfoLineKind::Mode}};

}  // namespace

int read_hex(const char* text, uint32_t& value) {
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hex_digit(p[2]) >= 0) p += 2;
  if (hex_digit(*p) < 0) return 0;
  uint32_t v = 0;
  for (int d; (d = hex_digit(*p)) >= 0; ++p) v = (v << 4) | uint32_t(d);
  value = negative ? 0u - v : v;
  return 1;
}

PidLineValue read_pid_value(const char* value) {
  PidLineValue out;
  const char* piece = value + std::strspn(value, kSeparators);
  const size_t length = std::strcspn(piece, kSeparators);
  if (length > 0) {
    char digits[kControlLineMax + 1];
    std::memcpy(digits, piece, length);
    digits[length] = '\0';
    out.hasPid = read_hex(digits, out.pid) != 0;
  }
  const char* next = piece + length;
  next += std::strspn(next, kSeparators);
  out.classText = std::string_view(next, std::strcspn(next, kSeparators));
  return out;
}

InfoFileReader::InfoFileReader(const char* text, size_t length, const InfoReadRules& rules)
    : rules_(rules),
      at_(reinterpret_cast<const uint8_t*>(text)),
      end_(reinterpret_cast<const uint8_t*>(text) + length),
      eof_(true) {}

InfoFileReader::InfoFileReader(RawHandle file, const InfoReadRules& rules)
    : rules_(rules), file_(file) {}

int InfoFileReader::RawByte() {
  if (at_ == end_) {
    if (eof_) return -1;
    const size_t got = raw_read(block_, 1, sizeof block_, file_);
    if (got < sizeof block_) eof_ = true;
    at_ = block_;
    end_ = block_ + got;
    if (got == 0) return -1;
  }
  return *at_++;
}

int InfoFileReader::Byte() {
  int c = pending_ >= 0 ? pending_ : RawByte();
  pending_ = -1;
  if (c == '\r') {
    const int d = RawByte();
    if (d == '\n') return '\n';
    pending_ = d;
  }
  return c;
}

bool InfoFileReader::Next(InfoLine& line) {
  const size_t max = rules_.pieceMax < kControlLineMax ? rules_.pieceMax : kControlLineMax;
  size_t n = 0;
  while (n < max) {
    const int c = Byte();
    if (c < 0) break;
    line_[n++] = char(c);
    if (c == '\n') break;
  }
  if (n == 0) return false;
  line_[n] = '\0';
  n = std::strlen(line_);   // a NUL byte ends the text, as it ends a C string read with fgets
  if (n > 0 && line_[n - 1] == '\n') {
    line_[--n] = '\0';
    if (n > 0 && line_[n - 1] == '\r') line_[--n] = '\0';
  }
  line.number = ++number_;
  line.text = line_;
  line.value = line_;
  if (n == 0) {
    line.kind = InfoLineKind::Empty;
  } else if (starts_with(line_, "//", false) || line_[0] == ';') {
    line.kind = InfoLineKind::Comment;
  } else {
    line.kind = InfoLineKind::Other;
    for (const Key& key : kKeys) {
      if (starts_with(line_, key.text, rules_.keysIgnoreCase)) {
        line.kind = key.kind;
        line.value = line_ + std::strlen(key.text);
        break;
      }
    }
  }
  return true;
}
