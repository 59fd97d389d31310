// Archive database: up to ten open archives of named members (stored, one LZSS
// stream, or LZSS blocks), one current, with an optional patch directory of plain
// files that override members; and file-like streams over members and patch files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "assoc/assoc.h"

constexpr int DB_MAX_DATABASES = 10;
constexpr int DB_MAX_STREAMS = 10;
constexpr uint32_t DB_BLOCK_SIZE = 16384;
constexpr int DB_MAX_NAME = 259;

// Storage methods (bits 4-7 of a directory entry's flags) and run-time flag bits.
constexpr uint32_t DB_METHOD_LZSS = 0x10;
constexpr uint32_t DB_METHOD_STORED = 0x20;
constexpr uint32_t DB_METHOD_BLOCKS = 0x40;
constexpr uint32_t DB_METHOD_MASK = 0xF0;
constexpr uint32_t DB_FLAG_ARCHIVE = 0x08;
constexpr uint32_t DB_FLAG_PLAIN = 0x04;
constexpr uint32_t DB_MODE_BINARY = 0x01;
constexpr uint32_t DB_MODE_TEXT = 0x02;

struct dir_entry {
  uint32_t flags;
  uint32_t offset;
  uint32_t length;
  uint32_t packed_length;
};

struct db_database;

struct db_file {
  db_database* database;
  uint32_t flags;
  uint8_t in_use;
  FILE* plain;        // plain (patch) file, or null for a member
  uint32_t size;      // decoded length of a member
  uint32_t remaining;
  uint32_t start;
  uint32_t position;
  uint8_t* buffer;
  uint8_t* cursor;
  uint8_t* end;       // end of the valid bytes in buffer
  int write_mode;     // 1 when opened for writing (plain files only)
};

typedef void* (*db_malloc_fn)(size_t);
typedef char* (*db_strdup_fn)(const char*);
typedef void (*db_free_fn)(void*);
typedef void (*db_callback_fn)(void);

// --- databases ---
// Opens an archive (null: patches only) with a name prefix and patch directory (either may be null);
// handle, or -1. Becomes current when none is.
int db_init(const char* datafile, const char* prefix, const char* patches);
// Makes `handle` current; 0 / -1.
int db_select(int handle);
// The current handle, or -1.
int db_current(void);
// Number of open databases.
int db_total(void);
// Closes a database (its streams become invalid); 0 / -1.
int db_close(int handle);
// Closes every open database.
void db_exit(void);
// Resolves `name` in the current database into `out`; 0 / -1.
int db_dir_entry(const char* name, dir_entry* out);
// Names (and first-line descriptions when `descs` is given) matching "DIR\*.EXT"; the count.
int db_get_file_list(const char* pattern, char*** names, char*** descs, int desc_size);
// Releases a file list and clears the pointers (either may be null).
void db_free_file_list(char*** names, char*** descs);
// Immediate subdirectories of `path` ("." = all but the root); the count.
int db_get_dir_list(const char* path, char*** names);
// Releases a directory list and clears the pointer.
void db_free_dir_list(char*** names);
// Installs the allocator; ignored once the library has allocated; a null restores all defaults.
void db_register_mem(db_malloc_fn m, db_strdup_fn s, db_free_fn f);
// Calls `fn` for every member of the current database, directory by directory in key order
// (`dir` is "" for the root slot); the number of members, or -1 without a current archive.
int db_walk(void (*fn)(const char* dir, const char* name, const dir_entry* e, void* ctx), void* ctx);

// --- streams ---
// Opens a member or patch file; null on failure (writing only to patch files).
db_file* db_fopen(const char* name, const char* mode);
// A stream over a plain file the caller opened (os_fopen or os_fopen_native) with `mode` (as for
// db_fopen). The stream owns the file from then on and db_fclose closes it; it belongs to no
// database, so selecting or closing databases leaves it open (at most DB_MAX_STREAMS such
// streams at once). Null when fp or mode is null, mode names no access or no slot is free (fp
// then stays the caller's).
db_file* db_fopen_file(FILE* fp, const char* mode);
// Closes a stream; 0, or -1 for null.
int db_fclose(db_file* f);
// Reads up to n whole items; the number of items delivered.
size_t db_fread(void* buf, size_t size, size_t n, db_file* f);
// Next byte (0-255) or -1; text mode folds CR LF into LF.
int db_fgetc(db_file* f);
// Steps back one byte; returns c.
int db_ungetc(int c, db_file* f);
// Reads a line (at most size-1 bytes, keeps the LF); buf, or null when nothing was read.
char* db_fgets(char* buf, int size, db_file* f);
// Seeks (whence 0 start, 1 current, 2 end) within 0..size; 0 / -1.
int db_fseek(db_file* f, long offset, int whence);
// Current position, or -1.
long db_ftell(db_file* f);
// Back to the start.
void db_rewind(db_file* f);
// 1 at the end, 0 before it, -1 for null.
int db_feof(db_file* f);
// Decoded length, or -1.
long db_filelength(db_file* f);
// Writes n items to a plain file; the number written (0 for a member).
size_t db_fwrite(const void* buf, size_t size, size_t n, db_file* f);
// Writes one byte to a plain file; the runtime's result, -1 for a member.
int db_fputc(int c, db_file* f);
// Writes a string to a plain file; the runtime's result, -1 for a member.
int db_fputs(const char* s, db_file* f);
// Formatted write to a plain file; characters written, -1 for a member.
int db_fprintf(db_file* f, const char* format, ...) __attribute__((format(printf, 2, 3)));

// --- whole members ---
// Decodes the whole member into buf (at most buf_size bytes; -1 when the member is larger); 0 / -1.
int db_read_to_buf(const char* name, void* buf, size_t buf_size);
// Loads a member's raw (still packed) bytes into a new buffer; 0 / -1 (outputs cleared on failure).
int db_load(const char* name, uint32_t* packed_size, uint32_t* length, void** buf);
// Sets the read-progress callback, called every `threshold` bytes delivered; resets the count.
void db_register_callback(db_callback_fn fn, uint32_t threshold);

// --- big-endian typed values (writes: plain files only); each 0 / -1 ---
int db_freadByte(db_file* f, uint8_t* v);
int db_freadShort(db_file* f, int16_t* v);
int db_freadInt(db_file* f, int32_t* v);
int db_freadLong(db_file* f, int32_t* v);
int db_freadFloat(db_file* f, float* v);
int db_fwriteByte(db_file* f, uint8_t v);
int db_fwriteShort(db_file* f, int16_t v);
int db_fwriteInt(db_file* f, int32_t v);
int db_fwriteLong(db_file* f, int32_t v);
int db_fwriteFloat(db_file* f, float v);
int db_freadByteCount(db_file* f, uint8_t* v, int n);
int db_freadShortCount(db_file* f, int16_t* v, int n);
int db_freadIntCount(db_file* f, int32_t* v, int n);
int db_freadLongCount(db_file* f, int32_t* v, int n);
int db_freadFloatCount(db_file* f, float* v, int n);
int db_fwriteByteCount(db_file* f, const uint8_t* v, int n);
int db_fwriteShortCount(db_file* f, const int16_t* v, int n);
int db_fwriteIntCount(db_file* f, const int32_t* v, int n);
int db_fwriteLongCount(db_file* f, const int32_t* v, int n);
int db_fwriteFloatCount(db_file* f, const float* v, int n);

// --- serialised associative arrays through archive streams ---
// Same bytes as assoc_load / assoc_save, through a db stream; 0 / -1.
int assoc_db_load(db_file* in, assoc_array* a, int flags);
int assoc_db_save(db_file* out, const assoc_array* a, int flags);
