// kerf serve: the cutter's API for a browser, over the recordings beneath the given roots.
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/kerf_args.h"
#include "cli/kerf_commands.h"
#include "cli/kerf_session.h"
#include "platform/console.h"
#include "serve/server.h"

namespace {

const char kServeHelp[] =
    "usage: kerf serve --root DIR [--root DIR2 ...] [--listen ADDR:PORT] [--allow-host NAME ...]\n"
    "                  [--jobs N] [--token-file FILE]\n"
    "\n"
    "Serves the cutter to a browser: the recordings beneath each root, their pictures, and cuts\n"
    "written beneath a root. Prints the address to open, with its access token; the address sets a\n"
    "cookie and the token never appears again. docs/api.md describes the API and its guard.\n"
    "  --root DIR        a folder whose recordings may be read and beneath which outputs are written\n"
    "  --listen A:P      the address and port to listen on (default 127.0.0.1:8470; port 0: any)\n"
    "  --allow-host NAME a name the server may be reached by besides its address (e.g. the\n"
    "                    server's host name, when listening on 0.0.0.0); give it again for more\n"
    "  --jobs N          cuts that run at once per root (default 1); others wait in a queue\n"
    "  --token-file F    where the access token is kept, readable by its owner only (default\n"
    "                    $XDG_STATE_HOME/kerf/serve-token); remove it for a new token\n"
    "It has no TLS: to reach it from outside the house, put a reverse proxy with TLS in front.\n"
    "Ctrl-C stops it; running cuts stop and leave no output under their names.\n";

std::atomic<bool> g_stop{false};

}  // namespace

int Serve(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  const ArgDesc desc{{"root", "listen", "allow-host", "jobs", "token-file"}, {"help"}, {"root", "allow-host"}};
  if (!parse_args(argv, 2, desc, args, error)) return usage_error(error, kServeHelp);
  if (args.has("help")) {
    std::fputs(kServeHelp, stdout);
    return kExitOk;
  }
  if (!args.positional.empty()) return usage_error("kerf serve takes no file: name folders with --root", kServeHelp);
  ServeOptions options;
  options.roots = args.all("root");
  if (options.roots.empty()) return usage_error("--root DIR is required", kServeHelp);
  options.listen = args.value("listen", options.listen);
  options.allowHosts = args.all("allow-host");
  options.tokenFile = args.value("token-file");
  if (args.has("jobs") && (!read_number(args.value("jobs"), 10, options.jobs) || options.jobs < 1 || options.jobs > 16))
    return usage_error("--jobs takes a number from 1 to 16", kServeHelp);

  console_on_interrupt(&g_stop);
  const bool ok = serve_run(options, g_stop, [](const std::string& address) {
    std::printf("kerf serve: open %s\n", address.c_str());
    std::fflush(stdout);
  }, error);
  if (!ok) {
    std::fprintf(stderr, "kerf: %s\n", error.c_str());
    return kExitInput;
  }
  return kExitOk;
}
