// Text for the terminal (see cli_text.h).
#include "cli/cli_text.h"

#include "common/cp932_text.h"
#include "platform/console.h"

std::string path_for_terminal(const std::string& path) { return console_path_text(path); }

void print_sjis(std::FILE* to, std::string_view sjis) {
  const std::string utf8 = cp932_to_utf8(sjis);
  std::fwrite(utf8.data(), 1, utf8.size(), to);
}
