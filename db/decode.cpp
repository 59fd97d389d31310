// LZSS decoder. The memory-to-memory core decodes straight into the destination and uses the
// output already produced as the history: a match at ring position p, decoded when the ring index
// is r, refers to the byte written d = ((r - p - 1) mod 4096) + 1 bytes earlier. A reference to
// history before the first output byte reads the initial ring content, which is all blanks.
#include "db/decode.h"

#include <array>
#include <cstring>

namespace {

constexpr uint8_t kBlank = 0x20;
constexpr size_t kGroupMaxIn = 17;  // one flag byte and eight two-byte matches
// Room a group needs for the unchecked path: eight longest matches plus the copy overshoot.
constexpr size_t kGroupMaxOut = 8 * LZSS_MAX_MATCH + 8;

enum class Stop { NeedInput, Full, Done };

inline void copy8(uint8_t* d, const uint8_t* s) {
  uint64_t v;
  std::memcpy(&v, s, 8);
  std::memcpy(d, &v, 8);
}

// Match source distance for ring position p with `out` bytes already written.
inline size_t distance(size_t out, unsigned p) {
  unsigned r = static_cast<unsigned>((LZSS_RING_START + out) & (LZSS_RING_SIZE - 1));
  return ((r - p - 1) & (LZSS_RING_SIZE - 1)) + 1;
}

// Copies a match byte by byte, reading blanks for history before the output start; stops at `limit`.
inline size_t copy_checked(uint8_t* dest, size_t out, size_t d, size_t len, size_t limit) {
  size_t end = out + len;
  if (end > limit) end = limit;
  for (; out < end; ++out) dest[out] = out >= d ? dest[out - d] : kBlank;
  return out;
}

// Decodes from src[pos..src_len) into dest[out..dest_size). Without `final`, only whole groups
// are decoded while at least 17 packed bytes are available, so a group never straddles a refill.
Stop decode_run(const uint8_t* src, size_t src_len, size_t& pos, uint8_t* dest, size_t dest_size, size_t& out,
                bool final) {
  while (src_len - pos >= kGroupMaxIn) {
    unsigned flags = src[pos++];
    if (dest_size - out >= kGroupMaxOut) {
      for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
        if (flags & 1) {
          dest[out++] = src[pos++];
          continue;
        }
        unsigned b0 = src[pos], b1 = src[pos + 1];
        pos += 2;
        unsigned p = b0 | ((b1 & 0xF0u) << 4);
        size_t len = (b1 & 0x0Fu) + LZSS_MIN_MATCH;
        size_t d = distance(out, p);
        uint8_t* o = dest + out;
        if (d <= out) {
          const uint8_t* s = o - d;
          if (d >= 8) {
            copy8(o, s);
            copy8(o + 8, s + 8);
            if (len > 16) copy8(o + 16, s + 16);
          } else if (d == 1) {
            std::memset(o, s[0], len);
          } else {
            for (size_t k = 0; k < len; ++k) o[k] = s[k];
          }
          out += len;
        } else {
          out = copy_checked(dest, out, d, len, dest_size);
        }
      }
    } else {
      for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
        if (out >= dest_size) return Stop::Full;
        if (flags & 1) {
          dest[out++] = src[pos++];
          continue;
        }
        unsigned b0 = src[pos], b1 = src[pos + 1];
        pos += 2;
        unsigned p = b0 | ((b1 & 0xF0u) << 4);
        size_t len = (b1 & 0x0Fu) + LZSS_MIN_MATCH;
        out = copy_checked(dest, out, distance(out, p), len, dest_size);
      }
      if (out >= dest_size) return Stop::Full;
    }
  }
  if (!final) return Stop::NeedInput;
  // The last few packed bytes: item by item, stopping when the packed data is used up (the rest
  // of a flag byte is then ignored, as is a match cut short by the end of the data).
  while (pos < src_len) {
    unsigned flags = src[pos++];
    for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
      if (pos >= src_len) return Stop::Done;
      if (out >= dest_size) return Stop::Full;
      if (flags & 1) {
        dest[out++] = src[pos++];
        continue;
      }
      if (src_len - pos < 2) return Stop::Done;
      unsigned b0 = src[pos], b1 = src[pos + 1];
      pos += 2;
      unsigned p = b0 | ((b1 & 0xF0u) << 4);
      size_t len = (b1 & 0x0Fu) + LZSS_MIN_MATCH;
      out = copy_checked(dest, out, distance(out, p), len, dest_size);
    }
  }
  return Stop::Done;
}

}  // namespace

