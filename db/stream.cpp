// Archive file streams: file-like reading of members (whole-decoded, stored, block-decoded) and
// of patch files, whole-member reads, big-endian typed values and the read-progress callback.
#include <cstdarg>
#include <cstring>

#include "db/db.h"
#include "db/db_internal.h"
#include "db/decode.h"

namespace {

db_callback_fn g_callback = nullptr;
uint32_t g_threshold = DB_BLOCK_SIZE;
uint32_t g_count = 0;

uint32_t method_of(const db_file* f) { return f->flags & DB_METHOD_MASK; }
bool is_member(const db_file* f) { return f && f->in_use && (f->flags & DB_FLAG_ARCHIVE); }
bool is_plain(const db_file* f) { return f && f->in_use && (f->flags & DB_FLAG_PLAIN) && f->plain; }
FILE* archive_of(const db_file* f) { return f->database->archive; }

// Adds delivered bytes to the progress count, calling back for every full threshold.
void count_progress(size_t n) {
  if (!g_callback) return;
  uint64_t total = uint64_t(g_count) + n;
  while (total >= g_threshold) {
    total -= g_threshold;
    g_count = 0;
    g_callback();
  }
  g_count = static_cast<uint32_t>(total);
}

// Bytes a bulk read may take before the callback is due.
size_t progress_room(size_t want) {
  if (!g_callback) return want;
  size_t room = g_threshold - g_count;
  return want < room ? want : room;
}

// Loads the next block of a block-decoded member at `position`. The block must decode to
// exactly min(remaining, 16384) bytes; anything else is damage.
bool load_block(db_file* f) {
  FILE* a = archive_of(f);
  if (f->remaining == 0 || std::fseek(a, long(f->position), SEEK_SET) != 0) return false;
  uint8_t hdr[2];
  if (std::fread(hdr, 1, 2, a) != 2) return false;
  unsigned h = (unsigned(hdr[0]) << 8) | hdr[1];
  uint32_t expect = f->remaining < DB_BLOCK_SIZE ? f->remaining : DB_BLOCK_SIZE;
  size_t got;
  unsigned stored_len;
  if (h & 0x8000) {
    stored_len = h & 0x7FFF;
    if (stored_len != expect) return false;
    got = std::fread(f->buffer, 1, stored_len, a);
  } else {
    stored_len = h;
    long n = lzss_decode_to_buf(a, f->buffer, long(h), long(expect));
    got = n < 0 ? 0 : size_t(n);
  }
  if (got != expect) return false;
  f->position += 2 + stored_len;
  f->cursor = f->buffer;
  f->end = f->buffer + got;
  return true;
}

// Skips one block by its header alone (the block is known to be a full one).
bool skip_block(db_file* f) {
  FILE* a = archive_of(f);
  if (std::fseek(a, long(f->position), SEEK_SET) != 0) return false;
  uint8_t hdr[2];
  if (std::fread(hdr, 1, 2, a) != 2) return false;
  unsigned h = (unsigned(hdr[0]) << 8) | hdr[1];
  f->position += 2 + ((h & 0x8000) ? (h & 0x7FFF) : h);
  return true;
}

// Copies up to n member bytes; the number delivered.
size_t member_read(db_file* f, uint8_t* dst, size_t n) {
  if (n > f->remaining) n = f->remaining;
  size_t done = 0;
  switch (method_of(f)) {
    case DB_METHOD_LZSS:
      std::memcpy(dst, f->cursor, n);
      f->cursor += n;
      done = n;
      break;
    case DB_METHOD_STORED: {
      FILE* a = archive_of(f);
      if (std::fseek(a, long(f->position), SEEK_SET) != 0) return 0;
      done = std::fread(dst, 1, n, a);
      f->position += uint32_t(done);
      break;
    }
    case DB_METHOD_BLOCKS:
      while (done < n) {
        if (f->cursor == f->end && !load_block(f)) break;
        size_t take = size_t(f->end - f->cursor);
        if (take > n - done) take = n - done;
        std::memcpy(dst + done, f->cursor, take);
        f->cursor += take;
        done += take;
        f->remaining -= uint32_t(take);
      }
      return done;
  }
  f->remaining -= uint32_t(done);
  return done;
}

// Next member byte without text folding, or -1.
int member_getc(db_file* f) {
  if (method_of(f) == DB_METHOD_BLOCKS && f->cursor == f->end && f->remaining > 0 && !load_block(f)) return -1;
  if (f->remaining == 0) return -1;
  int c;
  switch (method_of(f)) {
    case DB_METHOD_STORED: {
      FILE* a = archive_of(f);
      if (std::fseek(a, long(f->position), SEEK_SET) != 0) return -1;
      c = std::fgetc(a);
      if (c == EOF) return -1;
      ++f->position;
      break;
    }
    default:
      c = *f->cursor++;
      break;
  }
  --f->remaining;
  return c;
}

// The next member byte without consuming it, or -1. For a block-decoded member whose loaded block
// is used up, the next block is loaded (never read past a decoded block).
int member_peek(db_file* f) {
  if (f->remaining == 0) return -1;
  switch (method_of(f)) {
    case DB_METHOD_STORED: {
      FILE* a = archive_of(f);
      if (std::fseek(a, long(f->position), SEEK_SET) != 0) return -1;
      int c = std::fgetc(a);
      return c == EOF ? -1 : c;
    }
    case DB_METHOD_BLOCKS:
      if (f->cursor == f->end && !load_block(f)) return -1;
      return *f->cursor;
    default:
      return *f->cursor;
  }
}

bool read_exact(db_file* f, void* v, size_t n) { return db_fread(v, 1, n, f) == n; }

bool write_exact(db_file* f, const void* v, size_t n) { return is_plain(f) && db_fwrite(v, 1, n, f) == n; }

void put_be(uint8_t* p, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) p[i] = uint8_t(v);
}

