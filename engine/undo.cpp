// The undo of an install: the log's entries checked, then undone in reverse order, the files the
// install moved aside put back.
#include "engine/undo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "assoc/assoc.h"
#include "base/format.h"
#include "base/memdbg.h"
#include "base/settings.h"
#include "engine/registry.h"
#include "engine/ui.h"
#include "engine/uninst.h"
#include "platform/os.h"
#include "vrk/debug.h"

namespace {

constexpr const char* kTag = "vluninst";
constexpr const char* kBegin = "-- Log Begin --";
constexpr const char* kEnd = "-- Log End--";
constexpr const char* kRegRoot = "\\\\HKEY_LOCAL_MACHINE\\";

char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

bool startsWithNoCase(const char* s, const char* prefix) {
  for (; *prefix; ++s, ++prefix)
    if (upper(*s) != upper(*prefix)) return false;
  return true;
}

bool equalNoCase(const char* a, const char* b) { return std::strlen(a) == std::strlen(b) && startsWithNoCase(a, b); }

// `path` lies strictly inside folder `dir` (both normal full paths).
bool inside(const char* path, const char* dir) {
  const size_t n = std::strlen(dir);
  if (!n || !startsWithNoCase(path, dir)) return false;
  if (dir[n - 1] == '\\') return path[n] != '\0';
  return path[n] == '\\' && path[n + 1] != '\0';
}

// Copies a full path on a drive into out in normal form ('/' read as '\', no trailing '\');
// false for anything else: a relative or network path, ".", ".." or empty parts, wildcards, a
// second ':', control characters, or no part below the drive.
bool normalPath(const char* in, char* out, size_t size) {
  const size_t len = std::strlen(in);
  if (len < 4 || len >= size || !((upper(in[0]) >= 'A' && upper(in[0]) <= 'Z') && in[1] == ':')) return false;
  if (in[2] != '\\' && in[2] != '/') return false;
  size_t o = 0;
  out[o++] = upper(in[0]);
  out[o++] = ':';
  size_t partStart = 0;
  for (size_t i = 2; i <= len; ++i) {
    const char c = i < len ? in[i] : '\0';
    if (c == '\\' || c == '/' || c == '\0') {
      if (i > 2) {
        const size_t partLen = o - partStart;
        if (partLen == 0 && c != '\0') return false;                            // "\\" inside
        if (partLen == 1 && out[partStart] == '.') return false;                 // "."
        if (partLen == 2 && out[partStart] == '.' && out[partStart + 1] == '.') return false;  // ".."
      }
      if (c == '\0') break;
      if (o > 2 && out[o - 1] == '\\') return false;
      out[o++] = '\\';
      partStart = o;
      continue;
    }
    if (static_cast<unsigned char>(c) < 32 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
        c == '>' || c == '|')
      return false;
    out[o++] = c;
  }
  while (o > 3 && out[o - 1] == '\\') --o;
  out[o] = '\0';
  return o > 3;
}

// The installer's own running log: "uninst.log" at the root of drive C, where setup writes it, or
// "uninst-N.log" beside it, as setup keeps the log of an interrupted install. Its install may have
// gone to any drive.
bool runningLog(const VluPlan& plan) {
  if (!equalNoCase(plan.destination, "C:\\")) return false;
  const char* name = plan.logPath + 3;
  if (equalNoCase(name, "uninst.log")) return true;
  if (!startsWithNoCase(name, "uninst-")) return false;
  const char* n = name + 7;
  if (!(*n >= '0' && *n <= '9')) return false;
  while (*n >= '0' && *n <= '9') ++n;
  return equalNoCase(n, ".log");
}

// Checks one entry; true with *e filled when an install can have made it.
bool accept(const VluPlan& plan, const char* word, const char* arg, VluEntry* e) {
  if (assoc_compare(word, "AddedRegKey") == 0) {
    if (!startsWithNoCase(arg, kRegRoot)) return false;
    const char* key = arg + std::strlen(kRegRoot);
    if (!startsWithNoCase(key, "SOFTWARE\\") || std::strlen(key) >= sizeof e->path) return false;
    const char* below = key + 9;
    if (!*below || std::strstr(key, "\\\\") || key[std::strlen(key) - 1] == '\\') return false;
    for (const char* p = key; *p; ++p)
      if (static_cast<unsigned char>(*p) < 32) return false;
    e->kind = VLU_REGKEY;
    std::snprintf(e->path, sizeof e->path, "%s", key);
    return true;
  }
  const bool replaced = assoc_compare(word, "Replaced") == 0, updated = assoc_compare(word, "Updated") == 0;
  std::string first = arg;
  char backup[INST_PATH_SIZE] = "";
  if (replaced || updated) {
    const size_t gt = first.find(" > ");
    if (gt == std::string::npos || !normalPath(first.c_str() + gt + 3, backup, sizeof backup)) return false;
    first.resize(gt);
  }
  char path[INST_PATH_SIZE];
  if (!normalPath(first.c_str(), path, sizeof path)) return false;
  std::snprintf(e->path, sizeof e->path, "%s", path);
  // The installer's running log names what its install made on any drive. Any other log at a
  // drive root is no install's (no product is installed into a root): it names nothing on its
  // drive.
  const bool interim = runningLog(plan), root = std::strlen(plan.destination) == 3;
  auto fileOfTheInstall = [&](const char* p) {
    return (interim || (!root && inside(p, plan.destination))) && !equalNoCase(p, plan.logPath);
  };
  if (assoc_compare(word, "Copied") == 0 || assoc_compare(word, "Skipped") == 0) {
    e->kind = assoc_compare(word, "Copied") == 0 ? VLU_COPIED : VLU_SKIPPED;
    return fileOfTheInstall(path);
  }
  if (replaced || updated) {
    e->kind = replaced ? VLU_REPLACED : VLU_UPDATED;
    std::snprintf(e->backup, sizeof e->backup, "%s", backup);
    return fileOfTheInstall(path) && fileOfTheInstall(backup) && !equalNoCase(path, backup);
  }
  if (assoc_compare(word, "MadeDir") == 0) {
    e->kind = VLU_MADEDIR;
    return interim || (!root && (equalNoCase(path, plan.destination) || inside(path, plan.destination) ||
                                 inside(plan.destination, path))) ||
           (plan.programs[0] && inside(path, plan.programs));
  }
  if (assoc_compare(word, "MadeShortcut") == 0) {
    e->kind = VLU_SHORTCUT;
    const size_t n = std::strlen(path);
    return plan.programs[0] && inside(path, plan.programs) && n > 4 && equalNoCase(path + n - 4, ".lnk");
  }
  return false;
}

void clearPlan(VluPlan* plan) {
  std::memset(plan, 0, sizeof *plan);
}

constexpr const char* kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr const char* kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// `folder` (a normal full path) is this install's: its destination, or, for the running log at a
// drive root, a folder the log made or that holds a file the log wrote.
bool folderOfInstall(const VluPlan& plan, const char* folder) {
  if (!runningLog(plan)) return equalNoCase(folder, plan.destination);
  if (std::strlen(folder) <= 3) return false;
  for (int i = 0; i < plan.count; ++i) {
    const VluEntry& e = plan.entries[i];
    if ((e.kind == VLU_MADEDIR && equalNoCase(e.path, folder)) || (e.kind == VLU_COPIED && inside(e.path, folder)))
      return true;
  }
  return false;
}

// The registry string `name` of key `key` below HKEY_LOCAL_MACHINE, in normal path form when it is
// a full path; "" when it is not there.
std::string regPath(const char* key, const char* name) {
  os_hkey k = nullptr;
  char value[INST_PATH_SIZE * 2] = "";
  if (os_reg_open(OS_HKEY_LOCAL_MACHINE, key, &k) != 0) return "";
  const bool got = os_reg_get_string(k, name, value, sizeof value) == 0;
  os_reg_close(k);
  return got ? value : "";
}

// Key `key` still belongs to this install: an App Paths key whose folder is the install's, an
// Uninstall key whose command names this log (or, for a running log, a log in the install's
// folder), another key only while it holds no value.
bool keyOfInstall(const VluPlan& plan, const char* key) {
  const size_t appLen = std::strlen(kAppPaths), uniLen = std::strlen(kUninstall);
  char normal[INST_PATH_SIZE];
  if (startsWithNoCase(key, kAppPaths) && !std::strchr(key + appLen, '\\')) {
    const std::string folder = regPath(key, "Path");
    return normalPath(folder.c_str(), normal, sizeof normal) && folderOfInstall(plan, normal);
  }
  if (startsWithNoCase(key, kUninstall) && !std::strchr(key + uniLen, '\\')) {
    const std::string command = regPath(key, "UninstallString");
    const size_t f = command.find("-f");
    if (f == std::string::npos || !normalPath(command.c_str() + f + 2, normal, sizeof normal)) return false;
    if (equalNoCase(normal, plan.logPath)) return true;
    char* slash = std::strrchr(normal, '\\');
    if (!slash) return false;
    *slash = '\0';
    return runningLog(plan) && folderOfInstall(plan, normal);
  }
  os_hkey k = nullptr;
  if (os_reg_open(OS_HKEY_LOCAL_MACHINE, key, &k) != 0) return true;  // gone already
  int values = 0;
  os_reg_list_values(
      k,
      [](const char*, void* ctx) {
        ++*static_cast<int*>(ctx);
        return 1;
      },
      &values);
  os_reg_close(k);
  return values == 0;
}

// Shortcut `link` still starts a file of this install.
bool shortcutOfInstall(const VluPlan& plan, const char* link) {
  int fd = os_open(link, OS_O_RDONLY);
  if (fd < 0) return true;  // gone already
  static uint8_t bytes[65536];
  const long got = os_read(fd, bytes, sizeof bytes);
  os_close(fd);
  char target[INST_PATH_SIZE], normal[INST_PATH_SIZE];
  if (got <= 0 || !shellLinkTarget(bytes, size_t(got), target, sizeof target) ||
      !normalPath(target, normal, sizeof normal))
    return false;
  if (!runningLog(plan)) return inside(normal, plan.destination);
  for (int i = 0; i < plan.count; ++i)
    if (plan.entries[i].kind == VLU_COPIED && equalNoCase(plan.entries[i].path, normal)) return true;
  return false;
}

// Removes one entry; 1 removed or already gone, 0 kept because it holds something else or is no
// longer this install's (marked foreign), -1 failed.
int removeEntry(const VluPlan& plan, VluEntry& e) {
  int rc = 0;
  if ((e.kind == VLU_REGKEY && !keyOfInstall(plan, e.path)) || (e.kind == VLU_SHORTCUT && !shortcutOfInstall(plan, e.path))) {
    debug_printf("vluninst: %s is no longer this install's: kept\n", e.path);
    e.foreign = 1;
    return 0;
  }
  switch (e.kind) {
    case VLU_COPIED:
    case VLU_SHORTCUT:
      rc = os_remove(e.path);
      break;
    case VLU_MADEDIR:
      rc = os_rmdir(e.path);
      if (rc != 0 && (errno == ENOTEMPTY || errno == EEXIST)) return 0;
      break;
    case VLU_REGKEY:
      rc = os_reg_delete_key(OS_HKEY_LOCAL_MACHINE, e.path);
      if (rc != 0 && errno == ENOTEMPTY) return 0;
      break;
  }
  if (rc == 0 || errno == ENOENT) return 1;
  debug_printf("vluninst: cannot remove %s (errno %d)\n", e.path, errno);
  return -1;
}

// Rewrites the log with its header and the entries still there, through a new file renamed over
// the old one, so that a failure halfway leaves the old log whole.
void rewriteLog(const VluPlan& plan) {
  static const char* const kWords[] = {"Copied", "MadeDir", "MadeShortcut", "AddedRegKey", "Replaced", "Updated", "Skipped"};
  std::string text = plan.header;
  for (int i = 0; i < plan.count; ++i) {
    const VluEntry& e = plan.entries[i];
    if (i == plan.runStart && i > 0) text += std::string(UNINST_RUN_MARKER) + "\n";
    if (e.done) continue;
    text += kWords[e.kind];
    text += e.kind == VLU_REGKEY ? " \\\\HKEY_LOCAL_MACHINE\\" : " ";
    text += e.path;
    if (e.backup[0]) text += std::string(" > ") + e.backup;
    text += '\n';
  }
  text += kEnd;
  text += '\n';
  char tmp[INST_PATH_SIZE + 8];
  std::snprintf(tmp, sizeof tmp, "%s.new", plan.logPath);
  FILE* f = os_fopen(tmp, "wt");
  if (!f) return;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !ok || os_rename(tmp, plan.logPath) != 0) {
    debug_printf("vluninst: the log could not be rewritten\n");
    os_remove(tmp);
  }
}

}  // namespace

