// The API's front: the guard, the page's files, the route table, errors as JSON.
#include "serve/api.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "serve/api_state.h"
#include "serve/web_files.h"

namespace {

using Handler = void (*)(Api::State&, const HttpRequest&, HttpResponse&);

struct Route {
  const char* method;
  const char* path;
  Handler handler;
};

// One row per request of the API.
const Route kRoutes[] = {
    {"GET", "/api/files", HandleFiles},
    {"GET", "/api/info", HandleInfo},
    {"GET", "/api/scan", HandleScan},
    {"DELETE", "/api/scan", HandleScan},
    {"GET", "/api/cm", HandleCm},
    {"DELETE", "/api/cm", HandleCm},
    {"GET", "/api/frame", HandleFrame},
    {"GET", "/api/timeline", HandleTimeline},
    {"POST", "/api/cuts", HandleCutStart},
};
// Requests about one cut: /api/cuts/ID and /api/cuts/ID/events.
const char kCutPrefix[] = "/api/cuts/";

// Recordings remembered with their measurement and programmes; scans (a few hundred kB each for
// a long recording); pictures (tens of kB at the preview's width, a few hundred at full width).
constexpr size_t kRecordingsKept = 1024;
constexpr size_t kScansKept = 16;
constexpr size_t kPicturesKept = 64;
// The commercial finder's proposals (a few kB each).
constexpr size_t kCmsKept = 16;

// The page may load only its own files and talk only to this server; its pictures arrive as
// blobs fetched from the API.
const char kPagePolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob:; connect-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

// One of the page's files: asked again each time (it is small and served from memory), answered
// with 304 when the browser holds this version.
void AnswerPageFile(const WebFile& file, const HttpRequest& request, HttpResponse& response, int status = 200) {
  for (auto& [name, value] : response.headers)
    if (name == "Cache-Control") value = "no-cache";
  response.headers.emplace_back("ETag", file.etag);
  response.headers.emplace_back("Content-Security-Policy", kPagePolicy);
  response.contentType = file.contentType;
  response.status = status;
  if (status == 200 && request.Header("if-none-match") == file.etag) {
    response.status = 304;
    return;
  }
  response.body.assign(reinterpret_cast<const char*>(file.data), file.size);
}

const char* status_code_word(int status) {
  switch (status) {
    case 400: return "bad_request";
    case 404: return "not_found";
    case 405: return "method_not_allowed";
    case 413: return "too_large";
    default: return "failed";
  }
}

}  // namespace

Api::State::State(const Roots& r, const GuardConfig& g, int jobsPerRoot)
    : roots(r),
      guard(g),
      recordings(kRecordingsKept, [&r](const FileKey& key) { return make_recording_state(r, key); }),
      scans(kScansKept, [&r](const FileKey& key) { return make_scan(r, key); }),
      pictures(kPicturesKept, [](const FileKey&) { return std::make_shared<const std::string>(); }),
#if KERF_SERVE_CM
      cms(kCmsKept, [](const FileKey&) { return CmPtr(); }),
#endif
      jobs(jobsPerRoot) {}

Api::Api(const Roots& roots, const GuardConfig& guard, int jobsPerRoot)
    : state_(std::make_unique<State>(roots, guard, jobsPerRoot)) {}

Api::~Api() = default;

void Api::Fail(const ApiError& error, HttpResponse& response) {
  response.status = error.status;
  response.contentType = "application/json";
  response.body = json_compact(Json{{"message", error.message}, {"code", error.code}});
  response.stream = nullptr;
}

void Api::FillLibraryError(HttpResponse& response) {
  const int status = response.status;
  const char* message = status == 413   ? "the request's body is larger than 64 KiB"
                        : status == 400 ? "the request is malformed"
                        : status == 404 ? "there is no such request"
                                        : "the request failed";
  Fail({status, status_code_word(status), message}, response);
}

void Api::Handle(const HttpRequest& request, HttpResponse& response) {
  response.headers.emplace_back("Cache-Control", "no-store");
  response.headers.emplace_back("X-Content-Type-Options", "nosniff");
  response.headers.emplace_back("Referrer-Policy", "no-referrer");
  response.headers.emplace_back("X-Frame-Options", "DENY");
  const GuardDecision decision = guard_check(state_->guard, request);
  if (decision.verdict == GuardVerdict::Refuse) {
    // A browser opening an old or wrong address gets the page, which says how to get a new one.
    const WebFile* page = find_web_file("/");
    if (page && decision.status == 401 && request.method == "GET" && request.path == "/" &&
        request.Header("accept").find("text/html") != std::string::npos)
      return AnswerPageFile(*page, request, response, 401);
    Fail({decision.status, decision.code, decision.message}, response);
    if (decision.status == 401) response.headers.emplace_back("WWW-Authenticate", "Bearer");
    return;
  }
  if (decision.verdict == GuardVerdict::LogIn) {
    response.status = 303;
    response.headers.emplace_back("Set-Cookie", guard_cookie(state_->guard));
    response.headers.emplace_back("Location", "/");
    response.contentType = "text/plain";
    response.body = "signed in\n";
    return;
  }
  if ((request.method == "GET" || request.method == "HEAD") && request.path.rfind("/api/", 0) != 0)
    if (const WebFile* file = find_web_file(request.path)) return AnswerPageFile(*file, request, response);
  bool pathKnown = false;
  for (const Route& route : kRoutes) {
    if (request.path != route.path) continue;
    pathKnown = true;
    if (request.method == route.method) {
      try {
        route.handler(*state_, request, response);
      } catch (const std::exception&) {
        Fail({500, "failed", "the request failed unexpectedly"}, response);
      }
      return;
    }
  }
  if (request.path.rfind(kCutPrefix, 0) == 0 && request.path.size() > sizeof kCutPrefix - 1) {
    pathKnown = true;
    return HandleCutJob(*state_, request, response);
  }
  if (pathKnown) return Fail({405, "method_not_allowed", request.method + " is not answered at " + request.path}, response);
  Fail({404, "not_found", "there is no request " + request.path}, response);
}

void answer_json(const Json& body, HttpResponse& response, int status) {
  response.status = status;
  response.contentType = "application/json";
  response.body = json_compact(body);
}

ApiError text_param(const HttpRequest& request, const char* name, std::string& value) {
  const size_t count = request.ParamCount(name);
  if (count > 1) return bad_request("bad_parameter", std::string(name) + " is given more than once");
  value = count ? *request.Param(name) : "";
  return {};
}

ApiError int_param(const HttpRequest& request, const char* name, long min, long max, long fallback, long& value) {
  std::string text;
  if (ApiError e = text_param(request, name, text)) return e;
  value = fallback;
  if (!request.Param(name)) return {};
  char* end = nullptr;
  errno = 0;
  const long long number = text.empty() || text.size() > 18 ? 0 : std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || text.size() > 18 || *end || errno || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-') || number < min || number > max)
    return bad_request("bad_parameter", std::string(name) + " must be a whole number from " + std::to_string(min) +
                                            " to " + std::to_string(max));
  value = long(number);
  return {};
}

std::string url_encode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

const WebFile* find_web_file(const std::string& path) {
  const std::string name = path == "/" ? "/index.html" : path;
  for (size_t i = 0; i < kWebFileCount; ++i)
    if (name == kWebFiles[i].path) return &kWebFiles[i];
  return nullptr;
}
