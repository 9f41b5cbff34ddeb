// JSON values, their text and their parsing, through one library (nlohmann-json): a change of
// library is this file. Link kerf_json to use it.
#pragma once
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// Objects keep their fields in the order they were set, so a printed object reads in that order.
using Json = nlohmann::ordered_json;

namespace json_detail {

// A value on one line: ", " between members and ": " after names, as people write JSON by hand.
// Strings that are not valid UTF-8 have the bad bytes replaced (U+FFFD) instead of failing.
inline void append_inline(const Json& value, std::string& out) {
  if (value.is_object()) {
    out += '{';
    bool first = true;
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (!first) out += ", ";
      first = false;
      out += Json(it.key()).dump(-1, ' ', false, Json::error_handler_t::replace);
      out += ": ";
      append_inline(it.value(), out);
    }
    out += '}';
  } else if (value.is_array()) {
    out += '[';
    for (size_t i = 0; i < value.size(); ++i) {
      if (i) out += ", ";
      append_inline(value[i], out);
    }
    out += ']';
  } else {
    out += value.dump(-1, ' ', false, Json::error_handler_t::replace);
  }
}

}  // namespace json_detail

// The text of value laid out for reading and for line-based tools: an object's members one per
// line, the elements of an array member one per line, everything below that on one line; no
// line feed at the end. UTF-8 text (not escaped to \u sequences).
inline std::string json_text(const Json& value) {
  if (!value.is_object() || value.empty()) {
    std::string out;
    json_detail::append_inline(value, out);
    return out;
  }
  std::string out = "{";
  bool first = true;
  for (auto it = value.begin(); it != value.end(); ++it) {
    out += first ? "\n  " : ",\n  ";
    first = false;
    json_detail::append_inline(Json(it.key()), out);
    out += ": ";
    const Json& member = it.value();
    if (!member.is_array() || member.empty()) {
      json_detail::append_inline(member, out);
      continue;
    }
    out += '[';
    for (size_t i = 0; i < member.size(); ++i) {
      out += i ? ",\n    " : "\n    ";
      json_detail::append_inline(member[i], out);
    }
    out += "\n  ]";
  }
  return out + "\n}";
}

// The text of value on one line without spaces, for answers read by programs (bad UTF-8 replaced
// as above).
inline std::string json_compact(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Parses text into value; false, with a message in error, when it is no JSON text.
// The message names the line and column where the text went wrong, or the number beyond a double
// (which the parser throws as out_of_range, not as a parse error).
inline bool json_parse(std::string_view text, Json& value, std::string& error) {
  try {
    value = Json::parse(text);
    return true;
  } catch (const Json::exception& e) {
    error = e.what();
    value = Json();
    return false;
  }
}
