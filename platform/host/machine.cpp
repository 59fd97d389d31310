// The emulated Windows machine: where it lives, the medium, and the mapping of Windows paths onto
// host paths.
//
// A Windows path is first made absolute and normal (drive letter, components, '.' and '..'
// resolved lexically; climbing above the drive root is refused), then each component is looked up
// in the host directory: an existing entry is used whatever its case, a missing one keeps the
// spelling it was given. Nothing outside ROOT is ever named, except the medium (drive Z:).
#include "platform/host/machine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/listing.h"
#include "platform/os.h"

namespace {

struct Machine {
  bool ready = false;
  std::string root;    // canonical host path of ROOT
  std::string medium;  // canonical host path of the medium
};
Machine machine;

struct WinPath {
  char drive = 0;
  std::vector<std::string> parts;
};

bool isDir(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string canonical(const std::string& p) {
  char* r = realpath(p.c_str(), nullptr);
  if (!r) return {};
  std::string s(r);
  std::free(r);
  return s;
}

// The kernel's answer is already canonical (absolute, no links, no "." or ".."), so it is used as
// it stands: every relative path of the install asks for it, and resolving it again per call cost
// a system call per component.
std::string hostCwd() {
  thread_local std::vector<char> buf(PATH_MAX);
  while (!getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE || buf.size() > (1u << 20)) return {};
    buf.resize(buf.size() * 2);
  }
  if (buf[0] != '/') return {};  // "(unreachable)": the directory is outside this namespace
  return std::string(buf.data());
}

std::string chooseRoot() {
  const char* env = std::getenv("VRK_ROOT");
  std::string root;
  if (env && *env) {
    root = env;
  } else if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
    root = std::string(xdg) + "/setup/machine";
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    root = std::string(home) + "/.local/share/setup/machine";
  } else {
    return {};
  }
  if (root[0] != '/') {
    std::string cwd = hostCwd();
    if (cwd.empty()) return {};
    root = cwd + "/" + root;
  }
  std::error_code ec;
  std::filesystem::create_directories(root, ec);
  return canonical(root);
}

// Looks up one component in host directory `dir` (platform/host/listing.h): the exact name when it
// exists, else the first (in byte order) entry equal without regard to case; empty when none.
std::string matchComponent(const std::string& dir, const std::string& name, int* link = nullptr) {
  return os_host_match(dir, name, link);
}

// Host directory of a drive's root, or empty (errno ENOENT) when the drive does not exist.
std::string driveBase(char drive) {
  if (drive == OS_HOST_MEDIUM_DRIVE) return machine.medium;
  std::string base = machine.root + "/" + drive;
  if (drive != 'C' && !isDir(base)) {
    errno = ENOENT;
    return {};
  }
  return base;
}

// The directories mapped last: an install opens file after file in the same directory (each read
// from a directory of the medium), and matching every component again costs a system call each.
// Only a directory whose every component matched exactly is kept (a case variant made later could
// not change that answer, since an exact match wins); it is trusted while it still exists, and
// forgotten on reset.
struct DirCache {
  std::string key;   // base, then the directory's components as spelt, '\\' before each
  std::string host;  // the host directory they name
};
constexpr size_t DIR_CACHE_SIZE = 4;
DirCache dirCache[DIR_CACHE_SIZE];
size_t dirCacheNext = 0;  // the slot a new directory takes when its key is not kept

// Keeps `host` as the directory `key` names, in its own slot if kept already, else the next one.
void rememberDir(const std::string& key, const std::string& host) {
  for (DirCache& c : dirCache)
    if (c.key == key) {
      c.host = host;
      return;
    }
  dirCache[dirCacheNext] = {key, host};
  dirCacheNext = (dirCacheNext + 1) % DIR_CACHE_SIZE;
}

