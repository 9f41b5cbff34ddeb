// The HTTP server over cpp-httplib. Compiled with the library's own configuration (pkg-config's
// flags), without the Shift-JIS execution character set: this file holds no text of its own.
#include "serve/http_server.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>

namespace {

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

HttpRequest request_of(const httplib::Request& in) {
  HttpRequest out;
  out.method = in.method;
  out.path = in.path;
  out.target = in.target;
  out.body = in.body;
  for (const auto& [name, value] : in.params) out.params.emplace_back(name, value);
  for (const auto& [name, value] : in.headers) out.headers.emplace_back(lower(name), value);
  return out;
}

void answer(const HttpResponse& from, httplib::Response& to) {
  to.status = from.status;
  for (const auto& [name, value] : from.headers) to.set_header(name, value);
  if (!from.stream) {
    to.set_content(from.body, from.contentType);
    return;
  }
  auto stream = from.stream;
  to.set_chunked_content_provider(from.contentType, [stream](size_t, httplib::DataSink& sink) {
    bool failed = false;
    const HttpWrite write = [&](const std::string& piece) {
      if (failed || !sink.is_writable() || !sink.write(piece.data(), piece.size())) failed = true;
      return !failed;
    };
    const bool more = stream(write);
    if (failed) return false;   // the client has gone: the connection closes
    if (!more) sink.done();
    return true;
  });
}

}  // namespace

std::string HttpRequest::Header(const std::string& name) const {
  for (const auto& [n, v] : headers)
    if (n == name) return v;
  return {};
}

size_t HttpRequest::HeaderCount(const std::string& name) const {
  return size_t(std::count_if(headers.begin(), headers.end(), [&](const auto& h) { return h.first == name; }));
}

const std::string* HttpRequest::Param(const std::string& name) const {
  for (const auto& p : params)
    if (p.first == name) return &p.second;
  return nullptr;
}

size_t HttpRequest::ParamCount(const std::string& name) const {
  return size_t(std::count_if(params.begin(), params.end(), [&](const auto& p) { return p.first == name; }));
}

struct HttpServer::Impl {
  httplib::Server server;
};

HttpServer::HttpServer(HttpHandler handler, HttpErrorFiller onError, const HttpLimits& limits)
    : impl_(std::make_unique<Impl>()) {
  httplib::Server& s = impl_->server;
  const int threads = limits.threads;
  s.new_task_queue = [threads] { return new httplib::ThreadPool(size_t(threads)); };
  s.set_payload_max_length(limits.maxBodyBytes);
  s.set_read_timeout(limits.timeoutSeconds, 0);
  s.set_write_timeout(limits.timeoutSeconds, 0);
  s.set_keep_alive_timeout(limits.keepAliveSeconds);
  auto route = [handler](const httplib::Request& in, httplib::Response& out) {
    HttpResponse response;
    handler(request_of(in), response);
    answer(response, out);
  };
  for (const char* any : {".*"}) {
    s.Get(any, route);
    s.Post(any, route);
    s.Put(any, route);
    s.Patch(any, route);
    s.Delete(any, route);
    s.Options(any, route);
  }
  s.set_error_handler([onError](const httplib::Request&, httplib::Response& out) {
    if (!out.body.empty()) return;
    HttpResponse response;
    response.status = out.status;
    onError(response);
    answer(response, out);
  });
  s.set_exception_handler([onError](const httplib::Request&, httplib::Response& out, std::exception_ptr) {
    HttpResponse response;
    response.status = 500;
    onError(response);
    out.headers.clear();
    answer(response, out);
  });
}

HttpServer::~HttpServer() = default;

bool HttpServer::Bind(const std::string& host, int port, std::string& error) {
  httplib::Server& s = impl_->server;
  if (port == 0) {
    port_ = s.bind_to_any_port(host);
  } else {
    port_ = s.bind_to_port(host, port) ? port : -1;
  }
  if (port_ <= 0) {
    error = "cannot listen on " + host + ":" + std::to_string(port);
    return false;
  }
  return true;
}

bool HttpServer::Run() { return impl_->server.listen_after_bind(); }

void HttpServer::Stop() { impl_->server.stop(); }
