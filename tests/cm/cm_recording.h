// Test recordings for the commercial finder: a timeline of programme parts, sponsor credits and
// commercial units is rendered by ffmpeg (moving MPEG-2 pictures, AAC sound made here) and
// multiplexed with the stream builder into an ISDB recording with PAT, PMT and EIT present/
// following whose present event (and PMT version) changes where the timeline says.
#pragma once
#include <string>
#include <vector>

namespace cmrec {

enum class Part { Programme, Credit, Commercial };

struct Segment {
  Part part = Part::Programme;
  double seconds = 0;
  int event = 0;               // present event id while it runs
  double leadSilence = 0, tailSilence = 0;   // silence at its start and end (s)
  double pauseAt = -1, pauseLength = 0;       // a silent pause inside it: start (s from its start), length
};

struct Layout {
  std::vector<Segment> segments;
  int width = 320, height = 180, videoKbps = 400;
};

struct Recording {
  std::string path;
  double clockOffsetMs = 0;    // the recording clock (ms from its first PCR) at timeline 0
  std::vector<double> starts;  // timeline second at which each segment starts
  double seconds = 0;          // the timeline's length
};

// Renders and multiplexes layout into dir/name; throws std::runtime_error when ffmpeg fails.
Recording Build(const Layout& layout, const std::string& dir, const std::string& name);

// The present event of StandardLayout's programme (the one shown longest).
constexpr int kProgrammeEvent = 0x1001;

// The timeline of the tests: margins with breaks, a single-unit break after a sponsor credit, a
// programme part shorter than a minute, a silent pause, the present event changing at both ends.
// repeat > 1 appends further parts and breaks (15-, 30- and 60-s units) for a longer recording.
Layout StandardLayout(int repeat = 1);

}  // namespace cmrec
