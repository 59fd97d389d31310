// LZSS decoder: stream format edge cases, damaged streams bounded by the destination, and the
// agreement of the memory, stream and file decoders.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "db/decode.h"
#include "db/encode.h"
#include "tests/support/tempdir.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A file in a temporary directory of its own.
struct TempFile {
  TempDir dir{"lzss_test"};
  std::filesystem::path path;
  explicit TempFile(const char* tag) : path(dir.path / (std::string(tag) + ".bin")) {}
};

Bytes decode_mem(const Bytes& src, size_t cap) {
  Bytes out(cap + 1, 0xEE);
  size_t n = lzss_decode_mem(src.data(), src.size(), out.data(), cap);
  EXPECT_LE(n, cap);
  EXPECT_EQ(out[cap], 0xEE) << "wrote past the destination";
  out.resize(n);
  return out;
}

// Decodes through a file holding junk before and after the packed bytes; checks the stream is
// left just after the packed data.
Bytes decode_stream(const Bytes& src, size_t cap, long* result = nullptr) {
  TempFile t("stream");
  FILE* f = std::fopen(t.path.string().c_str(), "w+b");
  std::fputs("JUNK", f);
  if (!src.empty()) std::fwrite(src.data(), 1, src.size(), f);
  std::fputs("TAIL", f);
  std::fseek(f, 4, SEEK_SET);
  Bytes out(cap + 1, 0xEE);
  long n = lzss_decode_to_buf(f, out.data(), long(src.size()), long(cap));
  if (result) *result = n;
  EXPECT_LE(n, long(cap));
  EXPECT_EQ(out[cap], 0xEE);
  if (n >= 0 && size_t(n) < cap) {
    EXPECT_EQ(std::ftell(f), long(4 + src.size()));
  }
  std::fclose(f);
  out.resize(n < 0 ? 0 : size_t(n));
  return out;
}

Bytes decode_file(const Bytes& src) {
  TempFile in("in"), out("out");
  FILE* f = std::fopen(in.path.string().c_str(), "w+b");
  if (!src.empty()) std::fwrite(src.data(), 1, src.size(), f);
  std::rewind(f);
  FILE* o = std::fopen(out.path.string().c_str(), "w+b");
  lzss_decode_to_file(f, o, long(src.size()));
  long n = std::ftell(o);
  std::rewind(o);
  Bytes r(static_cast<size_t>(n));
  if (n) {
    EXPECT_EQ(std::fread(r.data(), 1, r.size(), o), r.size());
  }
  std::fclose(f);
  std::fclose(o);
  return r;
}

// A packed stream of literals only: one 0xFF flag per eight bytes.
Bytes literals(const Bytes& data) {
  Bytes out;
  for (size_t i = 0; i < data.size(); ++i) {
    if (i % 8 == 0) out.push_back(0xFF);
    out.push_back(data[i]);
  }
  return out;
}

}  // namespace

TEST(LzssFormat, EdgeCases) {
  EXPECT_EQ(decode_mem({0x01, 0x41}, 16), Bytes{0x41});
  EXPECT_EQ(decode_mem({0x00, 0x00, 0x00}, 16), Bytes(3, 0x20));
  // 'A' at ring 4078, then a match of 18 at 4078 repeats it.
  Bytes rep = decode_mem({0x01, 0x41, 0xEE, 0xFF}, 64);
  EXPECT_EQ(rep, Bytes(19, 0x41));
  EXPECT_TRUE(decode_mem({}, 16).empty());
  long rc = 99;
  EXPECT_TRUE(decode_stream({}, 16, &rc).empty());
  EXPECT_EQ(rc, 0);
  // The ring tail 4078..4095 also reads as blanks before it is written.
  EXPECT_EQ(decode_mem({0x00, 0xF0, 0xF0}, 16), Bytes(3, 0x20));
  // A match at the position about to be written reads the byte 4096 back: a blank here.
  EXPECT_EQ(decode_mem({0x00, 0xEE, 0xF0}, 16), Bytes(3, 0x20));
  // A match that runs from the blank history into the output.
  Bytes mixed = decode_mem({0x03, 'a', 'b', 0xEC, 0xF1}, 16);  // p = 4076: two blanks, then "ab"
  EXPECT_EQ(mixed, (Bytes{'a', 'b', ' ', ' ', 'a', 'b'}));
  // A match cut short by the end of the data is ignored.
  EXPECT_EQ(decode_mem({0x01, 0x41, 0x00}, 16), Bytes{0x41});
}

TEST(LzssFormat, DecodesAreIndependent) {
  Bytes a = decode_mem({0x00, 0x10, 0xF3}, 64);  // reads the tail of the ring
  Bytes first = decode_stream({0xFF, 1, 2, 3, 4, 5, 6, 7, 8}, 64);
  Bytes b = decode_mem({0x00, 0x10, 0xF3}, 64);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, Bytes(6, 0x20));
  EXPECT_EQ(decode_file({0x00, 0x10, 0xF3}), a);
}

