// The entry point of a console program, forwarding its arguments to fn (an int function taking
// const std::vector<std::string>&, declared before the macro): wmain on Windows, with the
// arguments in code page 932 (a character without a CP932 form becomes '?'); main elsewhere,
// where the arguments also go to platform/. UTF8_CONSOLE_PROGRAM_ENTRY is the same for a program
// that keeps its paths in UTF-8 (common/win32_text.h): on Windows the arguments are the system's
// UTF-16 in UTF-8, every character kept.
#pragma once
#include <string>
#include <vector>

#ifdef _WIN32
#include "common/win32_text.h"
#define CONSOLE_PROGRAM_ENTRY(fn)                                 \
  int wmain(int argc, wchar_t** argv) {                           \
    std::vector<std::string> args(static_cast<size_t>(argc));     \
    for (int i = 0; i < argc; ++i) wide_to_cp932(argv[i], args[static_cast<size_t>(i)]); \
    return fn(args);                                              \
  }
#define UTF8_CONSOLE_PROGRAM_ENTRY(fn)                            \
  int wmain(int argc, wchar_t** argv) {                           \
    use_path_text(PathText::Utf8);                                \
    std::vector<std::string> args(static_cast<size_t>(argc));     \
    for (int i = 0; i < argc; ++i) args[static_cast<size_t>(i)] = wide_to_utf8(argv[i]); \
    return fn(args);                                              \
  }
#else
#include "platform/platform.h"
#define CONSOLE_PROGRAM_ENTRY(fn)                                 \
  int main(int argc, char** argv) {                               \
    platform_set_args(argc, argv);                                \
    return fn(std::vector<std::string>(argv, argv + argc));       \
  }
#define UTF8_CONSOLE_PROGRAM_ENTRY(fn) CONSOLE_PROGRAM_ENTRY(fn)
#endif
