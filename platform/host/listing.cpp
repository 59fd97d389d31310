// The listing cache behind the emulated machine's lookups without regard to case (see
// platform/host/listing.h).
//
// Why change notices rather than the directory's modification time: a time stamp moves in ticks
// (a few milliseconds on Linux, whatever precision the file system stores), so two changes in one
// tick leave the same time, and the program's own file, created in the same tick as another
// program's, would hide that one. The notices name every entry changed, in order, whoever changed
// it, so the program's own files need no special path: they arrive as notices like the others.
//
// A listing is read after its watch is set, so a change that races with the read also leaves a
// notice; replaying every notice in order over the read set ends in the directory's state (each
// notice sets or clears one name). The watch is set on the very directory opened for the read
// (through /proc/self/fd), never on whatever its path names a moment later.
#include "platform/host/listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace {

// The case folding of every lookup: ASCII letters only, as the C locale compares names.
std::string fold(std::string_view s) {
  std::string f(s);
  for (char& c : f)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return f;
}

// Better than `best` for a name of the same folding: the exact spelling wins, then byte order.
bool better(const std::string& candidate, const std::string& best, const std::string& name) {
  if (best.empty()) return true;
  if (best == name) return false;
  return candidate == name || candidate < best;
}

struct Listing {
  std::string dir;  // the host path it was read through
  dev_t dev = 0;
  ino_t ino = 0;
  int wd = -1;  // its watch
  unsigned long lastUse = 0;
  // Folded name -> every spelling in the directory, in byte order (nearly always one).
  std::unordered_map<std::string, std::vector<std::string>> names;

  void add(const std::string& name) {
    std::vector<std::string>& v = names[fold(name)];
    auto at = std::lower_bound(v.begin(), v.end(), name);
    if (at == v.end() || *at != name) v.insert(at, name);
  }
  void drop(const std::string& name) {
    auto it = names.find(fold(name));
    if (it == names.end()) return;
    std::vector<std::string>& v = it->second;
    auto at = std::lower_bound(v.begin(), v.end(), name);
    if (at != v.end() && *at == name) v.erase(at);
    if (v.empty()) names.erase(it);
  }
  std::string match(const std::string& name) const {
    auto it = names.find(fold(name));
    if (it == names.end()) return {};
    const std::vector<std::string>& v = it->second;
    if (std::binary_search(v.begin(), v.end(), name)) return name;
    return v.front();
  }
};

std::vector<Listing> listings;
bool unsynced = false;  // notices may have come since the last drain (set by os_host_listing_sync)

// Reads directory `fd` whole (taking it over) into *best, the answer for `name`; with `out`
// given, keeps every entry there as well. False when the directory could not be read to its end.
bool readAll(int fd, const std::string& name, std::string* best, Listing* out) {
  best->clear();
  DIR* d = fdopendir(fd);
  if (!d) {
    close(fd);
    return false;
  }
  std::string folded = fold(name);
  errno = 0;
  while (dirent* e = readdir(d)) {
    std::string entry = e->d_name;
    if (entry != "." && entry != "..") {
      if (out) out->add(entry);
      if (fold(entry) == folded && better(entry, *best, name)) *best = entry;
    }
    errno = 0;
  }
  bool whole = errno == 0;
  closedir(d);
  return whole;
}

#ifdef __linux__

// Directories listed at once: the install's destination and source directories, with room.
constexpr size_t MAX_LISTINGS = 16;
unsigned long useClock = 0;
int notifyFd = -1;
bool notifyBroken = false;  // no notices on this host: every lookup reads the directory

void unwatch(size_t i, bool removeWatch) {
  if (removeWatch && notifyFd >= 0) inotify_rm_watch(notifyFd, listings[i].wd);
  if (i + 1 != listings.size()) listings[i] = std::move(listings.back());
  listings.pop_back();
}

void forgetAll() {
  while (!listings.empty()) unwatch(listings.size() - 1, true);
}

Listing* byWatch(int wd) {
  for (Listing& l : listings)
    if (l.wd == wd) return &l;
  return nullptr;
}

void apply(const inotify_event& e) {
  if (e.mask & IN_Q_OVERFLOW) {  // notices were lost: no listing can be trusted
    forgetAll();
    return;
  }
  Listing* l = byWatch(e.wd);
  if (!l) return;  // a watch already given up
  size_t i = static_cast<size_t>(l - listings.data());
  if (e.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED)) {
    unwatch(i, !(e.mask & IN_IGNORED));
    return;
  }
  if (e.len == 0) return;
  std::string name(e.name);  // padded with NULs
  if (e.mask & (IN_CREATE | IN_MOVED_TO)) l->add(name);
  if (e.mask & (IN_DELETE | IN_MOVED_FROM)) l->drop(name);
}