int vluParseLog(const char* text, size_t size, const char* logPath, const char* programs, VluPlan* plan) {
  clearPlan(plan);
  char log[INST_PATH_SIZE];
  if (!text || !logPath || !normalPath(logPath, log, sizeof log) || std::memchr(text, '\0', size)) return 0;
  std::snprintf(plan->logPath, sizeof plan->logPath, "%s", log);
  std::snprintf(plan->destination, sizeof plan->destination, "%s", log);
  char* slash = std::strrchr(plan->destination, '\\');
  slash[slash == plan->destination + 2 ? 1 : 0] = '\0';  // "C:\uninst.log" lies in "C:\"
  if (programs && !normalPath(programs, plan->programs, sizeof plan->programs)) plan->programs[0] = '\0';

  std::vector<VluEntry> entries;
  std::map<std::string, int> unpaired;  // upper-case path -> its latest backup entry not yet paired
  std::string header;
  bool begun = false;
  int lineNo = 0;
  for (size_t at = 0; at < size;) {
    const char* nl = static_cast<const char*>(std::memchr(text + at, '\n', size - at));
    size_t len = (nl ? size_t(nl - text) : size) - at;
    std::string line(text + at, len);
    at += len + (nl ? 1 : 0);
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= UNINST_ENTRY_SIZE) {
      clearPlan(plan);
      return 0;
    }
    if (!begun) {
      if (header.size() + line.size() + 2 < sizeof plan->header) header += line + '\n';
      begun = line == kBegin;
      continue;
    }
    if (line == kEnd) break;
    if (!nl) {  // a last line without its end was cut by a kill: it may name another path
      debug_printf("vluninst: line %d is cut and skipped: %.80s\n", lineNo, line.c_str());
      ++plan->skipped;
      break;
    }
    if (line == UNINST_RUN_MARKER) {
      plan->runStart = int(entries.size());
      unpaired.clear();
      continue;
    }
    size_t w = line.find_first_not_of(" \t");
    if (w == std::string::npos) continue;
    size_t we = line.find_first_of(" \t", w);
    if (we == std::string::npos) {
      ++plan->skipped;
      continue;
    }
    const std::string word = line.substr(w, we - w), arg = line.substr(we + 1);
    VluEntry e{};
    e.line = lineNo;
    e.pair = -1;
    if (arg.empty() || !accept(*plan, word.c_str(), arg.c_str(), &e)) {
      debug_printf("vluninst: line %d skipped: %.80s\n", lineNo, line.c_str());
      ++plan->skipped;
      continue;
    }
    std::string key = e.path;
    for (char& c : key) c = upper(c);
    if (e.kind == VLU_REPLACED || e.kind == VLU_UPDATED) {
      unpaired[key] = int(entries.size());
    } else if (e.kind == VLU_COPIED) {
      auto it = unpaired.find(key);
      if (it != unpaired.end()) {
        e.pair = it->second;
        unpaired.erase(it);
      }
    }
    entries.push_back(e);
  }
  if (!begun) {
    clearPlan(plan);
    return 0;
  }
  std::snprintf(plan->header, sizeof plan->header, "%s", header.c_str());
  plan->count = int(entries.size());
  if (plan->count) {
    plan->entries = static_cast<VluEntry*>(MYMALLOC(entries.size() * sizeof(VluEntry), kTag));
    std::memcpy(plan->entries, entries.data(), entries.size() * sizeof(VluEntry));
  }
  return 1;
}

