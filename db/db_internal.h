// Archive database internals shared by the directory code (db.cpp) and the streams (stream.cpp).
#pragma once

#include <cstddef>
#include <cstdio>

#include "db/db.h"

struct db_database {
  char* datafile;       // owned copy of the archive name, or null
  FILE* archive;        // shared by every stream of this database; null: patches only
  long long archive_size;
  char* path;           // name prefix, always ending in '\'
  char* patches;        // null: no patches; "": current directory; else ends in '\'
  int patches_owned;
  assoc_array root;     // directory names; slot 0 is the root directory
  assoc_array* dirs;    // one array of dir_entry blocks per root key
  int dir_count;
  int open_streams;
  db_file streams[DB_MAX_STREAMS];
};

// Result of resolving a name: a patch file, or a member's entry.
struct db_resolved {
  FILE* plain;          // the opened patch file (only when asked to open one), else null
  int is_plain;         // 1: a patch file
  dir_entry entry;      // member entry (flags normalised, 0x08 added) or patch size
};

// The current database, or null.
db_database* db_current_db();
// Allocation through the registered hooks.
void* db_alloc(size_t n);
void db_release(void* p);
// Opens a plain file given as a Windows path (through the OS services), with a stdio mode string.
FILE* db_open_native(const char* path, const char* mode);
// Resolves `name` in `db`: patches first (opened with `mode`, or only probed when `mode` is null),
// then the archive. 0 / -1.
int db_resolve(db_database* db, const char* name, const char* mode, db_resolved* out);
// Size of an open plain file, or -1.
long long db_plain_size(FILE* f);
// Releases a stream's resources and clears its record.
void db_stream_release(db_file* f);
