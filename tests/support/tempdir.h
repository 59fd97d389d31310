// Temporary directories for tests: each one fresh, of its own, and gone when the test is done.
#pragma once

#include <filesystem>
#include <string>

// A new, uniquely named directory below the system's temporary directory (its name starts with
// `tag`), removed with everything in it when the object goes.
struct TempDir {
  std::filesystem::path path;

  // Makes the directory; throws std::runtime_error (the test fails) when it cannot.
  explicit TempDir(const std::string& tag);
  // Removes the directory and everything in it (errors ignored).
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The path of `name` inside the directory, as a string.
  std::string file(const std::string& name) const;
};
