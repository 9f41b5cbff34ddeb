// Shift-JIS to UTF-8 for the terminal (see cli_text.h).
#include "cli/cli_text.h"

#include <cstdint>

#ifdef _WIN32
#include "common/win32_text.h"
#else
#include <iconv.h>
#endif

namespace {

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

constexpr uint32_t kReplacement = 0xFFFD;

// Length of the Shift-JIS character starting at s[i]: 2 for a lead byte with a byte after it.
size_t sjis_char_length(std::string_view s, size_t i) {
  const uint8_t b = uint8_t(s[i]);
  const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  return lead && i + 1 < s.size() ? 2 : 1;
}

#ifdef _WIN32
// One character through the system's code page 932 table.
void convert_char(std::string_view ch, std::string& out) {
  std::wstring wide;
  if (!cp932_to_wide(std::string(ch).c_str(), wide) || wide.empty()) {
    append_utf8(out, kReplacement);
    return;
  }
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t cp = uint16_t(wide[i]);
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < wide.size()) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (uint16_t(wide[++i]) - 0xDC00);
    }
    append_utf8(out, cp);
  }
}
#else
// One character through iconv's CP932 table (the Microsoft variant, as Windows converts).
void convert_char(std::string_view ch, std::string& out) {
  static iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == iconv_t(-1)) {
    append_utf8(out, ch.size() == 1 && uint8_t(ch[0]) < 0x80 ? uint8_t(ch[0]) : kReplacement);
    return;
  }
  char in[2] = {ch[0], ch.size() > 1 ? ch[1] : '\0'};
  char result[8];
  char* inPtr = in;
  char* outPtr = result;
  size_t inLeft = ch.size(), outLeft = sizeof result;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1) || inLeft != 0) {
    append_utf8(out, kReplacement);
    return;
  }
  out.append(result, size_t(outPtr - result));
}
#endif

}  // namespace

std::string sjis_to_utf8(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size() * 3 / 2);
  for (size_t i = 0; i < sjis.size();) {
    const uint8_t b = uint8_t(sjis[i]);
    if (b < 0x80) {   // ASCII passes straight through
      out += char(b);
      ++i;
      continue;
    }
    const size_t n = sjis_char_length(sjis, i);
    convert_char(sjis.substr(i, n), out);
    i += n;
  }
  return out;
}

std::string path_for_terminal(const std::string& path) {
#ifdef _WIN32
  return sjis_to_utf8(path);
#else
  return path;
#endif
}

std::string json_string(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (uint8_t(c) < 0x20) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", unsigned(uint8_t(c)));
          out += esc;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void print_sjis(std::FILE* to, std::string_view sjis) {
  const std::string utf8 = sjis_to_utf8(sjis);
  std::fwrite(utf8.data(), 1, utf8.size(), to);
}