int vluReadPlan(const char* logPath, VluPlan* plan) {
  clearPlan(plan);
  if (!logPath) return 0;
  int fd = os_open(logPath, OS_O_RDONLY);
  if (fd < 0) return 0;
  std::vector<char> text;
  char buf[8192];
  long got;
  while ((got = os_read(fd, buf, sizeof buf)) > 0) {
    text.insert(text.end(), buf, buf + got);
    if (text.size() > (64u << 20)) {  // no install writes a log of this size
      got = -1;
      break;
    }
  }
  os_close(fd);
  if (got < 0) return 0;
  // The Programs folder only where the log names shortcuts: a log without them never reads the
  // registry.
  char programs[INST_PATH_SIZE] = "";
  const std::string_view all(text.data(), text.size());
  if (all.find("MadeShortcut") != std::string_view::npos && !GetProgramsDirectory(programs, sizeof programs))
    programs[0] = '\0';
  return vluParseLog(text.data(), text.size(), logPath, programs, plan);
}

namespace {

// Puts back the file an install moved from X to B: X (whatever the install wrote there) removed,
// B renamed to X. When B is gone the file was never moved, or has been put back: X stays.
int restoreBackup(const char* path, const char* backup) {
  if (os_access(backup) != 0) return 1;
  if (os_remove(path) != 0 && errno != ENOENT) return -1;
  if (os_rename(backup, path) == 0) return 1;
  debug_printf("vluninst: cannot put %s back from %s (errno %d)\n", path, backup, errno);
  return -1;
}

// Removes a backup the uninstall no longer needs (an earlier version of the product's own file).
int dropBackup(const char* backup) { return os_remove(backup) == 0 || errno == ENOENT ? 1 : -1; }

// Undoes entries [from, count) last first; the whole log when `all`, which drops the product's
// updated files' backups instead of putting them back.
int removeRange(VluPlan* plan, int from, bool all, void (*progress)(int, int, void*), void* ctx) {
  const int total = plan->count - from;
  if (total <= 0) return VLU_NOTHING_REMOVED;
  std::map<std::string, int> skips;  // upper-case paths whose next "Copied" (going back) did not happen
  int failures = 0, kept = 0;
  for (int i = plan->count - 1; i >= from; --i) {
    VluEntry& e = plan->entries[i];
    std::string key = e.path;
    for (char& c : key) c = upper(c);
    int r = 1;
    if (e.done) {
      r = 1;
    } else if (e.kind == VLU_SKIPPED) {
      ++skips[key];
    } else if (e.kind == VLU_COPIED && skips[key] > 0) {
      --skips[key];
    } else if (e.kind == VLU_COPIED && e.pair >= 0) {
      VluEntry& b = plan->entries[e.pair];
      if (all && b.kind == VLU_UPDATED) {
        r = removeEntry(*plan, e);
        if (r == 1) r = dropBackup(b.backup);
      } else {
        r = restoreBackup(e.path, b.backup);
      }
      b.done = r == 1;
    } else if (e.kind == VLU_REPLACED || e.kind == VLU_UPDATED) {
      // A backup line without its file's "Copied": only put back what is missing.
      if (all && e.kind == VLU_UPDATED)
        r = dropBackup(e.backup);
      else if (os_access(e.path) != 0)
        r = restoreBackup(e.path, e.backup);
    } else {
      r = removeEntry(*plan, e);
    }
    e.done = r == 1;
    failures += r < 0;
    if (progress) progress(plan->count - i, total, ctx);
  }
  if (failures) {
    rewriteLog(*plan);
    return VLU_PARTIAL;
  }
  os_remove(plan->logPath);
  // Folders that held only the log can go now.
  for (int i = plan->count - 1; i >= from; --i) {
    VluEntry& e = plan->entries[i];
    if (!e.done && e.kind == VLU_MADEDIR) e.done = removeEntry(*plan, e) == 1;
    kept += !e.done;
  }
  return kept ? VLU_PARTIAL : VLU_ALL_REMOVED;
}

// The entries of [from, count) still in place after a removal.
int leftInPlace(const VluPlan& plan, int from) {
  int left = 0;
  for (int i = from; i < plan.count; ++i) left += !plan.entries[i].done;
  return left;
}

}  // namespace

