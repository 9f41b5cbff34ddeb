// kerfdmx: the console demux tool started by the cutter for every pass over a recording.
#include <cstdio>

#include "demux/kerfdmx_front_end.h"
#include "platform/platform.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

int RunTool() {
#ifdef _WIN32
  // Messages are Shift-JIS bytes ending in LF; text mode would turn each LF into CR LF.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  PlatformDemuxHost host;
  DemuxEngine engine(host, program_folder());
  return RunCommandLine(engine, command_line());
}

}  // namespace

#ifdef _WIN32
int wmain(int, wchar_t**) { return RunTool(); }
#else
int main(int argc, char** argv) {
  platform_set_args(argc, argv);
  return RunTool();
}
#endif
