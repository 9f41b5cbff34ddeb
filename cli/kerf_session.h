// What every kerf command does with a recording: measure it, turn positions into packet numbers
// as the cutter's fields do, and run the demux engine in-process in a private work folder.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/kerf_args.h"
#include "common/message_sink.h"
#include "core/programme_list.h"
#include "core/input_measure.h"
#include "demux/demux_engine.h"

// Exit statuses of kerf.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitInput = 3;
constexpr int kExitOutput = 4;
constexpr int kExitStopped = 5;

// The usage error: the message and the command's help on stderr, status kExitUsage.
int usage_error(const std::string& message, const char* help);
// A time as the cutter shows it ("hh:mm:ss.sss").
std::string ms_text(int32_t ms);
// A whole number in the given base, all of text, 0..7FFFFFFF; false for anything else.
bool read_number(const std::string& text, int base, int& value);
// --method 1|2|3 as the measurement's method; -1 when the text is none of them.
int32_t method_of(const Args& args);

// The start of every command over one recording: its options parsed, --help answered, one FILE
// (args.positional[0]), --method read into method. -1 to go on, otherwise the status to exit with.
int begin_command(const std::vector<std::string>& argv, const ArgDesc& desc, const char* help, Args& args,
                  int32_t& method);

// A progress bar on stderr, drawn only on a terminal; a run of several parts fills one bar.
class TerminalBar {
 public:
  // Shows the bar only when shown is true and stderr is a terminal.
  explicit TerminalBar(bool shown = false);
  void Show(bool shown);
  // The part of the bar that the next percentages fill, from..to of the whole.
  void Part(int from, int to) {
    from_ = from;
    to_ = to;
  }
  // Per cent of the current part.
  void Draw(int percent);
  // Ends the bar's line (when one was drawn).
  void End();

 private:
  bool shown_ = false;
  int from_ = 0, to_ = 100;
  int last_ = -1;
};

// Messages of the shared logic go to standard error as UTF-8 lines.
class StderrSink : public MessageSink {
 public:
  bool Report(MessageKind kind, const char* text) override;
};

// A position as the user wrote it: a time ("hh:mm:ss.sss", the time-field syntax) or a packet
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
// The option name's position as a packet number of rec, fallback when it is not given; false
// with error set when its text is no position.
bool position_of(const Args& args, const char* name, const Recording& rec, int32_t fallback,
                 int32_t& packet, std::string& error);

// Measures path. kExitOk, or kExitInput after printing why the file cannot be used. A recording
// without PCRs is measured as the cutter measures it (total 0), with the reason on stderr.
int open_recording(const std::string& path, int32_t method, Recording& rec);

// The demux engine in a private work folder (removed at the end), fed through an in-process host.
class Engine {
 public:
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  bool ok() const { return !folder_.empty(); }
  // ok(), or false after saying on stderr that there is no work folder.
  bool Ready() const;
  // The work folder, ending in the path separator.
  const std::string& folder() const { return folder_; }

  // Runs job in-process; its request path names a file of the work folder or the user's own.
  // bar (may be null) shows the run's progress in its current part. The outcome decides; the
  // printed text is for the user.
  DemuxResult Run(const DemuxJob& job, TerminalBar* bar);
  // Shift-JIS text the engine printed in its last run (messages and summary).
  const std::string& printed() const;

 private:
  std::string folder_;
  std::unique_ptr<class EngineHost> host_;
  std::unique_ptr<DemuxEngine> engine_;
};

// Runs the programme analysis over the scan window from first, as the cutter does, and reads the
// structure file it writes in the work folder (an empty list when the run wrote none).
ProgrammeStructure analyse(Engine& engine, const Recording& rec, int32_t first);
// The first video entry of programme (0: of any programme), or null after saying on stderr that
// the analysis from listAt found none; what names the asking option in the message ("" for none).
const VideoEntry* programme_video(const std::vector<VideoEntry>& videos, int programme, int32_t listAt,
                                  const char* what = "");
