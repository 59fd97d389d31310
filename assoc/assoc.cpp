// Associative arrays: sorted slots of case-insensitive keys with fixed-size data blocks.
#include "assoc/assoc.h"

#include <cstdlib>
#include <cstring>

namespace {

assoc_malloc_fn g_malloc = std::malloc;
assoc_realloc_fn g_realloc = std::realloc;
assoc_free_fn g_free = std::free;

// Largest data block a load accepts when the stream cannot tell how much it holds.
constexpr uint32_t kMaxUnboundedDataSize = 16u << 20;
// Slots allocated up front when the stream size is unknown; more are added as entries arrive.
constexpr int32_t kUnboundedSlotChunk = 1024;
// A stored capacity this far above the count is treated as a hint and not honoured.
constexpr int32_t kCapacitySlack = 4096;

inline unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool valid(const assoc_array* a) { return a && a->marker == ASSOC_MARKER; }

// Binary search; returns the index when found, else -1 with *ins set to the insertion index.
int lookup(const assoc_array* a, const char* key, int* ins) {
  int low = 0, high = a->count - 1;
  int mid = 0, last = 0;
  if (a->count == 0) {
    *ins = 0;
    return -1;
  }
  while (low <= high) {
    mid = low + (high - low) / 2;
    last = assoc_compare(key, a->entries[mid].key);
    if (last == 0) {
      *ins = mid;
      return mid;
    }
    if (last < 0)
      high = mid - 1;
    else
      low = mid + 1;
  }
  *ins = last < 0 ? mid : mid + 1;
  return -1;
}

void release_entries(assoc_array* a) {
  for (int32_t i = 0; i < a->count; ++i) {
    g_free(a->entries[i].key);
    if (a->entries[i].data) g_free(a->entries[i].data);
  }
  if (a->entries) g_free(a->entries);
  a->entries = nullptr;
  a->count = 0;
  a->capacity = 0;
}

int set_slots(assoc_array* a, int32_t capacity) {
  if (capacity == 0) {
    if (a->entries) g_free(a->entries);
    a->entries = nullptr;
    a->capacity = 0;
    return 0;
  }
  size_t bytes = static_cast<size_t>(capacity) * sizeof(assoc_entry);
  if (bytes / sizeof(assoc_entry) != static_cast<size_t>(capacity)) return -1;
  void* p = a->entries ? g_realloc(a->entries, bytes) : g_malloc(bytes);
  if (!p) return -1;
  a->entries = static_cast<assoc_entry*>(p);
  a->capacity = capacity;
  return 0;
}

uint32_t get_be32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void put_be32(unsigned char* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

size_t file_read(void* ctx, void* buf, size_t n) { return std::fread(buf, 1, n, static_cast<FILE*>(ctx)); }
size_t file_write(void* ctx, const void* buf, size_t n) {
  return std::fwrite(buf, 1, n, static_cast<FILE*>(ctx));
}
long long file_left(void* ctx) {
  FILE* f = static_cast<FILE*>(ctx);
  long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(f);
  if (std::fseek(f, here, SEEK_SET) != 0 || end < here) return -1;
  return static_cast<long long>(end) - here;
}

}  // namespace

int assoc_compare(const char* a, const char* b) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  for (;; ++p, ++q) {
    unsigned char x = fold(*p), y = fold(*q);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

int assoc_init(assoc_array* a, int capacity, uint32_t data_size, const assoc_hooks* hooks) {
  if (!a || capacity < 0) return -1;
  std::memset(a, 0, sizeof(*a));
  a->data_size = data_size;
  if (hooks) a->hooks = *hooks;
  if (capacity > 0 && set_slots(a, capacity) != 0) {
    std::memset(a, 0, sizeof(*a));
    return -1;
  }
  a->marker = ASSOC_MARKER;
  return 0;
}

int assoc_resize(assoc_array* a, int capacity) {
  if (!valid(a) || capacity < a->count) return -1;
  return set_slots(a, capacity);
}

int assoc_free(assoc_array* a) {
  if (!valid(a)) return -1;
  release_entries(a);
  std::memset(a, 0, sizeof(*a));
  return 0;
}

int assoc_search(const assoc_array* a, const char* key) {
  if (!valid(a) || !key) return -1;
  int ins;
  return lookup(a, key, &ins);
}

int assoc_insert(assoc_array* a, const char* key, const void* data) {
  if (!valid(a) || !key) return -1;
  int ins;
  if (lookup(a, key, &ins) >= 0) return -1;
  if (a->count == a->capacity) {
    if (a->capacity > (INT32_MAX - 2) / 2) return -1;
    if (set_slots(a, 2 * (a->capacity + 1)) != 0) return -1;
  }
  size_t len = std::strlen(key) + 1;
  char* k = static_cast<char*>(g_malloc(len));
  if (!k) return -1;
  std::memcpy(k, key, len);
  void* d = nullptr;
  if (data && a->data_size > 0) {
    d = g_malloc(a->data_size);
    if (!d) {
      g_free(k);
      return -1;
    }
    std::memcpy(d, data, a->data_size);
  }
  std::memmove(a->entries + ins + 1, a->entries + ins, sizeof(assoc_entry) * size_t(a->count - ins));
  a->entries[ins].key = k;
  a->entries[ins].data = d;
  ++a->count;
  return ins;
}

int assoc_delete(assoc_array* a, const char* key) {
  if (!valid(a) || !key) return -1;
  int ins;
  int i = lookup(a, key, &ins);
  if (i < 0) return -1;
  g_free(a->entries[i].key);
  if (a->entries[i].data) g_free(a->entries[i].data);
  --a->count;
  std::memmove(a->entries + i, a->entries + i + 1, sizeof(assoc_entry) * size_t(a->count - i));
  return 0;
}

int assoc_copy(assoc_array* dst, const assoc_array* src) {
  if (!valid(src) || !dst) return -1;
  if (assoc_init(dst, src->capacity, src->data_size, &src->hooks) != 0) return -1;
  for (int32_t i = 0; i < src->count; ++i) {
    if (assoc_insert(dst, src->entries[i].key, src->entries[i].data) < 0) return -1;
  }
  return 0;
}

int assoc_find_first(const assoc_array* a, const char* key, int start) {
  if (!valid(a) || !key) return -1;
  int idx;
  if (start == -1) {
    lookup(a, key, &idx);
  } else {
    if (start < -1) return -1;
    idx = start + 1;
  }
  if (idx >= a->count) return -1;
  const char* k = a->entries[idx].key;
  size_t n = std::strlen(key);
  for (size_t i = 0; i < n; ++i) {
    if (k[i] == 0 || fold(static_cast<unsigned char>(k[i])) != fold(static_cast<unsigned char>(key[i]))) return -1;
  }
  const char* rest = k + n;
  if (rest[0] == 0) return idx;
  if (rest[0] == ' ' && (rest[1] == '(' || rest[1] == '[')) return idx;
  if (rest[0] == '/' && rest[1] == 'T' && rest[2] == 'L') return idx;
  return -1;
}

int assoc_load_io(const assoc_io* io, assoc_array* a, int flags) {
  if (!valid(a) || !io || !io->read) return -1;
  release_entries(a);

  long long left = io->left ? io->left(io->ctx) : -1;
  unsigned char hdr[16];
  if (io->read(io->ctx, hdr, sizeof hdr) != sizeof hdr) return -1;
  if (left >= 0) left -= 16;
  int32_t count = static_cast<int32_t>(get_be32(hdr));
  int32_t capacity = static_cast<int32_t>(get_be32(hdr + 4));
  uint32_t data_size = get_be32(hdr + 8);
  a->data_size = data_size;
  if (count < 0 || capacity < 0 || count > capacity) return -1;

  bool hooked = data_size > 0 && (io->db_hooks ? a->hooks.load_entry_db != nullptr : a->hooks.load_entry != nullptr);
  // Refuse what the stream cannot hold: every entry needs its length byte and, without a hook,
  // its raw data block.
  if (left >= 0) {
    long long per_entry = 1 + (hooked ? 0 : static_cast<long long>(data_size));
    if (static_cast<long long>(count) * per_entry > left) return -1;
  }
  if (data_size > 0 && count > 0 && (hooked || left < 0) && data_size > kMaxUnboundedDataSize) return -1;

  // Capacity is only a hint; don't honour an absurd one.
  if (capacity - count > kCapacitySlack) capacity = count;
  int32_t initial = capacity;
  if (left < 0 && initial > kUnboundedSlotChunk) initial = kUnboundedSlotChunk;
  if (initial > 0 && set_slots(a, initial) != 0) return -1;

  for (int32_t i = 0; i < count; ++i) {
    if (i == a->capacity) {
      int32_t grow = a->capacity > capacity / 2 ? capacity : a->capacity * 2;
      if (set_slots(a, grow) != 0) return -1;
    }
    unsigned char len;
    if (io->read(io->ctx, &len, 1) != 1) return -1;
    char* key = static_cast<char*>(g_malloc(size_t(len) + 1));
    if (!key) return -1;
    if (io->read(io->ctx, key, len) != len) {
      g_free(key);
      return -1;
    }
    key[len] = 0;
    a->entries[i].key = key;
    a->entries[i].data = nullptr;
    a->count = i + 1;
    if (data_size > 0) {
      void* d = g_malloc(data_size);
      if (!d) return -1;
      a->entries[i].data = d;
      int rc;
      if (hooked) {
        rc = io->db_hooks ? a->hooks.load_entry_db(static_cast<db_file*>(io->ctx), d, data_size, flags)
                          : a->hooks.load_entry(static_cast<FILE*>(io->ctx), d, data_size, flags);
      } else {
        rc = io->read(io->ctx, d, data_size) == data_size ? 0 : -1;
      }
      if (rc != 0) return -1;
    }
  }
  return 0;
}

int assoc_save_io(const assoc_io* io, const assoc_array* a, int flags) {
  if (!valid(a) || !io || !io->write) return -1;
  unsigned char hdr[16];
  put_be32(hdr, static_cast<uint32_t>(a->count));
  put_be32(hdr + 4, static_cast<uint32_t>(a->capacity));
  put_be32(hdr + 8, a->data_size);
  put_be32(hdr + 12, 0);
  if (io->write(io->ctx, hdr, sizeof hdr) != sizeof hdr) return -1;
  bool hooked = io->db_hooks ? a->hooks.save_entry_db != nullptr : a->hooks.save_entry != nullptr;
  void* zeros = nullptr;  // stands in for an entry inserted without data
  int rc = 0;
  for (int32_t i = 0; i < a->count && rc == 0; ++i) {
    const assoc_entry& e = a->entries[i];
    size_t len = std::strlen(e.key);
    // The length byte cannot describe a longer key; writing it anyway would corrupt every later entry.
    if (len > 255) {
      rc = -1;
      break;
    }
    unsigned char lb = static_cast<unsigned char>(len);
    if (io->write(io->ctx, &lb, 1) != 1 || io->write(io->ctx, e.key, len) != len) {
      rc = -1;
      break;
    }
    if (a->data_size == 0) continue;
    const void* data = e.data;
    if (!data) {
      if (!zeros) {
        zeros = g_malloc(a->data_size);
        if (!zeros) {
          rc = -1;
          break;
        }
        std::memset(zeros, 0, a->data_size);
      }
      data = zeros;
    }
    if (hooked) {
      rc = io->db_hooks ? a->hooks.save_entry_db(static_cast<db_file*>(io->ctx), data, a->data_size, flags)
                        : a->hooks.save_entry(static_cast<FILE*>(io->ctx), data, a->data_size, flags);
      if (rc != 0) rc = -1;
    } else if (io->write(io->ctx, data, a->data_size) != a->data_size) {
      rc = -1;
    }
  }
  if (zeros) g_free(zeros);
  return rc;
}

int assoc_load(FILE* in, assoc_array* a, int flags) {
  if (!in) return -1;
  assoc_io io{in, file_read, file_write, file_left, 0};
  return assoc_load_io(&io, a, flags);
}

int assoc_save(FILE* out, const assoc_array* a, int flags) {
  if (!out) return -1;
  assoc_io io{out, file_read, file_write, nullptr, 0};
  return assoc_save_io(&io, a, flags);
}

void assoc_register_mem(assoc_malloc_fn m, assoc_realloc_fn r, assoc_free_fn f) {
  if (!m || !r || !f) {
    g_malloc = std::malloc;
    g_realloc = std::realloc;
    g_free = std::free;
    return;
  }
  g_malloc = m;
  g_realloc = r;
  g_free = f;
}
