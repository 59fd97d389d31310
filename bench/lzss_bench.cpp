// LZSS coder benchmarks on a mixed corpus of program binaries and text found on the machine:
// decoding against zlib inflate and memcpy, encoding against a greedy longest-match parse.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "db/decode.h"
#include "db/encode.h"
#include "kit/jobs.h"

namespace fs = std::filesystem;

namespace {

// Appends up to `limit` bytes of `path` (skipped when missing).
void add_file(std::vector<uint8_t>& corpus, const fs::path& path, size_t limit) {
  FILE* f = std::fopen(path.string().c_str(), "rb");
  if (!f) return;
  std::vector<uint8_t> buf(limit);
  size_t n = std::fread(buf.data(), 1, limit, f);
  std::fclose(f);
  corpus.insert(corpus.end(), buf.begin(), buf.begin() + std::ptrdiff_t(n));
}

// About 4 MB: the first MB of a few ELF programs, the licence texts, the top-level C headers.
const std::vector<uint8_t>& corpus() {
  static const std::vector<uint8_t> c = [] {
    std::vector<uint8_t> v;
    for (const char* bin : {"/usr/bin/cmake", "/usr/bin/git", "/usr/bin/ninja"}) add_file(v, bin, 1 << 20);
    std::vector<fs::path> texts;
    std::error_code ec;
    for (const char* d : {"/usr/share/common-licenses", "/usr/include"})
      for (fs::directory_iterator it(d, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) texts.push_back(it->path());
    std::sort(texts.begin(), texts.end());
    for (const fs::path& p : texts) {
      if (v.size() >= (size_t(4) << 20)) break;
      add_file(v, p, 256 << 10);
    }
    if (v.empty()) {
      std::fprintf(stderr, "no corpus files found\n");
      std::exit(1);
    }
    return v;
  }();
  return c;
}

// Greedy baseline: at every position take the longest match in the whole 4096-byte window (hash
// chains walked to the end of the window), else a literal. Same stream format and ring model
// as the encoder: 4078 preset blanks in front of the input.
std::vector<uint8_t> greedy_encode(const uint8_t* src, size_t len) {
  constexpr size_t kBlanks = 4078, kRing = 4096;
  std::vector<uint8_t> buf(kBlanks, 0x20);
  buf.insert(buf.end(), src, src + len);
  const size_t end = buf.size();
  std::vector<int32_t> head(1 << 16, -1), prev(kRing, -1);
  auto hash = [&](size_t p) { return (uint32_t(buf[p]) << 8 ^ uint32_t(buf[p + 1]) << 4 ^ buf[p + 2]) & 0xFFFF; };
  auto insert = [&](size_t p) {
    if (p + 3 > end) return;
    uint32_t h = hash(p);
    prev[p % kRing] = head[h];
    head[h] = int32_t(p);
  };
  for (size_t p = 0; p < kBlanks; ++p) insert(p);
  std::vector<uint8_t> out;
  size_t flag_at = 0;
  int bits = 8;
  auto item = [&](bool lit) {
    if (bits == 8) {
      flag_at = out.size();
      out.push_back(0);
      bits = 0;
    }
    if (lit) out[flag_at] |= uint8_t(1u << bits);
    ++bits;
  };
  for (size_t p = kBlanks; p < end;) {
    size_t limit = std::min<size_t>(18, end - p), best = 0, from = 0;
    if (limit >= 3) {
      for (int64_t c = head[hash(p)]; c >= 0 && c >= int64_t(p) - int64_t(kRing); c = prev[size_t(c) % kRing]) {
        size_t n = 0;
        while (n < limit && buf[size_t(c) + n] == buf[p + n]) ++n;
        if (n > best) {
          best = n;
          from = size_t(c);
          if (n == limit) break;
        }
      }
    }
    if (best >= 3) {
      item(false);
      uint32_t pos = uint32_t(from % kRing);
      out.push_back(uint8_t(pos));
      out.push_back(uint8_t(((pos >> 4) & 0xF0) | (best - 3)));
      for (size_t k = 0; k < best; ++k) insert(p + k);
      p += best;
    } else {
      item(true);
      out.push_back(buf[p]);
      insert(p);
      ++p;
    }
  }
  return out;
}

struct Packed {
  std::vector<uint8_t> lzss, greedy, zlib;
};

const Packed& packed() {
  static const Packed pk = [] {
    const auto& c = corpus();
    Packed p;
    lzss_encode(c.data(), c.size(), p.lzss);
    p.greedy = greedy_encode(c.data(), c.size());
    uLongf zn = compressBound(uLong(c.size()));
    p.zlib.resize(zn);
    if (compress2(p.zlib.data(), &zn, c.data(), uLong(c.size()), Z_DEFAULT_COMPRESSION) != Z_OK) std::abort();
    p.zlib.resize(zn);
    // Both LZSS streams must give the corpus back.
    std::vector<uint8_t> out(c.size());
    for (const auto* s : {&p.lzss, &p.greedy})
      if (lzss_decode_mem(s->data(), s->size(), out.data(), out.size()) != c.size() || out != c) {
        std::fprintf(stderr, "LZSS round trip failed\n");
        std::abort();
      }
    return p;
  }();
  return pk;
}

void BM_Memcpy(benchmark::State& state) {
  const auto& c = corpus();
  std::vector<uint8_t> out(c.size());
  for (auto _ : state) {
    std::memcpy(out.data(), c.data(), c.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.size()));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

void BM_LzssDecode(benchmark::State& state) {
  const auto& c = corpus();
  const auto& p = packed();
  std::vector<uint8_t> out(c.size());
  for (auto _ : state) {
    size_t n = lzss_decode_mem(p.lzss.data(), p.lzss.size(), out.data(), out.size());
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.size()));
  state.counters["ratio"] = double(p.lzss.size()) / double(c.size());
}
BENCHMARK(BM_LzssDecode)->Unit(benchmark::kMillisecond);

void BM_ZlibInflate(benchmark::State& state) {
  const auto& c = corpus();
  const auto& p = packed();
  std::vector<uint8_t> out(c.size());
  for (auto _ : state) {
    uLongf n = uLongf(out.size());
    int rc = uncompress(out.data(), &n, p.zlib.data(), uLong(p.zlib.size()));
    benchmark::DoNotOptimize(rc);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.size()));
  state.counters["ratio"] = double(p.zlib.size()) / double(c.size());
}
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond);

