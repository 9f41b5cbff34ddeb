// The one reader of the demux information format (MODE=, NAME=, SERVICE_ID=, PID= and comment
// lines): the tool's control file, the programme list of the cutter and of kerf, and the
// programme block a cut copies all read through it. Where their readers differ, the difference is
// a rule of InfoReadRules, not a reader of its own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/raw_file.h"

constexpr size_t kControlLineMax = 1023;   // the tool's read: bytes of one line, the line feed included
constexpr size_t kLinePieceMax = 254;      // the cutter's read of the same files

struct InfoReadRules {
  // Bytes of one read, the line feed included: a longer line comes in pieces, each counted and
  // classified as a line of its own (fgets into a buffer one byte larger).
  size_t pieceMax = kControlLineMax;
  // Key letters compared without regard to case ("pid=" is a PID line), as the cutter reads; the
  // tool compares them exactly and takes such a line for an error.
  bool keysIgnoreCase = false;
};

// The cutter's rules: pieces of kLinePieceMax, keys in any case.
constexpr InfoReadRules kCutterReadRules{kLinePieceMax, true};

enum class InfoLineKind { Empty, Comment, Mode, Name, ServiceId, Pid, Other };

struct InfoLine {
  InfoLineKind kind = InfoLineKind::Empty;
  int number = 0;              // 1-based, counting pieces
  const char* text = "";       // the piece without its line end
  const char* value = "";      // the text after the key (the whole text for the kinds without one)
};

// Lines in order, from text in memory or from an open file (read ahead in blocks, CR LF folded to
// LF as a text-mode read gives them). The InfoLine texts stay valid until the next call of Next.
class InfoFileReader {
 public:
  InfoFileReader(const char* text, size_t length, const InfoReadRules& rules = {});
  InfoFileReader(RawHandle file, const InfoReadRules& rules = {});
  InfoFileReader(const InfoFileReader&) = delete;
  InfoFileReader& operator=(const InfoFileReader&) = delete;

  // The next line; false at the end of the input.
  bool Next(InfoLine& line);

 private:
  int Byte();      // the next byte after CR LF folding, -1 at the end
  int RawByte();

  InfoReadRules rules_;
  RawHandle file_ = kInvalidRawHandle;
  const uint8_t* at_ = nullptr;
  const uint8_t* end_ = nullptr;
  bool eof_ = false;
  int pending_ = -1;
  int number_ = 0;
  char line_[kControlLineMax + 1];
  uint8_t block_[16384];   // read-ahead; such a file is read once per run
};

// A PID line's value: the first piece between the separators " ,\t\n" read as hexadecimal (the
// way "%X" reads), and the piece after it, which names the stream ("PAT", "V", ...).
struct PidLineValue {
  bool hasPid = false;
  uint32_t pid = 0;
  std::string_view classText;   // empty when there is no second piece
};
PidLineValue read_pid_value(const char* value);

// Reads hexadecimal the way "%X" does: leading blanks, an optional sign, an optional 0x prefix,
// then digits (wrapping at 32 bits). Returns 1 and sets value when at least one digit was read,
// else 0 and leaves value alone.
int read_hex(const char* text, uint32_t& value);
