// Window refresh benchmarks on the headless driver, each as a ratio measured in the same loop:
//   refresh_10_windows/N: a full-screen refresh of ten overlapping windows against one memcpy of
//     the screen's bytes ("vs_memcpy": 1.0 = as fast as memcpy, higher is faster), with the row
//     copiers' plain path (N = 0) or their SSE2 path (N = 1);
//   update_16x16: a 16 x 16 update of a window with 48 other windows in the stack against the
//     same update with the window alone ("ratio_49_to_1": how much longer it takes);
//   get_input_idle: get_input with nothing waiting ("ns_per_call", and "vs_memcpy_1k": its time
//     over that of a 1 KiB memcpy).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/db.h"
#include "kit/build.h"
#include "platform/driver.h"
#include "vrk/grasm.h"
#include "vrk/input.h"
#include "vrk/mouse.h"
#include "vrk/svga.h"
#include "vrk/vrk.h"

namespace {

constexpr int kW = 640, kH = 480;

void put_le(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A font file of 128 glyphs, each 6 x 8 and fully set.
std::vector<uint8_t> block_font() {
  std::vector<uint8_t> head, data;
  for (uint32_t v : {128u, 8u, 1u, 0u, 0u}) put_le(head, v);
  for (int c = 0; c < 128; ++c) {
    put_le(head, 6);
    put_le(head, uint32_t(data.size()));
    for (int y = 0; y < 8; ++y) data.push_back(0xFC);
  }
  head.insert(head.end(), data.begin(), data.end());
  return head;
}

int mode_640() { return init_mode_640_480(); }

// Starts the window system on headless with an archive holding one font; false when it cannot.
bool start(benchmark::State& state) {
  // The archive lies on drive C: of an emulated machine of the benchmark's own.
  const std::filesystem::path root = std::filesystem::temp_directory_path() / "vrk_bench_machine";
  std::filesystem::create_directories(root / "C");
  setenv("VRK_ROOT", root.string().c_str(), 1);
  std::string err;
  if (!kit_build_archive((root / "C" / "FONT.DAT").string(), {{"FONT0.FON", block_font(), kit_pack_method::stored}},
                         err) ||
      db_init("C:\\FONT.DAT", nullptr, nullptr) == -1 || plat_driver_select("headless") != 0) {
    state.SkipWithError(("cannot set up: " + err).c_str());
    return false;
  }
  VRK95_isActive = 1;
  win_set_minimized_title("vrk bench");
  if (win_init(mode_640, nullptr, 0) != 0) {
    state.SkipWithError("win_init failed");
    return false;
  }
  return true;
}

void stop() {
  win_exit();
  db_exit();
  plat_driver_shutdown();
}

void refresh_10_windows(benchmark::State& state) {
  if (!start(state)) return;
  // Argument 0: the row copiers' plain path (memcpy per block run); 1: their SSE2 path.
  mmxEnabled = int(state.range(0));
  for (int i = 0; i < 10; ++i) {
    int id = win_add(i * 40, i * 30, 260, 200, 16 + i, 0);
    win_draw(id);
  }
  std::vector<uint8_t> src(size_t(kW) * kH, 7), dst(size_t(kW) * kH);
  double t_refresh = 0, t_memcpy = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    win_refresh_all(&scr_size);
    plat_present();
    benchmark::ClobberMemory();
    auto t1 = std::chrono::steady_clock::now();
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::ClobberMemory();
    auto t2 = std::chrono::steady_clock::now();
    t_refresh += std::chrono::duration<double>(t1 - t0).count();
    t_memcpy += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["vs_memcpy"] = t_memcpy / t_refresh;
  stop();
}

// Times `updates` 16 x 16 refreshes of window `id`.
double time_updates(int id, int updates) {
  Rect r = {8, 8, 23, 23};
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < updates; ++i) win_draw_rect(id, &r);
  benchmark::ClobberMemory();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void update_16x16(benchmark::State& state) {
  if (!start(state)) return;
  int target = win_add(0, 0, 64, 64, 20, 0);
  win_draw(target);
  // A second stack: the same window with 48 others (none over the updated square).
  double t_one = 0, t_many = 0;
  std::vector<int> others;
  for (auto _ : state) {
    t_one += time_updates(target, 64);
    for (int i = 0; i < 48; ++i) others.push_back(win_add(100 + (i % 12) * 40, 100 + (i / 12) * 40, 30, 30, 30, 0));
    t_many += time_updates(target, 64);
    for (int id : others) win_delete(id);
    others.clear();
  }
  state.counters["ratio_49_to_1"] = t_many / t_one;
  stop();
}

// get_input with nothing to report, against a memcpy of 1 KiB in the same loop.
void get_input_idle(benchmark::State& state) {
  if (!start(state)) return;
  int id = win_add(100, 100, 200, 100, 20, 0);
  win_draw(id);
  mouse_show();
  std::vector<uint8_t> src(1024, 3), dst(1024);
  double t_input = 0, t_copy = 0;
  constexpr int kCalls = 256;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(get_input());
    auto t1 = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i) {
      std::memcpy(dst.data(), src.data(), src.size());
      benchmark::ClobberMemory();
    }
    auto t2 = std::chrono::steady_clock::now();
    t_input += std::chrono::duration<double>(t1 - t0).count();
    t_copy += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["ns_per_call"] = 1e9 * t_input / (double(state.iterations()) * kCalls);
  state.counters["vs_memcpy_1k"] = t_input / t_copy;
  stop();
}

}  // namespace

BENCHMARK(get_input_idle)->Unit(benchmark::kMicrosecond);
BENCHMARK(refresh_10_windows)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(update_16x16)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
