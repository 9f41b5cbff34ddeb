// Starting a program on POSIX. The program is started by an intermediate child that exits at
// once, so it is adopted by init and reaped there: nobody waits for it, and no zombie is left.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "platform/process.h"

extern char** environ;

bool start_process(const char* command_line_cp932, bool hidden) {
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
