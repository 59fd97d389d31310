// Archive database: the list of open archives, directory loading and checking, name
// resolution, file and directory lists.
#include "db/db.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "db/db_internal.h"
#include "platform/os.h"

namespace {

db_database* g_dbs[DB_MAX_DATABASES];
int g_current = -1;  // slot index of the current database

db_malloc_fn g_malloc = std::malloc;
db_free_fn g_free = std::free;
db_strdup_fn g_strdup = nullptr;  // null: duplicate through g_malloc
bool g_allocated = false;

constexpr size_t kNameBuf = DB_MAX_NAME + 1;

char* dup(const char* s) {
  g_allocated = true;
  if (g_strdup) return g_strdup(s);
  size_t n = std::strlen(s) + 1;
  char* p = static_cast<char*>(g_malloc(n));
  if (p) std::memcpy(p, s, n);
  return p;
}

inline char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

uint32_t be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// Joins a and b into buf (kNameBuf bytes); false when the result does not fit.
bool join(char* buf, const char* a, const char* b) {
  size_t la = std::strlen(a), lb = std::strlen(b);
  if (la + lb >= kNameBuf) return false;
  std::memcpy(buf, a, la);
  std::memcpy(buf + la, b, lb + 1);
  return true;
}

// Archive key of a name: prefix (unless '@') + name, upper-cased, one leading '.' and then one
// '\' skipped. Returns a pointer into buf, or null when the name does not fit.
const char* archive_key(const db_database* db, const char* name, char* buf) {
  bool at = name[0] == '@';
  if (!join(buf, at ? "" : db->path, at ? name + 1 : name)) return nullptr;
  for (char* p = buf; *p; ++p) *p = upper(*p);
  const char* k = buf;
  if (*k == '.') ++k;
  if (*k == '\\') ++k;
  return k;
}

// The directory array for the directory part of `key` (slot 0 when it has no '\'); *member is
// set to the part after the last '\'. Null when the directory is unknown.
const assoc_array* find_dir(const db_database* db, char* key, const char** member) {
  if (db->dir_count == 0) return nullptr;
  char* slash = std::strrchr(key, '\\');
  if (!slash) {
    *member = key;
    return &db->dirs[0];
  }
  *slash = 0;
  *member = slash + 1;
  int i = assoc_search(&db->root, key);
  *slash = '\\';
  if (i < 0) return nullptr;
  return &db->dirs[i];
}

dir_entry normalised(const dir_entry* e) {
  dir_entry r = *e;
  if ((r.flags & DB_METHOD_MASK) == 0) r.flags |= DB_METHOD_LZSS;
  r.flags |= DB_FLAG_ARCHIVE;
  return r;
}

size_t io_read(void* ctx, void* buf, size_t n) { return std::fread(buf, 1, n, static_cast<FILE*>(ctx)); }

struct load_ctx {
  FILE* f;
  long long size;
};
size_t ctx_read(void* ctx, void* buf, size_t n) { return io_read(static_cast<load_ctx*>(ctx)->f, buf, n); }
long long ctx_left(void* ctx) {
  auto* c = static_cast<load_ctx*>(ctx);
  long here = std::ftell(c->f);
  return here < 0 ? -1 : c->size - here;
}

// Entries whose data could not be where they say, or could not decode to their length.
bool entry_sane(const dir_entry& e, long long archive_size) {
  uint64_t end = uint64_t(e.offset) + e.packed_length;
  if (end > uint64_t(archive_size)) return false;
  uint32_t method = e.flags & DB_METHOD_MASK;
  if (method == 0) method = DB_METHOD_LZSS;
  uint64_t bound = uint64_t(e.packed_length) * 9 + 18;
  switch (method) {
    case DB_METHOD_STORED:
      return e.length == e.packed_length;
    case DB_METHOD_LZSS:
    case DB_METHOD_BLOCKS:
      return e.length <= bound;
    default:
      return true;  // unknown methods are refused when opened
  }
}

void free_db(db_database* db) {
  for (auto& s : db->streams) {
    if (s.in_use) db_stream_release(&s);
  }
  if (db->archive) std::fclose(db->archive);
  if (db->datafile) g_free(db->datafile);
  if (db->dirs) {
    for (int i = 0; i < db->dir_count; ++i) {
      if (db->dirs[i].marker == ASSOC_MARKER) assoc_free(&db->dirs[i]);
    }
    g_free(db->dirs);
  }
  if (db->root.marker == ASSOC_MARKER) assoc_free(&db->root);
  if (db->path) g_free(db->path);
  if (db->patches_owned && db->patches) g_free(db->patches);
  g_free(db);
}

// Reads the root array and every directory array; false on any damage.
bool load_directory(db_database* db) {
  load_ctx c{db->archive, 0};
  if (std::fseek(db->archive, 0, SEEK_END) != 0) return false;
  long size = std::ftell(db->archive);
  if (size < 0 || std::fseek(db->archive, 0, SEEK_SET) != 0) return false;
  c.size = db->archive_size = size;
  assoc_io io{&c, ctx_read, nullptr, ctx_left, 0};
  if (assoc_init(&db->root, 0, 0, nullptr) != 0) return false;
  if (assoc_load_io(&io, &db->root, 0) != 0 || db->root.data_size != 0) return false;
  int n = db->root.count;
  if (n == 0) return true;
  db->dirs = static_cast<assoc_array*>(db_alloc(sizeof(assoc_array) * size_t(n)));
  if (!db->dirs) return false;
  std::memset(db->dirs, 0, sizeof(assoc_array) * size_t(n));
  db->dir_count = n;
  for (int i = 0; i < n; ++i) {
    assoc_array* d = &db->dirs[i];
    if (assoc_init(d, 0, sizeof(dir_entry), nullptr) != 0) return false;
    if (assoc_load_io(&io, d, 0) != 0 || d->data_size != sizeof(dir_entry)) return false;
    for (int j = 0; j < d->count; ++j) {
      auto* raw = static_cast<uint8_t*>(d->entries[j].data);
      dir_entry e{be32(raw), be32(raw + 4), be32(raw + 8), be32(raw + 12)};
      if (!entry_sane(e, db->archive_size)) return false;
      std::memcpy(raw, &e, sizeof e);
    }
  }
  return true;
}

db_database* db_of(int handle) {
  if (handle <= 0 || handle > DB_MAX_DATABASES) return nullptr;
  return g_dbs[handle - 1];
}

// Adds a name to a list, skipping names that do not fit a 13-byte slot.
void add_name(assoc_array* a, const std::string& name) {
  if (name.empty() || name.size() > 12) return;
  assoc_insert(a, name.c_str(), nullptr);
}

std::string upper_str(std::string s) {
  for (char& c : s) c = upper(c);
  return s;
}

// Calls fn(name, is_dir) for every entry of a Windows directory ("" is the current directory).
template <typename Fn>
void list_dir(const std::string& dir, Fn fn) {
  auto each = [](const os_dir_entry* e, void* ctx) {
    (*static_cast<Fn*>(ctx))(std::string(e->name), e->is_dir != 0);
    return 0;
  };
  os_list_dir(dir.empty() ? "." : dir.c_str(), each, &fn);
}

}  // namespace

