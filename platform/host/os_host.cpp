// OS services on a POSIX host: files, directories, free space and program start on the emulated
// Windows machine (platform/host/machine.h maps every Windows path first).
#include "platform/os.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string>

#include "platform/fault.h"
#include "platform/host/machine.h"

extern char** environ;

namespace {

// The byte count configured for drive `letter` in ROOT/machine.ini, section `section` (such as
// "[FreeSpace]"); false when the file, the section or the key is missing or the value is not a
// number.
bool configuredBytes(const char* section, char letter, unsigned long long* bytes) {
  std::ifstream in(os_host_root() + "/machine.ini");
  if (!in) return false;
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    size_t s = line.find_first_not_of(" \t");
    if (s == std::string::npos || line[s] == ';') continue;
    line.erase(0, s);
    if (line[0] == '[') {
      inSection = strcasecmp(line.c_str(), section) == 0;
      continue;
    }
    if (!inSection) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    while (!key.empty() && std::isspace(static_cast<unsigned char>(key.back()))) key.pop_back();
    if (key.size() != 1 || std::toupper(static_cast<unsigned char>(key[0])) != letter) continue;
    const char* v = line.c_str() + eq + 1;
    while (*v == ' ' || *v == '\t') ++v;
    if (!std::isdigit(static_cast<unsigned char>(*v))) return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long n = std::strtoull(v, &end, 10);
    if (*end != '\0') return false;
    *bytes = errno == ERANGE ? ~0ull : n;
    return true;
  }
  return false;
}

// Drives that fill up while this process writes ([WriteLimit] in machine.ini): the bytes each
// may still take, and the open files that write to one of them.
struct WriteLimits {
  std::mutex lock;
  bool loaded = false;
  long long left[26];         // -1: no limit
  std::map<int, int> drives;  // file descriptor -> drive index
};

WriteLimits& writeLimits() {
  static WriteLimits limits;
  return limits;
}

// Loads the limits once per machine (the caller holds the lock).
void loadWriteLimits(WriteLimits& w) {
  if (w.loaded) return;
  for (int d = 0; d < 26; ++d) {
    unsigned long long bytes = 0;
    w.left[d] = configuredBytes("[WriteLimit]", static_cast<char>('A' + d), &bytes)
                    ? static_cast<long long>(std::min<unsigned long long>(bytes, 1ull << 62))
                    : -1;
  }
  w.loaded = true;
}

// Notes a file opened for writing on drive `letter` when that drive has a limit.
void trackWriter(char letter, int fd) {
  const int drive = letter - 'A';
  if (fd < 0 || drive < 0 || drive >= 26) return;
  WriteLimits& w = writeLimits();
  std::lock_guard<std::mutex> hold(w.lock);
  loadWriteLimits(w);
  if (w.left[drive] >= 0) w.drives[fd] = drive;
}

// How many of n bytes a write to fd may put down before its drive is full; n when fd's drive has
// no limit. What it answers is taken from the drive's allowance.
unsigned long limitTake(int fd, unsigned long n) {
  WriteLimits& w = writeLimits();
  std::lock_guard<std::mutex> hold(w.lock);
  auto it = w.drives.find(fd);
  if (it == w.drives.end()) return n;
  long long& left = w.left[it->second];
  const unsigned long take = static_cast<unsigned long>(std::min<long long>(left, static_cast<long long>(n)));
  left -= static_cast<long long>(take);
  return take;
}

bool isLimited(int fd) {
  WriteLimits& w = writeLimits();
  std::lock_guard<std::mutex> hold(w.lock);
  return w.drives.count(fd) != 0;
}

// The medium is a disc: nothing written, made, renamed or removed there.
bool refusedOnMedium(const char* path) {
  if (!os_host_on_medium(path)) return false;
  errno = EACCES;
  return true;
}

// A stream writing through os_write, so that a drive's [WriteLimit] counts its bytes too.
struct LimitedStream {
  int fd;
};
ssize_t streamWrite(void* cookie, const char* buf, size_t n) {
  const long w = os_write(static_cast<LimitedStream*>(cookie)->fd, buf, n);
  return w < 0 ? 0 : w;  // stdio reads a short count as an error
}
int streamClose(void* cookie) {
  auto* stream = static_cast<LimitedStream*>(cookie);
  const int rc = os_close(stream->fd);
  delete stream;
  return rc;
}

}  // namespace

