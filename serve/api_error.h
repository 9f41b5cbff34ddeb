// An error of the API: the HTTP status, a stable code for programs and a message a person can act
// on. A default-made value (status 0) is no error.
#pragma once
#include <string>

struct ApiError {
  int status = 0;
  std::string code;
  std::string message;
  explicit operator bool() const { return status != 0; }
};

inline ApiError bad_request(std::string code, std::string message) { return {400, std::move(code), std::move(message)}; }
