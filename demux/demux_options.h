// Command line of the demux tool: the fixed 1024-byte copy cut into tokens in place (by the one
// splitting rule of common/command_line.h) and the option parser with its checks. Both are pure:
// they print nothing themselves and report a message id.
#pragma once
#include <cstddef>
#include <cstdint>
#include "common/path.h"
#include "demux/demux_host.h"

constexpr size_t kCommandLineCopy = 1024;   // the copy the tokens live in, terminator included
constexpr int kMaxTokens = 16;              // later text on the line is ignored

// Tokens cut in place from a copy of the process's command line. Slots past count point to "".
struct CommandLineStore {
  char text[kCommandLineCopy] = {};
  const char* tokens[kMaxTokens] = {};
  int count = 0;
};

// Splits line into store, at most kMaxTokens tokens. 0 on success, 1 when the line does not fit
// the copy (store then holds no tokens).
int SplitCommandLine(const char* line, CommandLineStore& store);

// The run options, as the caller's command line sets them.
struct DemuxOptions {
  uint32_t callerWindow = 0;       // 0 until parsing starts, kNoCallerWindow while -h: is absent
  int inputIndex = 0;              // token index of the input path, 0 = none
  int positionalCount = 0;
  int32_t startPacket = -1;        // -1 = not given
  int32_t endPacket = -1;          // -1 = not given (open end)
  bool infoOutput = false;         // -i: or -i1:
  bool firstProgrammeOnly = false; // -i1:
  char infoPath[kPathBuffer] = {};
  bool controlMode = false;        // -d: or -d1:
  bool keepNetworkEntry = false;   // -d1:
  char controlPath[kPathBuffer] = {};
  bool excludeEcmAndData = false;  // -x
  const char* inputPath = "";      // points into the command-line store
};

enum class OptionError {
  None,
  SurplusArgument,
  BadStart,
  BadEnd,
  InfoTwice,
  ControlTwice,
  UnknownOption,
  InfoAndControl,
  NoInput,
  NoCallerWindow,
};

// Parses tokens 1..count-1 into options, first failure ends the parse. programFolder is prefixed
// to the -i/-d file names. Sets callerWindow to kNoCallerWindow before the first token.
OptionError ParseOptions(const CommandLineStore& store, const char* programFolder,
                         DemuxOptions& options);

// The tool's text for an option failure (Shift-JIS, ending in a line feed).
const char* OptionErrorText(OptionError error);
