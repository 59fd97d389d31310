// LZSS decoder. The memory-to-memory core decodes straight into the destination and uses the
// output already produced as the history: a match at ring position p, decoded when the ring index
// is r, refers to the byte written d = ((r - p - 1) mod 4096) + 1 bytes earlier. A reference to
// history before the first output byte reads the initial ring content, which is all blanks.
#include "db/decode.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr uint8_t kBlank = 0x20;
constexpr size_t kGroupMaxIn = 17;  // one flag byte and eight two-byte matches
// Every item of the unchecked path writes 24 bytes from where it starts (three words, whatever its
// length): a group needs room for seven longest matches and that.
constexpr size_t kItemWrite = 24;
constexpr size_t kGroupMaxOut = 7 * LZSS_MAX_MATCH + kItemWrite;
// Packed bytes the unchecked path may read from a group's start: a literal copies 24 bytes from
// where it stands, and the eighth item of a group starts at most 15 bytes on.
constexpr size_t kGroupReadIn = 15 + kItemWrite;

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

// The unchecked path over whole groups while the packed data holds a group and what its literals
// read, and the destination has room for a group and what its items write. Every item, literal or
// match, is three word copies from where its bytes come from (the packed data for a literal, the
// output for a match), chosen without a branch: the only branch an item takes is the rare one for
// a match that overlaps itself by less than a word or reaches back before the output (into the
// blanks). A literal's extra bytes, like a short match's, are overwritten by the items after it or
// lie past the end of the output, inside the destination.
void decode_groups(const uint8_t* src, size_t src_len, size_t& pos_io, uint8_t* dest, size_t dest_size,
                   size_t& out_io) {
  // Locals: the byte stores below could alias anything reached through a reference.
  size_t pos = pos_io, out = out_io;
  while (src_len - pos >= kGroupReadIn && dest_size - out >= kGroupMaxOut && out >= 8) {
    unsigned flags = src[pos++];
    for (int item = 0; item < 8; ++item, flags >>= 1) {
      const size_t literal = flags & 1;
      const uintptr_t pick = uintptr_t(0) - literal;  // all ones for a literal
      const unsigned b0 = src[pos], b1 = src[pos + 1];
      const size_t d = distance(out, b0 | ((b1 & 0xF0u) << 4));
      const size_t match = (b1 & 0x0Fu) + LZSS_MIN_MATCH;
      const size_t len = match ^ ((match ^ 1) & pick);
      uint8_t* o = dest + out;
      // A match is copied in words when 8 <= d <= out; with out >= 8 that is one comparison, which
      // a literal (taken as d = 8) always passes.
      if (((d - 8) & ~pick) > out - 8) [[unlikely]] {
        if (d == 1)  // a run of one byte (out >= 8, so the byte is there)
          std::memset(o, o[-1], LZSS_MAX_MATCH);
        else
          copy_checked(dest, out, d, len, dest_size);
      } else {
        const uintptr_t fromMatch = uintptr_t(o) - d, fromLiteral = uintptr_t(src + pos);
        const auto* from = reinterpret_cast<const uint8_t*>(fromMatch ^ ((fromMatch ^ fromLiteral) & pick));
        copy8(o, from);
        copy8(o + 8, from + 8);
        copy8(o + 16, from + 16);
      }
      out += len;
      pos += 2 - literal;
    }
  }
  pos_io = pos;
  out_io = out;
}

// Decodes from src[pos..src_len) into dest[out..dest_size). Without `final`, only whole groups
// are decoded while at least 17 packed bytes are available, so a group never straddles a refill.
Stop decode_run(const uint8_t* src, size_t src_len, size_t& pos, uint8_t* dest, size_t dest_size, size_t& out,
                bool final) {
  while (src_len - pos >= kGroupMaxIn) {
    decode_groups(src, src_len, pos, dest, dest_size, out);
    if (src_len - pos < kGroupMaxIn) break;
    // A group the unchecked path cannot take (the output's first bytes, or near the end of the
    // packed data or of the destination): item by item, stopping when the destination is full.
    unsigned flags = src[pos++];
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
