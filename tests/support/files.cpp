#include "tests/support/files.h"

#include <cstdio>

std::string read_whole_file(const std::filesystem::path& file) {
  std::string out;
  if (FILE* f = std::fopen(file.string().c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

bool write_whole_file(const std::filesystem::path& file, const std::string& data) {
  FILE* f = std::fopen(file.string().c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}
