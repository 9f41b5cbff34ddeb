// The operating system beyond the file layer: the program's path and folder, the system folder,
// file deletion, the process's command line, registered messages between processes, sleeping.
// Windows uses the W functions and converts the program's path text (CP932, or UTF-8 where the
// program chose it: common/win32_text.h) itself; POSIX emulates window messages with datagrams
// (see gui_link.h).
#pragma once
#include <cstddef>
#include <cstdint>

// Full path of the running program's file (Windows: GetModuleFileNameW in the path text, the 8.3
// short form when a name has no CP932 form in a CP932 program, so files beside the program can
// still be named; POSIX: /proc/self/exe). Empty when the system cannot tell.
const char* program_path();
// Folder of the running executable, ending in the path separator: program_path() up to its last
// separator ("./" or ".\\" when the path is unknown).
const char* program_folder();
// The system folder, without a separator at the end (Windows: GetSystemDirectoryW; POSIX: "/").
const char* system_folder();
// Deletes a file; a missing file is no error. true when the file is gone.
bool delete_file(const char* path);
// The process's whole command line as one text (Windows: GetCommandLineW in the path text; POSIX:
// argv joined with blanks, arguments that hold blanks or tabs or are empty put in double quotes;
// the arguments given to platform_set_args, else those of /proc/self/cmdline).
const char* command_line();
void platform_set_args(int argc, char** argv);
void sleep_ms(uint32_t ms);
// Milliseconds of a clock that only moves forward (not the time of day), for timeouts. <chrono>
// cannot be included under -fexec-charset=CP932 with g++ 12 (its "µs" has no CP932 form).
uint64_t monotonic_ms();
