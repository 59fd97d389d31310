// Scaling of file creation in one directory on the emulated machine: the time per file of
// creating 20,000 new files in one directory against creating 1,000, each through the OS services
// (os_open with create, a few bytes written, os_close), in the same run. Counter "ratio" = time
// per file at 20,000 / time per file at 1,000 (1.0: the cost of a file does not depend on the
// size of its directory; the target is at most 1.5). Counter "kernel_ratio" is the same ratio for
// plain open/write/close on the host paths: what the file system itself contributes. The machine
// lives under the temporary directory (TMPDIR); on a tmpfs the file system's share is smallest.
#include <benchmark/benchmark.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/host/machine.h"
#include "platform/os.h"

namespace fs = std::filesystem;

namespace {

constexpr int SMALL = 1000;
constexpr int LARGE = 20000;

// Seconds to create `count` new files in the new directory C:\<dir> through the OS services.
double createThroughMachine(const std::string& dir, int count, benchmark::State& state) {
  std::string win = "C:\\" + dir;
  if (os_mkdir(win.c_str()) != 0) state.SkipWithError("os_mkdir failed");
  auto a = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    std::string name = win + "\\File" + std::to_string(i) + ".Dat";
    int fd = os_open(name.c_str(), OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
    if (fd < 0 || os_write(fd, "data", 4) != 4 || os_close(fd) != 0) {
      state.SkipWithError("create failed");
      break;
    }
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

// Seconds to create `count` new files in the new host directory `dir` with plain system calls.
double createDirectly(const fs::path& dir, int count, benchmark::State& state) {
  fs::create_directories(dir);
  auto a = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    std::string name = (dir / ("File" + std::to_string(i) + ".Dat")).string();
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || write(fd, "data", 4) != 4 || close(fd) != 0) {
      state.SkipWithError("direct create failed");
      break;
    }
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

void BM_NewFilesInOneDirectory(benchmark::State& state) {
  fs::path base = fs::temp_directory_path() / ("newfiles_bench_" + std::to_string(getpid()));
  fs::path root = base / "root";
  fs::create_directories(root);
  setenv("VRK_ROOT", root.c_str(), 1);
  os_host_reset();
  double small = 0, large = 0, smallDirect = 0, largeDirect = 0;
  int turn = 0;
  for (auto _ : state) {
    // Every set goes into a directory of its own, all removed at the end: a file system that is
    // slow to reuse what was just deleted would otherwise charge one set for another's removal.
    std::string n = std::to_string(turn++);
    double s = createThroughMachine("SMALL" + n, SMALL, state);
    double l = createThroughMachine("LARGE" + n, LARGE, state);
    small += s / SMALL;
    large += l / LARGE;
    smallDirect += createDirectly(base / ("small" + n), SMALL, state) / SMALL;
    largeDirect += createDirectly(base / ("large" + n), LARGE, state) / LARGE;
    state.SetIterationTime(s + l);
  }
  int runs = turn ? turn : 1;
  state.counters["us_per_file_1k"] = small / runs * 1e6;
  state.counters["us_per_file_20k"] = large / runs * 1e6;
  state.counters["ratio"] = large / small;
  state.counters["kernel_ratio"] = largeDirect / smallDirect;
  os_host_reset();
  std::error_code ec;
  fs::remove_all(base, ec);
}
BENCHMARK(BM_NewFilesInOneDirectory)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
#endif

BENCHMARK_MAIN();
