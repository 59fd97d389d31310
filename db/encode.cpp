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
// Parsing is optimal for the format's fixed costs (a literal is 9 bits, a match 17 bits including
// its flag bit): the longest match is found at every position with hash chains, then a backward
// pass over a chunk picks the cheapest sequence of literals and matches (any length from 3 up to
// the longest match found is usable, since a shorter match from the same place is also valid).
// For speed the chain walk is bounded (fewer candidates once a long match is in hand), a search
// only looks for matches longer than the previous position's match shifted by one, and the
// positions covered by a full 18-byte match are not searched at all.

#include "db/encode.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kRing = 4096;
constexpr int kBlanks = 4078;  // ring positions preset to blanks
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 18;
constexpr int kHashBits = 15;
constexpr int kChainDepth = 32;  // candidates examined per position
constexpr int kGoodMatch = 10;   // beyond this length a quarter of that suffices
constexpr size_t kChunk = size_t(1) << 16;  // positions per parse pass

// Literal and match costs in bits, flag bit included.
constexpr uint32_t kLiteralCost = 9;
constexpr uint32_t kMatchCost = 17;

inline uint32_t hash3(const uint8_t* p) {
  uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
  return (v * 2654435761u) >> (32 - kHashBits);
}

struct Matcher {
  const uint8_t* buf;  // flat history: blanks then input
  size_t end;          // bytes in buf
  std::vector<int32_t> head;
  int32_t prev[kRing];

  Matcher(const uint8_t* b, size_t n) : buf(b), end(n), head(size_t(1) << kHashBits, -1) {}

  void insert(size_t p) {
    if (p + kMinMatch > end) return;
    uint32_t h = hash3(buf + p);
    prev[p & (kRing - 1)] = head[h];
    head[h] = int32_t(p);
  }

  // Longest match for position p of at most `limit` bytes; its source index in *src. `known` is
  // the length of a match already known at *src (0 for none): only longer ones are looked for.
  int longest(size_t p, int limit, int known, size_t* src) const {
    if (limit < kMinMatch || p + kMinMatch > end) return 0;
    const uint8_t* cur = buf + p;
    const int64_t lowest = int64_t(p) - kRing;
    int best = std::max(known, kMinMatch - 1);
    if (best >= limit) return best;
    int depth = best >= kGoodMatch ? kChainDepth / 4 : kChainDepth;
    int64_t c = head[hash3(cur)];
    for (; c >= 0 && c >= lowest && depth > 0; --depth) {
      const uint8_t* cand = buf + c;
      if (cand[best] == cur[best] && cand[0] == cur[0] && cand[1] == cur[1]) {
        int n = 2;
        while (n < limit && cand[n] == cur[n]) ++n;
        if (n > best) {
          if (best < kGoodMatch && n >= kGoodMatch) depth /= 4;  // long enough: look less hard
          best = n;
          *src = size_t(c);
          if (n >= limit) break;
        }
      }
      c = prev[c & (kRing - 1)];
    }
    return best >= kMinMatch ? best : 0;
  }
};

// Appends items to `out`, opening a new flag byte every eight items.
struct Emitter {
  std::vector<uint8_t>& out;
  size_t flag_at = 0;
  int bits = 8;

  void item(bool literal) {
    if (bits == 8) {
      flag_at = out.size();
      out.push_back(0);
      bits = 0;
    }
    if (literal) out[flag_at] = uint8_t(out[flag_at] | (1u << bits));
    ++bits;
  }
  void literal(uint8_t b) {
    item(true);
    out.push_back(b);
  }
  void match(size_t src, int len) {
    item(false);
    uint32_t pos = uint32_t(src & (kRing - 1));
    out.push_back(uint8_t(pos & 0xFF));
    out.push_back(uint8_t(((pos >> 4) & 0xF0) | uint32_t(len - kMinMatch)));
  }
};

}  // namespace

size_t lzss_encode(const uint8_t* src, size_t len, std::vector<uint8_t>& out) {
  const size_t before = out.size();
  if (len == 0) return 0;

  std::vector<uint8_t> buf(kBlanks + len);
  std::memset(buf.data(), 0x20, kBlanks);
  std::memcpy(buf.data() + kBlanks, src, len);
  const size_t end = buf.size();

  Matcher m(buf.data(), end);
  for (size_t p = 0; p < kBlanks; ++p) m.insert(p);

  Emitter em{out};
  std::vector<uint8_t> mlen(kChunk);
  std::vector<uint16_t> msrc(kChunk);  // distance back (1..4096)
  std::vector<uint32_t> cost(kChunk + 1);
  std::vector<uint8_t> choice(kChunk);

  for (size_t a = kBlanks; a < end; a += kChunk) {
    const size_t b = std::min(end, a + kChunk);
    const size_t n = b - a;
    for (size_t i = 0; i < n;) {
      const size_t p = a + i;
      // The previous position's match, one byte on, is a match here too.
      int known = 0;
      size_t from = 0;
      if (i > 0 && mlen[i - 1] > kMinMatch) {
        known = mlen[i - 1] - 1;
        from = p - msrc[i - 1];
      }
      int l = m.longest(p, int(std::min<size_t>(kMaxMatch, b - p)), known, &from);
      mlen[i] = uint8_t(l);
      msrc[i] = uint16_t(l ? p - from : 0);
      m.insert(p);
      ++i;
      if (l == kMaxMatch) {
        // A full-length match: the positions it covers are not searched; each keeps the tail of
        // this match (the same distance), which is what a parse through them would use anyway.
        for (int k = 1; k < kMaxMatch && i < n; ++k, ++i) {
          int rest = kMaxMatch - k;
          mlen[i] = uint8_t(rest >= kMinMatch ? rest : 0);
          msrc[i] = msrc[i - 1];
          m.insert(a + i);
        }
      }
    }
    cost[n] = 0;
    for (size_t i = n; i-- > 0;) {
      uint32_t best = cost[i + 1] + kLiteralCost;
      uint8_t pick = 0;
      for (int l = mlen[i]; l >= kMinMatch; --l) {
        uint32_t c = cost[i + l] + kMatchCost;
        if (c < best) {
          best = c;
          pick = uint8_t(l);
        }
      }
      cost[i] = best;
      choice[i] = pick;
    }
    for (size_t i = 0; i < n;) {
      if (choice[i]) {
        em.match(a + i - msrc[i], choice[i]);
        i += choice[i];
      } else {
        em.literal(buf[a + i]);
        ++i;
      }
    }
  }
  return out.size() - before;
}