size_t lzss_decode_mem(const uint8_t* src, size_t src_len, uint8_t* dest, size_t dest_size) {
  if (!src || !dest || src_len == 0 || dest_size == 0) return 0;
  size_t pos = 0, out = 0;
  decode_run(src, src_len, pos, dest, dest_size, out, true);
  return out;
}

long lzss_decode_to_buf(FILE* in, uint8_t* dest, long packed_len, long dest_size) {
  if (!in || packed_len <= 0) return 0;
  if (!dest || dest_size <= 0) return 0;
  std::array<uint8_t, 8192> staging;
  size_t held = 0, pos = 0, out = 0;
  long left = packed_len;
  for (;;) {
    // Keep the unread tail and top the staging buffer up, never reading past the packed data.
    if (left > 0) {
      size_t unread = held - pos;
      std::memmove(staging.data(), staging.data() + pos, unread);
      held = unread;
      pos = 0;
      size_t want = staging.size() - held;
      if (static_cast<unsigned long>(left) < want) want = static_cast<size_t>(left);
      size_t got = std::fread(staging.data() + held, 1, want, in);
      held += got;
      left -= static_cast<long>(got);
      if (got < want) return -1;
    }
    Stop s = decode_run(staging.data(), held, pos, dest, static_cast<size_t>(dest_size), out, left == 0);
    if (s != Stop::NeedInput) break;
  }
  return static_cast<long>(out);
}

void lzss_decode_to_file(FILE* in, FILE* out, long packed_len) {
  if (!in || !out || packed_len <= 0) return;
  std::array<uint8_t, LZSS_RING_SIZE> ring;
  ring.fill(kBlank);
  unsigned r = LZSS_RING_START;
  std::array<uint8_t, 4096> staging;
  std::array<uint8_t, 4096> outbuf;
  size_t held = 0, pos = 0, nout = 0;
  long left = packed_len;
  auto next = [&](int* c) -> bool {
    if (pos == held) {
      if (left <= 0) return false;
      size_t want = staging.size();
      if (static_cast<unsigned long>(left) < want) want = static_cast<size_t>(left);
      held = std::fread(staging.data(), 1, want, in);
      pos = 0;
      if (held == 0) {
        left = 0;
        return false;
      }
      left -= static_cast<long>(held);
    }
    *c = staging[pos++];
    return true;
  };
  auto emit = [&](uint8_t b) {
    ring[r] = b;
    r = (r + 1) & (LZSS_RING_SIZE - 1);
    outbuf[nout++] = b;
    if (nout == outbuf.size()) {
      std::fwrite(outbuf.data(), 1, nout, out);
      nout = 0;
    }
  };
  int flags, c, c2;
  while (next(&flags)) {
    bool done = false;
    for (int bit = 0; bit < 8 && !done; ++bit, flags >>= 1) {
      if (flags & 1) {
        if (!next(&c)) {
          done = true;
          break;
        }
        emit(static_cast<uint8_t>(c));
        continue;
      }
      if (!next(&c) || !next(&c2)) {
        done = true;
        break;
      }
      unsigned p = static_cast<unsigned>(c) | ((static_cast<unsigned>(c2) & 0xF0u) << 4);
      int len = (c2 & 0x0F) + LZSS_MIN_MATCH;
      for (int k = 0; k < len; ++k) emit(ring[(p + k) & (LZSS_RING_SIZE - 1)]);
    }
    if (done) break;
  }
  if (nout) std::fwrite(outbuf.data(), 1, nout, out);
}
