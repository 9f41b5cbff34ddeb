// Starting the demux tool from the tests, on POSIX with posix_spawn and on Windows with
// CreateProcessW, capturing standard output through a pipe.
#include "tests/demux/tool_process.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

#ifdef _WIN32
const char kToolName[] = "KERFDMX.EXE";
#else
const char kToolName[] = "kerfdmx";
#endif

}  // namespace

std::string built_tool_path() {
  const char* dir = std::getenv("KERF_BUILD_DIR");
  if (!dir) throw std::runtime_error("KERF_BUILD_DIR is not set");
  return (std::filesystem::path(dir) / "bin" / kToolName).string();
}

std::string install_tool(const std::string& folder) {
  auto target = std::filesystem::path(folder) / kToolName;
  std::filesystem::copy_file(built_tool_path(), target,
                             std::filesystem::copy_options::overwrite_existing);
  return target.string();
}

#ifdef _WIN32

namespace {

std::wstring widen(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(932, 0, s.data(), int(s.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  MultiByteToWideChar(932, 0, s.data(), int(s.size()), w.data(), n);
  return w;
}

ToolResult run_line(const std::string& line) {
  ToolResult result;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  std::wstring wline = widen(line);
  if (!CreateProcessW(nullptr, wline.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi)) {
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    return result;
  }
  result.started = true;
  CloseHandle(writeEnd);
  char buf[4096];
  DWORD got;
  while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got > 0) result.out.append(buf, got);
  CloseHandle(readEnd);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  result.exitStatus = int(code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return result;
}

std::string quote(const std::string& arg) {
  return arg.find_first_of(" \t") == std::string::npos && !arg.empty() ? arg : "\"" + arg + "\"";
}

}  // namespace

ToolResult run_tool(const std::string& tool, const std::vector<std::string>& args) {
  std::string line = "\"" + tool + "\"";
  for (const auto& a : args) line += " " + quote(a);
  return run_line(line);
}

ToolResult run_tool_bare(const std::string& tool) { return run_line("\"" + tool + "\""); }

#else

ToolResult run_tool(const std::string& tool, const std::vector<std::string>& args) {
  ToolResult result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::vector<char*> argv;
  std::string arg0 = tool;
  argv.push_back(arg0.data());
  std::vector<std::string> copies(args);
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return result;
  }
  result.started = true;
  char buf[4096];
  ssize_t got;
  while ((got = read(fds[0], buf, sizeof buf)) > 0 || (got < 0 && errno == EINTR))
    if (got > 0) result.out.append(buf, size_t(got));
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

ToolResult run_tool_bare(const std::string& tool) { return run_tool(tool, {}); }

#endif
