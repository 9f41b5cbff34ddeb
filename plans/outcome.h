// How one of kerf's commands ends, and why when it fails: a typed value that each front end turns
// into its own form (an exit status and a line on standard error, an HTTP answer).
#pragma once
#include <string>

enum class Outcome {
  Done,          // the work was done
  BadRequest,    // a value of the request has the wrong form (an option's text, a path's length)
  Refused,       // the request is well formed but cannot be done (a start after its end, overlaps)
  InputError,    // the recording, or a file the request names for reading, cannot be used
  OutputError,   // an output cannot be written, or would replace the recording or an existing file
  Stopped,       // the stop flag ended the work; what was done stands
};

struct CommandError {
  Outcome outcome = Outcome::Done;
  // For a person: ASCII text with paths as they were given (the platform's encoding). Empty when
  // the reason was already reported through the command's message sink.
  std::string message;

  explicit operator bool() const { return outcome != Outcome::Done; }
};

// A CommandError with a printf-formatted message.
CommandError command_error(Outcome outcome, const char* format, ...) __attribute__((format(printf, 2, 3)));
