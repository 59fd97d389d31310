// LZSS encoder.
//
// The decoder keeps a 4096-byte ring whose positions 0..4077 start out as blanks and writes output
// byte i at ring position (4078 + i) mod 4096. The encoder models that as one flat history: 4078
// blanks followed by the input, so history index j sits at ring position j mod 4096. A match may
// start anywhere from 4096 bytes back up to the byte just before the current one, and may run on
// into the bytes it produces (the decoder copies byte by byte). The 18 ring positions 4078..4095
// are never referenced before the stream has written them: they lie before the first blank of
// the flat history.
//
// Pieces: the input is parsed in pieces of LZSS_PIECE_SIZE bytes. A piece starts its match finder
// afresh with the 4096 bytes of history before it (its window), and its matches end inside it, so
// what it gives depends on those bytes alone.
//
// Match finder: binary trees of suffixes, one per hash of three bytes, as many compressors use.
// Each position, when inserted, walks its tree from the newest node down, comparing its suffix (up
// to 18 bytes) with each node's; the walk finds the longest match among them and rebuilds the tree
// with the new position at its root, older nodes split into those before it and those after it in
// suffix order. A node that has left the window ends the walk; a node equal to the new position
// over the whole 18 bytes is replaced by it. Every position is inserted, so the match at every
// position is the longest one the window holds (the walk is bounded, which seldom matters).
//
// Parsing is optimal for the format's fixed costs (a literal is 9 bits, a match 17 bits including
// its flag bit): the longest match is found at every position, then a backward pass over the
// piece picks the cheapest sequence of literals and matches (any length from 3 up to the longest
// match found is usable, since a shorter match from the same place is also valid).

#include "db/encode.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kRing = 4096;
constexpr int kBlanks = 4078;  // ring positions preset to blanks
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 18;
constexpr int kHashBits = 14;
constexpr int kTreeSlots = 2 * kRing;  // no node in the window shares its slot with the new one
constexpr int kWalk = 16;              // nodes a walk visits at most
constexpr size_t kPad = 8;             // readable bytes past the end, for word compares

// Literal and match costs in bits, flag bit included.
constexpr uint32_t kLiteralCost = 9;
constexpr uint32_t kMatchCost = 17;

inline uint32_t hash3(const uint8_t* p) {
  uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
  return (v * 2654435761u) >> (32 - kHashBits);
}

inline uint32_t hash4(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return (v * 2654435761u) >> (32 - kHashBits);
}

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// How many of the first `limit` bytes of a and b agree, counting on from `from` (the first `from`
// agree already); a and b may be read up to 7 bytes past `limit`.
inline int agree(const uint8_t* a, const uint8_t* b, int from, int limit) {
  int n = from;
  if constexpr (std::endian::native == std::endian::little) {
    while (n < limit) {
      const uint64_t x = load64(a + n) ^ load64(b + n);
      if (x) return std::min(limit, n + std::countr_zero(x) / 8);
      n += 8;
    }
    return limit;
  } else {
    while (n < limit && a[n] == b[n]) ++n;
    return n;
  }
}

struct Matcher {
  const uint8_t* buf;  // the window, then the piece, then kPad readable bytes
  int end;             // bytes of window and piece
  std::vector<int32_t> head;
  std::vector<int32_t> head3;
  std::vector<int32_t> tree;  // per slot: the node's two children (before, after), -1 for none

  Matcher(const uint8_t* b, int n) : buf(b), end(n), head(size_t(1) << kHashBits, -1), head3(size_t(1) << kHashBits, -1), tree(2 * kTreeSlots, -1) {}

  // Inserts position p and returns the length of the longest match it found (0 when under 3),
  // its source in *src.
  int insert(int p, int* src) {
    const int limit = std::min(kMaxMatch, end - p);
    if (limit < kMinMatch) return 0;
    const uint8_t* cur = buf + p;
    int32_t& last3 = head3[hash3(cur)];
    const int32_t near3 = last3;
    last3 = p;
    if (limit < 4) {
      if (near3 >= std::max(p - kRing, 0) && agree(buf + near3, cur, 0, limit) == limit) {
        *src = near3;
        return limit;
      }
      return 0;
    }
    int32_t& root = head[hash4(cur)];
    int32_t node = root;
    root = p;
    int32_t* before = &tree[2 * (p & (kTreeSlots - 1))];  // where the next node before p goes
    int32_t* after = before + 1;                           // where the next node after p goes
    int lenBefore = 0, lenAfter = 0, best = 0;
    const int lowest = p - kRing;
    for (int walk = kWalk;; --walk) {
      if (node < lowest || node < 0 || walk == 0) {
        *before = *after = -1;
        break;
      }
      int32_t* pair = &tree[2 * (node & (kTreeSlots - 1))];
      const uint8_t* cand = buf + node;
      const int len = agree(cand, cur, std::min(lenBefore, lenAfter), limit);
      if (len > best) {
        best = len;
        *src = node;
      }
      if (len == limit) {  // the same suffix: p takes the node's place
        *before = pair[0];
        *after = pair[1];
        break;
      }
      if (cand[len] < cur[len]) {
        *before = node;
        before = pair + 1;
        node = *before;
        lenBefore = len;
      } else {
        *after = node;
        after = pair;
        node = *after;
        lenAfter = len;
      }
    }
    if (best < kMinMatch && near3 >= std::max(p - kRing, 0) && agree(buf + near3, cur, 0, 3) == 3) {
      *src = near3;
      return 3;
    }
    return best >= kMinMatch ? best : 0;
  }
};

