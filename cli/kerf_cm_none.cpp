// kerf cm where the commercial finder is not built (Windows, which has no audio library): says so.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/kerf_commands.h"
#include "cli/kerf_session.h"

int Cm(const std::vector<std::string>&) {
  std::fprintf(stderr,
               "kerf: cm is available in the Linux build only (finding the commercials needs FFmpeg's "
               "audio decoder, which this build leaves out)\n");
  return kExitUsage;
}
