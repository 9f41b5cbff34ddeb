// Starting another program from a command line, never waiting for it.
#pragma once
#include <string>
#include <vector>

// Starts the program named by the first token of a CP932 command line. hidden: no window
// (Windows: SW_HIDE; POSIX: standard input and output go to /dev/null); otherwise shown normally.
// true when the program was started.
bool start_process(const char* command_line_cp932, bool hidden);

// Splits a command line into arguments the way the tool reads its own: blanks and tabs separate;
// a token that begins with a double quote runs to the next double quote (or the end) and the scan
// continues right after it; other tokens run to the next blank or tab.
std::vector<std::string> split_command_line(const char* command_line);
