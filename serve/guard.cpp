// The guard's checks, in the order a request meets them: Host, the token's place, the token,
// the origin of a request that changes something.
#include "serve/guard.h"

#include <cctype>

#include "platform/beneath.h"

namespace {

const char kBearer[] = "Bearer ";
const char kTokenParam[] = "token";

std::string lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

GuardDecision refuse(int status, const char* code, std::string message) {
  return {GuardVerdict::Refuse, status, code, std::move(message)};
}

// The Host header's name and port (80 when absent); false when it is malformed.
bool split_host(const std::string& host, std::string& name, int& port) {
  port = 80;
  size_t colon = std::string::npos;
  if (!host.empty() && host[0] == '[') {   // [v6]:port
    const size_t close = host.find(']');
    if (close == std::string::npos) return false;
    name = host.substr(0, close + 1);
    if (close + 1 < host.size()) {
      if (host[close + 1] != ':') return false;
      colon = close + 1;
    }
  } else {
    colon = host.find(':');
    name = host.substr(0, colon);
  }
  if (colon != std::string::npos) {
    const std::string digits = host.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    port = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      port = port * 10 + (c - '0');
    }
  }
  name = lower(name);
  return !name.empty();
}

bool host_allowed(const GuardConfig& config, const std::string& host) {
  std::string name;
  int port = 0;
  if (!split_host(host, name, port) || port != config.port) return false;
  if (name == lower(config.listenHost)) return true;
  if (config.loopback && name == "localhost") return true;
  for (const std::string& allowed : config.allowedHosts)
    if (name == allowed) return true;
  return false;
}

// The token a request carries: the bearer header, else the cookie of this server. fromHeader
// tells which.
std::string carried_token(const GuardConfig& config, const HttpRequest& request, bool& fromHeader) {
  const std::string authorization = request.Header("authorization");
  fromHeader = !authorization.empty();
  if (fromHeader) return authorization.rfind(kBearer, 0) == 0 ? authorization.substr(sizeof kBearer - 1) : "";
  const std::string name = guard_cookie_name(config) + "=";
  for (const auto& [header, value] : request.headers) {
    if (header != "cookie") continue;
    size_t at = 0;
    while (at < value.size()) {
      size_t end = value.find(';', at);
      if (end == std::string::npos) end = value.size();
      size_t start = at;
      while (start < end && value[start] == ' ') ++start;
      if (value.compare(start, name.size(), name) == 0) return value.substr(start + name.size(), end - start - name.size());
      at = end + 1;
    }
  }
  return "";
}

bool changes_state(const std::string& method) { return method != "GET" && method != "HEAD"; }

}  // namespace

GuardDecision guard_check(const GuardConfig& config, const HttpRequest& request) {
  if (request.HeaderCount("host") != 1 || !host_allowed(config, request.Header("host")))
    return refuse(403, "host_refused",
                  "this server answers only to the address it listens on and the names given with --allow-host");
  const size_t tokens = request.ParamCount(kTokenParam);
  if (tokens > 0) {
    if (request.path != "/" || request.method != "GET" || tokens != 1 || request.params.size() != 1)
      return refuse(403, "token_in_query",
                    "the access token goes in the Authorization header or the cookie, never in the address");
    if (!tokens_equal(*request.Param(kTokenParam), config.token))
      return refuse(401, "token_wrong", "the access token is wrong: open the address kerf serve printed");
    return {GuardVerdict::LogIn, 303, "", ""};
  }
  if (request.path.rfind("/api/", 0) != 0) return {};   // the page's own files hold nothing private
  bool fromHeader = false;
  const std::string token = carried_token(config, request, fromHeader);
  if (token.empty() && !fromHeader)
    return refuse(401, "token_missing", "no access token: open the address kerf serve printed");
  if (!tokens_equal(token, config.token))
    return refuse(401, "token_wrong", "the access token is wrong or old: open the address kerf serve printed");
  if (changes_state(request.method) && !fromHeader) {
    const std::string origin = request.Header("origin");
    if (request.HeaderCount("origin") != 1 || origin != "http://" + request.Header("host"))
      return refuse(403, "origin_refused", "a request that changes something must come from this server's own page");
  }
  return {};
}

std::string guard_cookie_name(const GuardConfig& config) { return "kerf_token_" + std::to_string(config.port); }

std::string guard_cookie(const GuardConfig& config) {
  return guard_cookie_name(config) + "=" + config.token + "; Path=/; HttpOnly; SameSite=Strict";
}

bool tokens_equal(const std::string& a, const std::string& b) {
  // Every byte of the expected token is looked at whatever the other holds.
  unsigned difference = a.size() == b.size() ? 0u : 1u;
  for (size_t i = 0; i < b.size(); ++i) difference |= unsigned(uint8_t(i < a.size() ? a[i] : 0) ^ uint8_t(b[i]));
  return difference == 0 && !b.empty();
}

std::string new_token() {
  unsigned char bytes[kTokenBytes];
  if (!secure_random(bytes, sizeof bytes)) return "";
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 15];
  }
  return token;
}

bool load_or_make_token(const std::string& path, std::string& token, std::string& error) {
  bool exists = false;
  if (!private_file_read(path, token, exists, error)) return false;
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) token.pop_back();
  if (exists && token.size() >= 2 * kTokenBytes) return true;
  if (exists) {
    error = path + ": holds no token of " + std::to_string(2 * kTokenBytes) + " digits (remove it for a new one)";
    return false;
  }
  token = new_token();
  if (token.empty()) {
    error = "the system gave no random bytes for a token";
    return false;
  }
  return private_file_create(path, token + "\n", error);
}

bool request_path_ok(const std::string& path, std::string& why) {
  auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  if (path.size() > kMaxRequestPath) return why = "the path is too long", false;
  if (!path.empty() && path[0] == '/') return why = "paths are relative to a root: no leading '/'", false;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (c < 0x20 || c == 0x7F) return why = "the path holds a control character", false;
    if (c == '\\') return why = "the path holds a backslash", false;
    if (c == '%' && i + 2 < path.size() && hex(path[i + 1]) && hex(path[i + 2]))
      return why = "the path holds a percent escape (encoded twice)", false;
  }
  size_t at = 0;
  while (!path.empty() && at <= path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    if (part.empty() || part == "." || part == "..") return why = "the path holds an empty, '.' or '..' part", false;
    at = end + 1;
  }
  return true;
}
