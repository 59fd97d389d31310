// OS services the portable code may call: program start and the current directory.
// Paths are Windows paths ('\' separators); the host build maps them for its file system.
#pragma once

#include <cstddef>

// Starts `path` with the argument vector `argv` (argv[0] the program, null-terminated). With
// wait != 0 waits and returns the program's exit code; otherwise returns a positive process id
// at once. -1 when the program cannot be started.
int os_spawn(const char* path, const char* const* argv, int wait);
// Copies the current directory (a Windows path on Windows) into buf; 0, or -1 when it does not fit.
int os_getcwd(char* buf, size_t size);
// Changes the current directory; 0 / -1.
int os_chdir(const char* path);
