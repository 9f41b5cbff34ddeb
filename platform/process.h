// Starting another program from a command line: never waiting for it, or watching it to its end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Starts the program named by the first token of a CP932 command line. hidden: no window
// (Windows: SW_HIDE; POSIX: standard input and output go to /dev/null); otherwise shown normally.
// true when the program was started.
bool start_process(const char* command_line_cp932, bool hidden);

// For tests that must see what a program would start without starting a desktop program: while a
// handler is set, start_process calls it instead and gives its result back; while an observer is
// set, it sees the command line of every WatchedProcess start (the start itself goes on). nullptr
// (an empty function) restores the system's behaviour.
using StartProcessHandler = std::function<bool(const char* command_line_cp932, bool hidden)>;
void set_start_process_handler(StartProcessHandler handler);
using WatchedStartObserver = std::function<void(const char* command_line_cp932)>;
void set_watched_start_observer(WatchedStartObserver observer);

// A program started hidden and watched to its end: its standard output and error go to an
// unnamed temporary file (not a pipe, so the program can neither stall on a full pipe nor be ended
// by one nobody reads any more), and its exit status is taken once it has ended. Giving the object
// up while the program runs leaves the program to finish on its own.
class WatchedProcess {
 public:
  // What is kept of the program's output: its messages, with room to spare.
  static constexpr size_t kOutputMax = 65536;

  WatchedProcess() = default;
  ~WatchedProcess();
  WatchedProcess(const WatchedProcess&) = delete;
  WatchedProcess& operator=(const WatchedProcess&) = delete;

  // Starts the program named by the first token of the CP932 command line, without a window and
  // with no standard input. false when it could not be started.
  bool Start(const char* command_line_cp932);
  // true while the started program runs; false once it has ended, or when none was started.
  bool Running();
  // Once the program has ended: its exit code (POSIX: 128 + the signal number when a signal ended
  // it) and the first kOutputMax bytes it wrote, as written.
  int exitStatus() const { return exitStatus_; }
  const std::string& output() const { return output_; }

 private:
  void Finish(int status);

  intptr_t process_ = -1;     // pid on POSIX, the process handle on Windows
  intptr_t outputFile_ = -1;  // descriptor on POSIX, file handle on Windows
  int exitStatus_ = -1;
  std::string output_;
};
