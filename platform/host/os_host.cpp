// OS services on a POSIX host: program start with posix_spawn, current directory.
//
// The portable code speaks Windows paths. Until the emulated Windows machine maps drive letters,
// the host build only turns '\' into '/' in the paths handed to these calls; the current directory
// is reported as the host's own path.
#include "platform/os.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

extern char** environ;

namespace {

std::string hostPath(const char* path) {
  std::string p(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

}  // namespace

int os_spawn(const char* path, const char* const* argv, int wait) {
  if (!path || !argv || !argv[0]) return -1;
  std::string file = hostPath(path);
  pid_t pid;
  if (posix_spawn(&pid, file.c_str(), nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return -1;
  if (!wait) return static_cast<int>(pid);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

int os_getcwd(char* buf, size_t size) {
  if (!buf || size == 0) return -1;
  return getcwd(buf, size) ? 0 : -1;
}

int os_chdir(const char* path) {
  if (!path) return -1;
  return chdir(hostPath(path).c_str()) == 0 ? 0 : -1;
}
