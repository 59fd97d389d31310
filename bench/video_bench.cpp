// Full-screen blit benchmark: one 640 x 480 8-bit screen shown through scr_blit and present of
// each display driver that can start here, given as speed relative to one memcpy of the same
// 307200 bytes, timed alternately in the same loop ("vs_memcpy": 1.0 = as fast as memcpy, higher is faster).
// A driver that cannot start (no display for sdl, not Windows for win32) is reported as skipped.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/driver.h"
#include "vrk/svga.h"
#include "vrk/winmain.h"

namespace {

constexpr int kW = 640, kH = 480;

void blit_bench(benchmark::State& state, const char* driver) {
  if (plat_driver_select(driver) != 0 || init_mode_640_480() != 0) {
    state.SkipWithError((std::string(driver) + " driver cannot start here").c_str());
    plat_driver_shutdown();
    return;
  }
  VRK95_isActive = 1;  // a program in the background never draws
  std::vector<uint8_t> screen(size_t(kW) * kH), flat_dst(size_t(kW) * kH);
  std::mt19937 rng(9);
  for (auto& b : screen) b = uint8_t(rng());
  double t_blit = 0, t_memcpy = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    scr_blit(screen.data(), kW, kH, 0, 0, kW, kH, 0, 0);
    plat_present();  // one frame on the screen, as one pass of an input loop shows it
    benchmark::ClobberMemory();
    auto t1 = std::chrono::steady_clock::now();
    std::memcpy(flat_dst.data(), screen.data(), screen.size());
    benchmark::ClobberMemory();
    auto t2 = std::chrono::steady_clock::now();
    t_blit += std::chrono::duration<double>(t1 - t0).count();
    t_memcpy += std::chrono::duration<double>(t2 - t1).count();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH);
  state.counters["vs_memcpy"] = t_memcpy / t_blit;
  VRK95_reset_mode();
  plat_driver_shutdown();
}

}  // namespace

int main(int argc, char** argv) {
  for (const plat_driver_entry* e = plat_driver_table(); e->name; ++e) {
    const char* name = e->name;
    benchmark::RegisterBenchmark((std::string("blit_640x480x8/") + name).c_str(),
                                 [name](benchmark::State& s) { blit_bench(s, name); })
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