void os_host_write_limits_reset(void) {
  WriteLimits& w = writeLimits();
  std::lock_guard<std::mutex> hold(w.lock);
  w.loaded = false;
  w.drives.clear();
}

int os_spawn(const char* path, const char* const* argv, int wait) {
  if (!path || !argv || !argv[0]) return -1;
  std::string file;
  if (os_host_map(path, &file) != 0) return -1;
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

int os_open(const char* path, int flags) {
  std::string host;
  char drive = 0;
  int f = O_CLOEXEC | ((flags & OS_O_WRONLY) ? O_WRONLY : O_RDONLY);
  if (flags & OS_O_CREAT) f |= O_CREAT;
  if (flags & OS_O_TRUNC) f |= O_TRUNC;
  int fd = -2;
  if (os_host_map_open(path, &host, &drive, f, &fd) != 0) return -1;
  if (fd == -2) {
    do {
      fd = open(host.c_str(), f, 0666);
    } while (fd < 0 && errno == EINTR);
  }
  if (flags & OS_O_WRONLY) trackWriter(drive, fd);
  return fd;
}

long os_read(int fd, void* buf, unsigned long n) {
  ssize_t r;
  do {
    r = read(fd, buf, n);
  } while (r < 0 && errno == EINTR);
  return static_cast<long>(r);
}

long os_write(int fd, const void* buf, unsigned long n) {
  unsigned long allowed = limitTake(fd, os_fault_take(n));
  if (n > 0 && allowed == 0) {
    errno = ENOSPC;
    return -1;
  }
  const char* p = static_cast<const char*>(buf);
  unsigned long done = 0;
  while (done < allowed) {
    ssize_t w = write(fd, p + done, allowed - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      return done ? static_cast<long>(done) : -1;
    }
    done += static_cast<unsigned long>(w);
  }
  return static_cast<long>(done);
}

// The kernel copies between the two files itself where it can (no trip through user memory; on
// some file systems no data copy at all). Where it cannot, or while a test simulates a full drive,
// or on any error (the plain copy then meets the same error and knows which side had it), the
// copy goes through the buffer.
long os_copy(int in, int out, void* buf, unsigned long size, int* write_failed) {
  static bool kernelCopy = true;
  *write_failed = 0;
  if (kernelCopy && !os_fault_active() && in >= 0 && out >= 0 && !isLimited(out)) {
    ssize_t r;
    do {
      r = copy_file_range(in, nullptr, out, nullptr, size, 0);
    } while (r < 0 && errno == EINTR);
    if (r >= 0) return static_cast<long>(r);
    if (errno == ENOSYS) kernelCopy = false;
  }
  return os_copy_through(in, out, buf, size, write_failed);
}

int os_close(int fd) {
  {
    WriteLimits& w = writeLimits();
    std::lock_guard<std::mutex> hold(w.lock);
    w.drives.erase(fd);
  }
  return close(fd) == 0 ? 0 : -1;
}

// The data and the size a reader needs; the other metadata can wait.
int os_fsync(int fd) { return fdatasync(fd) == 0 ? 0 : -1; }

int os_fsync_stream(FILE* f) {
  if (!f || std::fflush(f) != 0) return -1;
  if (fileno(f) < 0) return 0;  // a stream on a drive that fills up (a test's), through os_write
  return fdatasync(fileno(f)) == 0 ? 0 : -1;
}

int os_rename(const char* from, const char* to) {
  std::string a, b;
  if (refusedOnMedium(from) || refusedOnMedium(to) || os_host_map(from, &a) != 0 || os_host_map(to, &b) != 0)
    return -1;
  return rename(a.c_str(), b.c_str()) == 0 ? 0 : -1;
}

FILE* os_fopen(const char* path, const char* mode) {
  std::string host;
  if (!mode || os_host_map(path, &host) != 0) return nullptr;
  const bool writes = std::strpbrk(mode, "wa+") != nullptr;
  if (!writes) return std::fopen(host.c_str(), mode);
  if (refusedOnMedium(path)) return nullptr;
  FILE* f = std::fopen(host.c_str(), mode);
  if (!f) return nullptr;
  // On a drive that fills up, the stream's bytes go through os_write and count against it.
  const int fd = os_open(path, OS_O_WRONLY);
  if (fd < 0 || !isLimited(fd)) {
    if (fd >= 0) os_close(fd);
    return f;
  }
  std::fclose(f);
  if (std::strchr(mode, 'a')) lseek(fd, 0, SEEK_END);
  auto* stream = new LimitedStream{fd};
  FILE* limited = fopencookie(stream, "w", cookie_io_functions_t{nullptr, streamWrite, nullptr, streamClose});
  if (!limited) streamClose(stream);
  return limited;
}

FILE* os_fopen_native(const char* path, const char* mode) {
  if (!path || !*path || !mode) return nullptr;
  return std::fopen(path, mode);
}

int os_mkdir(const char* path) {
  std::string host;
  if (refusedOnMedium(path) || os_host_map(path, &host) != 0) return -1;
  return mkdir(host.c_str(), 0777) == 0 ? 0 : -1;
}

int os_rmdir(const char* path) {
  std::string full;
  if (refusedOnMedium(path) || os_host_full_path(path, &full) != 0) return -1;
  if (full.size() <= 3) {  // a drive root stays
    errno = EACCES;
    return -1;
  }
  std::string host;
  if (os_host_map(path, &host) != 0) return -1;
  return rmdir(host.c_str()) == 0 ? 0 : -1;
}

// The host deletes a file in use at once; the emulated machine holds no running programs anyway.
int os_remove_later(const char* path) { return os_remove(path); }

int os_remove(const char* path) {
  std::string host;
  if (refusedOnMedium(path) || os_host_map(path, &host) != 0) return -1;
  return unlink(host.c_str()) == 0 ? 0 : -1;  // files only, as on Windows
}

int os_access(const char* path) {
  std::string host;
  if (os_host_map(path, &host) != 0) return -1;
  return access(host.c_str(), F_OK) == 0 ? 0 : -1;
}

int os_is_dir(const char* path) {
  std::string host;
  struct stat st;
  if (os_host_map(path, &host) != 0 || stat(host.c_str(), &st) != 0) return 0;
  return S_ISDIR(st.st_mode) ? 1 : 0;
}

int os_same_file(const char* a, const char* b) {
  std::string ha, hb;
  struct stat sa, sb;
  if (os_host_map(a, &ha) != 0 || os_host_map(b, &hb) != 0) return 0;
  if (stat(ha.c_str(), &sa) != 0 || stat(hb.c_str(), &sb) != 0) return 0;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino ? 1 : 0;
}

int os_list_dir(const char* path, int (*fn)(const os_dir_entry* entry, void* ctx), void* ctx) {
  std::string host;
  if (!fn || os_host_map(path, &host) != 0) return -1;
  DIR* d = opendir(host.c_str());
  if (!d) return -1;
  while (dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    struct stat st;
    std::string full = host + "/" + e->d_name;
    os_dir_entry entry{e->d_name, stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0};
    if (fn(&entry, ctx)) break;
  }
  closedir(d);
  return 0;
}

int os_disk_free(int drive, uint64_t* free_bytes) {
  if (free_bytes) *free_bytes = 0;
  if (!free_bytes || drive < 1 || drive > 26) {
    errno = EINVAL;
    return -1;
  }
  char letter = static_cast<char>('A' + drive - 1);
  std::string path = std::string(1, letter) + ":\\";
  std::string host;
  if (os_host_map(path.c_str(), &host) != 0) return -1;
  if (letter == OS_HOST_MEDIUM_DRIVE) return 0;  // the medium is read-only, like a CD
  unsigned long long bytes = 0;
  if (!configuredBytes("[FreeSpace]", letter, &bytes)) {
    struct statvfs st;
    if (statvfs(host.c_str(), &st) != 0) return -1;
    bytes = static_cast<unsigned long long>(st.f_bavail) * st.f_frsize;
  }
  *free_bytes = bytes;
  return 0;
}
