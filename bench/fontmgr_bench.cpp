// Smooth text: FMtext_to_buf of DejaVu Sans 14 into an 8-bit buffer.
//   line_60_chars: one 60-character line ("chars_per_us");
//   panel_20_lines: twenty such lines, a full panel of text ("us_per_panel", and "vs_memcpy":
//     the time of copying the panel's pixels once over that of drawing the text, in the same loop).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "color/color.h"
#include "db/db.h"
#include "toolkit/fontmgr.h"
#include "kit/build.h"

namespace {

const char kLine[] = "Installing Gaqjy: copying the files of the game, 1.0 (60 ch)";
static_assert(sizeof kLine - 1 == 60);
constexpr int kPitch = 640;

bool start(benchmark::State& state) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "fontmgr_bench";
  std::filesystem::create_directories(dir);
  std::ifstream in(std::string(BENCH_DATA_DIR) + "/dejavu14.aaf", std::ios::binary);
  std::vector<uint8_t> font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  uint8_t pal[768];
  for (int i = 0; i < 768; ++i) pal[i] = uint8_t(i * 7);
  const std::string dat = (dir / "f.dat").string();
  std::string err;
  if (font.empty() || colorBuildColorTable(pal, nullptr) != 0 ||
      !kit_build_archive(dat, {{"FONT0.AAF", font, kit_pack_method::stored}}, err) ||
      db_init(dat.c_str(), nullptr, nullptr) == -1 || FMInit() != 0) {
    err.insert(0, "cannot set up: ");
    state.SkipWithError(err.c_str());
    return false;
  }
  return true;
}

void stop() {
  FMExit();
  db_exit();
}

void line_60_chars(benchmark::State& state) {
  if (!start(state)) return;
  std::vector<uint8_t> buf(size_t(kPitch) * 32, 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(FMtext_to_buf(buf.data(), kLine, kPitch, kPitch, 200));
    benchmark::ClobberMemory();
  }
  state.counters["chars_per_us"] = benchmark::Counter(double(state.iterations()) * 60 / 1e6,
                                                      benchmark::Counter::kIsRate);  // per second of CPU, / 1e6
  stop();
}

void panel_20_lines(benchmark::State& state) {
  if (!start(state)) return;
  const int line = FMtext_height();
  std::vector<uint8_t> panel(size_t(kPitch) * size_t(line) * 20, 3), copy(panel.size());
  double t_text = 0, t_copy = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) FMtext_to_buf(panel.data() + size_t(i) * line * kPitch, kLine, kPitch, kPitch, 200);
    benchmark::ClobberMemory();
    auto t1 = std::chrono::steady_clock::now();
    std::memcpy(copy.data(), panel.data(), panel.size());
    benchmark::ClobberMemory();
    auto t2 = std::chrono::steady_clock::now();
    t_text += std::chrono::duration<double>(t1 - t0).count();
    t_copy += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["us_per_panel"] = t_text * 1e6 / double(state.iterations());
  state.counters["vs_memcpy"] = t_copy / t_text;
  stop();
}

}  // namespace

BENCHMARK(line_60_chars);
BENCHMARK(panel_20_lines);
BENCHMARK_MAIN();
