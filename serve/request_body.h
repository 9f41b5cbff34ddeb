// The body of POST /api/cuts read into a plain value, refusing everything that is not exactly
// the documented form: malformed JSON, unknown fields, wrong types, too many ranges.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "serve/api_error.h"

// Most stretches one cut may have.
constexpr size_t kMaxCutRanges = 1000;

struct CutBodyRange {
  std::optional<std::string> start;   // a position as kerf writes it; absent: the beginning
  std::optional<std::string> end;     // absent: the end
};

struct CutBody {
  std::string path;                   // the recording, ROOT/...
  int programme = 0;                  // 0: the whole recording
  int serviceId = -1;                 // -1: none given
  std::vector<CutBodyRange> ranges;   // at least one
  bool snap = false;
  bool join = false;
  bool overwrite = false;
  std::string output;                 // ROOT/.../name; "%d" is the stretch's number
};

ApiError parse_cut_body(const std::string& body, CutBody& cut);
