// The console of a command-line program: UTF-8 output, whether a stream is a terminal, Ctrl-C.
#pragma once
#include <atomic>
#include <string>

// Makes standard output and standard error take UTF-8 text (POSIX: nothing to do). Windows: a file
// or pipe gets the bytes unchanged (binary mode); a console gets the characters through
// WriteConsoleW, whatever its code page, the text reaching it in the order printed.
void console_use_utf8();
// Makes standard output take bytes unchanged (Windows: binary mode, so a line feed stays one
// byte; POSIX: nothing to do). The demux tool's lines are Shift-JIS ending in a line feed.
void console_binary_output();
// A path held in the program's path text, as UTF-8 for the terminal: code page 932 converted on
// Windows in a program that keeps CP932; UTF-8 paths (kerf) and POSIX paths are as they are.
std::string console_path_text(const std::string& path);
// True when standard error is a terminal (worth drawing a progress bar on).
bool console_stderr_is_terminal();
// The first Ctrl-C (SIGINT / console break) sets *flag instead of ending the process.
void console_on_interrupt(std::atomic<bool>* flag);
