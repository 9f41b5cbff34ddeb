// Starting and stopping kerf serve.
#include "serve/server.h"

#include <cstdlib>
#include <memory>
#include <thread>

#include "platform/platform.h"
#include "serve/api.h"
#include "serve/http_server.h"

namespace {

// Splits ADDRESS:PORT; false when it is not that.
bool split_listen(const std::string& listen, std::string& host, int& port) {
  const size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == listen.size() || listen.size() - colon > 6) return false;
  host = listen.substr(0, colon);
  port = 0;
  for (char c : listen.substr(colon + 1)) {
    if (c < '0' || c > '9') return false;
    port = port * 10 + (c - '0');
  }
  if (host.front() == '[') {
    if (host.back() != ']') return false;
    host = host.substr(1, host.size() - 2);
  }
  return port <= 65535 && !host.empty();
}

bool is_loopback(const std::string& host) { return host.rfind("127.", 0) == 0 || host == "::1"; }

}  // namespace

std::string default_token_file() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state == '/') return std::string(state) + "/kerf/serve-token";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/state/kerf/serve-token";
}

bool serve_run(const ServeOptions& options, const std::atomic<bool>& stop,
               const std::function<void(const std::string& address)>& ready, std::string& error) {
  GuardConfig guard;
  if (!split_listen(options.listen, guard.listenHost, guard.port)) {
    error = "--listen takes ADDRESS:PORT, e.g. 127.0.0.1:8470";
    return false;
  }
  guard.loopback = is_loopback(guard.listenHost);
  for (const std::string& name : options.allowHosts) {
    std::string lower;
    for (char c : name) lower += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    guard.allowedHosts.push_back(lower);
  }
  Roots roots;
  for (const std::string& root : options.roots)
    if (!roots.Add(root, error)) return false;
  if (!load_or_make_token(options.tokenFile.empty() ? default_token_file() : options.tokenFile, guard.token, error))
    return false;

  // The API is made once the port is known (port 0 picks one): the guard compares Host with it.
  std::unique_ptr<Api> api;
  HttpServer server([&api](const HttpRequest& request, HttpResponse& response) { api->Handle(request, response); },
                    &Api::FillLibraryError, HttpLimits{});
  if (!server.Bind(guard.listenHost, guard.port, error)) return false;
  guard.port = server.port();
  api = std::make_unique<Api>(roots, guard, options.jobs);
  const bool v6 = guard.listenHost.find(':') != std::string::npos;
  const std::string host = v6 ? "[" + guard.listenHost + "]" : guard.listenHost;
  ready("http://" + host + ":" + std::to_string(guard.port) + "/?token=" + guard.token);
  std::atomic<bool> ended{false};
  std::thread watcher([&] {
    while (!stop.load() && !ended.load()) sleep_ms(200);
    server.Stop();
  });
  const bool served = server.Run();
  ended = true;
  watcher.join();
  if (!served && !stop.load()) error = "serving on " + options.listen + " failed";
  return served || stop.load();
}
