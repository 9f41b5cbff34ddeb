// The HTTP server kerf serve answers through: the one file that knows the HTTP library. Requests
// and answers are plain values of our own; one handler sees every request.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using HttpPairs = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
  std::string method;
  std::string path;      // the target's path, percent-decoded
  std::string target;    // the target as sent (path and query, still encoded)
  std::string body;
  HttpPairs params;      // the query's parameters, decoded, in order
  HttpPairs headers;     // header names in lower case, in order

  // The first value of a header (lower-case name) or parameter; empty when absent.
  std::string Header(const std::string& name) const;
  size_t HeaderCount(const std::string& name) const;
  const std::string* Param(const std::string& name) const;
  size_t ParamCount(const std::string& name) const;
};

// Writes one piece of a streamed answer; false once the client has gone.
using HttpWrite = std::function<bool(const std::string& piece)>;

struct HttpResponse {
  int status = 200;
  std::string contentType = "application/json";
  std::string body;
  HttpPairs headers;
  // When set, the answer is written piece by piece (server-sent events) instead of body: called
  // again and again while it returns true; it returns false when the answer is complete or a
  // write failed.
  std::function<bool(const HttpWrite& write)> stream;
};

using HttpHandler = std::function<void(const HttpRequest&, HttpResponse&)>;
// Fills the answer to a request the library refused before any handler saw it (a body over the
// limit, a malformed request line) or to a handler that threw; status is already set.
using HttpErrorFiller = std::function<void(HttpResponse&)>;

struct HttpLimits {
  size_t maxBodyBytes = 65536;
  int threads = 64;            // connections served at once (each keeps one while it is open)
  int timeoutSeconds = 10;     // reading a request, writing an answer
  // An idle kept-alive connection is closed after this long. A stop waits for idle connections to
  // close, so this bounds how long the server takes to end while a browser holds the page open; the
  // page's next request opens a new connection, which costs nothing on the house network.
  int keepAliveSeconds = 2;
};

class HttpServer {
 public:
  HttpServer(HttpHandler handler, HttpErrorFiller onError, const HttpLimits& limits);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds host:port (port 0: any free port); false with error set when it cannot.
  bool Bind(const std::string& host, int port, std::string& error);
  // The bound port.
  int port() const { return port_; }
  // Serves until Stop (from another thread); false when serving failed.
  bool Run();
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
};
