// Tagged allocator: every block carries the size its caller asked for and is charged to a
// source-file tag and line; a running total of live bytes is kept. Any failure (no memory, a
// size that cannot be represented, a negative total, a null free) prints one message and ends
// the process with exit code 1, so the allocation calls never return null.
#pragma once

#include <cstddef>

typedef void* (*memdbg_malloc_fn)(size_t);
typedef void* (*memdbg_realloc_fn)(void*, size_t);
typedef void (*memdbg_free_fn)(void*);
typedef void (*memdbg_output_fn)(const char* text);

// Block of `size` bytes charged to file/line.
void* mymalloc(size_t size, const char* file, int line);
// Zero-filled block of count*size bytes; a product that does not fit 32 bits is a failure.
void* mycalloc(size_t count, size_t size, const char* file, int line);
// Resizes a tagged block to `size` bytes (a null `ptr` acts as mymalloc).
void* myrealloc(void* ptr, size_t size, const char* file, int line);
// Frees a tagged block; a null `ptr` is a fatal error.
void myfree(void* ptr, const char* file, int line);
// Tagged copy of a NUL-terminated string.
char* mystrdup(const char* str, const char* file, int line);

// Replaces the underlying malloc, realloc and free (any null restores all three runtime defaults).
void memoryRegisterAlloc(memdbg_malloc_fn m, memdbg_realloc_fn r, memdbg_free_fn f);
// Replaces the message sink (default: printed on standard output); null drops the messages.
void memoryRegisterDebug(memdbg_output_fn output);

// Sum of the requested sizes of all live tagged blocks.
int get_current_memory(void);
// Always 0: small blocks are not pooled.
int get_current_small_blocks(void);
// Always 0: small blocks are not pooled.
int get_total_small_blocks(void);
// Does nothing (blocks carry no guards).
void check_memory(void);
// Does nothing (blocks are not listed).
void dump_memory(void);
// Does nothing (blocks are not listed).
void my_check_all(void);

// Shorthands charging the calling line to a module tag.
#define MYMALLOC(size, tag) mymalloc((size), (tag), __LINE__)
#define MYCALLOC(count, size, tag) mycalloc((count), (size), (tag), __LINE__)
#define MYREALLOC(ptr, size, tag) myrealloc((ptr), (size), (tag), __LINE__)
#define MYFREE(ptr, tag) myfree((ptr), (tag), __LINE__)
#define MYSTRDUP(str, tag) mystrdup((str), (tag), __LINE__)

// Allocation wrappers the installer registers with the associative arrays and the archive library
// (charged to tag "main" at fixed lines, so leak reports name them the same on every build).
void* assocMalloc(size_t size);
void* assocRealloc(void* ptr, size_t size);
void assocFree(void* ptr);
void* dbMalloc(size_t size);
char* dbStrdup(const char* str);
void dbFree(void* ptr);
