// The guard in front of kerf serve: who may use it (the access token, as a bearer header or a
// cookie set by the printed address), from where (the Host and Origin headers), and which paths a
// request may name. Every request passes guard_check before anything else reads it.
#pragma once
#include <string>
#include <vector>

#include "serve/http_server.h"

// Random bytes in a token: 256 bits, written as 64 hexadecimal digits.
constexpr size_t kTokenBytes = 32;
// The longest relative path a request may name.
constexpr size_t kMaxRequestPath = 4096;

struct GuardConfig {
  std::string token;
  std::string listenHost;                 // the address listened on, as a Host header names it
  int port = 0;
  bool loopback = true;                   // listening on a loopback address: "localhost" is its name too
  std::vector<std::string> allowedHosts;  // further names (--allow-host), lower case, without a port
};

enum class GuardVerdict {
  Pass,       // go on with the request
  LogIn,      // the printed address with a valid token: set the cookie and redirect
  Refuse,     // answer status / code / message
};

struct GuardDecision {
  GuardVerdict verdict = GuardVerdict::Pass;
  int status = 0;
  std::string code;
  std::string message;
};

GuardDecision guard_check(const GuardConfig& config, const HttpRequest& request);
// The Set-Cookie value that the log-in answer carries, and the cookie's name (one per port, so
// two servers on one machine do not replace each other's).
std::string guard_cookie(const GuardConfig& config);
std::string guard_cookie_name(const GuardConfig& config);

// Equal texts, compared in a time that depends only on their lengths.
bool tokens_equal(const std::string& a, const std::string& b);
// A new token from the system's random generator; empty when it gave none.
std::string new_token();
// The token kept in path: read back, or made and written (owner-only) when the file is missing.
bool load_or_make_token(const std::string& path, std::string& token, std::string& error);

// A path as a request names it: components separated by '/', none empty, "." or "..", no
// leading '/', no '\\', NUL or other control character, no percent escape left after the one
// decoding of the query (a separator encoded twice), at most kMaxRequestPath bytes. False with
// why set otherwise. The kernel's resolution beneath the root comes after this, not instead.
bool request_path_ok(const std::string& path, std::string& why);
