// kerfdmx: the console demux tool started by the cutter for every pass over a recording.
#include <string>
#include <vector>

#include "demux/kerfdmx_front_end.h"
#include "platform/console.h"
#include "platform/console_entry.h"
#include "platform/platform.h"

namespace {

// The tool reads its command line whole, in its own option syntax, not as split arguments.
int RunTool(const std::vector<std::string>&) {
  // Messages are Shift-JIS bytes ending in LF; text mode would turn each LF into CR LF.
  console_binary_output();
  PlatformDemuxHost host;
  DemuxEngine engine(host, program_folder());
  return RunCommandLine(engine, command_line());
}

}  // namespace

CONSOLE_PROGRAM_ENTRY(RunTool)
