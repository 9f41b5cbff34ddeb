// Reading the cut request's JSON. Every field is checked for its type before it is read, so no
// body makes the JSON library throw past this file.
#include "serve/request_body.h"

#include "common/json.h"

namespace {

ApiError wrong(const std::string& what) { return bad_request("bad_body", what); }

ApiError read_position(const Json& range, const char* name, std::optional<std::string>& out) {
  const auto it = range.find(name);
  if (it == range.end() || it->is_null()) return {};
  if (!it->is_string() || it->get_ref<const std::string&>().size() > 64)
    return wrong(std::string("a range's ") + name + " must be a position text such as \"00:01:30.000\" or \"p:1A2B\"");
  out = it->get<std::string>();
  return {};
}

ApiError read_ranges(const Json& ranges, std::vector<CutBodyRange>& out) {
  if (!ranges.is_array() || ranges.empty()) return wrong("ranges must be a list of at least one {\"start\", \"end\"}");
  if (ranges.size() > kMaxCutRanges) return wrong("at most " + std::to_string(kMaxCutRanges) + " ranges in one cut");
  for (const Json& r : ranges) {
    if (!r.is_object()) return wrong("each range must be an object {\"start\", \"end\"}");
    for (const auto& [key, value] : r.items())
      if (key != "start" && key != "end") return wrong("a range has an unknown field " + key);
    CutBodyRange range;
    if (ApiError e = read_position(r, "start", range.start)) return e;
    if (ApiError e = read_position(r, "end", range.end)) return e;
    out.push_back(range);
  }
  return {};
}

// The service id as a number or as hexadecimal text (as kerf's --service takes it).
ApiError read_service(const Json& value, int& out) {
  if (value.is_number_unsigned() && value.get<unsigned long long>() <= 0xFFFF) {
    out = int(value.get<unsigned long long>());
    return {};
  }
  if (value.is_string()) {
    const std::string& text = value.get_ref<const std::string&>();
    if (!text.empty() && text.size() <= 4 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
      out = int(std::stoul(text, nullptr, 16));
      return {};
    }
  }
  return wrong("service must be a service id from 0 to 65535 (a number, or hexadecimal text such as \"0400\")");
}

ApiError read_field(const std::string& key, const Json& value, CutBody& cut) {
  auto flag = [&](bool& out) {
    if (!value.is_boolean()) return wrong(key + " must be true or false");
    out = value.get<bool>();
    return ApiError{};
  };
  auto text = [&](std::string& out) {
    if (!value.is_string()) return wrong(key + " must be a path text");
    out = value.get<std::string>();
    return ApiError{};
  };
  if (key == "path") return text(cut.path);
  if (key == "output") return text(cut.output);
  if (key == "ranges") return read_ranges(value, cut.ranges);
  if (key == "snap") return flag(cut.snap);
  if (key == "join") return flag(cut.join);
  if (key == "overwrite") return flag(cut.overwrite);
  if (key == "service") return value.is_null() ? ApiError{} : read_service(value, cut.serviceId);
  if (key == "programme") {
    if (value.is_null()) return {};
    if (!value.is_number_unsigned() || value.get<unsigned long long>() < 1 || value.get<unsigned long long>() > 255)
      return wrong("programme must be an ordinal from 1 (as the info request lists them)");
    cut.programme = int(value.get<unsigned long long>());
    return {};
  }
  return wrong("unknown field " + key);
}

}  // namespace

ApiError parse_cut_body(const std::string& body, CutBody& cut) {
  Json json;
  std::string why;
  if (!json_parse(body, json, why)) return wrong("the body is not JSON: " + why);
  if (!json.is_object()) return wrong("the body must be a JSON object");
  for (const auto& [key, value] : json.items())
    if (ApiError e = read_field(key, value, cut)) return e;
  if (cut.path.empty()) return wrong("path (the recording) is required");
  if (cut.output.empty()) return wrong("output (ROOT/folder/name.ts) is required");
  if (cut.ranges.empty()) return wrong("ranges (at least one) is required");
  if (cut.programme && cut.serviceId >= 0) return wrong("give programme or service, not both");
  return {};
}
