// Reads arbitrary bytes as the destination's "uninst.log" and undoes what it records, on an
// emulated machine in a temporary directory of its own (nothing outside it can be named): once
// by the installer's cancel-time removal, once by the uninstaller's engine. Each run first lays
// out a small installed tree for the log to remove, and files outside it that the uninstaller
// must never touch whatever the log says.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "base/pathutil.h"
#include "base/settings.h"
#include "engine/uninst.h"
#include "engine/undo.h"
#include "tests/support/ui_script.h"
#include "platform/host/machine.h"

namespace fs = std::filesystem;

namespace {

fs::path base;

void setUpOnce() {
  if (!base.empty()) return;
  std::random_device rd;
  base = fs::temp_directory_path() / ("uninst_fuzz_" + std::to_string(rd()));
  fs::create_directories(base / "medium");
  setenv("VRK_ROOT", (base / "root").c_str(), 1);
  if (chdir((base / "medium").c_str()) != 0) std::abort();  // relative names land in the medium
  os_host_reset();
  initSettings();
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(base, ec);
  });
}

void put(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setUpOnce();
  fs::path game = base / "root" / "C" / "GAME";
  std::error_code ec;
  fs::remove_all(game, ec);
  put(game / "DATA" / "a.bin", "a");
  put(game / "b.bin", "b");
  put(game / "uninst.log", std::string(reinterpret_cast<const char*>(data), size));
  std::snprintf(destPath, sizeof destPath, "C:\\GAME");
  deinstall();
  uiScriptReset();

  fs::remove_all(game, ec);
  put(game / "DATA" / "a.bin", "a");
  put(game / "uninst.log", std::string(reinterpret_cast<const char*>(data), size));
  const fs::path keep = base / "root" / "C" / "KEEP" / "keep.txt";
  const fs::path ini = base / "root" / "C" / "WINDOWS" / "WIN.INI";
  put(keep, "k");
  put(ini, "w");
  VluPlan plan;
  if (vluReadPlan("C:\\GAME\\uninst.log", &plan)) {
    vluRemove(&plan, nullptr, nullptr);
    vluFreePlan(&plan);
  }
  if (!fs::exists(keep) || !fs::exists(ini)) std::abort();  // a file outside the destination was removed
  return 0;
}
