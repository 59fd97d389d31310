// A whole install through the setup program on the headless display against `cp -r` of the same
// files, in the same run, on one file system. The medium is the sample product with SETUP_BENCH_MB
// (default 256) MB of game data added (samples/make_product.py --bulk-mb: four large files and many
// of 16 to 256 KB), made a medium by `setupkit build` of the sample project. Each run starts setup
// on a fresh emulated machine with a recorded session: Next on the install panel, then Escape on
// the finish panel, so the time is the program's whole life: start, panels, the copy with its
// progress bar, registry, shortcuts, the uninstaller's copy and the program run at the end.
// Counter "ratio" = cp time / setup time over all turns, "ratio_median" the middle turn's.
#include <benchmark/benchmark.h>

#if !defined(_WIN32) && defined(SETUP_EXE)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kBytesPerPoll = 8192;  // the copy polls the input once per block this size

struct Medium {
  fs::path base, dir, session;
  uint64_t bytes = 0;
  bool ready = false;
  std::string error;
};

void be32(std::string& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out += char(v >> s);
}

void key(std::string& out, uint32_t pass, int scan) {
  for (int code : {scan, scan | 0x80}) {
    be32(out, 2);
    be32(out, 0);
    be32(out, pass++);
    out += char(0);
    out += char(code);
  }
}

// Tab, Tab, Enter take the install panel's defaults (Typical, drive C:, \SAMPLEQ). The finish
// panel's Escape comes once every block of the copy has had its poll; should the copy poll more
// often than counted, the Escape lands in it and is answered No by the next one, 200 passes on.
std::string session(uint64_t polls) {
  std::string out;
  for (uint32_t v : {1u, 0u, 0u, 320u, 240u, 0u}) be32(out, v);
  key(out, 30, 0x0F);
  key(out, 40, 0x0F);
  key(out, 50, 0x1C);
  const uint64_t first = 60 + polls + polls / 20 + 300;
  for (uint64_t pass = first; pass < first + 200 * 40; pass += 200) key(out, static_cast<uint32_t>(pass), 0x01);
  return out;
}

Medium& medium() {
  static Medium m;
  if (m.ready || !m.error.empty()) return m;
  uint64_t mb = 256;
  if (const char* env = std::getenv("SETUP_BENCH_MB")) mb = std::max<uint64_t>(1, std::strtoull(env, nullptr, 10));
  m.base = fs::temp_directory_path() / ("setup_bench_" + std::to_string(getpid()));
  m.dir = m.base / "medium";
  fs::create_directories(m.base);
  const fs::path product = m.base / "product";
  const std::string make =
      std::string("python3 '") + MAKE_PRODUCT + "' --out '" + product.string() + "' --bulk-mb " + std::to_string(mb);
  const std::string build = std::string("'") + SETUPKIT_EXE + "' build '" + SAMPLE_PROJECT + "' -o '" + m.dir.string() +
                            "' -D PRODUCT='" + product.string() + "' -D WELCOME='" + WELCOME_EXE +
                            "' -D UNINSTALLER='" + VLUNINST_EXE + "' -D SETUP='" + SETUP_EXE + "' > /dev/null";
  if (std::system(make.c_str()) != 0 || std::system(build.c_str()) != 0) {
    m.error = "the sample medium could not be made (make_product.py, setupkit build)";
    return m;
  }
  uint64_t polls = 0;
  for (const char* top : {"GAME.EXE", "README.TXT", "DATA"}) {
    const fs::path p = m.dir / top;
    auto count = [&](const fs::path& f) {
      const uint64_t size = fs::file_size(f);
      m.bytes += size;
      polls += (size + kBytesPerPoll - 1) / kBytesPerPoll;
    };
    if (fs::is_regular_file(p)) count(p);
    if (fs::is_directory(p))
      for (const auto& e : fs::recursive_directory_iterator(p))
        if (e.is_regular_file()) count(e.path());
  }
  m.session = m.base / "session.vcr";
  std::ofstream(m.session, std::ios::binary) << session(polls);
  m.ready = true;
  return m;
}

// Makes a fresh machine under `root`.
void freshMachine(const fs::path& root) {
  std::error_code ec;
  fs::remove_all(root, ec);
  fs::create_directories(root / "C");
  std::ofstream(root / "machine.ini") << "[FreeSpace]\nC=100000000000\n";
}

