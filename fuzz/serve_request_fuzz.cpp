// Everything kerf serve reads from a request before it touches a file: the cut's JSON body with
// its ranges and positions, request paths, the guard's view of the method, target, query and
// headers, and the numbers of the query. The input is read as an HTTP-like text: a first line
// "METHOD PATH?QUERY", header lines "name: value", an empty line, then the body; the whole input
// is also tried as a body, a path and a position.
#include <cstddef>
#include <cstdint>
#include <string>

#include "plans/recording.h"
#include "serve/api_state.h"
#include "serve/guard.h"
#include "serve/request_body.h"
#include "serve/roots.h"

namespace {

void query_params(const std::string& query, HttpRequest& request) {
  size_t at = 0;
  while (at <= query.size()) {
    size_t end = query.find('&', at);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(at, end - at);
    const size_t eq = pair.find('=');
    request.params.emplace_back(pair.substr(0, eq), eq == std::string::npos ? "" : pair.substr(eq + 1));
    at = end + 1;
  }
}

HttpRequest request_of(const std::string& text) {
  HttpRequest request;
  size_t line_end = text.find('\n');
  const std::string first = text.substr(0, line_end);
  const size_t space = first.find(' ');
  request.method = first.substr(0, space);
  request.target = space == std::string::npos ? "" : first.substr(space + 1);
  const size_t question = request.target.find('?');
  request.path = request.target.substr(0, question);
  if (question != std::string::npos) query_params(request.target.substr(question + 1), request);
  while (line_end != std::string::npos) {
    const size_t start = line_end + 1;
    line_end = text.find('\n', start);
    const std::string line = text.substr(start, line_end == std::string::npos ? std::string::npos : line_end - start);
    if (line.empty()) {
      request.body = line_end == std::string::npos ? "" : text.substr(line_end + 1);
      break;
    }
    const size_t colon = line.find(':');
    request.headers.emplace_back(line.substr(0, colon), colon == std::string::npos ? "" : line.substr(colon + 1));
  }
  return request;
}

void read_cut(const std::string& body, const Roots& roots, const Recording& rec) {
  CutBody cut;
  if (parse_cut_body(body, cut)) return;
  Located where;
  (void)roots.Locate(cut.path, false, where);
  (void)roots.Locate(cut.output, false, where);
  for (const CutBodyRange& r : cut.ranges) {
    int32_t packet = 0;
    if (r.start) (void)position_param(*r.start, "start", rec, packet);
    if (r.end) (void)position_param(*r.end, "end", rec, packet);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Roots* roots = [] {
    auto* r = new Roots;
    std::string error;
    r->Add("/tmp", error);
    return r;
  }();
  static const GuardConfig guard{std::string(64, 'a'), "127.0.0.1", 8470, true, {"kerf.lan"}};
  Recording rec;
  rec.size = 188.0 * 100000;
  rec.packets = 100000;
  rec.m.totalMs = 60000;
  const std::string text(reinterpret_cast<const char*>(data), size);

  const HttpRequest request = request_of(text);
  (void)guard_check(guard, request);
  long number = 0;
  std::string value;
  (void)int_param(request, "width", 16, 1920, 360, number);
  (void)text_param(request, "path", value);
  Located where;
  (void)roots->Locate(value, true, where);
  read_cut(request.body, *roots, rec);

  read_cut(text, *roots, rec);
  std::string why;
  (void)request_path_ok(text, why);
  int32_t packet = 0;
  (void)position_param(text, "at", rec, packet);
  return 0;
}
