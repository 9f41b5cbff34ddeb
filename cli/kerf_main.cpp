// kerf: the cutter's whole job from the command line — measure a recording, list its programmes,
// cut stretches (whole or one programme), list where pictures can be cut, and write the preview
// picture at a position.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/kerf_commands.h"
#include "cli/kerf_session.h"
#include "platform/console.h"

#include "platform/console_entry.h"

namespace {

const char kUsage[] =
    "usage: kerf <command> [options]\n"
    "\n"
    "commands:\n"
    "  info FILE    measure a recording and list its programmes\n"
    "  cut FILE     cut stretches of a recording, whole or one programme\n"
    "  scan FILE    list the sequence headers of a programme's video (where cuts can start)\n"
    "  frame FILE   write the preview picture at a position as a BMP file\n"
    "  serve        serve the cutter to a browser (Linux)\n"
    "  cm FILE      find the commercial breaks and the programme's stretches\n"
    "\n"
    "Positions are times (hh:mm:ss.sss; 1:2:3 is 01:02:03.000, the fourth number counts\n"
    "milliseconds) or packet numbers (p: and hexadecimal digits, e.g. p:1A2B). Times convert to\n"
    "packets in proportion to the total time, as in the cutter's window.\n"
    "\n"
    "kerf <command> --help tells more; kerf --version tells the version.\n"
    "Exit status: 0 done, 2 usage, 3 input, 4 output, 5 stopped.\n";

int Main(const std::vector<std::string>& argv) {
  console_use_utf8();
  if (argv.size() < 2 || argv[1] == "--help" || argv[1] == "-h" || argv[1] == "help") {
    std::fputs(kUsage, argv.size() < 2 ? stderr : stdout);
    return argv.size() < 2 ? kExitUsage : kExitOk;
  }
  const std::string& command = argv[1];
  if (command == "--version") {
    std::printf("kerf %s\n", KERF_VERSION);
    return kExitOk;
  }
  if (command == "info") return Info(argv);
  if (command == "cut") return Cut(argv);
  if (command == "scan") return Scan(argv);
  if (command == "frame") return Frame(argv);
  if (command == "serve") return Serve(argv);
  if (command == "cm") return Cm(argv);
  return usage_error("unknown command " + command, kUsage);
}

}  // namespace

UTF8_CONSOLE_PROGRAM_ENTRY(Main)
