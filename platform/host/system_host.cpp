// System services of the display layer on the host: the single-instance guard as a lock file,
// the program's path, and the version check (always met).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/system.h"

int plat_guard_acquire(const char* name, intptr_t* handle) {
  *handle = -1;
  char scoped[256];
  if (!name || plat_guard_name(name, scoped, sizeof scoped) < 0) return -1;
  // One lock file per guard name in the temporary directory; characters a file name cannot
  // carry become '_'.
  std::string file;
  for (const char* p = scoped; *p; ++p) {
    char c = *p;
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    file += ok ? c : '_';
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/vrk-" + std::to_string(getuid()) + "-" + file + ".lock";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return 0;
  }
  *handle = fd;
  return 1;
}

void plat_guard_release(intptr_t handle) {
  if (handle < 0) return;
  flock(int(handle), LOCK_UN);
  close(int(handle));
}

int plat_program_path(char* buf, int size) {
  if (!buf || size <= 1) return 0;
  ssize_t n = readlink("/proc/self/exe", buf, size_t(size) - 1);
  if (n <= 0 || n >= size - 1) return 0;
  buf[n] = '\0';
  return int(n);
}

int plat_check_requirements(void) { return 1; }