// The host path of `parts` under `base`. With `fd`, the file is about to be opened with open(2)
// flags `oflags`: where the directory is kept without a listing, the open of the entry spelt as
// asked is the lookup, and its descriptor (or -1 with errno, for any failure but a missing entry)
// goes into *fd; else *fd stays -2.
std::string mapParts(const std::string& base, const std::vector<std::string>& parts, int oflags = 0,
                     int* fd = nullptr) {
  os_host_listing_sync();
  std::string key;
  const DirCache* hit = nullptr;
  struct stat st;
  if (parts.size() >= 2) {
    key = base;
    for (size_t i = 0; i + 1 < parts.size(); ++i) (key += '\\') += parts[i];
    for (const DirCache& c : dirCache)
      if (c.key == key) {
        // An entry spelt as asked in a kept directory without a listing (a file read from the
        // medium, most often) answers with one system call: that it is there proves the
        // directory is there too.
        const bool listed = os_host_listed(c.host) != 0;
        if (!listed) {
          std::string exact = c.host + "/" + parts.back();
          if (fd) {
            // Without O_CREAT: a name not there yet needs the case-blind lookup below.
            int f;
            do {
              f = open(exact.c_str(), (oflags & ~O_CREAT) | O_NOFOLLOW, 0666);
            } while (f < 0 && errno == EINTR);
            if (f >= 0 || (errno != ENOENT && errno != ENOTDIR)) {
              if (f < 0 && errno == ELOOP) errno = EACCES;  // a symbolic link
              *fd = f;
              return exact;
            }
          }
          struct stat entry;
          if (!fd && lstat(exact.c_str(), &entry) == 0) {
            if (!S_ISLNK(entry.st_mode)) return exact;
            errno = EACCES;
            return std::string();
          }
        }
        // A listed directory is still there and still this path's (listing.h); another is asked.
        if (listed || (stat(c.host.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) hit = &c;
        break;
      }
  }
  size_t cached = hit ? parts.size() - 1 : 0;  // components covered by the cache
  std::string host = hit ? hit->host : base;
  bool missing = false, exact = true;
  for (size_t i = cached; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (i + 1 == parts.size() && !hit && exact && !key.empty()) rememberDir(key, host);
    int isLink = -1;  // what the lookup found out, if it looked
    std::string found = missing ? std::string() : matchComponent(host, part, &isLink);
    if (found.empty()) {
      missing = true;
      found = part;
    }
    exact = exact && !missing && found == part;
    host += "/" + found;
    // A symbolic link inside the machine or the medium could lead anywhere on the host: no path
    // goes through one.
    struct stat link;
    if (!missing && (isLink == 1 || (isLink < 0 && lstat(host.c_str(), &link) == 0 && S_ISLNK(link.st_mode)))) {
      errno = EACCES;
      return std::string();
    }
  }
  return host;
}

bool startsDir(const std::string& path, const std::string& dir) {
  return path.compare(0, dir.size(), dir) == 0 && (path.size() == dir.size() || path[dir.size()] == '/');
}

// The Windows form of a canonical host path inside a drive; false when no drive holds it.
bool hostToWin(const std::string& host, WinPath* out) {
  std::string rest;
  char drive = 0;
  size_t best = 0;
  if (!machine.medium.empty() && startsDir(host, machine.medium)) {
    drive = OS_HOST_MEDIUM_DRIVE;
    best = machine.medium.size();
    rest = host.substr(best);
  }
  if (startsDir(host, machine.root) && host.size() > machine.root.size() + 1) {
    char letter = host[machine.root.size() + 1];
    size_t end = machine.root.size() + 2;
    if (letter >= 'A' && letter <= 'Y' && (host.size() == end || host[end] == '/') && end > best) {
      drive = letter;
      rest = host.substr(end);
    }
  }
  if (!drive) return false;
  out->drive = drive;
  out->parts.clear();
  size_t i = 0;
  while (i < rest.size()) {
    size_t j = rest.find('/', i);
    if (j == std::string::npos) j = rest.size();
    if (j > i) out->parts.push_back(rest.substr(i, j - i));
    i = j + 1;
  }
  return true;
}

bool currentDir(WinPath* out) {
  std::string cwd = hostCwd();
  if (cwd.empty() || !hostToWin(cwd, out)) {
    errno = ENOENT;
    return false;
  }
  return true;
}

int resolve(const char* path, WinPath* out) {
  if (!path || !*path) {
    errno = ENOENT;
    return -1;
  }
  const std::string_view p(path);
  auto isSep = [](char c) { return c == '\\' || c == '/'; };
  size_t i = 0;
  WinPath w;
  w.parts.reserve(16);
  if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
    char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
    i = 2;
    WinPath cwd;
    if (p.size() > 2 && isSep(p[2])) {
      w.drive = drive;
    } else if (currentDir(&cwd) && cwd.drive == drive) {
      w = cwd;  // "C:FOO": relative to the current directory when it is on that drive
    } else {
      w.drive = drive;
    }
  } else if (isSep(p[0])) {
    if (p.size() > 1 && isSep(p[1])) {  // network names are not part of this machine
      errno = EACCES;
      return -1;
    }
    if (!currentDir(&w)) return -1;
    w.parts.clear();
  } else if (!currentDir(&w)) {
    return -1;
  }
  while (i <= p.size()) {
    size_t j = i;
    while (j < p.size() && !isSep(p[j])) ++j;
    const std::string_view part = p.substr(i, j - i);
    if (part == "..") {
      if (w.parts.empty()) {
        errno = EACCES;
        return -1;
      }
      w.parts.pop_back();
    } else if (!part.empty() && part != ".") {
      w.parts.emplace_back(part);
    }
    i = j + 1;
  }
  *out = std::move(w);
  return 0;
}

bool ensure() {
  if (machine.ready) return true;
  std::string root = chooseRoot();
  std::string medium = hostCwd();
  if (root.empty() || medium.empty()) {
    errno = ENOENT;
    return false;
  }
  machine.root = root;
  machine.medium = medium;
  // Drive C and the Windows directory with its Programs menu, as a fresh Windows 95 has them.
  std::string host = root + "/C";
  mkdir(host.c_str(), 0777);
  os_host_listing_sync();
  for (const char* part : {"WINDOWS", "Start Menu", "Programs"}) {
    std::string found = matchComponent(host, part);
    host += '/';
    host += found.empty() ? std::string(part) : found;
    mkdir(host.c_str(), 0777);
  }
  machine.ready = true;
  return true;
}

}  // namespace

