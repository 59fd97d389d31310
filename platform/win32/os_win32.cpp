// OS services on Windows: the C runtime for programs, directories and files; KERNEL32 for free
// space and the Windows directory; ADVAPI32 for the registry; COM and the shell's link object
// for shortcuts.
#include "platform/os.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shlguid.h>

#include <cerrno>
#include <cstring>

#include "platform/fault.h"

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

// --- files and directories ---

int os_open(const char* path, int flags) {
  if (!path) return -1;
  int f = _O_BINARY | ((flags & OS_O_WRONLY) ? _O_WRONLY : _O_RDONLY);
  if (flags & OS_O_CREAT) f |= _O_CREAT;
  if (flags & OS_O_TRUNC) f |= _O_TRUNC;
  return _open(path, f, _S_IREAD | _S_IWRITE);
}

long os_read(int fd, void* buf, unsigned long n) {
  // The runtime counts in unsigned int; larger requests are read in part, which read allows.
  unsigned int count = n > 0x7FFFFFFFul ? 0x7FFFFFFFu : static_cast<unsigned int>(n);
  return _read(fd, buf, count);
}

long os_copy(int in, int out, void* buf, unsigned long size, int* write_failed) {
  return os_copy_through(in, out, buf, size, write_failed);
}

long os_write(int fd, const void* buf, unsigned long n) {
  unsigned long allowed = os_fault_take(n);
  if (n > 0 && allowed == 0) {
    errno = ENOSPC;
    return -1;
  }
  const char* p = static_cast<const char*>(buf);
  unsigned long done = 0;
  while (done < allowed) {
    unsigned long left = allowed - done;
    unsigned int count = left > 0x7FFFFFFFul ? 0x7FFFFFFFu : static_cast<unsigned int>(left);
    int w = _write(fd, p + done, count);
    if (w < 0) return done ? static_cast<long>(done) : -1;
    if (w == 0) {  // the runtime's way of saying the disk is full
      if (done) break;
      errno = ENOSPC;
      return -1;
    }
    done += static_cast<unsigned long>(w);
  }
  return static_cast<long>(done);
}

int os_close(int fd) { return _close(fd) == 0 ? 0 : -1; }

int os_fsync(int fd) { return _commit(fd) == 0 ? 0 : -1; }

int os_fsync_stream(FILE* f) {
  if (!f || std::fflush(f) != 0) return -1;
  return _commit(_fileno(f)) == 0 ? 0 : -1;
}

int os_rename(const char* from, const char* to) {
  if (!from || !to) return -1;
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return 0;
  DWORD e = GetLastError();
  errno = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? ENOENT : e == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return -1;
}

FILE* os_fopen(const char* path, const char* mode) {
  if (!path || !mode) return nullptr;
  return std::fopen(path, mode);
}

FILE* os_fopen_native(const char* path, const char* mode) { return os_fopen(path, mode); }

int os_mkdir(const char* path) { return path && _mkdir(path) == 0 ? 0 : -1; }

int os_rmdir(const char* path) { return path && _rmdir(path) == 0 ? 0 : -1; }

int os_remove(const char* path) { return path && std::remove(path) == 0 ? 0 : -1; }

int os_remove_later(const char* path) {
  if (!path) return -1;
  if (DeleteFileA(path)) return 0;
  const DWORD e = GetLastError();
  if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) {
    errno = ENOENT;
    return -1;
  }
  // A running program's own file: the system removes it at the next start.
  if ((e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION) &&
      MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
    return 0;
  errno = EACCES;
  return -1;
}

int os_access(const char* path) { return path && _access(path, 0) == 0 ? 0 : -1; }

int os_is_dir(const char* path) {
  if (!path) return 0;
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

namespace {
// The volume and file index of an existing file or directory; false when it cannot be opened.
bool fileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE h = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(h, info) != 0;
  CloseHandle(h);
  return ok;
}
}  // namespace

int os_same_file(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  if (!a || !b || !fileIdentity(a, &ia) || !fileIdentity(b, &ib)) return 0;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
                 ia.nFileIndexLow == ib.nFileIndexLow
             ? 1
             : 0;
}

