// Starting a program on POSIX. start_process starts it through an intermediate child that exits at
// once, so it is adopted by init and reaped there: nobody waits for it, and no zombie is left.
// WatchedProcess starts it as a child of this process and reaps it itself.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "platform/process.h"
#include "platform/process_hooks.h"

extern char** environ;

bool start_process(const char* command_line_cp932, bool hidden) {
  if (const StartProcessHandler& handler = start_process_handler()) return handler(command_line_cp932, hidden);
  std::vector<std::string> tokens = split_command_line(command_line_cp932);
  if (tokens.empty() || tokens[0].empty()) return false;
  std::vector<char*> argv;
  for (std::string& t : tokens) argv.push_back(t.data());
  argv.push_back(nullptr);

  // Everything that allocates is prepared before fork().
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (hidden) {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }

  const pid_t middle = fork();
  if (middle < 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  if (middle == 0) {
    // posix_spawnp reports a program that cannot be executed as its result.
    pid_t child;
    const int rc = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    _exit(rc == 0 ? 0 : 127);
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  while (waitpid(middle, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// ---- WatchedProcess ----

namespace {

// Programs whose watcher was given up while they ran; reaped when they have ended, so that none
// stays a zombie for the life of this process.
std::vector<pid_t>& abandoned() {
  static std::vector<pid_t> pids;
  return pids;
}

void reap_abandoned() {
  auto& pids = abandoned();
  for (size_t i = 0; i < pids.size();) {
    int status;
    const pid_t r = waitpid(pids[i], &status, WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR)) {
      ++i;
    } else {
      pids.erase(pids.begin() + std::ptrdiff_t(i));
    }
  }
}

// An unnamed file in the temporary folder: gone from the folder at once, gone from the disk when
// the last descriptor closes.
int unnamed_temporary_file() {
  const char* dir = getenv("TMPDIR");
  if (dir == nullptr || dir[0] == '\0') dir = "/tmp";
  int fd = open(dir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  // File systems without O_TMPFILE: a named file, unlinked at once.
  std::string name = std::string(dir) + "/kerfcut-XXXXXX";
  fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) unlink(name.c_str());
  return fd;
}

}  // namespace

WatchedProcess::~WatchedProcess() {
  if (process_ >= 0) abandoned().push_back(pid_t(process_));
  if (outputFile_ >= 0) close(int(outputFile_));
}

bool WatchedProcess::Start(const char* command_line_cp932) {
  reap_abandoned();
  if (process_ >= 0) return false;
  if (const WatchedStartObserver& observer = watched_start_observer()) observer(command_line_cp932);
  std::vector<std::string> tokens = split_command_line(command_line_cp932);
  if (tokens.empty() || tokens[0].empty()) return false;
  std::vector<char*> argv;
  for (std::string& t : tokens) argv.push_back(t.data());
  argv.push_back(nullptr);

  const int out = unnamed_temporary_file();
  if (out < 0) return false;
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    close(out);
    return false;
  }
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, out, 2);
  pid_t pid;
  // posix_spawnp reports a program that cannot be executed as its result.
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    close(out);
    return false;
  }
  process_ = pid;
  outputFile_ = out;
  exitStatus_ = -1;
  output_.clear();
  return true;
}

bool WatchedProcess::Running() {
  if (process_ < 0) return false;
  int status = 0;
  const pid_t r = waitpid(pid_t(process_), &status, WNOHANG);
  if (r == 0 || (r < 0 && errno == EINTR)) return true;
  if (r < 0) {
    Finish(-1);
  } else {
    Finish(WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1);
  }
  return false;
}

void WatchedProcess::Finish(int status) {
  process_ = -1;
  exitStatus_ = status;
  output_.assign(kOutputMax, '\0');
  size_t got = 0;
  while (got < kOutputMax) {
    const ssize_t n = pread(int(outputFile_), output_.data() + got, kOutputMax - got, off_t(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  output_.resize(got);
  close(int(outputFile_));
  outputFile_ = -1;
}