// --- shared with the streams ---

db_database* db_current_db() { return g_current >= 0 ? g_dbs[g_current] : nullptr; }

void* db_alloc(size_t n) {
  g_allocated = true;
  return g_malloc(n == 0 ? 1 : n);
}

void db_release(void* p) {
  if (p) g_free(p);
}

FILE* db_open_native(const char* path, const char* mode) { return os_fopen(path, mode); }

long long db_plain_size(FILE* f) {
  long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(f);
  std::fseek(f, here, SEEK_SET);
  return end;
}

int db_resolve(db_database* db, const char* name, const char* mode, db_resolved* out) {
  if (!db || !name || !out) return -1;
  std::memset(out, 0, sizeof *out);
  bool at = name[0] == '@';
  char buf[kNameBuf];
  if (db->patches) {
    if (join(buf, at ? "" : db->patches, at ? name + 1 : name)) {
      FILE* f = db_open_native(buf, mode ? mode : "rb");
      if (f) {
        out->is_plain = 1;
        out->entry.flags = DB_FLAG_PLAIN;
        if (mode) {
          out->plain = f;
        } else {
          long long size = db_plain_size(f);
          std::fclose(f);
          if (size < 0) return -1;
          out->entry.length = static_cast<uint32_t>(size);
        }
        return 0;
      }
    }
  }
  if (!db->archive) return -1;
  char* key = const_cast<char*>(archive_key(db, name, buf));
  if (!key) return -1;
  const char* member = nullptr;
  const assoc_array* dir = find_dir(db, key, &member);
  if (!dir) return -1;
  int i = assoc_search(dir, member);
  if (i < 0 || !dir->entries[i].data) return -1;
  out->entry = normalised(static_cast<const dir_entry*>(dir->entries[i].data));
  return 0;
}

// --- databases ---

