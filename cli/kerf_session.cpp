// Options, exit statuses, the progress bar and messages of every kerf command (see kerf_session.h).
#include "cli/kerf_session.h"

#include <cstdio>
#include <cstdlib>

#include "cli/cli_text.h"
#include "common/timefmt.h"
#include "plans/plan_json.h"
#include "platform/console.h"

int usage_error(const std::string& message, const char* help) {
  std::fprintf(stderr, "kerf: %s\n\n%s", message.c_str(), help);
  return kExitUsage;
}

std::string ms_text(int32_t ms) {
  char buf[16];
  return ms_to_text(ms, buf);
}

bool read_number(const std::string& text, int base, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, base);
  if (text.empty() || *end || v < 0 || v > 0x7FFFFFFF) return false;
  value = int(v);
  return true;
}

int32_t method_of(const Args& args) {
  const std::string m = args.value("method", "3");
  return m == "1" ? kMethodFirstLast : m == "2" ? kMethodEstimate : m == "3" ? kMethodAutomatic : -1;
}

int begin_command(const std::vector<std::string>& argv, const ArgDesc& desc, const char* help, Args& args,
                  int32_t& method) {
  std::string error;
  if (!parse_args(argv, 2, desc, args, error)) return usage_error(error, help);
  if (args.has("help")) return std::fputs(help, stdout), kExitOk;
  if (args.positional.size() != 1) return usage_error(argv[1] + " takes one FILE", help);
  method = method_of(args);
  if (method < 0) return usage_error("--method takes 1, 2 or 3", help);
  return -1;
}

TerminalBar::TerminalBar(bool shown) { Show(shown); }

void TerminalBar::Show(bool shown) { shown_ = shown && console_stderr_is_terminal(); }

void TerminalBar::Draw(int percent) {
  if (!shown_) return;
  const int whole = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  if (whole == last_) return;
  last_ = whole;
  const int width = 40;
  const int filled = whole * width / 100;
  std::fprintf(stderr, "\r[%.*s%.*s] %3d%%", filled, "########################################",
               width - filled, "                                        ", whole);
  std::fflush(stderr);
}

void TerminalBar::End() {
  if (last_ >= 0) std::fputc('\n', stderr);
  last_ = -1;
}

bool StderrSink::Report(MessageKind, const char* text) {
  std::fputs("kerf: ", stderr);
  print_sjis(stderr, text);
  std::fputc('\n', stderr);
  return true;
}

bool optional_position(const Args& args, const char* name, std::optional<Position>& position, std::string& error) {
  position.reset();
  if (!args.has(name)) return true;
  Position p;
  if (!parse_position(args.value(name), p)) {
    error = std::string("--") + name + " takes a time (hh:mm:ss.sss) or a packet number (p:hex)";
    return false;
  }
  position = p;
  return true;
}

bool position_of(const Args& args, const char* name, const Recording& rec, int32_t fallback,
                 int32_t& packet, std::string& error) {
  std::optional<Position> p;
  if (!optional_position(args, name, p, error)) return false;
  packet = p ? rec.ToPacket(*p) : fallback;
  return true;
}

int open_recording(const std::string& path, int32_t method, Recording& rec) {
  StderrSink sink;
  return report_error(OpenRecording(path, method, sink, rec), "");
}

int exit_status(Outcome outcome) { return outcome_status(outcome); }

int report_error(const CommandError& error, const char* help) {
  if (error.outcome == Outcome::BadRequest) return usage_error(error.message, help);
  if (!error.message.empty()) std::fprintf(stderr, "kerf: %s\n", path_for_terminal(error.message).c_str());
  return exit_status(error.outcome);
}
