// The emulated Windows machine behind the host OS services (host build only).
//
// The machine lives in one directory, ROOT (environment variable VRK_ROOT; by default
// $XDG_DATA_HOME/setup/machine or $HOME/.local/share/setup/machine), created on first use:
//   ROOT/C, ROOT/D, ...   drive X: is the folder ROOT/X; C always exists (with C:\WINDOWS)
//   ROOT/registry.reg     the registry, a REGEDIT4 file (see platform/host/regfile.h)
//   ROOT/machine.ini      the machine's settings; section [FreeSpace], key = drive letter,
//                         value = free bytes that drive reports; section [WriteLimit], key =
//                         drive letter, value = bytes a program may write into files on that
//                         drive (os_write, os_copy) before the drive is full (ENOSPC): a drive
//                         that fills while the program runs
// The process's current directory at first use is the medium, shown as drive Z: (no free space).
#pragma once

#include <string>

// Drive letter reserved for the medium.
constexpr char OS_HOST_MEDIUM_DRIVE = 'Z';

// Forgets all machine state (root, medium, registry in memory, write fault); the next call reads
// VRK_ROOT again and takes the current directory as the medium.
void os_host_reset(void);
// The machine's root directory on the host, created on first use; empty when none can be chosen.
std::string os_host_root(void);
// The host directory that is the medium (drive Z:); empty when the machine cannot start.
std::string os_host_medium(void);
// With on = 1 the OS services take the host's own paths as they stand (a backslash read as '/'), with no
// machine behind them: for host programs that work on the author's files, such as the authoring
// tool. 0 (the default) goes back to Windows paths on the emulated machine.
void os_host_native_paths(int on);
// Maps a Windows path onto the host path it names (existing components matched without regard to
// case); 0, or -1 with errno (ENOENT: no such drive or no current directory; EACCES: climbs out).
int os_host_map(const char* path, std::string* host);
// os_host_map with the drive letter the path lies on in *drive ('A'..'Z'; 0 for host paths, or when
// the path cannot be read); with `writing` non-zero, a path on the medium is refused (-1, EACCES)
// before it is mapped, as every service that writes refuses it.
int os_host_map_drive(const char* path, std::string* host, char* drive, int writing);
// os_host_map_drive for a file about to be opened with open(2) flags `oflags` (writing when they
// ask for it): where a file spelt as asked lies in a directory mapped just before, the open is the
// lookup, and *fd is its descriptor, or -1 with errno when it failed; else *fd is -2 and the caller
// opens *host.
int os_host_map_open(const char* path, std::string* host, char* drive, int oflags, int* fd);
// The absolute Windows form of a path ("C:\GAMES\FOO": drive upper-case, '\' separators, '.' and
// '..' resolved, relative paths joined to the current directory); 0 / -1 with errno.
int os_host_full_path(const char* path, std::string* out);

// Internal: drops the registry held in memory (called by os_host_reset).
void os_host_registry_reset(void);
// Internal: forgets the drives' write limits and the files counted against them (os_host_reset).
void os_host_write_limits_reset(void);
// 1 when `path` lies on the medium's drive, which no program may change (a disc), else 0.
int os_host_on_medium(const char* path);