int db_init(const char* datafile, const char* prefix, const char* patches) {
  int slot = -1;
  for (int i = 0; i < DB_MAX_DATABASES; ++i) {
    if (!g_dbs[i]) {
      slot = i;
      break;
    }
  }
  if (slot < 0) return -1;
  auto* db = static_cast<db_database*>(db_alloc(sizeof(db_database)));
  if (!db) return -1;
  std::memset(db, 0, sizeof *db);
  bool ok = true;
  if (datafile) {
    db->datafile = dup(datafile);
    ok = db->datafile != nullptr;
    if (ok) db->archive = db_open_native(datafile, "rb");
    ok = ok && db->archive && load_directory(db);
  }
  if (ok) {
    const char* p = prefix ? prefix : "";
    if (*p == '\\') ++p;
    std::string s = *p ? std::string(p) : std::string(".");
    if (s.back() != '\\') s += '\\';
    db->path = dup(s.c_str());
    ok = db->path != nullptr;
  }
  if (ok && patches) {
    if (*patches == 0) {
      db->patches = const_cast<char*>("");
    } else {
      std::string s(patches);
      if (s.back() != '\\' && s.back() != '/') s += '\\';
      db->patches = dup(s.c_str());
      db->patches_owned = 1;
      ok = db->patches != nullptr;
    }
  }
  if (!ok) {
    free_db(db);
    return -1;
  }
  g_dbs[slot] = db;
  if (g_current < 0) g_current = slot;
  return slot + 1;
}

int db_select(int handle) {
  if (!db_of(handle)) return -1;
  g_current = handle - 1;
  return 0;
}

int db_current(void) { return g_current >= 0 ? g_current + 1 : -1; }

int db_total(void) {
  int n = 0;
  for (auto* d : g_dbs) n += d != nullptr;
  return n;
}

int db_close(int handle) {
  db_database* db = db_of(handle);
  if (!db) return -1;
  if (g_current == handle - 1) g_current = -1;
  g_dbs[handle - 1] = nullptr;
  free_db(db);
  return 0;
}

void db_exit(void) {
  for (int i = 0; i < DB_MAX_DATABASES; ++i) {
    if (g_dbs[i]) db_close(i + 1);
  }
}

int db_dir_entry(const char* name, dir_entry* out) {
  db_resolved r;
  if (!out || db_resolve(db_current_db(), name, nullptr, &r) != 0) return -1;
  *out = r.entry;
  return 0;
}

int db_get_file_list(const char* pattern, char*** names, char*** descs, int desc_size) {
  if (names) *names = nullptr;
  if (descs) *descs = nullptr;
  db_database* db = db_current_db();
  if (!db || !pattern || !names) return 0;
  bool at = pattern[0] == '@';
  const char* p = at ? pattern + 1 : pattern;
  const char* slash = std::strrchr(p, '\\');
  const char* tail = slash ? slash + 1 : p;
  if (std::strlen(tail) != 5 || tail[0] != '*' || tail[1] != '.') return 0;
  std::string ext = upper_str(tail + 2);
  std::string dirpart(p, slash ? size_t(slash - p) : 0);

  assoc_array found;
  if (assoc_init(&found, 10, 0, nullptr) != 0) return 0;
  if (db->archive) {
    char buf[kNameBuf];
    char* key = const_cast<char*>(archive_key(db, pattern, buf));
    const char* member = nullptr;
    const assoc_array* dir = key ? find_dir(db, key, &member) : nullptr;
    for (int i = 0; dir && i < dir->count; ++i) {
      const char* n = dir->entries[i].key;
      size_t len = std::strlen(n);
      if (len >= 5 && std::memcmp(n + len - 3, ext.data(), 3) == 0) add_name(&found, n);
    }
  }
  if (db->patches) {
    std::string dir = at ? dirpart : std::string(db->patches) + dirpart;
    list_dir(dir, [&](const std::string& name, bool is_dir) {
      if (is_dir) return;
      std::string n = upper_str(name);
      if (n.size() >= 5 && n[n.size() - 4] == '.' && n.compare(n.size() - 3, 3, ext) == 0) add_name(&found, n);
    });
  }

  int count = found.count;
  if (count == 0) {
    assoc_free(&found);
    return 0;
  }
  auto** list = static_cast<char**>(db_alloc(size_t(count) * (sizeof(char*) + 13)));
  if (!list) {
    assoc_free(&found);
    return 0;
  }
  char* slots = reinterpret_cast<char*>(list + count);
  for (int i = 0; i < count; ++i) {
    list[i] = slots + 13 * i;
    std::memcpy(list[i], found.entries[i].key, std::strlen(found.entries[i].key) + 1);
  }
  assoc_free(&found);
  *names = list;

  if (descs && desc_size >= 1) {
    auto** dl = static_cast<char**>(db_alloc(size_t(count) * (sizeof(char*) + size_t(desc_size))));
    if (!dl) {
      db_release(list);
      *names = nullptr;
      return 0;
    }
    char* ds = reinterpret_cast<char*>(dl + count);
    for (int i = 0; i < count; ++i) {
      dl[i] = ds + size_t(desc_size) * size_t(i);
      dl[i][0] = 0;
      // The member is opened in the pattern's own directory, so that a listed name is described
      // by its own first line wherever the list was taken.
      std::string full;
      if (at) full += '@';
      if (!dirpart.empty()) {
        full += dirpart;
        full += '\\';
      }
      full += list[i];
      db_file* f = db_fopen(full.c_str(), "r");
      if (!f) continue;
      if (db_fgets(dl[i], desc_size, f)) {
        size_t n = std::strlen(dl[i]);
        while (n > 0 && (dl[i][n - 1] == '\n' || dl[i][n - 1] == '\r')) dl[i][--n] = 0;
      } else {
        dl[i][0] = 0;
      }
      db_fclose(f);
    }
    *descs = dl;
  }
  return count;
}

