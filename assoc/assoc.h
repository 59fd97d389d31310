// Associative arrays: sorted arrays of case-insensitive string keys, each
// carrying a fixed-size data block, with a persistent big-endian form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct db_file;

constexpr uint32_t ASSOC_MARKER = 0xFEBAFEBAu;

typedef int (*assoc_load_entry_fn)(FILE* in, void* data, uint32_t data_size, int flags);
typedef int (*assoc_save_entry_fn)(FILE* out, const void* data, uint32_t data_size, int flags);
typedef int (*assoc_load_entry_db_fn)(db_file* in, void* data, uint32_t data_size, int flags);
typedef int (*assoc_save_entry_db_fn)(db_file* out, const void* data, uint32_t data_size, int flags);

struct assoc_hooks {
  assoc_load_entry_fn load_entry;
  assoc_save_entry_fn save_entry;
  assoc_load_entry_db_fn load_entry_db;
  assoc_save_entry_db_fn save_entry_db;
};

struct assoc_entry {
  char* key;   // the array's own copy
  void* data;  // the array's own copy of data_size bytes, or null
};

struct assoc_array {
  uint32_t marker;
  int32_t count;
  int32_t capacity;
  uint32_t data_size;
  assoc_hooks hooks;
  assoc_entry* entries;
};

typedef void* (*assoc_malloc_fn)(size_t);
typedef void* (*assoc_realloc_fn)(void*, size_t);
typedef void (*assoc_free_fn)(void*);

// Compares two keys with ASCII case folding: <0, 0, >0.
int assoc_compare(const char* a, const char* b);
// Makes an empty array with room for `capacity` entries; 0, or -1 when the slots cannot be allocated.
int assoc_init(assoc_array* a, int capacity, uint32_t data_size, const assoc_hooks* hooks);
// Reallocates the slot storage to `capacity` (never below count); 0 / -1.
int assoc_resize(assoc_array* a, int capacity);
// Releases every key, data block and the slots, then zeroes the record; 0 / -1.
int assoc_free(assoc_array* a);
// Index of the entry with `key`, or -1.
int assoc_search(const assoc_array* a, const char* key);
// Adds a new entry (data copied when given and data_size > 0); index, or -1 when present or out of memory.
int assoc_insert(assoc_array* a, const char* key, const void* data);
// Removes the entry with `key`, releasing its key and data; 0 / -1.
int assoc_delete(assoc_array* a, const char* key);
// Initialises `dst` as a copy of `src` (capacity, data size, hooks, entries); 0 / -1.
int assoc_copy(assoc_array* dst, const assoc_array* src);
// Prefix lookup: next entry after `start` (-1: the key's own position) whose key is `key` followed by
// its end, " (", " [" or "/TL"; index or -1.
int assoc_find_first(const assoc_array* a, const char* key, int start);
// Replaces the array's contents with the serialised form read from `in`; 0 / -1.
int assoc_load(FILE* in, assoc_array* a, int flags);
// Writes the serialised form to `out`; 0 / -1 at the first failed write.
int assoc_save(FILE* out, const assoc_array* a, int flags);
// Installs the allocator used for slots, keys and data; any null restores all three defaults.
void assoc_register_mem(assoc_malloc_fn m, assoc_realloc_fn r, assoc_free_fn f);

// Byte source/sink for the serialised form, so other stream kinds (archive streams) share the
// loader and saver. `ctx` is handed to the callbacks and, as FILE* or db_file*, to the entry hooks.
struct assoc_io {
  void* ctx;
  size_t (*read)(void* ctx, void* buf, size_t n);         // bytes read
  size_t (*write)(void* ctx, const void* buf, size_t n);  // bytes written
  long long (*left)(void* ctx);                           // bytes left to read, or -1 when unknown
  int db_hooks;                                           // 1: use the _db entry hooks
};
// assoc_load through an assoc_io; 0 / -1.
int assoc_load_io(const assoc_io* io, assoc_array* a, int flags);
// assoc_save through an assoc_io; 0 / -1.
int assoc_save_io(const assoc_io* io, const assoc_array* a, int flags);
