// kerf serve as a whole: the roots opened, the token loaded, the HTTP server bound and run until
// stopped.
#pragma once
#include <atomic>
#include <functional>
#include <string>
#include <vector>

struct ServeOptions {
  std::vector<std::string> roots;
  std::string listen = "127.0.0.1:8470";   // ADDRESS:PORT, [IPv6]:PORT; port 0 picks a free one
  std::vector<std::string> allowHosts;
  int jobs = 1;                             // cuts at once per root
  std::string tokenFile;                    // empty: $XDG_STATE_HOME/kerf/serve-token
};

// The token file when none is named: $XDG_STATE_HOME/kerf/serve-token, else
// $HOME/.local/state/kerf/serve-token.
std::string default_token_file();

// Serves until stop becomes true. ready receives the address to open (with the token) once the
// server listens. False with error set when it cannot start or serving failed.
bool serve_run(const ServeOptions& options, const std::atomic<bool>& stop,
               const std::function<void(const std::string& address)>& ready, std::string& error);
