// Colour-system speed: building the inverse table of a 256-colour palette, and loading an
// untagged colour file (which computes the 196,608 intensity and mix entries). Each figure is also
// given as a ratio to a memcpy of the same table bytes in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "color/color.h"

namespace {

std::array<uint8_t, 768> palette() {
  std::mt19937 rng(1);
  std::array<uint8_t, 768> p{};
  for (auto& v : p) v = uint8_t(rng());
  return p;
}

// The untagged file in memory, handed over by the file hooks.
std::vector<uint8_t> file;
size_t pos;
int mopen(const char*, int) {
  pos = 0;
  return 0;
}
int mread(int, void* buf, int size) {
  size_t n = std::min(file.size() - pos, size_t(size));
  std::memcpy(buf, file.data() + pos, n);
  pos += n;
  return int(n);
}
void mclose(int) {}

// Seconds for one memcpy of `bytes` bytes, the best of many, measured now.
double memcpySeconds(size_t bytes) {
  std::vector<uint8_t> src(bytes, 1), dst(bytes);
  double best = 1e9;
  for (int rep = 0; rep < 200; ++rep) {
    auto t0 = std::chrono::steady_clock::now();
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

// Adds the per-iteration time as a multiple of the memcpy baseline ("x_memcpy").
template <typename F>
void timed(benchmark::State& state, size_t baseline_bytes, F&& body) {
  const double base = memcpySeconds(baseline_bytes);
  double total = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    body();
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  state.counters["x_memcpy"] = total / double(state.iterations()) / base;
}

void BM_BuildColorTable(benchmark::State& state) {
  auto p = palette();
  timed(state, 32768 + 3 * 65536, [&] { benchmark::DoNotOptimize(colorBuildColorTable(p.data(), nullptr)); });
}
BENCHMARK(BM_BuildColorTable)->Unit(benchmark::kMillisecond);

// Baseline for the build: copying the 32768-byte colour table plus the three derived tables it
// recomputes (the bytes the build produces).
void BM_MemcpyBuildBytes(benchmark::State& state) {
  std::vector<uint8_t> src(32768 + 3 * 65536, 1), dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyBuildBytes)->Unit(benchmark::kMillisecond);

void BM_LoadUntagged(benchmark::State& state) {
  auto p = palette();
  colorBuildColorTable(p.data(), nullptr);
  file.assign(cmap, cmap + 768);
  file.insert(file.end(), colorTable, colorTable + 32768);
  colorInitIO(mopen, mread, mclose);
  timed(state, 3 * 65536, [&] { benchmark::DoNotOptimize(loadColorTable("color.pal")); });
  colorInitIO(nullptr, nullptr, nullptr);
}
BENCHMARK(BM_LoadUntagged)->Unit(benchmark::kMillisecond);

// Baseline for the load: copying the 196,608 derived bytes.
void BM_MemcpyDerivedBytes(benchmark::State& state) {
  std::vector<uint8_t> src(3 * 65536, 1), dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyDerivedBytes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