int vluRemove(VluPlan* plan, void (*progress)(int done, int total, void* ctx), void* ctx) {
  if (!plan) return VLU_NOTHING_REMOVED;
  return removeRange(plan, 0, true, progress, ctx);
}

int vluRemoveRun(VluPlan* plan, void (*progress)(int done, int total, void* ctx), void* ctx) {
  if (!plan) return VLU_NOTHING_REMOVED;
  const int status = removeRange(plan, plan->runStart, false, progress, ctx);
  if (status == VLU_NOTHING_REMOVED) os_remove(plan->logPath);  // a run that made nothing
  return status;
}

void vluFreePlan(VluPlan* plan) {
  if (plan && plan->entries) MYFREE(plan->entries, kTag);
  if (plan) clearPlan(plan);
}

int deinstall(void) {
  // The log where it was written; or, once it was moved, the destination's.
  char logPath[INST_PATH_SIZE];
  if (tempPath[0] && os_access(tempPath) == 0)
    std::snprintf(logPath, sizeof logPath, "%s", tempPath);
  else if (finalPath[0] && startsWithNoCase(finalPath, destPath))
    std::snprintf(logPath, sizeof logPath, "%s", finalPath);
  else if (!joinPath(logPath, sizeof logPath, destPath, "uninst.log"))
    logPath[0] = '\0';
  VluPlan plan;
  if (!vluReadPlan(logPath, &plan)) {
    engineMessage(stringFormat("ErrFindUninstLog", "s", "Cannot find the uninstall log %s."), logPath);
    return 0;
  }
  vluRemoveRun(&plan, nullptr, nullptr);
  const int left = leftInPlace(plan, plan.runStart);
  vluFreePlan(&plan);
  if (left) engineMessage("%s", getString("ErrDeinstall"));
  return left;
}

