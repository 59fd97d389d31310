// Copy throughput of transferFiles (progress reported to the scripted front end) against
// `cp -r` of the same tree, in the same run, on one file system. The tree (default 256 MB: many
// small files and a few large ones) is made once under the temporary directory; set
// TRANSFER_BENCH_MB for a smaller one, or TRANSFER_BENCH_FILES=N for a tree of N small files only
// (512 bytes to 4 KB: what the per-file costs, such as the uninstall log's, weigh against).
// Counter "ratio" = cp time / transferFiles time over all turns (1.0 means as fast as cp; the
// target is at least 0.9), "ratio_median" the middle turn's. With TMPDIR on a file system in
// memory (/dev/shm) the disk drops out and what remains is each copy's own cost per file and byte.
#include <benchmark/benchmark.h>

#ifndef _WIN32
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kit/build.h"
#include "db/db.h"
#include "engine/instutil.h"
#include "engine/transfer.h"
#include "base/settings.h"
#include "engine/uninst.h"
#include "tests/support/ui_script.h"
#include "platform/host/machine.h"

namespace fs = std::filesystem;

namespace {

struct Tree {
  fs::path base, medium, root;
  uint64_t bytes = 0;
  bool ready = false;
};

Tree& tree() {
  static Tree t;
  if (t.ready) return t;
  uint64_t mb = 256;
  if (const char* env = std::getenv("TRANSFER_BENCH_MB")) mb = std::max<uint64_t>(1, std::strtoull(env, nullptr, 10));
  uint64_t fileCount = 0;
  if (const char* env = std::getenv("TRANSFER_BENCH_FILES")) fileCount = std::strtoull(env, nullptr, 10);
  t.base = fs::temp_directory_path() /
           (fileCount ? "transfer_bench_files_" + std::to_string(fileCount) : "transfer_bench_" + std::to_string(mb));
  t.medium = t.base / "medium";
  t.root = t.base / "root";
  const uint64_t target = mb << 20;
  // Half the bytes in small files (1 to 64 KB, 32 to a directory), half in a few large ones.
  std::string list = "s=" + std::to_string(target) + "\n";
  std::vector<std::pair<std::string, uint64_t>> files;
  uint64_t small = 0;
  unsigned x = 12345;
  int index = 0;
  while (fileCount ? uint64_t(index) < fileCount : small < target / 2) {
    x = x * 1103515245u + 12345u;
    uint64_t size = fileCount ? 512 + (x >> 8) % (3584 + 1) : 1024 + (x >> 8) % (63 * 1024);
    if (index % 32 == 0) list += "d=PRODUCT\\D" + std::to_string(index / 32) + "\n";
    files.push_back({"PRODUCT\\D" + std::to_string(index / 32) + "\\F" + std::to_string(index) + ".DAT", size});
    small += size;
    ++index;
  }
  uint64_t large = fileCount ? 0 : target - std::min(target, small);
  for (int i = 0; i < 4 && large; ++i) files.push_back({"PRODUCT\\BIG" + std::to_string(i) + ".PAK", large / 4});
  list.insert(0, "d=PRODUCT\n");
  bool exists = fs::exists(t.base / "done");
  std::vector<char> block(1 << 16);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 2654435761u) >> 13);
  for (const auto& [name, size] : files) {
    list += "f=" + name + "\n";
    t.bytes += size;
    if (exists) continue;
    std::string rel = name;
    for (char& c : rel)
      if (c == '\\') c = '/';
    fs::path p = t.medium / rel;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    for (uint64_t left = size; left;) {
      uint64_t n = std::min<uint64_t>(left, block.size());
      out.write(block.data(), static_cast<std::streamsize>(n));
      left -= n;
    }
  }
  std::string ini =
      "[Install]\nInstallTypes=Full\n[Full]\nList=full.lst\n[Installing]\nProgressEmpty=e.pcx\nProgressFull=f.pcx\n"
      "[Strings]\nErrWriteFile=Write error %d on %s\n";
  std::vector<kit_member> members = {{"install.ini", std::vector<uint8_t>(ini.begin(), ini.end())},
                                          {"full.lst", std::vector<uint8_t>(list.begin(), list.end())}};
  std::string error;
  if (!kit_build_archive((t.medium / "install.dat").string(), members, error)) std::fprintf(stderr, "%s\n", error.c_str());
  std::ofstream(t.base / "done") << "tree made\n";
  std::error_code ec;
  fs::remove_all(t.root, ec);  // a fresh machine, whatever a run that was stopped left there
  fs::create_directories(t.root);
  fs::current_path(t.medium);
  setenv("VRK_ROOT", t.root.c_str(), 1);
  os_host_reset();
  db_init("install.dat", nullptr, nullptr);
  initSettings();
  initInstTypes();
  t.ready = true;
  return t;
}

