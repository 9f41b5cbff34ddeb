// Opening a document the way the desktop does (help pages, text files).
#pragma once
#include <cstdint>

// Opens the file with the desktop's default action (Windows: ShellExecuteW; POSIX: xdg-open),
// never waiting; failure is ignored. owner: the window the shell may place its messages over (0
// for none).
void shell_open(uintptr_t owner, const char* path);

// Replaces the opening for the rest of the process (tests that must not start a browser record
// the request instead); nullptr restores the desktop's.
using ShellOpenHandler = void (*)(uintptr_t owner, const char* path);
void set_shell_open_handler(ShellOpenHandler handler);
