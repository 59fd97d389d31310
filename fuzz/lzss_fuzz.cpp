// Decodes arbitrary bytes into a bounded buffer; the memory and stream decoders must agree.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "db/decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t cap = (size_t(data[0]) << 8 | data[1]) % 20000;
  const uint8_t* src = data + 2;
  size_t len = size - 2;

  std::vector<uint8_t> a(cap), b(cap);
  size_t n = lzss_decode_mem(src, len, a.data(), cap);
  if (n > cap) std::abort();

  FILE* f = std::tmpfile();
  if (!f) return 0;
  if (len) std::fwrite(src, 1, len, f);
  std::rewind(f);
  long m = lzss_decode_to_buf(f, b.data(), long(len), long(cap));
  if (m < 0 || size_t(m) != n || (n && std::memcmp(a.data(), b.data(), n) != 0)) std::abort();
  // Unless the destination filled up, the stream stands just after the packed bytes.
  if (n < cap && std::ftell(f) != long(len)) std::abort();

  if (n < cap) {
    std::rewind(f);
    FILE* out = std::tmpfile();
    if (out) {
      lzss_decode_to_file(f, out, long(len));
      long produced = std::ftell(out);
      std::vector<uint8_t> c(size_t(produced > 0 ? produced : 0));
      std::rewind(out);
      if (!c.empty() && std::fread(c.data(), 1, c.size(), out) != c.size()) std::abort();
      if (c.size() != n || (n && std::memcmp(c.data(), a.data(), n) != 0)) std::abort();
      std::fclose(out);
    }
  }
  std::fclose(f);
  return 0;
}
