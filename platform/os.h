// OS services the portable code may call: program start, current directory, files and
// directories, free space, the Windows directory, the registry and shell links.
// Paths are Windows paths ("C:\GAMES\FOO", '\' separators, drive letters). On Windows these are the
// real calls; the host build maps them onto an emulated Windows machine kept in a directory
// (see platform/host/machine.h). Failing calls set errno (ENOENT, EEXIST, EACCES, ENOSPC, ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// --- programs and the current directory ---
// Starts `path` with the argument vector `argv` (argv[0] the program, null-terminated). With
// wait != 0 waits and returns the program's exit code; otherwise returns a positive process id
// at once. -1 when the program cannot be started.
int os_spawn(const char* path, const char* const* argv, int wait);
// Copies the current directory (a Windows path) into buf; 0, or -1 when it does not fit.
int os_getcwd(char* buf, size_t size);
// Changes the current directory; 0 / -1.
int os_chdir(const char* path);

// --- files and directories ---
constexpr int OS_O_RDONLY = 0x0;
constexpr int OS_O_WRONLY = 0x1;
constexpr int OS_O_CREAT = 0x100;
constexpr int OS_O_TRUNC = 0x200;
// Opens a file in binary mode (flags: OS_O_RDONLY, or OS_O_WRONLY with OS_O_CREAT / OS_O_TRUNC;
// created files are readable and writable); a descriptor, or -1.
int os_open(const char* path, int flags);
// Reads up to n bytes; the count, 0 at the end, -1 on error.
long os_read(int fd, void* buf, unsigned long n);
// Writes n bytes; the count written, -1 on error (ENOSPC when the drive is full).
long os_write(int fd, const void* buf, unsigned long n);
// Closes a descriptor; 0 / -1.
int os_close(int fd);
// Makes what was written through a descriptor durable (on the disk, not only in the system's
// cache); 0 / -1.
int os_fsync(int fd);
// Hands a stream's buffered output to the system and makes it durable (on the disk, not only in
// the system's cache); 0 / -1.
int os_fsync_stream(FILE* f);
// Renames a file, replacing an existing target; 0 / -1.
int os_rename(const char* from, const char* to);
// Opens a file as a C stream ("rt", "wt", "rb", ...); null on failure.
FILE* os_fopen(const char* path, const char* mode);
// Opens a file named the way the user names files on the system the program runs on (a name from
// an environment variable): on Windows the same as os_fopen; on the host the host's own path,
// relative to the process's working directory, never a path of the emulated machine. Null on
// failure.
FILE* os_fopen_native(const char* path, const char* mode);
// Makes one directory (its parent must exist); 0 / -1 (EEXIST, ENOENT for a missing parent, EACCES).
int os_mkdir(const char* path);
// Removes an empty directory; 0 / -1.
int os_rmdir(const char* path);
// Deletes a file; 0 / -1.
int os_remove(const char* path);
// Deletes a file, or, when the system cannot delete it now because it is in use (a running
// program), has it deleted when the machine next starts; 0 / -1.
int os_remove_later(const char* path);
// 0 when the file or directory exists, else -1.
int os_access(const char* path);
// 1 when `path` names an existing directory, else 0.
int os_is_dir(const char* path);
// 1 when both paths name one existing file (the same file reached by two names, links
// included), else 0.
int os_same_file(const char* a, const char* b);
// One entry of a directory listing.
struct os_dir_entry {
  const char* name;  // the entry's name as the file system spells it (never "." or "..")
  int is_dir;        // 1 for a directory
};
// Calls fn for every entry of directory `path` (in no set order) until fn returns non-zero;
// 0, or -1 when the directory cannot be read.
int os_list_dir(const char* path, int (*fn)(const os_dir_entry* entry, void* ctx), void* ctx);
// Free bytes on drive `drive` (1 = A, 3 = C), in 64 bits; 0, or -1 when the drive cannot be asked
// (the output is set to 0 first).
int os_disk_free(int drive, uint64_t* free_bytes);
// Copies the Windows directory (e.g. "C:\WINDOWS") into buf; 0 / -1.
int os_windows_dir(char* buf, size_t size);
// Copies up to size bytes from file `in` (at its position) on to file `out`, by the system's own
// file-to-file copy where it has one, else through buf (size bytes). The count copied (0: `in` is
// at its end), or -1 with errno and *write_failed saying which side failed (1 writing, 0 reading).
long os_copy(int in, int out, void* buf, unsigned long size, int* write_failed);
// Test seam: after `bytes` more bytes, every os_write fails with ENOSPC (a full drive);
// a negative value turns the fault off.
void os_fault_write_after(long long bytes);

// --- registry ---
enum os_reg_root { OS_HKEY_LOCAL_MACHINE, OS_HKEY_CURRENT_USER };
struct os_reg_key;
typedef os_reg_key* os_hkey;
// Opens an existing key; 0 and the key, or -1.
int os_reg_open(os_reg_root root, const char* path, os_hkey* key);
// Opens a key, creating it and any missing parents; 0 and the key, with *created_new 1 when
// the key did not exist before; -1 on failure.
int os_reg_create(os_reg_root root, const char* path, os_hkey* key, int* created_new);
// Sets a string value (REG_SZ; name null or "" is the default value); 0 / -1.
int os_reg_set_string(os_hkey key, const char* name, const char* value);
// Sets a number value (REG_DWORD); 0 / -1.
int os_reg_set_dword(os_hkey key, const char* name, uint32_t value);
// Reads a string value into buf (at most size bytes, terminated); 0 / -1.
int os_reg_get_string(os_hkey key, const char* name, char* buf, size_t size);
// Closes a key (null: nothing).
void os_reg_close(os_hkey key);
// Calls fn with the name of every direct subkey of `key` (in no set order) until fn returns
// non-zero; 0, or -1 when the key cannot be read.
int os_reg_list_subkeys(os_hkey key, int (*fn)(const char* name, void* ctx), void* ctx);
// Calls fn with the name of every value of `key` ("" for the default value; in no set order) until
// fn returns non-zero; 0, or -1 when the key cannot be read.
int os_reg_list_values(os_hkey key, int (*fn)(const char* name, void* ctx), void* ctx);
// Deletes key `path` with its values when it has no subkeys; 0, or -1 (errno ENOENT when it does
// not exist, ENOTEMPTY when it has subkeys, EINVAL for a root or a bad path).
int os_reg_delete_key(os_reg_root root, const char* path);

// --- shell links ---
// Starts the component services the shell link object needs; 0 / -1.
int os_com_init(void);
// Stops them (also after a failed os_com_init).
void os_com_exit(void);
constexpr int OS_SHOW_DEFAULT = 0;
constexpr int OS_SHOW_MINIMIZED = 1;
constexpr int OS_SHOW_MAXIMIZED = 2;
// Writes the shortcut file `lnk_path` pointing at `target`, with a description, a working
// directory, an optional icon (null: none) and a show state; 0 / -1.
int os_shell_link(const char* lnk_path, const char* target, const char* description,
                  const char* workdir, const char* icon_path, int icon_index, int show_cmd);
