#include "tests/support/tempdir.h"

#include <cstdio>
#include <random>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& tag) {
  static std::mt19937_64 rng(std::random_device{}());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "_%016llx", static_cast<unsigned long long>(rng()));
    fs::path p = base / (tag + suffix);
    std::error_code ec;
    if (fs::create_directory(p, ec)) {  // false when the name is taken: try another
      path = p;
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary directory for '" + tag + "' below " + base.string());
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path, ec);
}

std::string TempDir::file(const std::string& name) const { return (path / name).string(); }