// Both decoders alternately in one loop, so the speed ratio comes from the same conditions.
void BM_DecodeVsInflate(benchmark::State& state) {
  using clock = std::chrono::steady_clock;
  const auto& c = corpus();
  const auto& p = packed();
  std::vector<uint8_t> out(c.size());
  double t_lzss = 0, t_zlib = 0;
  for (auto _ : state) {
    auto t0 = clock::now();
    benchmark::DoNotOptimize(lzss_decode_mem(p.lzss.data(), p.lzss.size(), out.data(), out.size()));
    benchmark::ClobberMemory();
    auto t1 = clock::now();
    uLongf n = uLongf(out.size());
    benchmark::DoNotOptimize(uncompress(out.data(), &n, p.zlib.data(), uLong(p.zlib.size())));
    benchmark::ClobberMemory();
    auto t2 = clock::now();
    t_lzss += std::chrono::duration<double>(t1 - t0).count();
    t_zlib += std::chrono::duration<double>(t2 - t1).count();
  }
  double bytes = double(state.iterations()) * double(c.size());
  state.counters["lzss_MBps"] = bytes / t_lzss / 1e6;
  state.counters["inflate_MBps"] = bytes / t_zlib / 1e6;
  state.counters["lzss_speedup"] = t_zlib / t_lzss;
  state.counters["lzss_ratio"] = double(p.lzss.size()) / double(c.size());
  state.counters["zlib_ratio"] = double(p.zlib.size()) / double(c.size());
}
BENCHMARK(BM_DecodeVsInflate)->Unit(benchmark::kMillisecond);

void BM_LzssEncode(benchmark::State& state) {
  const auto& c = corpus();
  const auto& p = packed();
  std::vector<uint8_t> out;
  out.reserve(c.size() + c.size() / 8 + 16);
  for (auto _ : state) {
    out.clear();
    benchmark::DoNotOptimize(lzss_encode(c.data(), c.size(), out));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.size()));
  state.counters["ratio"] = double(out.size()) / double(c.size());
  state.counters["vs_greedy"] = double(out.size()) / double(p.greedy.size());
}
BENCHMARK(BM_LzssEncode)->Unit(benchmark::kMillisecond);

// The same stream with its pieces parsed on Arg threads (the archive builder's way, setupkit's
// --jobs), timed by the wall clock. Its bytes must be those of the one-thread encoder.
void BM_LzssEncodeThreads(benchmark::State& state) {
  const auto& c = corpus();
  const auto& p = packed();
  std::vector<uint8_t> out;
  out.reserve(c.size() + c.size() / 8 + 16);
  for (auto _ : state) {
    out.clear();
    benchmark::DoNotOptimize(kit_lzss_encode(c.data(), c.size(), out, int(state.range(0))));
  }
  if (out != p.lzss) state.SkipWithError("the threads' stream differs from the one-thread encoder's");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.size()));
  state.counters["MBps"] =
      benchmark::Counter(double(c.size()) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
  state.counters["vs_greedy"] = double(out.size()) / double(p.greedy.size());
}
BENCHMARK(BM_LzssEncodeThreads)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// Per 16384-byte block, as the archive's block method packs members.
void BM_LzssEncodeBlocks(benchmark::State& state) {
  const auto& c = corpus();
  std::vector<uint8_t> out;
  size_t total = 0;
  for (auto _ : state) {
    total = 0;
    for (size_t at = 0; at < c.size(); at += 16384) {
      out.clear();
      total += lzss_encode(c.data() + at, std::min<size_t>(16384, c.size() - at), out);
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.size()));
  state.counters["ratio"] = double(total) / double(c.size());
}
BENCHMARK(BM_LzssEncodeBlocks)->Unit(benchmark::kMillisecond);

void BM_GreedyEncode(benchmark::State& state) {
  const auto& c = corpus();
  size_t n = 0;
  for (auto _ : state) n = greedy_encode(c.data(), c.size()).size();
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.size()));
  state.counters["ratio"] = double(n) / double(c.size());
  state.counters["corpus_bytes"] = double(c.size());
}
BENCHMARK(BM_GreedyEncode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
