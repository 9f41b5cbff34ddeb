// The console of a command-line program: UTF-8 output, whether a stream is a terminal, Ctrl-C.
#pragma once
#include <atomic>

// Makes standard output and standard error take UTF-8 bytes unchanged (Windows: UTF-8 console
// code page, binary mode; POSIX: nothing to do).
void console_use_utf8();
// True when standard error is a terminal (worth drawing a progress bar on).
bool console_stderr_is_terminal();
// The first Ctrl-C (SIGINT / console break) sets *flag instead of ending the process.
void console_on_interrupt(std::atomic<bool>* flag);