void BM_TransferVsCp(benchmark::State& state) {
  Tree& t = tree();
  double transferSeconds = 0, cpSeconds = 0;
  // Every turn copies into fresh folders, and all of them are removed only at the end: the disk's
  // file system spends a while on each inode it allocates near many that were just deleted, so
  // removing the last turn's copy before a timed one would charge that removal to whichever copy
  // ran next. Before each timed copy everything written so far is on the disk, so that neither
  // pays for the other's writes still on their way there.
  int turn = 0;
  auto cpDest = [&] { return (t.root / "C" / ("CPCOPY" + std::to_string(turn))).string(); };
  auto timeTransfer = [&] {
    std::snprintf(destPath, sizeof destPath, "C:\\GAME%d", turn);
    createDir(destPath);
    uiScriptReset();
    uninstCreate("Transfer benchmark", destPath);  // an install starts only with its log open
    sync();
    auto a = std::chrono::steady_clock::now();
    transferFiles();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
    uninstDiscard();
    if (!uiScriptEvents().empty()) state.SkipWithError(uiScriptEvents().front().text.c_str());
    return seconds;
  };
  auto timeCp = [&] {
    const std::string command = "cp -r '" + (t.medium / "PRODUCT").string() + "' '" + cpDest() + "'";
    sync();
    auto a = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
  };
  std::vector<double> turnRatios;
  for (auto _ : state) {
    double transfer = 0, cp = 0;
    if (turn % 2 == 0) {
      transfer = timeTransfer();
      cp = timeCp();
    } else {
      cp = timeCp();
      transfer = timeTransfer();
    }
    ++turn;
    transferSeconds += transfer;
    cpSeconds += cp;
    turnRatios.push_back(cp / transfer);
    state.SetIterationTime(transfer);
  }
  state.SetBytesProcessed(static_cast<int64_t>(t.bytes) * state.iterations());
  state.counters["transfer_MBps"] = t.bytes / 1e6 * state.iterations() / transferSeconds;
  state.counters["cp_MBps"] = t.bytes / 1e6 * state.iterations() / cpSeconds;
  state.counters["ratio"] = cpSeconds / transferSeconds;
  // The middle turn's ratio: a burst of other work on a shared machine moves it less.
  std::sort(turnRatios.begin(), turnRatios.end());
  if (!turnRatios.empty()) state.counters["ratio_median"] = turnRatios[turnRatios.size() / 2];
  for (int i = 0; i < turn; ++i) {
    std::error_code ec;
    fs::remove_all(t.root / "C" / ("GAME" + std::to_string(i)), ec);
    fs::remove_all(t.root / "C" / ("CPCOPY" + std::to_string(i)), ec);
  }
}
// TRANSFER_BENCH_ITERATIONS=N takes N turns of each copy instead of 4 (a steadier ratio on a busy
// machine).
int iterations() {
  const char* env = std::getenv("TRANSFER_BENCH_ITERATIONS");
  const long n = env ? std::strtol(env, nullptr, 10) : 0;
  return n > 0 ? static_cast<int>(n) : 4;
}
BENCHMARK(BM_TransferVsCp)->UseManualTime()->Iterations(iterations())->Unit(benchmark::kMillisecond);

}  // namespace
#endif

BENCHMARK_MAIN();
