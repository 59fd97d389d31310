// INI parser fuzz target: the input is handed to parseLine line by line (pieces of any length)
// and loaded as a file through cfgLoad; the stores are queried and freed, and every tagged byte
// must come back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/config.h"
#include "base/memdbg.h"

namespace {

void query(Config* cfg) {
  static const char* sections[] = {"Unknown", "Install", "Strings", "End", ""};
  static const char* keys[] = {"InstallTypes", "Run", "Title", "", "a"};
  for (const char* s : sections)
    for (const char* k : keys) {
      char* v = nullptr;
      cfgGetString(cfg, s, k, &v);
      int n = 0;
      cfgGetValue(cfg, s, k, &n);
      int count = 0;
      char** list = cfgGetCommaList(cfg, s, k, &count);
      cfgFreeCommaList(list, count);
    }
  // Every stored pair can be read back and rewritten.
  for (int i = 0; i < cfg->count; ++i) {
    const assoc_array* sec = static_cast<const assoc_array*>(cfg->entries[i].data);
    for (int k = 0; sec && k < sec->count; ++k) {
      char* v = nullptr;
      if (!cfgGetString(cfg, cfg->entries[i].key, sec->entries[k].key, &v)) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] {
    assoc_register_mem(assocMalloc, assocRealloc, assocFree);
    memoryRegisterDebug(nullptr);
    return true;
  }();
  (void)once;
  const int base = get_current_memory();

  Config cfg{};
  if (cfgInit(&cfg, 2)) {
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      parseLine(&cfg, line.data());
      start = end + 1;
    }
    query(&cfg);
    cfgExit(&cfg);
  }

  static const std::string file =
      (std::filesystem::temp_directory_path() / ("ini_fuzz_" + std::to_string(std::rand()) + ".ini")).string();
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    Config loaded{};
    if (cfgInit(&loaded, 24)) {
      cfgLoad(&loaded, file.c_str(), 0);
      query(&loaded);
      cfgExit(&loaded);
    }
    std::remove(file.c_str());
  }

  if (get_current_memory() != base) std::abort();  // a leak in the store
  return 0;
}
