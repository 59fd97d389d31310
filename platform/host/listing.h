// Lookups of one name in a host directory without regard to case, for the emulated machine's path
// mapping (host build only), with a cache of recent directory listings.
//
// A name that is not spelt exactly as on disk (always the case for a new file) needs the
// directory's listing. The listings of the last few directories read are kept as sets of names
// and kept current by the kernel's change notices on each directory (inotify): every entry made,
// removed or renamed there, by this program or any other, reaches the set before the next lookup
// answers from it, whatever the file system's timestamp granularity. Every directory on the way
// from "/" to a listed one is watched too, for its own move or removal: a listing is used only
// while its path still names the directory that was read, and knowing that costs no system call
// per lookup. A lost notice queue, a directory that cannot be watched, or a host without change
// notices means a fresh read.
#pragma once

#include <string>

// Marks the change notices queued so far to be applied before the next lookup that a cached
// listing answers; lookups answer from the listings as they stood at the first such lookup since
// the last call (the machine calls it once per path it maps).
void os_host_listing_sync(void);
// Looks up `name` in host directory `dir`: `name` itself when the directory holds it, else the
// first entry (in byte order) equal to it without regard to case (ASCII letters); empty when there
// is none or the directory cannot be read. `link`, when not null, is set to 1 when the lookup found
// the entry is a symbolic link, 0 when it found it is not, -1 when it did not look.
std::string os_host_match(const std::string& dir, const std::string& name, int* link = nullptr);
// 1 when a listing of host directory `dir` is kept and its path still names the directory read
// (its lookups of new names need no read), else 0; asks the system nothing for a directory without
// one, else at most one read of the notices per sync.
int os_host_listed(const std::string& dir);
// Forgets every cached listing and stops watching their directories (called by os_host_reset).
void os_host_listing_reset(void);