// Applies every notice queued so far; a failing queue forgets every listing.
void drain() {
  unsynced = false;
  alignas(inotify_event) char buf[16384];
  while (notifyFd >= 0) {
    ssize_t n = read(notifyFd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0 || errno != EAGAIN) forgetAll();
      return;
    }
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
      apply(*e);
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
    // A read that left room for the longest notice took every notice queued: asking again would
    // only be told there is none (one system call per lookup saved).
    if (static_cast<size_t>(n) + sizeof(inotify_event) + NAME_MAX + 1 <= sizeof buf) return;
  }
}

// The cached listing of `dir` when it still names the directory read (`known`: a stat of it, or
// null); null when there is none or it is stale.
Listing* current(const std::string& dir, const struct stat* known) {
  auto named = [&dir]() -> Listing* {
    for (Listing& l : listings)
      if (l.dir == dir) return &l;
    return nullptr;
  };
  if (!named()) return nullptr;
  if (unsynced) drain();  // once per sync, and only when a listing is asked for
  Listing* l = named();
  if (!l) return nullptr;
  struct stat own;
  const struct stat* st = known;
  if (!st && stat(dir.c_str(), &own) == 0) st = &own;
  if (!st || st->st_dev != l->dev || st->st_ino != l->ino) {
    unwatch(static_cast<size_t>(l - listings.data()), true);  // the path names another directory now
    return nullptr;
  }
  l->lastUse = ++useClock;
  return l;
}

// Reads `dir` under a new watch, keeps the listing (evicting the least recently used one) and
// answers for `name`; without a watch it only answers.
std::string readWatched(const std::string& dir, const std::string& name) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat st;
  if (!notifyBroken && notifyFd < 0) {
    notifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    notifyBroken = notifyFd < 0;
  }
  int wd = -1;
  if (notifyFd >= 0 && fstat(fd, &st) == 0) {
    drain();  // notices of watches given up must not reach a listing that reuses their number
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    wd = inotify_add_watch(
        notifyFd, self.c_str(),
        IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
  }
  std::string best;
  if (wd < 0) {
    readAll(fd, name, &best, nullptr);
    return best;
  }
  // The same directory reached through another path shares the watch: the newer listing takes it.
  for (size_t i = listings.size(); i-- > 0;)
    if (listings[i].wd == wd || listings[i].dir == dir) unwatch(i, listings[i].wd != wd);
  if (listings.size() >= MAX_LISTINGS) {
    size_t oldest = 0;
    for (size_t i = 1; i < listings.size(); ++i)
      if (listings[i].lastUse < listings[oldest].lastUse) oldest = i;
    unwatch(oldest, true);
  }
  Listing l;
  l.dir = dir;
  l.dev = st.st_dev;
  l.ino = st.st_ino;
  l.wd = wd;
  l.lastUse = ++useClock;
  if (readAll(fd, name, &best, &l))
    listings.push_back(std::move(l));
  else
    inotify_rm_watch(notifyFd, wd);  // a listing cut short is no listing
  return best;
}

#else  // no change notices: every lookup of a name not spelt exactly reads the directory

void forgetAll() {}
void drain() {}
Listing* current(const std::string&, const struct stat*) { return nullptr; }
std::string readWatched(const std::string& dir, const std::string& name) {
  std::string best;
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) readAll(fd, name, &best, nullptr);
  return best;
}

#endif

}  // namespace

void os_host_listing_sync(void) { unsynced = true; }

std::string os_host_match(const std::string& dir, const std::string& name, const struct stat* dir_st, int* link) {
  if (link) *link = -1;
  if (const Listing* l = current(dir, dir_st)) return l->match(name);
  struct stat st;
  if (lstat((dir + "/" + name).c_str(), &st) == 0) {
    if (link) *link = S_ISLNK(st.st_mode) ? 1 : 0;
    return name;
  }
  return readWatched(dir, name);
}

int os_host_listed(const std::string& dir) {
  for (const Listing& l : listings)
    if (l.dir == dir) return 1;
  return 0;
}

void os_host_listing_reset(void) {
  forgetAll();
#ifdef __linux__
  if (notifyFd >= 0) close(notifyFd);
  notifyFd = -1;
  notifyBroken = false;
#endif
}

