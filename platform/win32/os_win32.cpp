// OS services on Windows: program start with _spawnv, current directory.
#include "platform/os.h"

#include <direct.h>
#include <process.h>
#include <windows.h>

int os_spawn(const char* path, const char* const* argv, int wait) {
  if (!path || !argv || !argv[0]) return -1;
  if (wait) {
    intptr_t code = _spawnv(_P_WAIT, path, argv);
    return code == -1 ? -1 : static_cast<int>(code);
  }
  // No-wait mode hands back a process handle: turn it into the process id and let it go.
  intptr_t handle = _spawnv(_P_NOWAIT, path, argv);
  if (handle == -1) return -1;
  HANDLE h = reinterpret_cast<HANDLE>(handle);
  DWORD pid = GetProcessId(h);
  CloseHandle(h);
  return pid ? static_cast<int>(pid) : -1;
}

int os_getcwd(char* buf, size_t size) {
  if (!buf || size == 0) return -1;
  return _getcwd(buf, static_cast<int>(size)) ? 0 : -1;
}

int os_chdir(const char* path) {
  if (!path) return -1;
  return _chdir(path) == 0 ? 0 : -1;
}