void db_free_file_list(char*** names, char*** descs) {
  if (names) {
    db_release(*names);
    *names = nullptr;
  }
  if (descs) {
    db_release(*descs);
    *descs = nullptr;
  }
}

int db_get_dir_list(const char* path, char*** names) {
  if (names) *names = nullptr;
  db_database* db = db_current_db();
  if (!db || !path || !names) return 0;
  bool at = path[0] == '@';
  const char* p = at ? path + 1 : path;
  if (*p == '\\') ++p;
  if (*p == 0) return 0;
  std::string want(p);

  assoc_array found;
  if (assoc_init(&found, 10, 0, nullptr) != 0) return 0;
  if (db->archive) {
    if (want == ".") {
      for (int i = 1; i < db->root.count; ++i) assoc_insert(&found, db->root.entries[i].key, nullptr);
    } else {
      std::string pre = want + "\\";
      for (int i = 0; i < db->root.count; ++i) {
        const char* k = db->root.entries[i].key;
        size_t kl = std::strlen(k);
        if (kl <= pre.size()) continue;
        bool same = true;
        for (size_t j = 0; j < pre.size() && same; ++j) same = upper(k[j]) == upper(pre[j]);
        if (same && !std::strchr(k + pre.size(), '\\')) assoc_insert(&found, k + pre.size(), nullptr);
      }
    }
  }
  if (db->patches) {
    std::string dir = at ? want : std::string(db->patches) + want;
    list_dir(dir, [&](const std::string& name, bool is_dir) {
      if (is_dir) assoc_insert(&found, upper_str(name).c_str(), nullptr);
    });
  }

  int count = found.count;
  if (count == 0) {
    assoc_free(&found);
    return 0;
  }
  auto* block = static_cast<char**>(db_alloc(sizeof(char*) * size_t(count + 1)));
  if (!block) {
    assoc_free(&found);
    return 0;
  }
  // The slot before the names holds the count.
  reinterpret_cast<intptr_t*>(block)[0] = count;
  char** list = block + 1;
  int made = 0;
  for (; made < count; ++made) {
    list[made] = dup(found.entries[made].key);
    if (!list[made]) break;
  }
  assoc_free(&found);
  if (made < count) {
    for (int i = 0; i < made; ++i) g_free(list[i]);
    db_release(block);
    return 0;
  }
  *names = list;
  return count;
}

void db_free_dir_list(char*** names) {
  if (!names || !*names) return;
  char** list = *names;
  intptr_t count = reinterpret_cast<intptr_t*>(list - 1)[0];
  for (intptr_t i = 0; i < count; ++i) g_free(list[i]);
  db_release(list - 1);
  *names = nullptr;
}

void db_register_mem(db_malloc_fn m, db_strdup_fn s, db_free_fn f) {
  if (g_allocated) return;
  if (!m || !s || !f) {
    g_malloc = std::malloc;
    g_strdup = nullptr;
    g_free = std::free;
    return;
  }
  g_malloc = m;
  g_strdup = s;
  g_free = f;
}

int db_walk(void (*fn)(const char* dir, const char* name, const dir_entry* e, void* ctx), void* ctx) {
  db_database* db = db_current_db();
  if (!db || !db->archive) return -1;
  int n = 0;
  for (int i = 0; i < db->dir_count; ++i) {
    const char* dir = i == 0 ? "" : db->root.entries[i].key;
    const assoc_array& d = db->dirs[i];
    for (int j = 0; j < d.count; ++j) {
      if (!d.entries[j].data) continue;
      dir_entry e = normalised(static_cast<const dir_entry*>(d.entries[j].data));
      if (fn) fn(dir, d.entries[j].key, &e, ctx);
      ++n;
    }
  }
  return n;
}
