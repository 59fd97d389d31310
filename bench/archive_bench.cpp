// Archive database benchmarks: opening an archive of 10,000 members and looking names up.
#include <benchmark/benchmark.h>

#ifndef _WIN32
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/db.h"
#include "kit/build.h"
#include "platform/host/machine.h"

namespace fs = std::filesystem;

namespace {

constexpr int kDirs = 20;
constexpr int kPerDir = 500;  // 10,000 members in all

std::string member_name(int d, int i) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "DIR%02d\\FILE%04d.DAT", d, i);
  return buf;
}

// Builds the archive once, on drive C: of an emulated machine of the benchmark's own (VRK_ROOT, in
// the temp directory; removed at exit): the archive library opens its files through the OS
// services, as the setup program does. Returns the archive's Windows path.
const std::string& archive() {
  static const std::string path = [] {
    static const fs::path root = fs::temp_directory_path() / ("archive_bench_" + std::to_string(getpid()));
    fs::create_directories(root / "C");
    setenv("VRK_ROOT", root.c_str(), 1);
    os_host_reset();
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(root, ec);
    });
    std::vector<kit_member> m;
    for (int d = 0; d < kDirs; ++d)
      for (int i = 0; i < kPerDir; ++i) {
        kit_member b;
        b.path = member_name(d, i);
        b.data.assign(64 + size_t(i % 200), uint8_t('a' + i % 26));
        m.push_back(std::move(b));
      }
    std::string err;
    if (!kit_build_archive((root / "C" / "ARCHIVE.DAT").string(), m, err)) {
      std::fprintf(stderr, "kit_build_archive: %s\n", err.c_str());
      std::exit(1);
    }
    return std::string("C:\\ARCHIVE.DAT");
  }();
  return path;
}

void BM_OpenClose(benchmark::State& state) {
  const std::string& file = archive();
  for (auto _ : state) {
    int h = db_init(file.c_str(), nullptr, nullptr);
    if (h == -1) {
      state.SkipWithError("db_init failed");
      break;
    }
    db_close(h);
  }
  state.counters["members"] = kDirs * kPerDir;
}
BENCHMARK(BM_OpenClose)->Unit(benchmark::kMicrosecond);

void BM_Lookup(benchmark::State& state) {
  const std::string& file = archive();
  int h = db_init(file.c_str(), nullptr, nullptr);
  if (h == -1) {
    state.SkipWithError("db_init failed");
    return;
  }
  db_select(h);
  std::vector<std::string> names;
  for (int d = 0; d < kDirs; ++d)
    for (int i = 0; i < kPerDir; i += 7) names.push_back(member_name(d, i));
  // Mixed case, as callers pass names.
  for (size_t k = 0; k < names.size(); k += 2)
    for (char& c : names[k])
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  size_t k = 0;
  dir_entry e{};
  for (auto _ : state) {
    int rc = db_dir_entry(names[k].c_str(), &e);
    if (rc != 0) {
      state.SkipWithError("lookup failed");
      break;
    }
    benchmark::DoNotOptimize(e);
    if (++k == names.size()) k = 0;
  }
  db_close(h);
}
BENCHMARK(BM_Lookup);

void BM_LookupMiss(benchmark::State& state) {
  int h = db_init(archive().c_str(), nullptr, nullptr);
  if (h == -1) {
    state.SkipWithError("db_init failed");
    return;
  }
  db_select(h);
  dir_entry e{};
  for (auto _ : state) benchmark::DoNotOptimize(db_dir_entry("DIR07\\NOPE.DAT", &e));
  db_close(h);
}
BENCHMARK(BM_LookupMiss);

}  // namespace
#endif

BENCHMARK_MAIN();
