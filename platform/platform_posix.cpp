// Program folder, command line and sleeping on POSIX.
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

const char* program_folder() {
  static std::string folder = [] {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return std::string("./");
    path.resize(size_t(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
  }();
  return folder.c_str();
}

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
