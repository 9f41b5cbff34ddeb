// The API's front: the guard, the route table, errors as JSON, the placeholder page.
#include "serve/api.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "serve/api_state.h"

namespace {

using Handler = void (*)(Api::State&, const HttpRequest&, HttpResponse&);

struct Route {
  const char* method;
  const char* path;
  Handler handler;
};

void HandleIndex(Api::State&, const HttpRequest&, HttpResponse& response);

// One row per request of the API.
const Route kRoutes[] = {
    {"GET", "/", HandleIndex},
    {"GET", "/api/files", HandleFiles},
    {"GET", "/api/info", HandleInfo},
    {"GET", "/api/scan", HandleScan},
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

const char kIndexPage[] =
    "<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>kerf serve</title></head>\n"
    "<body><h1>kerf serve</h1><p>The cutter's API answers under <code>/api/</code>. Open the address "
    "that <code>kerf serve</code> printed to sign in.</p></body></html>\n";

void HandleIndex(Api::State&, const HttpRequest&, HttpResponse& response) {
  response.contentType = "text/html; charset=utf-8";
  response.body = kIndexPage;
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
