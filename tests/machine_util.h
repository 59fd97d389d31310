// Test helper for the host's emulated Windows machine: a fresh machine root and medium in a
// temporary directory for every test, the previous state restored afterwards.
#pragma once
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/host/machine.h"

// Writes a file (parents made) with exactly these bytes.
inline void put(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}
// The whole content of a file ("" when it cannot be read).
inline std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class MachineTest : public ::testing::Test {
 protected:
  std::filesystem::path tmp, root, medium, oldCwd;
  std::string oldRoot;
  bool hadRoot = false;

  void SetUp() override {
    namespace fs = std::filesystem;
    std::random_device rd;
    tmp = fs::temp_directory_path() / ("machine_test_" + std::to_string(rd()) + std::to_string(rd()));
    root = tmp / "root";
    medium = tmp / "medium";
    fs::create_directories(medium);
    oldCwd = fs::current_path();
    if (const char* r = std::getenv("VRK_ROOT")) {
      hadRoot = true;
      oldRoot = r;
    }
    setenv("VRK_ROOT", root.c_str(), 1);
    fs::current_path(medium);
    os_host_reset();
  }
  void TearDown() override {
    std::filesystem::current_path(oldCwd);
    if (hadRoot)
      setenv("VRK_ROOT", oldRoot.c_str(), 1);
    else
      unsetenv("VRK_ROOT");
    os_host_reset();
    std::error_code ec;
    std::filesystem::remove_all(tmp, ec);
  }
};

#endif
