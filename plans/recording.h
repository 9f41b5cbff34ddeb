// A recording as every command sees it: its size, its packet count and its PCR measurement, and
// positions in it as a person writes them (a time or a packet number) turned into packet numbers
// as the cutter's fields turn them.
#pragma once
#include <cstdint>
#include <string>

#include "common/message_sink.h"
#include "core/input_measure.h"
#include "plans/outcome.h"

// A position as a person wrote it: a time ("hh:mm:ss.sss", the time-field syntax) or a packet
// number ("p:" and hexadecimal digits).
struct Position {
  bool isPacket = false;
  int32_t ms = 0;
  int32_t packet = 0;
};
// False when text is neither form.
bool parse_position(const std::string& text, Position& position);

struct Recording {
  std::string path;
  double size = 0;
  int32_t packets = 0;          // whole packets: trunc(size / kPacketSize)
  int32_t method = kMethodAutomatic;
  bool measured = false;        // the PCR measurement succeeded
  InputMeasurement m;
  int32_t bitrate = 0;          // from the total time, as the cutter shows it

  // A position as a packet number: times are lowered to the total time and converted by
  // proportion; packet numbers that are negative or beyond the file become the packet count.
  int32_t ToPacket(const Position& p) const;
  int32_t ToMs(int32_t packet) const;
};

// An InputError unless path names a file that holds a transport stream: not a folder, and a run
// of sync bytes one packet apart in its first MiB (an empty file, a picture or a text has none).
CommandError check_transport_stream(const std::string& path);

// Measures the recording at path with the total-time method. A recording without PCRs is
// measured as the cutter measures it (total 0), the reason and what follows from it going to
// notes once, in English; a path the demux engine cannot take, a missing file, a folder, one that
// cannot be opened or one that holds no transport stream is an InputError.
CommandError OpenRecording(const std::string& path, int32_t method, MessageSink& notes, Recording& rec);