int os_list_dir(const char* path, int (*fn)(const os_dir_entry* entry, void* ctx), void* ctx) {
  if (!path || !fn) return -1;
  size_t n = std::strlen(path);
  char pattern[MAX_PATH];
  const char* sep = (n == 0 || path[n - 1] == '\\' || path[n - 1] == '/' || path[n - 1] == ':') ? "" : "\\";
  if (n + std::strlen(sep) + 2 > sizeof pattern) return -1;
  std::strcpy(pattern, path);
  std::strcat(pattern, sep);
  std::strcat(pattern, "*");
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern, &fd);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
  do {
    if (std::strcmp(fd.cFileName, ".") == 0 || std::strcmp(fd.cFileName, "..") == 0) continue;
    os_dir_entry entry{fd.cFileName, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0};
    if (fn(&entry, ctx)) break;
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return 0;
}

int os_disk_free(int drive, uint64_t* free_bytes) {
  if (free_bytes) *free_bytes = 0;
  if (!free_bytes || drive < 1 || drive > 26) {
    errno = EINVAL;
    return -1;
  }
  char root[4] = {static_cast<char>('A' + drive - 1), ':', '\\', '\0'};
  ULARGE_INTEGER avail, total, totalFree;
  // An empty card reader or floppy drive must answer "no drive", not raise the system's own
  // "insert a disk" dialog over the full-screen program.
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const BOOL ok = GetDiskFreeSpaceExA(root, &avail, &total, &totalFree);
  SetErrorMode(oldMode);
  if (!ok) {
    errno = ENOENT;
    return -1;
  }
  *free_bytes = avail.QuadPart;
  return 0;
}

int os_windows_dir(char* buf, size_t size) {
  if (!buf || size == 0) return -1;
  UINT cap = size > 0xFFFFu ? 0xFFFFu : static_cast<UINT>(size);
  UINT n = GetWindowsDirectoryA(buf, cap);
  return n == 0 || n >= cap ? -1 : 0;  // n >= cap: the size it would need
}

// --- registry ---

struct os_reg_key {
  HKEY h;
};