TEST(LzssDamage, NeverWritesPastTheDestination) {
  // Long runs of 18-byte matches: every decoder stops at the destination size.
  Bytes bomb;
  for (int g = 0; g < 400; ++g) {
    bomb.push_back(0x00);
    for (int i = 0; i < 8; ++i) {
      bomb.push_back(0x00);
      bomb.push_back(0x0F);
    }
  }
  for (size_t cap : {size_t(0), size_t(1), size_t(17), size_t(100), size_t(1000), size_t(16384)}) {
    Bytes m = decode_mem(bomb, cap);
    EXPECT_EQ(m.size(), std::min<size_t>(cap, 400 * 8 * 18));
    EXPECT_EQ(decode_stream(bomb, cap), m);
  }
  // Random garbage into a small buffer, with every cut-off length.
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    Bytes junk(rng() % 300);
    for (auto& b : junk) b = uint8_t(rng());
    size_t cap = rng() % 700;
    EXPECT_EQ(decode_mem(junk, cap), decode_stream(junk, cap));
  }
}

// The memory decoder, whatever path it takes through a stream, gives what the plain ring decoder
// gives, cut at the destination's size: over streams of every kind of item (literals, matches at
// every distance, overlapping their own output or reaching into the blanks), cut anywhere.
TEST(LzssDamage, TheMemoryDecoderAgreesWithTheRingDecoder) {
  std::mt19937 rng(23);
  for (int round = 0; round < 150; ++round) {
    Bytes stream;
    size_t out = 0;
    const size_t groups = rng() % 400;
    const unsigned literalShare = rng() % 9;  // eighths of the items that are literals
    for (size_t g = 0; g < groups; ++g) {
      const size_t flagAt = stream.size();
      stream.push_back(0);
      for (int bit = 0; bit < 8; ++bit) {
        if (rng() % 8 < literalShare) {
          stream[flagAt] = uint8_t(stream[flagAt] | (1u << bit));
          stream.push_back(uint8_t(rng()));
          out += 1;
          continue;
        }
        const size_t len = 3 + rng() % 16;
        const size_t d = rng() % 2 ? 1 + rng() % 24 : 1 + rng() % 4096;
        const unsigned r = unsigned((LZSS_RING_START + out) & (LZSS_RING_SIZE - 1));
        const unsigned p = (r - unsigned(d)) & (LZSS_RING_SIZE - 1);
        stream.push_back(uint8_t(p));
        stream.push_back(uint8_t(((p >> 4) & 0xF0) | (len - 3)));
        out += len;
      }
    }
    stream.resize(rng() % (stream.size() + 1));  // cut anywhere, also inside an item
    const Bytes whole = decode_file(stream);
    for (size_t cap : {whole.size(), whole.size() + 1 + rng() % 300, size_t(rng() % (whole.size() + 1))}) {
      const Bytes expect(whole.begin(), whole.begin() + std::ptrdiff_t(std::min(cap, whole.size())));
      ASSERT_EQ(decode_mem(stream, cap), expect) << "round " << round << ", destination " << cap;
      ASSERT_EQ(decode_stream(stream, cap), expect) << "round " << round << ", destination " << cap;
    }
  }
}

TEST(LzssDamage, ShortInputIsReported) {
  TempFile t("short");
  FILE* f = std::fopen(t.path.string().c_str(), "w+b");
  std::fputs("\xFF" "abc", f);
  std::rewind(f);
  uint8_t out[64];
  EXPECT_EQ(lzss_decode_to_buf(f, out, 40, sizeof out), -1);
  std::fclose(f);
}

TEST(LzssRoundTrip, AllDecodersAgreeWithTheInput) {
  std::mt19937 rng(11);
  for (size_t size : {size_t(1), size_t(7), size_t(8), size_t(17), size_t(4095), size_t(4096), size_t(5000),
                      size_t(70000)}) {
    Bytes data(size);
    // Mildly repetitive text with long runs, so matches of every distance and overlap occur.
    for (size_t i = 0; i < size; ++i) {
      if (i > 40 && rng() % 4) {
        size_t back = 1 + rng() % 40;
        data[i] = data[i - back];
      } else {
        data[i] = uint8_t('a' + rng() % 6);
      }
    }
    Bytes packed;
    lzss_encode(data.data(), data.size(), packed);
    EXPECT_EQ(decode_mem(packed, size), data) << size;
    EXPECT_EQ(decode_stream(packed, size), data) << size;
    EXPECT_EQ(decode_file(packed), data) << size;
    // A destination one byte short gets exactly the prefix.
    Bytes cut = decode_mem(packed, size - 1);
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), data.begin()));
    EXPECT_EQ(cut.size(), size - 1);
  }
  Bytes lit(1000);
  for (size_t i = 0; i < lit.size(); ++i) lit[i] = uint8_t(i * 7);
  EXPECT_EQ(decode_stream(literals(lit), lit.size()), lit);
  EXPECT_EQ(decode_file(literals(lit)), lit);
}
