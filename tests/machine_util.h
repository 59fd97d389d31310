// Test helper for the host's emulated Windows machine: a fresh machine root and medium in a
// temporary directory for every test, the previous state restored afterwards.
#pragma once
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/host/machine.h"
#include "tests/support/files.h"
#include "tests/support/tempdir.h"

// Writes a file (parents made) with exactly these bytes.
inline void put(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  write_whole_file(file, text);
}
// The whole content of a file ("" when it cannot be read).
inline std::string slurp(const std::filesystem::path& file) { return read_whole_file(file); }

class MachineTest : public ::testing::Test {
 protected:
  TempDir scratch{"machine_test"};  // removed after TearDown has left it
  std::filesystem::path tmp = scratch.path, root, medium, oldCwd;
  std::string oldRoot;
  bool hadRoot = false;

  void SetUp() override {
    namespace fs = std::filesystem;
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
  }
};

#endif
