// System services of the display layer on Windows: the named single-instance mutex, the
// program's path and the Windows version check.
#include <windows.h>

#include "platform/system.h"

int plat_guard_acquire(const char* name, intptr_t* handle) {
  *handle = -1;
  char scoped[MAX_PATH];
  if (!name || plat_guard_name(name, scoped, sizeof scoped) < 0) return -1;
  SetLastError(0);
  HANDLE m = CreateMutexA(nullptr, TRUE, scoped);
  if (!m) return -1;
  if (GetLastError() != 0) {  // it existed already: another copy holds it
    CloseHandle(m);
    return 0;
  }
  *handle = reinterpret_cast<intptr_t>(m);
  return 1;
}

void plat_guard_release(intptr_t handle) {
  if (handle == -1 || handle == 0) return;
  HANDLE m = reinterpret_cast<HANDLE>(handle);
  ReleaseMutex(m);
  CloseHandle(m);
}

int plat_program_path(char* buf, int size) {
  if (!buf || size <= 1) return 0;
  DWORD n = GetModuleFileNameA(nullptr, buf, DWORD(size));
  if (n == 0 || n >= DWORD(size)) return 0;
  return int(n);
}

namespace {

// 1 when the Windows version is acceptable: any Windows 95-family version, NT 4.0 or later.
int DetectRequirements() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return 1;
#pragma GCC diagnostic pop
  bool ok = true;
  if (info.dwPlatformId == VER_PLATFORM_WIN32s) ok = false;
  else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) ok = info.dwMajorVersion >= 4;
  if (!ok)
    MessageBoxA(nullptr, "This program requires Windows 95 or Windows NT version 4.0 or greater.",
                "Wrong Windows Version", MB_ICONHAND);
  return ok ? 1 : 0;
}

}  // namespace

int plat_check_requirements(void) { return DetectRequirements(); }
