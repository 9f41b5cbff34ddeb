// The entry point of a windowed program, forwarding to a function of the program: the Unicode
// wWinMain on Windows, main elsewhere (where the program's arguments go to platform/).
#pragma once

#ifdef _WIN32
#define UI_PROGRAM_ENTRY(fn)                                                 \
  int fn();                                                                  \
  extern "C" int __stdcall wWinMain(void*, void*, wchar_t*, int) { return fn(); }
#else
#include "platform/platform.h"
#define UI_PROGRAM_ENTRY(fn)            \
  int fn();                             \
  int main(int argc, char** argv) {     \
    platform_set_args(argc, argv);      \
    return fn();                        \
  }
#endif