uint32_t get_be(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

int32_t float_to_word(float v) {
  // Truncated toward zero; out-of-range values saturate rather than overflow.
  if (!(v == v)) return 0;
  if (v >= 2147483647.0f) return INT32_MAX;
  if (v <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Streams over files the caller opened, outside every database.
db_file g_detached[DB_MAX_STREAMS];

// The access a mode string asks for ('r' or 'w', 0 for none) and its mode bits.
int mode_access(const char* mode, uint32_t* bits) {
  int access = 0;
  *bits = DB_MODE_TEXT;
  for (const char* m = mode; *m; ++m) {
    if (*m == 'r') access = 'r';
    if (*m == 'w' || *m == 'a' || *m == '+') access = 'w';
    if (*m == 'b') *bits = DB_MODE_BINARY;
  }
  return access;
}

}  // namespace

void db_stream_release(db_file* f) {
  if (f->plain) std::fclose(f->plain);
  if (f->buffer) db_release(f->buffer);
  if (f->database) --f->database->open_streams;
  std::memset(f, 0, sizeof *f);
}

db_file* db_fopen(const char* name, const char* mode) {
  db_database* db = db_current_db();
  if (!db || !name || !mode || db->open_streams >= DB_MAX_STREAMS) return nullptr;
  uint32_t bits;
  const int access = mode_access(mode, &bits);  // 'r' read, 'w' write
  if (!access) return nullptr;
  db_file* slot = nullptr;
  for (auto& s : db->streams) {
    if (!s.in_use) {
      slot = &s;
      break;
    }
  }
  if (!slot) return nullptr;

  // Patch files are opened with the caller's own mode string; writing needs one.
  db_resolved r;
  if (db_resolve(db, name, mode, &r) != 0) return nullptr;
  if (r.is_plain) {
    std::memset(slot, 0, sizeof *slot);
    slot->database = db;
    slot->flags = bits | DB_FLAG_PLAIN;
    slot->plain = r.plain;
    slot->write_mode = access == 'w';
    slot->in_use = 1;
    ++db->open_streams;
    return slot;
  }
  if (access == 'w') return nullptr;
  const dir_entry& e = r.entry;

  db_file f = {};
  f.database = db;
  f.size = f.remaining = e.length;
  f.start = f.position = e.offset;
  switch (e.flags & DB_METHOD_MASK) {
    case DB_METHOD_LZSS: {
      f.buffer = static_cast<uint8_t*>(db_alloc(e.length));
      if (!f.buffer) return nullptr;
      long got = 0;
      if (std::fseek(db->archive, long(e.offset), SEEK_SET) == 0)
        got = e.length ? lzss_decode_to_buf(db->archive, f.buffer, long(e.packed_length), long(e.length)) : 0;
      else
        got = -1;
      if (got != long(e.length)) {
        db_release(f.buffer);
        return nullptr;
      }
      f.cursor = f.buffer;
      f.end = f.buffer + e.length;
      f.flags = bits | DB_FLAG_ARCHIVE | DB_METHOD_LZSS;
      break;
    }
    case DB_METHOD_STORED:
      f.flags = bits | DB_FLAG_ARCHIVE | DB_METHOD_STORED;
      break;
    case DB_METHOD_BLOCKS:
      f.buffer = static_cast<uint8_t*>(db_alloc(DB_BLOCK_SIZE));
      if (!f.buffer) return nullptr;
      f.cursor = f.end = f.buffer;
      f.flags = bits | DB_FLAG_ARCHIVE | DB_METHOD_BLOCKS;
      break;
    default:
      return nullptr;
  }
  f.in_use = 1;
  *slot = f;
  ++db->open_streams;
  return slot;
}

db_file* db_fopen_file(FILE* fp, const char* mode) {
  if (!fp || !mode) return nullptr;
  uint32_t bits;
  const int access = mode_access(mode, &bits);
  if (!access) return nullptr;
  for (auto& s : g_detached) {
    if (s.in_use) continue;
    std::memset(&s, 0, sizeof s);
    s.flags = bits | DB_FLAG_PLAIN;
    s.plain = fp;
    s.write_mode = access == 'w';
    s.in_use = 1;
    return &s;
  }
  return nullptr;
}

int db_fclose(db_file* f) {
  if (!f || !f->in_use) return -1;
  db_stream_release(f);
  return 0;
}

size_t db_fread(void* buf, size_t size, size_t n, db_file* f) {
  if (!f || !f->in_use || !buf || size == 0 || n == 0) return 0;
  auto* dst = static_cast<uint8_t*>(buf);
  if (is_plain(f)) {
    if (n > SIZE_MAX / size) return 0;
    size_t want = size * n, done = 0;
    while (done < want) {
      size_t chunk = progress_room(want - done);
      size_t got = std::fread(dst + done, 1, chunk, f->plain);
      done += got;
      count_progress(got);
      if (got < chunk) break;
    }
    return done / size;
  }
  if (!is_member(f)) return 0;
  size_t items = f->remaining / size;
  if (items > n) items = n;
  if (items == 0) return 0;
  size_t want = items * size, done = 0;
  while (done < want) {
    size_t chunk = progress_room(want - done);
    size_t got = member_read(f, dst + done, chunk);
    done += got;
    count_progress(got);
    if (got < chunk) break;
  }
  return done / size;
}

int db_fgetc(db_file* f) {
  if (!f || !f->in_use) return -1;
  count_progress(1);
  if (is_plain(f)) return std::fgetc(f->plain);
  if (!is_member(f)) return -1;
  int c = member_getc(f);
  if (c == '\r' && (f->flags & DB_MODE_TEXT) && f->remaining > 0 && member_peek(f) == '\n') {
    member_getc(f);
    return '\n';
  }
  return c;
}

int db_ungetc(int c, db_file* f) {
  if (!f || !f->in_use) return -1;
  if (is_plain(f)) return std::ungetc(c, f->plain);
  if (!is_member(f)) return c;
  if (method_of(f) == DB_METHOD_STORED) {
    if (f->position != f->start) {
      --f->position;
      ++f->remaining;
    }
  } else if (f->cursor && f->cursor > f->buffer) {
    --f->cursor;
    ++f->remaining;
  }
  return c;
}

char* db_fgets(char* buf, int size, db_file* f) {
  if (!f || !f->in_use || !buf || size <= 0) return nullptr;
  if (is_plain(f)) return std::fgets(buf, size, f->plain);
  int n = 0;
  // Decoded bytes lie in memory: the run before the next CR or LF is taken at once, and only a
  // line end goes through db_fgetc's folding.
  const bool inMemory = is_member(f) && method_of(f) != DB_METHOD_STORED;
  while (inMemory && n < size - 1 && f->remaining > 0) {
    if (method_of(f) == DB_METHOD_BLOCKS && f->cursor == f->end && !load_block(f)) break;
    size_t take = method_of(f) == DB_METHOD_BLOCKS ? size_t(f->end - f->cursor) : f->remaining;
    if (take > f->remaining) take = f->remaining;
    if (take > size_t(size - 1 - n)) take = size_t(size - 1 - n);
    const uint8_t* p = f->cursor;
    size_t i = 0;
    while (i < take && p[i] != '\n' && p[i] != '\r') ++i;
    std::memcpy(buf + n, p, i);
    n += int(i);
    f->cursor += i;
    f->remaining -= uint32_t(i);
    count_progress(i);
    if (i == take) continue;
    const int c = db_fgetc(f);
    buf[n++] = static_cast<char>(c);
    if (c == '\n') {
      buf[n] = 0;
      return buf;
    }
  }
  while (n < size - 1) {
    int c = db_fgetc(f);
    if (c < 0) break;
    buf[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buf[n] = 0;
  return n > 0 ? buf : nullptr;
}

int db_fseek(db_file* f, long offset, int whence) {
  if (!f || !f->in_use) return -1;
  if (is_plain(f)) return std::fseek(f->plain, offset, whence) == 0 ? 0 : -1;
  if (!is_member(f)) return -1;
  long long here = (long long)f->size - f->remaining;
  long long target;
  switch (whence) {
    case 0: target = offset; break;
    case 1: target = here + offset; break;
    case 2: target = (long long)f->size + offset; break;
    default: return -1;
  }
  if (target < 0 || target > (long long)f->size) return -1;
  switch (method_of(f)) {
    case DB_METHOD_LZSS:
      f->cursor = f->buffer + target;
      break;
    case DB_METHOD_STORED:
      f->position = f->start + uint32_t(target);
      break;
    case DB_METHOD_BLOCKS: {
      long long loaded = f->end - f->buffer;
      long long block_start = here - (f->cursor - f->buffer);
      if (target >= block_start && target <= block_start + loaded) {
        f->cursor = f->buffer + (target - block_start);
        break;
      }
      if (target < block_start) {
        f->position = f->start;
        f->remaining = f->size;
      } else {
        f->remaining -= uint32_t(f->end - f->cursor);
      }
      f->cursor = f->end = f->buffer;
      // Now at a block boundary with nothing loaded: skip whole blocks by their headers.
      long long pos = (long long)f->size - f->remaining;
      while (target - pos >= DB_BLOCK_SIZE && f->remaining > DB_BLOCK_SIZE) {
        if (!skip_block(f)) return -1;
        f->remaining -= DB_BLOCK_SIZE;
        pos += DB_BLOCK_SIZE;
      }
      if (f->remaining > 0 && !load_block(f)) return -1;
      f->cursor = f->buffer + (target - pos);
      break;
    }
    default:
      return -1;
  }
  f->remaining = f->size - uint32_t(target);
  return 0;
}

long db_ftell(db_file* f) {
  if (!f || !f->in_use) return -1;
  if (is_plain(f)) return std::ftell(f->plain);
  if (!is_member(f)) return -1;
  return long(f->size - f->remaining);
}

void db_rewind(db_file* f) {
  if (!f || !f->in_use) return;
  if (is_plain(f)) {
    std::rewind(f->plain);
    return;
  }
  if (!is_member(f)) return;
  f->remaining = f->size;
  switch (method_of(f)) {
    case DB_METHOD_LZSS:
      f->cursor = f->buffer;
      break;
    case DB_METHOD_STORED:
      f->position = f->start;
      break;
    case DB_METHOD_BLOCKS:
      f->cursor = f->end = f->buffer;
      f->position = f->start;
      if (f->remaining > 0) load_block(f);
      break;
  }
}

int db_feof(db_file* f) {
  if (!f || !f->in_use) return -1;
  if (is_plain(f)) return std::feof(f->plain) ? 1 : 0;
  return f->remaining == 0 ? 1 : 0;
}

long db_filelength(db_file* f) {
  if (!f || !f->in_use) return -1;
  if (is_plain(f)) return long(db_plain_size(f->plain));
  return long(f->size);
}

size_t db_fwrite(const void* buf, size_t size, size_t n, db_file* f) {
  if (!is_plain(f) || !buf) return 0;
  return std::fwrite(buf, size, n, f->plain);
}

int db_fputc(int c, db_file* f) {
  if (!is_plain(f)) return -1;
  return std::fputc(c, f->plain);
}

int db_fputs(const char* s, db_file* f) {
  if (!is_plain(f) || !s) return -1;
  return std::fputs(s, f->plain);
}

int db_fprintf(db_file* f, const char* format, ...) {
  if (!is_plain(f) || !format) return -1;
  va_list ap;
  va_start(ap, format);
  int n = std::vfprintf(f->plain, format, ap);
  va_end(ap);
  return n;
}

int db_read_to_buf(const char* name, void* buf, size_t buf_size) {
  db_database* db = db_current_db();
  db_resolved r;
  if (!buf || db_resolve(db, name, "rb", &r) != 0) return -1;
  auto* dst = static_cast<uint8_t*>(buf);
  if (r.is_plain) {
    long long size = db_plain_size(r.plain);
    bool ok = size >= 0 && (unsigned long long)size <= buf_size;
    size_t done = 0;
    while (ok && done < size_t(size)) {
      size_t chunk = progress_room(size_t(size) - done);
      size_t got = std::fread(dst + done, 1, chunk, r.plain);
      done += got;
      count_progress(got);
      if (got < chunk) ok = false;
    }
    std::fclose(r.plain);
    return ok ? 0 : -1;
  }
  const dir_entry& e = r.entry;
  if (e.length > buf_size) return -1;
  FILE* a = db->archive;
  if (std::fseek(a, long(e.offset), SEEK_SET) != 0) return -1;
  switch (e.flags & DB_METHOD_MASK) {
    case DB_METHOD_LZSS: {
      if (e.length == 0) return 0;
      long got = lzss_decode_to_buf(a, dst, long(e.packed_length), long(e.length));
      return got == long(e.length) ? 0 : -1;
    }
    case DB_METHOD_STORED: {
      size_t done = 0;
      while (done < e.length) {
        size_t chunk = progress_room(e.length - done);
        size_t got = std::fread(dst + done, 1, chunk, a);
        done += got;
        count_progress(got);
        if (got < chunk) return -1;
      }
      return 0;
    }
    case DB_METHOD_BLOCKS: {
      uint32_t done = 0;
      long pos = long(e.offset);
      while (done < e.length) {
        uint8_t hdr[2];
        if (std::fseek(a, pos, SEEK_SET) != 0 || std::fread(hdr, 1, 2, a) != 2) return -1;
        unsigned h = (unsigned(hdr[0]) << 8) | hdr[1];
        uint32_t expect = e.length - done < DB_BLOCK_SIZE ? e.length - done : DB_BLOCK_SIZE;
        size_t got;
        if (h & 0x8000) {
          unsigned n = h & 0x7FFF;
          if (n != expect) return -1;
          got = std::fread(dst + done, 1, n, a);
          pos += 2 + long(n);
        } else {
          long n = lzss_decode_to_buf(a, dst + done, long(h), long(expect));
          got = n < 0 ? 0 : size_t(n);
          pos += 2 + long(h);
        }
        if (got != expect) return -1;
        done += expect;
        count_progress(expect);
      }
      return 0;
    }
    default:
      return -1;
  }
}

int db_load(const char* name, uint32_t* packed_size, uint32_t* length, void** buf) {
  if (packed_size) *packed_size = 0;
  if (length) *length = 0;
  if (buf) *buf = nullptr;
  db_database* db = db_current_db();
  db_resolved r;
  if (!packed_size || !length || !buf || db_resolve(db, name, "rb", &r) != 0) return -1;
  FILE* src;
  uint32_t n;
  if (r.is_plain) {
    long long size = db_plain_size(r.plain);
    if (size <= 0 || size > 0x7FFFFFFF) {
      std::fclose(r.plain);
      return -1;
    }
    src = r.plain;
    n = uint32_t(size);
  } else {
    src = db->archive;
    n = r.entry.packed_length;
    if (std::fseek(src, long(r.entry.offset), SEEK_SET) != 0) return -1;
  }
  void* p = db_alloc(n);
  bool ok = p && std::fread(p, 1, n, src) == n;
  if (r.is_plain) std::fclose(r.plain);
  if (!ok) {
    db_release(p);
    return -1;
  }
  *packed_size = r.is_plain ? 0 : r.entry.packed_length;
  *length = r.is_plain ? n : r.entry.length;
  *buf = p;
  return 0;
}

void db_register_callback(db_callback_fn fn, uint32_t threshold) {
  g_callback = fn;
  g_threshold = threshold ? threshold : 1;
  g_count = 0;
}

// --- typed values ---

int db_freadByte(db_file* f, uint8_t* v) { return v && read_exact(f, v, 1) ? 0 : -1; }

int db_freadShort(db_file* f, int16_t* v) {
  uint8_t b[2];
  if (!v || !read_exact(f, b, 2)) return -1;
  *v = static_cast<int16_t>(get_be(b, 2));
  return 0;
}

int db_freadInt(db_file* f, int32_t* v) {
  uint8_t b[4];
  if (!v || !read_exact(f, b, 4)) return -1;
  *v = static_cast<int32_t>(get_be(b, 4));
  return 0;
}

int db_freadLong(db_file* f, int32_t* v) { return db_freadInt(f, v); }

int db_freadFloat(db_file* f, float* v) {
  int32_t w;
  if (!v || db_freadInt(f, &w) != 0) return -1;
  // Read back as the signed word the writer stored, so negative values survive.
  *v = static_cast<float>(w);
  return 0;
}

int db_fwriteByte(db_file* f, uint8_t v) { return write_exact(f, &v, 1) ? 0 : -1; }

int db_fwriteShort(db_file* f, int16_t v) {
  uint8_t b[2];
  put_be(b, uint16_t(v), 2);
  return write_exact(f, b, 2) ? 0 : -1;
}

int db_fwriteInt(db_file* f, int32_t v) {
  uint8_t b[4];
  put_be(b, uint32_t(v), 4);
  return write_exact(f, b, 4) ? 0 : -1;
}

int db_fwriteLong(db_file* f, int32_t v) { return db_fwriteInt(f, v); }

int db_fwriteFloat(db_file* f, float v) { return db_fwriteInt(f, float_to_word(v)); }

#define DB_COUNT_FORM(name, one, T)           \
  int name(db_file* f, T* v, int n) {         \
    if (!v || n < 0) return -1;               \
    for (int i = 0; i < n; ++i)               \
      if (one(f, &v[i]) != 0) return -1;      \
    return 0;                                 \
  }
DB_COUNT_FORM(db_freadByteCount, db_freadByte, uint8_t)
DB_COUNT_FORM(db_freadShortCount, db_freadShort, int16_t)
DB_COUNT_FORM(db_freadIntCount, db_freadInt, int32_t)
DB_COUNT_FORM(db_freadLongCount, db_freadLong, int32_t)
DB_COUNT_FORM(db_freadFloatCount, db_freadFloat, float)
#undef DB_COUNT_FORM

#define DB_WCOUNT_FORM(name, one, T)          \
  int name(db_file* f, const T* v, int n) {   \
    if (!v || n < 0) return -1;               \
    for (int i = 0; i < n; ++i)               \
      if (one(f, v[i]) != 0) return -1;       \
    return 0;                                 \
  }
DB_WCOUNT_FORM(db_fwriteByteCount, db_fwriteByte, uint8_t)
DB_WCOUNT_FORM(db_fwriteShortCount, db_fwriteShort, int16_t)
DB_WCOUNT_FORM(db_fwriteIntCount, db_fwriteInt, int32_t)
DB_WCOUNT_FORM(db_fwriteLongCount, db_fwriteLong, int32_t)
DB_WCOUNT_FORM(db_fwriteFloatCount, db_fwriteFloat, float)
#undef DB_WCOUNT_FORM
