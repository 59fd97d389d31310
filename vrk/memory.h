// Guarded allocator of the window system: three replaceable entry points, by default an
// allocator that wraps every block in a size word and two guard words, fills fresh and released
// memory with 0xCC, counts blocks and bytes, and reports damaged guards on the debug output.
#pragma once

#include <cstddef>
#include <cstdint>

typedef void* (*mem_malloc_fn)(size_t);
typedef void* (*mem_realloc_fn)(void*, size_t);
typedef void (*mem_free_fn)(void*);

constexpr uint32_t MEM_HEADER_GUARD = 0xFEEDFACEu;
constexpr uint32_t MEM_FOOTER_GUARD = 0xBEEFCAFEu;
constexpr size_t MEM_OVERHEAD = 12;

struct mem_stats {
  int num_blocks;          // live blocks
  int max_blocks;          // highest number of live blocks
  uint32_t mem_allocated;  // live bytes, overhead included
  uint32_t max_allocated;  // highest live bytes
};

// Allocates through the current entry point; null on failure.
void* mem_malloc(size_t size);
// Resizes through the current entry point; null on failure (the old block stays valid).
void* mem_realloc(void* ptr, size_t size);
// Releases through the current entry point (null: nothing).
void mem_free(void* ptr);
// Copy of `text` (null for null; 2 bytes for an empty text); null when allocation fails.
char* mem_strdup(const char* text);
// Replaces the three entry points; ignored while registration is locked (window system running).
void mem_register_func(mem_malloc_fn m, mem_realloc_fn r, mem_free_fn f);
// Writes the current and highest counts to the debug output when the guarded allocator is in use.
void mem_check(void);
// Writes the size word and both guards into `block` of `total` bytes; returns the caller's pointer.
void* mem_prep_block(void* block, size_t total);
// Verifies both guards of the block whose caller's pointer is `ptr`; 1 intact, 0 when reported.
int mem_check_block(void* ptr);
// The guarded allocator's counters.
mem_stats mem_get_stats(void);
// Locks (1) or unlocks (0) mem_register_func; the window system locks it while it is running.
void VRK_mem_lock(int locked);

// The guarded allocator itself (the default entry points).
void* my_malloc(size_t size);
void* my_realloc(void* ptr, size_t size);
void my_free(void* ptr);
