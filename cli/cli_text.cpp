// Text for the terminal (see cli_text.h).
#include "cli/cli_text.h"

#include "common/cp932_text.h"
#include "platform/console.h"

std::string path_for_terminal(const std::string& path) { return console_path_text(path); }

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
  const std::string utf8 = cp932_to_utf8(sjis);
  std::fwrite(utf8.data(), 1, utf8.size(), to);
}
