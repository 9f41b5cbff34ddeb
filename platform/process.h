// Starting another program from a command line, never waiting for it.
#pragma once

// Starts the program named by the first token of a CP932 command line. hidden: no window
// (Windows: SW_HIDE; POSIX: standard input and output go to /dev/null); otherwise shown normally.
// true when the program was started.
bool start_process(const char* command_line_cp932, bool hidden);
