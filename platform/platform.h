// The operating system beyond files: the program folder, the process's command line, registered
// messages between processes, sleeping. Windows uses the W functions and converts CP932 itself;
// POSIX emulates window messages with datagrams (see gui_link.h).
#pragma once
#include <cstddef>
#include <cstdint>

// Folder of the running executable, ending in the path separator (CP932 on Windows).
const char* program_folder();
// The process's whole command line as one CP932 text (Windows: GetCommandLineW converted; POSIX:
// argv joined with blanks, arguments that hold blanks or tabs or are empty put in double quotes;
// the arguments given to platform_set_args, else those of /proc/self/cmdline).
const char* command_line();
void platform_set_args(int argc, char** argv);
void sleep_ms(uint32_t ms);
// Milliseconds of a clock that only moves forward (not the time of day), for timeouts. <chrono>
// cannot be included under -fexec-charset=CP932 with g++ 12 (its "µs" has no CP932 form).
uint64_t monotonic_ms();
