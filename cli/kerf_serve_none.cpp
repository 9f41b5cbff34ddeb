// kerf serve where it is not built (Windows): says so.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/kerf_commands.h"
#include "cli/kerf_session.h"

int Serve(const std::vector<std::string>&) {
  std::fprintf(stderr, "kerf: serve is available in the Linux build only\n");
  return kExitUsage;
}
