// kerf serve's answers: the guard first, then one handler per request of the API, each turning a
// request into a plan of the shared stages, running it and writing its result as JSON (pictures
// as JPEG). Errors are JSON objects {"message", "code"} with the HTTP status that fits.
#pragma once
#include <memory>
#include <string>

#include "serve/api_error.h"
#include "serve/guard.h"
#include "serve/http_server.h"
#include "serve/roots.h"

class Api {
 public:
  Api(const Roots& roots, const GuardConfig& guard, int jobsPerRoot);
  ~Api();
  Api(const Api&) = delete;
  Api& operator=(const Api&) = delete;

  void Handle(const HttpRequest& request, HttpResponse& response);
  // The body of an answer whose status the HTTP library set (413, 400, 500).
  static void FillLibraryError(HttpResponse& response);
  // An error as the answer.
  static void Fail(const ApiError& error, HttpResponse& response);

  // What the handlers share (serve/api_state.h).
  struct State;

 private:
  std::unique_ptr<State> state_;
};
