// LZSS encoder: round trips through a strict reference decoder (which also rejects any read of a
// ring position that is neither an initial blank nor already written) and through the library
// decoder.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "db/decode.h"
#include "db/encode.h"

namespace {

// Decodes `packed` the way the installer's decoder does. Fails the test on a reference to a ring
// position 4078..4095 that has not been written yet, or on a truncated item.
std::vector<uint8_t> strict_decode(const std::vector<uint8_t>& packed, bool* ok) {
  std::vector<uint8_t> out;
  uint8_t ring[4096];
  bool valid[4096];
  for (int i = 0; i < 4096; ++i) {
    ring[i] = 0x20;
    valid[i] = i < 4078;
  }
  unsigned r = 4078;
  size_t i = 0;
  *ok = true;
  auto put = [&](uint8_t c) {
    out.push_back(c);
    ring[r] = c;
    valid[r] = true;
    r = (r + 1) & 4095;
  };
  while (i < packed.size()) {
    unsigned flags = packed[i++];
    for (int bit = 0; bit < 8 && i < packed.size(); ++bit) {
      if (flags & (1u << bit)) {
        put(packed[i++]);
      } else {
        if (i + 2 > packed.size()) {
          *ok = false;
          return out;
        }
        unsigned b0 = packed[i], b1 = packed[i + 1];
        i += 2;
        unsigned p = b0 | ((b1 & 0xF0u) << 4);
        unsigned len = (b1 & 0x0Fu) + 3;
        for (unsigned k = 0; k < len; ++k) {
          unsigned q = (p + k) & 4095;
          if (!valid[q]) *ok = false;
          put(ring[q]);
        }
      }
    }
  }
  return out;
}

std::vector<uint8_t> bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = uint8_t(rng() % unsigned(alphabet));
  return v;
}

std::vector<uint8_t> sample_text(size_t n) {
  static const char* words[] = {"the ",   "install ", "program ", "copies ", "files ",   "to ",
                                "your ",  "hard ",    "disk, ",   "and ",   "creates ", "a ",
                                "short ", "cut.\r\n", "Please ",  "wait ",  "while ",   "setup "};
  std::mt19937 rng(7);
  std::string s;
  while (s.size() < n) s += words[rng() % (sizeof words / sizeof *words)];
  s.resize(n);
  return bytes(s);
}

// Packs `in`, checks both decoders give it back, and returns the packed size.
size_t round_trip(const std::vector<uint8_t>& in) {
  std::vector<uint8_t> packed{0xAA};  // the encoder appends; earlier content must stay
  size_t n = lzss_encode(in.data(), in.size(), packed);
  EXPECT_EQ(packed.size(), n + 1);
  EXPECT_EQ(packed[0], 0xAA);
  packed.erase(packed.begin());

  bool ok = false;
  std::vector<uint8_t> ref = strict_decode(packed, &ok);
  EXPECT_TRUE(ok) << "stream reads an unwritten ring position or ends inside an item";
  EXPECT_EQ(ref, in);

  std::vector<uint8_t> lib(in.size() + 64, 0xEE);
  size_t got = lzss_decode_mem(packed.data(), packed.size(), lib.data(), lib.size());
  EXPECT_EQ(got, in.size());
  lib.resize(got);
  EXPECT_EQ(lib, in);
  return n;
}

TEST(LzssEncode, SmallInputs) {
  EXPECT_EQ(round_trip({}), 0u);
  EXPECT_EQ(round_trip({0x41}), 2u);  // flag byte + literal
  round_trip({0x00, 0x01});
  round_trip(bytes("abc"));
  round_trip(bytes("abcabc"));
  for (size_t n = 1; n < 40; ++n) round_trip(std::vector<uint8_t>(n, 'z'));
}

TEST(LzssEncode, RunsAroundMatchLengthLimits) {
  for (size_t n : {17u, 18u, 19u, 20u, 21u, 35u, 36u, 37u, 1000u, 100000u}) {
    size_t packed = round_trip(std::vector<uint8_t>(n, 0x00));
    // A run costs at most one literal plus one match per 18 bytes.
    EXPECT_LE(packed, 2 + (n / 18 + 2) * 2 + (n / 18 + 9) / 8 + 1) << n;
  }
}