namespace {

HKEY rootKey(os_reg_root root) {
  return root == OS_HKEY_CURRENT_USER ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

int failReg(LONG rc) {
  errno = rc == ERROR_FILE_NOT_FOUND ? ENOENT : rc == ERROR_ACCESS_DENIED ? EACCES : EINVAL;
  return -1;
}

}  // namespace

int os_reg_open(os_reg_root root, const char* path, os_hkey* key) {
  if (!path || !key) return -1;
  *key = nullptr;
  HKEY h;
  LONG rc = RegOpenKeyExA(rootKey(root), path, 0, KEY_ALL_ACCESS, &h);
  if (rc == ERROR_ACCESS_DENIED) rc = RegOpenKeyExA(rootKey(root), path, 0, KEY_READ, &h);
  if (rc != ERROR_SUCCESS) return failReg(rc);
  *key = new os_reg_key{h};
  return 0;
}

int os_reg_create(os_reg_root root, const char* path, os_hkey* key, int* created_new) {
  if (!path || !key) return -1;
  *key = nullptr;
  if (created_new) *created_new = 0;
  HKEY h;
  DWORD disposition = 0;
  LONG rc = RegCreateKeyExA(rootKey(root), path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &h, &disposition);
  if (rc != ERROR_SUCCESS) return failReg(rc);
  if (created_new) *created_new = disposition == REG_CREATED_NEW_KEY ? 1 : 0;
  *key = new os_reg_key{h};
  return 0;
}

int os_reg_set_string(os_hkey key, const char* name, const char* value) {
  if (!key || !value) return -1;
  size_t len = std::strlen(value);  // stored without the terminating zero
  if (len > 0x7FFFFFFFu) return -1;
  LONG rc = RegSetValueExA(key->h, name && *name ? name : nullptr, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(len));
  return rc == ERROR_SUCCESS ? 0 : failReg(rc);
}

int os_reg_set_dword(os_hkey key, const char* name, uint32_t value) {
  if (!key) return -1;
  const DWORD v = value;
  LONG rc = RegSetValueExA(key->h, name && *name ? name : nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  return rc == ERROR_SUCCESS ? 0 : failReg(rc);
}

int os_reg_get_string(os_hkey key, const char* name, char* buf, size_t size) {
  if (!key || !buf || size == 0) return -1;
  buf[0] = '\0';
  DWORD type = 0;
  DWORD cb = size > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(size);
  LONG rc = RegQueryValueExA(key->h, name && *name ? name : nullptr, nullptr, &type,
                             reinterpret_cast<BYTE*>(buf), &cb);
  if (rc == ERROR_MORE_DATA) {
    buf[0] = '\0';
    errno = ERANGE;
    return -1;
  }
  if (rc != ERROR_SUCCESS) return failReg(rc);
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    buf[0] = '\0';
    errno = EINVAL;
    return -1;
  }
  // The stored string need not end with a zero: terminate it, refusing when it fills the buffer.
  if (cb > 0 && buf[cb - 1] == '\0') return 0;
  if (cb >= size) {
    buf[0] = '\0';
    errno = ERANGE;
    return -1;
  }
  buf[cb] = '\0';
  return 0;
}

void os_reg_close(os_hkey key) {
  if (!key) return;
  RegCloseKey(key->h);
  delete key;
}

int os_reg_list_subkeys(os_hkey key, int (*fn)(const char* name, void* ctx), void* ctx) {
  if (!key || !fn) return -1;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    LONG rc = RegEnumKeyExA(key->h, i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return 0;
    if (rc != ERROR_SUCCESS) return failReg(rc);
    if (fn(name, ctx)) return 0;
  }
}

int os_reg_list_values(os_hkey key, int (*fn)(const char* name, void* ctx), void* ctx) {
  if (!key || !fn) return -1;
  char name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    LONG rc = RegEnumValueA(key->h, i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return 0;
    if (rc != ERROR_SUCCESS) return failReg(rc);
    if (fn(name, ctx)) return 0;
  }
}

int os_reg_delete_key(os_reg_root root, const char* path) {
  if (!path || !path[0] || std::strspn(path, "\\") == std::strlen(path)) {
    errno = EINVAL;
    return -1;
  }
  HKEY h;
  LONG rc = RegOpenKeyExA(rootKey(root), path, 0, KEY_READ, &h);
  if (rc != ERROR_SUCCESS) return failReg(rc);
  DWORD subkeys = 0;
  rc = RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr);
  RegCloseKey(h);
  if (rc != ERROR_SUCCESS) return failReg(rc);
  if (subkeys) {
    errno = ENOTEMPTY;
    return -1;
  }
  rc = RegDeleteKeyA(rootKey(root), path);
  return rc == ERROR_SUCCESS ? 0 : failReg(rc);
}

// --- shell links ---

int os_com_init(void) {
  HRESULT hr = CoInitialize(nullptr);
  return SUCCEEDED(hr) ? 0 : -1;  // S_FALSE: already started on this thread, still balanced by exit
}

void os_com_exit(void) { CoUninitialize(); }

int os_shell_link(const char* lnk_path, const char* target, const char* description,
                  const char* workdir, const char* icon_path, int icon_index, int show_cmd) {
  if (!lnk_path || !target) return -1;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return -1;
  IPersistFile* file = nullptr;
  bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
  if (ok) {
    ok = SUCCEEDED(link->SetPath(target));
    if (ok && description) ok = SUCCEEDED(link->SetDescription(description));
    if (ok && workdir) ok = SUCCEEDED(link->SetWorkingDirectory(workdir));
    if (ok && icon_path) ok = SUCCEEDED(link->SetIconLocation(icon_path, icon_index));
    if (ok && show_cmd != OS_SHOW_DEFAULT) {
      int sw = show_cmd == OS_SHOW_MAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWMINNOACTIVE;
      ok = SUCCEEDED(link->SetShowCmd(sw));
    }
    WCHAR wide[MAX_PATH];
    if (ok) ok = MultiByteToWideChar(CP_ACP, 0, lnk_path, -1, wide, MAX_PATH) != 0;
    if (ok) ok = SUCCEEDED(file->Save(wide, TRUE));
    file->Release();
  }
  link->Release();
  return ok ? 0 : -1;
}
