// The program's path, the system folder, file deletion, the command line and sleeping on POSIX.
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace {

std::string g_commandLine;
bool g_commandLineSet = false;

// Quotes an argument the way the command-line splitter reads it back: a blank, a tab or an empty
// argument needs double quotes (an argument cannot carry a double quote of its own).
void append_argument(std::string& line, const char* arg) {
  if (!line.empty()) line += ' ';
  std::string a(arg);
  if (a.empty() || a.find_first_of(" \t") != std::string::npos) {
    line += '"';
    line += a;
    line += '"';
  } else {
    line += a;
  }
}

}  // namespace

const char* program_path() {
  static const std::string path = [] {
    std::string link(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", link.data(), link.size() - 1);
    link.resize(n > 0 ? size_t(n) : 0);
    return link;
  }();
  return path.c_str();
}

const char* system_folder() { return "/"; }

bool delete_file(const char* path) { return unlink(path) == 0 || errno == ENOENT; }

void platform_set_args(int argc, char** argv) {
  g_commandLine.clear();
  for (int i = 0; i < argc; ++i) append_argument(g_commandLine, argv[i]);
  g_commandLineSet = true;
}

const char* command_line() {
  if (!g_commandLineSet) {
    // Not given by main: the kernel keeps the arguments, zero-separated.
    std::string raw;
    if (FILE* f = std::fopen("/proc/self/cmdline", "rb")) {
      char chunk[4096];
      size_t n;
      while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) raw.append(chunk, n);
      std::fclose(f);
    }
    g_commandLine.clear();
    for (size_t start = 0; start < raw.size();) {
      const size_t end = raw.find('\0', start);
      const std::string arg = raw.substr(start, end == std::string::npos ? raw.npos : end - start);
      append_argument(g_commandLine, arg.c_str());
      if (end == std::string::npos) break;
      start = end + 1;
    }
    g_commandLineSet = true;
  }
  return g_commandLine.c_str();
}

void sleep_ms(uint32_t ms) {
  timespec left{time_t(ms / 1000), long(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

uint64_t monotonic_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}