TEST(LzssEncode, BlanksAtTheStartUseThePresetRing) {
  // A blank run at the very start matches the preset blanks: no literal is needed at all.
  std::vector<uint8_t> blanks(18, ' ');
  EXPECT_EQ(round_trip(blanks), 3u);  // one flag byte + one match
  for (size_t n : {1u, 3u, 4077u, 4078u, 4079u, 4096u, 5000u, 20000u}) {
    std::vector<uint8_t> v(n, ' ');
    v.push_back('X');
    v.insert(v.end(), 300, ' ');
    round_trip(v);
  }
  std::vector<uint8_t> text = sample_text(20000);
  text.insert(text.begin(), 6000, ' ');
  round_trip(text);
}

TEST(LzssEncode, RandomAndIncompressible) {
  for (size_t n : {1u, 2u, 3u, 100u, 4095u, 4096u, 4097u, 70000u}) {
    std::vector<uint8_t> v = random_bytes(n, uint32_t(n));
    size_t packed = round_trip(v);
    EXPECT_LE(packed, n + (n + 7) / 8);  // never worse than all literals
  }
  round_trip(random_bytes(50000, 3, 4));  // small alphabet: many short matches
}

TEST(LzssEncode, TextShrinks) {
  std::vector<uint8_t> text = sample_text(200000);
  size_t packed = round_trip(text);
  EXPECT_LT(packed, text.size() / 2);
}

TEST(LzssEncode, WindowEdges) {
  // A pattern repeated exactly at distance 4096, 4095 and 4097 (the last out of reach).
  for (size_t gap : {4094u, 4095u, 4096u, 4097u, 4098u}) {
    std::vector<uint8_t> head = random_bytes(40, uint32_t(gap));
    std::vector<uint8_t> v = head;
    std::vector<uint8_t> filler = random_bytes(gap - head.size(), 99);
    v.insert(v.end(), filler.begin(), filler.end());
    v.insert(v.end(), head.begin(), head.end());
    size_t packed = round_trip(v);
    if (gap <= 4096) {
      EXPECT_LT(packed, v.size() + v.size() / 8 - 30) << gap;
    }
  }
  // Periodic data whose period crosses chunk boundaries and the window size.
  std::vector<uint8_t> period = random_bytes(4096, 5);
  std::vector<uint8_t> v;
  for (int i = 0; i < 40; ++i) v.insert(v.end(), period.begin(), period.end());
  size_t packed = round_trip(v);
  EXPECT_LT(packed, v.size() / 6);
}

TEST(LzssEncode, MixedContent) {
  std::vector<uint8_t> v = sample_text(30000);
  std::vector<uint8_t> r = random_bytes(30000, 11);
  v.insert(v.end(), r.begin(), r.end());
  v.insert(v.end(), 30000, 0);
  std::vector<uint8_t> t = sample_text(140000);
  v.insert(v.end(), t.begin(), t.end());
  round_trip(v);
}

// A piece's items depend on its bytes and its window alone: pieces parsed in any order (here the
// last first, each into a record of its own) and laid out in order give lzss_encode's stream, and
// the stream decodes across every piece boundary.
TEST(LzssEncode, PiecesParsedInAnyOrderGiveTheSameStream) {
  std::vector<uint8_t> v = sample_text(LZSS_PIECE_SIZE - 5000);
  const std::vector<uint8_t> r = random_bytes(9000, 17);  // across the first boundary
  v.insert(v.end(), r.begin(), r.end());
  v.insert(v.end(), 70000, 0);
  const std::vector<uint8_t> period = random_bytes(3000, 19);
  while (v.size() < 2 * LZSS_PIECE_SIZE + 12345) v.insert(v.end(), period.begin(), period.end());
  ASSERT_EQ(lzss_piece_count(v.size()), 3u);
  round_trip(v);

  std::vector<uint8_t> whole;
  lzss_encode(v.data(), v.size(), whole);
  std::vector<lzss_piece> pieces(lzss_piece_count(v.size()));
  for (size_t i = pieces.size(); i-- > 0;) lzss_parse_piece(v.data(), v.size(), i, pieces[i]);
  std::vector<uint8_t> laid;
  lzss_emitter emitter;
  for (const lzss_piece& piece : pieces) lzss_emit(piece, emitter, laid);
  EXPECT_EQ(laid, whole);
}

}  // namespace