// The bounds of piece `index` of an input of `len` bytes in flat history coordinates: its first
// byte `a`, its end `b`, and the start `w` of its window.
void pieceBounds(size_t len, size_t index, size_t* w, size_t* a, size_t* b) {
  *a = kBlanks + index * LZSS_PIECE_SIZE;
  *b = std::min(kBlanks + len, *a + LZSS_PIECE_SIZE);
  *w = *a >= size_t(kRing) ? *a - kRing : 0;
}

}  // namespace

size_t lzss_piece_count(size_t len) { return (len + LZSS_PIECE_SIZE - 1) / LZSS_PIECE_SIZE; }

void lzss_parse_piece(const uint8_t* src, size_t len, size_t index, lzss_piece& piece) {
  piece.bytes.clear();
  piece.literal.clear();
  if (index >= lzss_piece_count(len)) return;
  size_t w, a, b;
  pieceBounds(len, index, &w, &a, &b);

  // The window and the piece as one buffer: history index j is buf[j - w].
  std::vector<uint8_t> buf(b - w + kPad, 0);
  for (size_t j = w; j < b; ++j)
    if (j < size_t(kBlanks)) buf[j - w] = 0x20;
  const size_t firstInput = std::max(w, size_t(kBlanks));
  std::memcpy(buf.data() + (firstInput - w), src + (firstInput - kBlanks), b - firstInput);

  Matcher m(buf.data(), int(b - w));
  const int start = int(a - w), n = int(b - a);
  int ignored = 0;
  for (int p = 0; p < start; ++p) m.insert(p, &ignored);

  std::vector<uint8_t> mlen(size_t(n) + 1);
  std::vector<uint16_t> dist(size_t(n) + 1);  // distance back (1..4096)
  for (int i = 0; i < n; ++i) {
    int from = 0;
    const int l = m.insert(start + i, &from);
    mlen[i] = uint8_t(l);
    dist[i] = uint16_t(l ? start + i - from : 0);
  }

  // Cheapest parse from the end backwards: cost[i] is the bits from position i to the end.
  std::vector<uint32_t> cost(size_t(n) + 1);
  std::vector<uint8_t> choice(size_t(n) + 1);
  cost[n] = 0;
  for (int i = n; i-- > 0;) {
    uint32_t best = cost[i + 1] + kLiteralCost;
    uint8_t pick = 0;
    for (int l = mlen[i]; l >= kMinMatch; --l) {
      const uint32_t c = cost[i + l] + kMatchCost;
      if (c < best) {
        best = c;
        pick = uint8_t(l);
      }
    }
    cost[i] = best;
    choice[i] = pick;
  }
  size_t items = 0, bytes = 0;
  for (int i = 0; i < n; ++items) {
    bytes += choice[i] ? 2 : 1;
    i += choice[i] ? choice[i] : 1;
  }
  piece.bytes.resize(bytes);
  piece.literal.resize(items);
  uint8_t* put = piece.bytes.data();
  uint8_t* kind = piece.literal.data();
  for (int i = 0; i < n;) {
    const int l = choice[i];
    if (l) {
      const uint32_t ring = uint32_t((a + size_t(i) - dist[i]) & (kRing - 1));
      *put++ = uint8_t(ring & 0xFF);
      *put++ = uint8_t(((ring >> 4) & 0xF0) | uint32_t(l - kMinMatch));
      *kind++ = 0;
      i += l;
    } else {
      *put++ = buf[size_t(start + i)];
      *kind++ = 1;
      ++i;
    }
  }
}

void lzss_emit(const lzss_piece& piece, lzss_emitter& emitter, std::vector<uint8_t>& out) {
  size_t at = 0;
  for (const uint8_t literal : piece.literal) {
    if (emitter.bits == 8) {
      emitter.flag_at = out.size();
      out.push_back(0);
      emitter.bits = 0;
    }
    if (literal) {
      out[emitter.flag_at] = uint8_t(out[emitter.flag_at] | (1u << emitter.bits));
      out.push_back(piece.bytes[at++]);
    } else {
      out.push_back(piece.bytes[at]);
      out.push_back(piece.bytes[at + 1]);
      at += 2;
    }
    ++emitter.bits;
  }
}

size_t lzss_encode(const uint8_t* src, size_t len, std::vector<uint8_t>& out) {
  const size_t before = out.size();
  lzss_piece piece;
  lzss_emitter emitter;
  for (size_t i = 0; i < lzss_piece_count(len); ++i) {
    lzss_parse_piece(src, len, i, piece);
    lzss_emit(piece, emitter, out);
  }
  return out.size() - before;
}