void os_host_reset(void) {
  for (DirCache& c : dirCache) c = {};
  dirCacheNext = 0;
  os_host_listing_reset();
  machine = Machine{};
  os_host_registry_reset();
  os_host_write_limits_reset();
  os_fault_write_after(-1);
}

std::string os_host_root(void) { return ensure() ? machine.root : std::string(); }

std::string os_host_medium(void) { return ensure() ? machine.medium : std::string(); }

int os_host_full_path(const char* path, std::string* out) {
  if (!ensure()) return -1;
  WinPath w;
  if (resolve(path, &w) != 0) return -1;
  std::string s(1, w.drive);
  s += ":\\";
  for (size_t i = 0; i < w.parts.size(); ++i) {
    if (i) s += '\\';
    s += w.parts[i];
  }
  *out = std::move(s);
  return 0;
}

namespace {
bool nativePaths = false;
}  // namespace

void os_host_native_paths(int on) { nativePaths = on != 0; }

int os_host_map(const char* path, std::string* host) {
  char drive = 0;
  return os_host_map_drive(path, host, &drive, 0);
}

namespace {

int mapDrive(const char* path, std::string* host, char* drive, int writing, int oflags, int* fd) {
  *drive = 0;
  if (nativePaths) {
    if (!path || !*path) {
      errno = ENOENT;
      return -1;
    }
    *host = path;
    for (char& c : *host)
      if (c == '\\') c = '/';
    return 0;
  }
  if (!ensure()) return -1;
  WinPath w;
  if (resolve(path, &w) != 0) return -1;
  *drive = w.drive;
  if (writing && w.drive == OS_HOST_MEDIUM_DRIVE) {  // the medium is a disc
    errno = EACCES;
    return -1;
  }
  std::string base = driveBase(w.drive);
  if (base.empty()) return -1;
  *host = mapParts(base, w.parts, oflags, fd);
  return host->empty() ? -1 : 0;
}

}  // namespace

int os_host_map_drive(const char* path, std::string* host, char* drive, int writing) {
  return mapDrive(path, host, drive, writing, 0, nullptr);
}

int os_host_map_open(const char* path, std::string* host, char* drive, int oflags, int* fd) {
  *fd = -2;
  return mapDrive(path, host, drive, (oflags & O_ACCMODE) != O_RDONLY, oflags, fd);
}

int os_host_on_medium(const char* path) {
  if (nativePaths) return 0;  // host paths: no emulated machine, no medium
  std::string full;
  return os_host_full_path(path, &full) == 0 && full[0] == OS_HOST_MEDIUM_DRIVE ? 1 : 0;
}

int os_getcwd(char* buf, size_t size) {
  if (!buf || size == 0) return -1;
  if (!ensure()) return -1;
  WinPath w;
  if (!currentDir(&w)) return -1;
  std::string s(1, w.drive);
  s += ":\\";
  for (size_t i = 0; i < w.parts.size(); ++i) {
    if (i) s += '\\';
    s += w.parts[i];
  }
  if (s.size() >= size) {
    errno = ERANGE;
    return -1;
  }
  std::memcpy(buf, s.c_str(), s.size() + 1);
  return 0;
}

int os_chdir(const char* path) {
  std::string host;
  if (os_host_map(path, &host) != 0) return -1;
  return chdir(host.c_str()) == 0 ? 0 : -1;
}

int os_windows_dir(char* buf, size_t size) {
  static const char dir[] = "C:\\WINDOWS";
  if (!buf || size < sizeof dir || !ensure()) return -1;
  std::memcpy(buf, dir, sizeof dir);
  return 0;
}
