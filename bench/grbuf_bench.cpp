// Row copier benchmarks: buf_to_buf and trans_buf_to_buf of a 640 x 480 rectangle, plain and
// fast path, with an even pitch (640) and an odd one (643, every row differently aligned). Each
// figure is given as speed relative to one memcpy of the same 307200 bytes, timed alternately in
// the same loop ("vs_memcpy": 1.0 = as fast as memcpy, higher is faster).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "vrk/grasm.h"
#include "vrk/grbuf.h"

namespace {

constexpr int kW = 640, kH = 480;

void copy_bench(benchmark::State& state) {
  const bool trans = state.range(0) >= 2, fast = state.range(0) % 2 == 1;
  const int pitch = int(state.range(1));
  std::vector<uint8_t> src(size_t(pitch) * kH + 64), dst(size_t(pitch) * kH + 64);
  std::vector<uint8_t> flat_src(size_t(kW) * kH), flat_dst(size_t(kW) * kH);
  std::mt19937 rng(5);
  for (auto& b : src) b = (rng() % 4) ? uint8_t(rng()) : 0;  // a quarter transparent
  for (auto& b : flat_src) b = uint8_t(rng());
  // Destinations start one byte past an 8-byte boundary, as window rectangles usually do.
  uint8_t* d = dst.data() + (8 - (reinterpret_cast<uintptr_t>(dst.data()) & 7)) + 1;
  const uint8_t* s = src.data() + 3;
  mmxEnabled = fast ? 1 : 0;
  double t_copy = 0, t_memcpy = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    if (trans)
      trans_buf_to_buf(s, kW, kH, pitch, d, pitch);
    else
      buf_to_buf(s, kW, kH, pitch, d, pitch);
    benchmark::ClobberMemory();
    auto t1 = std::chrono::steady_clock::now();
    std::memcpy(flat_dst.data(), flat_src.data(), flat_src.size());
    benchmark::ClobberMemory();
    auto t2 = std::chrono::steady_clock::now();
    t_copy += std::chrono::duration<double>(t1 - t0).count();
    t_memcpy += std::chrono::duration<double>(t2 - t1).count();
  }
  mmxEnabled = 0;
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH);
  state.counters["vs_memcpy"] = t_memcpy / t_copy;
  static const char* const kLabels[4] = {"buf_to_buf plain", "buf_to_buf fast", "trans_buf_to_buf plain",
                                         "trans_buf_to_buf fast"};
  state.SetLabel(kLabels[state.range(0)]);
}

}  // namespace

BENCHMARK(copy_bench)->ArgsProduct({{0, 1, 2, 3}, {kW, kW + 3}})->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