// Runs setup in the medium's folder over the machine under `root`; its exit status, or -1.
int runSetup(const Medium& m, const fs::path& root) {
  std::vector<std::string> env = {"VRK_ROOT=" + root.string(), "VRK_VIDEO=headless", "VRK_PLAY=" + m.session.string(),
                                  "VRK_GUARD_NS=setup_bench"};
  for (char** e = environ; *e; ++e) {
    const std::string s = *e;
    if (s.rfind("VRK_", 0) != 0) env.push_back(s);
  }
  std::vector<char*> envp;
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  char* argv[] = {const_cast<char*>(SETUP_EXE), nullptr};
  const fs::path here = fs::current_path();
  fs::current_path(m.dir);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, SETUP_EXE, nullptr, nullptr, argv, envp.data());
  fs::current_path(here);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

uint64_t bytesUnder(const fs::path& dir) {
  uint64_t n = 0;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(dir, ec))
    if (e.is_regular_file()) n += e.file_size();
  return n;
}

void BM_SetupVsCp(benchmark::State& state) {
  Medium& m = medium();
  if (!m.ready) {
    state.SkipWithError(m.error.c_str());
    return;
  }
  // Every turn installs and copies into fresh folders, all removed only at the end, and what was
  // written before is on the disk before each timed run (see transfer_bench: the file system
  // spends a while on each inode it allocates near many just deleted, and a run should not pay for
  // the other's writes still on their way to the disk).
  int turn = 0;
  auto root = [&] { return m.base / ("machine" + std::to_string(turn)); };
  auto cpDest = [&] { return m.base / ("cpcopy" + std::to_string(turn)); };
  double setupSeconds = 0, cpSeconds = 0;
  auto timeSetup = [&] {
    freshMachine(root());
    sync();
    auto a = std::chrono::steady_clock::now();
    const int status = runSetup(m, root());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
    if (status != 0) state.SkipWithError("setup did not end with status 0");
    // Everything of the Typical type arrived (the full type's extras aside, cp copies a little more).
    if (bytesUnder(root() / "C" / "SAMPLEQ") + 200 * 1024 < m.bytes) state.SkipWithError("setup did not copy everything");
    return s;
  };
  auto timeCp = [&] {
    const std::string cp = "mkdir -p '" + cpDest().string() + "' && cp -r '" + (m.dir / "GAME.EXE").string() + "' '" +
                           (m.dir / "README.TXT").string() + "' '" + (m.dir / "DATA").string() + "' '" +
                           cpDest().string() + "'";
    sync();
    auto a = std::chrono::steady_clock::now();
    if (std::system(cp.c_str()) != 0) state.SkipWithError("cp failed");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
  };
  std::vector<double> turnRatios;
  for (auto _ : state) {
    double s = 0, c = 0;
    if (turn % 2 == 0) {
      s = timeSetup();
      c = timeCp();
    } else {
      c = timeCp();
      s = timeSetup();
    }
    ++turn;
    setupSeconds += s;
    cpSeconds += c;
    turnRatios.push_back(c / s);
    state.SetIterationTime(s);
  }
  state.SetBytesProcessed(static_cast<int64_t>(m.bytes) * state.iterations());
  state.counters["setup_MBps"] = m.bytes / 1e6 * state.iterations() / setupSeconds;
  state.counters["cp_MBps"] = m.bytes / 1e6 * state.iterations() / cpSeconds;
  state.counters["ratio"] = cpSeconds / setupSeconds;
  std::sort(turnRatios.begin(), turnRatios.end());  // the middle turn's: bursts of other work move it less
  if (!turnRatios.empty()) state.counters["ratio_median"] = turnRatios[turnRatios.size() / 2];
  std::error_code ec;
  fs::remove_all(m.base, ec);
  m = Medium{};
}
// SETUP_BENCH_ITERATIONS=N takes N turns of each instead of 4.
int iterations() {
  const char* env = std::getenv("SETUP_BENCH_ITERATIONS");
  const long n = env ? std::strtol(env, nullptr, 10) : 0;
  return n > 0 ? static_cast<int>(n) : 4;
}
BENCHMARK(BM_SetupVsCp)->UseManualTime()->Iterations(iterations())->Unit(benchmark::kMillisecond);

}  // namespace
#endif

BENCHMARK_MAIN();
