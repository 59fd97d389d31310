// Serialised associative arrays read from and written to archive streams.
#include "assoc/assoc.h"
#include "db/db.h"

namespace {

size_t stream_read(void* ctx, void* buf, size_t n) { return db_fread(buf, 1, n, static_cast<db_file*>(ctx)); }

size_t stream_write(void* ctx, const void* buf, size_t n) {
  return db_fwrite(buf, 1, n, static_cast<db_file*>(ctx));
}

long long stream_left(void* ctx) {
  db_file* f = static_cast<db_file*>(ctx);
  long len = db_filelength(f), here = db_ftell(f);
  if (len < 0 || here < 0 || here > len) return -1;
  return static_cast<long long>(len) - here;
}

}  // namespace

int assoc_db_load(db_file* in, assoc_array* a, int flags) {
  if (!in) return -1;
  assoc_io io{in, stream_read, stream_write, stream_left, 1};
  return assoc_load_io(&io, a, flags);
}

int assoc_db_save(db_file* out, const assoc_array* a, int flags) {
  if (!out) return -1;
  assoc_io io{out, stream_read, stream_write, nullptr, 1};
  return assoc_save_io(&io, a, flags);
}