int installRecoverInterrupted(void) {
  char running[INST_PATH_SIZE];
  std::snprintf(running, sizeof running, "C:\\uninst.log");
  if (os_access(running) != 0) return 1;
  VluPlan plan;
  const bool readable = vluReadPlan(running, &plan) == 1;
  std::string title = "an unknown product";
  if (readable) {
    const char* at = std::strstr(plan.header, "\nProgram: ");
    if (at) title.assign(at + 10, std::strcspn(at + 10, "\r\n"));
  }
  char question[1024];
  std::snprintf(question, sizeof question,
                textOr("AskUndoInterrupted", "s",
                       "An earlier installation of %s did not finish.\nShould setup take back what it had "
                       "installed?"),
                title.c_str());
  if (readable && engineQuestion(question) == 1) {
    vluRemoveRun(&plan, nullptr, nullptr);
    const int left = leftInPlace(plan, plan.runStart);
    vluFreePlan(&plan);
    if (left) engineMessage("%s", getString("ErrDeinstall"));
    return os_access(running) == 0 ? 0 : 1;
  }
  vluFreePlan(&plan);
  // Kept under a name of its own: the uninstaller can still take it back ("-f" with that name).
  for (int n = 1; n < 100; ++n) {
    char kept[INST_PATH_SIZE];
    std::snprintf(kept, sizeof kept, "C:\\uninst-%d.log", n);
    if (os_access(kept) == 0) continue;
    if (os_rename(running, kept) != 0) break;
    engineMessage(textOr("InterruptedKept", "s",
                         "The log of that installation was kept as %s:\nthe uninstaller can take it back later."),
                  kept);
    return 1;
  }
  return 0;
}
