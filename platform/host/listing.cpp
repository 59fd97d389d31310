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
  std::vector<int> chain;  // the watches of each directory from "/" down to it (its own last)
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

constexpr uint32_t kSelfMask = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_MASK_ADD;
constexpr uint32_t kListMask = kSelfMask | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

// Watches shared by the listings: a listed directory's own, and each directory on its path (one
// inode, one watch, whatever role). A watch goes once no listing relies on it.
struct Watch {
  std::string path;  // the host path it was set through
  int refs = 0;
};
std::unordered_map<int, Watch> watches;
std::unordered_map<std::string, int> watchOfPath;

void release(int wd) {
  auto it = watches.find(wd);
  if (it == watches.end() || --it->second.refs > 0) return;
  inotify_rm_watch(notifyFd, wd);  // one the system already ended answers EINVAL, harmlessly
  watchOfPath.erase(it->second.path);
  watches.erase(it);
}

void hold(int wd, const std::string& path) {
  Watch& w = watches[wd];
  if (w.refs++ == 0) {
    w.path = path;
    watchOfPath[path] = wd;
  }
}

void unwatch(size_t i) {
  for (int wd : listings[i].chain) release(wd);
  if (i + 1 != listings.size()) listings[i] = std::move(listings.back());
  listings.pop_back();
}

void forgetAll() {
  while (!listings.empty()) unwatch(listings.size() - 1);
}

Listing* byWatch(int wd) {
  for (Listing& l : listings)
    if (!l.chain.empty() && l.chain.back() == wd) return &l;
  return nullptr;
}

void apply(const inotify_event& e) {
  if (e.mask & IN_Q_OVERFLOW) {  // notices were lost: no listing can be trusted
    forgetAll();
    return;
  }
  if (e.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED)) {
    // The directory, or one on the way to it, is gone or elsewhere: its path names another now.
    for (size_t i = listings.size(); i-- > 0;)
      if (std::find(listings[i].chain.begin(), listings[i].chain.end(), e.wd) != listings[i].chain.end()) unwatch(i);
    return;
  }
  Listing* l = byWatch(e.wd);
  if (!l || e.len == 0) return;  // a watch on the way to a listed directory only, or no name
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

// The cached listing of `dir`, or null. Every directory on its path is watched for its own move
// or removal, so once the notices are applied a listing still there is one its path names.
Listing* current(const std::string& dir) {
  auto named = [&dir]() -> Listing* {
    for (Listing& l : listings)
      if (l.dir == dir) return &l;
    return nullptr;
  };
  if (!named()) return nullptr;
  if (unsynced) drain();  // once per sync, and only when a listing is asked for
  Listing* l = named();
  if (!l) return nullptr;
  l->lastUse = ++useClock;
  return l;
}

// Watches directory `fd` (read through `dir`) and every directory on the way to it, into
// `chain` (the path's first directory first, its own last); false when one cannot be watched, or
// when `dir` no longer names `fd`'s directory once all are set.
bool watchChain(int fd, const std::string& dir, std::vector<int>* chain) {
  struct stat opened, named;
  if (dir.empty() || dir[0] != '/' || fstat(fd, &opened) != 0) return false;
  std::vector<std::pair<int, std::string>> taken;  // its own first, then each one above to "/"
  bool whole = true;
  for (size_t cut = dir.size();;) {
    const std::string path = cut == 0 ? std::string("/") : dir.substr(0, cut);
    int wd;
    if (cut == dir.size()) {
      const std::string self = "/proc/self/fd/" + std::to_string(fd);  // the very directory read
      wd = inotify_add_watch(notifyFd, self.c_str(), kListMask);
    } else if (auto known = watchOfPath.find(path); known != watchOfPath.end()) {
      wd = known->second;  // watched, and no notice says it moved: the path still names it
    } else {
      wd = inotify_add_watch(notifyFd, path.c_str(), kSelfMask);
    }
    if (wd < 0) {
      whole = false;
      break;
    }
    taken.emplace_back(wd, path);
    if (cut == 0) break;
    cut = dir.rfind('/', cut - 1);
  }
  if (!whole) {
    for (const auto& [wd, path] : taken)
      if (!watches.count(wd)) inotify_rm_watch(notifyFd, wd);
    return false;
  }
  chain->clear();
  for (size_t i = taken.size(); i-- > 0;) {
    hold(taken[i].first, taken[i].second);
    chain->push_back(taken[i].first);
  }
  if (stat(dir.c_str(), &named) != 0 || named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) {
    for (int wd : *chain) release(wd);
    chain->clear();
    return false;
  }
  return true;
}

// Reads `dir` under new watches, keeps the listing (evicting the least recently used one) and
// answers for `name`; without watches it only answers.
std::string readWatched(const std::string& dir, const std::string& name) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return {};
  if (!notifyBroken && notifyFd < 0) {
    notifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    notifyBroken = notifyFd < 0;
  }
  std::string best;
  Listing l;
  if (notifyFd >= 0) {
    drain();  // notices of watches given up must not reach a listing that reuses their number
    // The same directory reached through another path shares the watch: the newer listing takes it.
    for (size_t i = listings.size(); i-- > 0;)
      if (listings[i].dir == dir) unwatch(i);
  }
  if (notifyFd < 0 || !watchChain(fd, dir, &l.chain)) {
    readAll(fd, name, &best, nullptr);
    return best;
  }
  for (size_t i = listings.size(); i-- > 0;)
    if (listings[i].chain.back() == l.chain.back()) unwatch(i);
  if (listings.size() >= MAX_LISTINGS) {
    size_t oldest = 0;
    for (size_t i = 1; i < listings.size(); ++i)
      if (listings[i].lastUse < listings[oldest].lastUse) oldest = i;
    unwatch(oldest);
  }
  l.dir = dir;
  l.lastUse = ++useClock;
  if (readAll(fd, name, &best, &l)) {
    listings.push_back(std::move(l));
  } else {
    for (int wd : l.chain) release(wd);  // a listing cut short is no listing
  }
  return best;
}

#else  // no change notices: every lookup of a name not spelt exactly reads the directory

void forgetAll() {}
void drain() {}
Listing* current(const std::string&) { return nullptr; }
std::string readWatched(const std::string& dir, const std::string& name) {
  std::string best;
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) readAll(fd, name, &best, nullptr);
  return best;
}

#endif

}  // namespace

void os_host_listing_sync(void) { unsynced = true; }

std::string os_host_match(const std::string& dir, const std::string& name, int* link) {
  if (link) *link = -1;
  if (const Listing* l = current(dir)) return l->match(name);
  struct stat st;
  if (lstat((dir + "/" + name).c_str(), &st) == 0) {
    if (link) *link = S_ISLNK(st.st_mode) ? 1 : 0;
    return name;
  }
  return readWatched(dir, name);
}

int os_host_listed(const std::string& dir) { return current(dir) ? 1 : 0; }

void os_host_listing_reset(void) {
  forgetAll();
#ifdef __linux__
  if (notifyFd >= 0) close(notifyFd);
  notifyFd = -1;
  notifyBroken = false;
#endif
}

