#include "tests/support/golden.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "tests/support/files.h"

namespace {

::testing::AssertionResult rewrite(const std::string& path, const std::string& got) {
  if (!write_whole_file(path, got)) return ::testing::AssertionFailure() << "cannot rewrite golden " << path;
  return ::testing::AssertionSuccess() << "rewrote golden " << path;
}

// Where `want` and `got` first differ, with the line (text) or byte offset (binary) around it.
std::string first_difference(const std::string& want, const std::string& got, bool text) {
  size_t at = 0;
  while (at < want.size() && at < got.size() && want[at] == got[at]) ++at;
  std::string where = "first difference at byte " + std::to_string(at) + " (golden " + std::to_string(want.size()) +
                      " bytes, result " + std::to_string(got.size()) + ")";
  if (!text) return where;
  const size_t line = size_t(std::count(want.begin(), want.begin() + std::ptrdiff_t(at), '\n')) + 1;
  auto line_at = [&](const std::string& s) {
    size_t begin = s.rfind('\n', at == 0 ? 0 : at - 1);
    begin = (begin == std::string::npos || at == 0) ? 0 : begin + 1;
    size_t end = s.find('\n', begin);
    std::string l = s.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    return l.size() > 160 ? l.substr(0, 160) + "..." : l;
  };
  return where + ", line " + std::to_string(line) + "\n  golden: " + line_at(want) + "\n  result: " + line_at(got);
}

::testing::AssertionResult compare(const std::string& name, const std::string& got, bool text) {
  const std::string path = golden_path(name);
  if (golden_updating()) return rewrite(path, got);
  std::string want = read_whole_file(path);
  if (want.empty()) return ::testing::AssertionFailure() << "missing golden " << path << " (UPDATE_GOLDEN=1 makes it)";
  if (text) want.erase(std::remove(want.begin(), want.end(), '\r'), want.end());
  if (want == got) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "result differs from " << path << ": " << first_difference(want, got, text);
}

}  // namespace

std::string golden_path(const std::string& name) { return std::string(TEST_DATA_DIR) + "/" + name; }

bool golden_updating() {
  const char* update = std::getenv("UPDATE_GOLDEN");
  return update && std::strcmp(update, "1") == 0;
}

std::string golden_hex(const uint8_t* pixels, int w, int h, int pitch) {
  std::string s = std::to_string(w) + " " + std::to_string(h) + "\n";
  static const char digits[] = "0123456789abcdef";
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = pixels + std::ptrdiff_t(y) * pitch;
    for (int x = 0; x < w; ++x) {
      s += digits[row[x] >> 4];
      s += digits[row[x] & 15];
    }
    s += "\n";
  }
  return s;
}

::testing::AssertionResult golden_text(const std::string& name, const std::string& got) {
  return compare(name, got, true);
}

::testing::AssertionResult golden_bytes(const std::string& name, const std::vector<uint8_t>& got) {
  return compare(name, std::string(got.begin(), got.end()), false);
}

::testing::AssertionResult golden_picture(const std::string& name, const uint8_t* pixels, int w, int h, int pitch) {
  return compare(name, golden_hex(pixels, w, h, pitch), true);
}
