// What every kerf command shares on the command line: options, exit statuses, the progress bar,
// messages on standard error, and a recording measured with its reasons reported.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/kerf_args.h"
#include "common/message_sink.h"
#include "plans/outcome.h"
#include "plans/recording.h"

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

// A progress bar on stderr, drawn only on a terminal.
class TerminalBar {
 public:
  // Shows the bar only when shown is true and stderr is a terminal.
  explicit TerminalBar(bool shown = false);
  void Show(bool shown);
  // Per cent of the whole.
  void Draw(int percent);
  // Ends the bar's line (when one was drawn).
  void End();

 private:
  bool shown_ = false;
  int last_ = -1;
};

// kerf's own messages from the shared logic (in English): lines on standard error, each opened by
// "kerf: " as kerf's errors are.
class StderrSink : public MessageSink {
 public:
  bool Report(MessageKind kind, const char* text) override;
};

// The option name's position (absent: fallback) as a packet number of rec; false with error set
// when its text is no position.
bool position_of(const Args& args, const char* name, const Recording& rec, int32_t fallback,
                 int32_t& packet, std::string& error);
// The option name's position, absent when the option is not given; false with error set when its
// text is no position.
bool optional_position(const Args& args, const char* name, std::optional<Position>& position, std::string& error);

// Measures path (see OpenRecording), the measurement's reasons on stderr. kExitOk, or kExitInput
// after printing why the file cannot be used.
int open_recording(const std::string& path, int32_t method, Recording& rec);

// The exit status of an outcome.
int exit_status(Outcome outcome);
// Prints error ("kerf: " and its message; a BadRequest with the command's help, as a usage
// error) and returns its exit status.
int report_error(const CommandError& error, const char* help);
