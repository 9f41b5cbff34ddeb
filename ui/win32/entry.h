// The Unicode entry point of a windowed program, forwarding to a function of the program.
#pragma once

#define KERF_WINDOWED_ENTRY(fn)                                              \
  int fn();                                                                  \
  extern "C" int __stdcall wWinMain(void*, void*, wchar_t*, int) { return fn(); }
