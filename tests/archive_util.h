// Test helpers for archive databases: hand-made archive files and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace archive_util {

using Bytes = std::vector<uint8_t>;

inline void write_file(const std::string& path, const Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
}

inline void write_text(const std::string& path, const std::string& s) { write_file(path, Bytes(s.begin(), s.end())); }

inline Bytes read_file(const std::string& path) {
  Bytes out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  int c;
  while ((c = std::fgetc(f)) != EOF) out.push_back(uint8_t(c));
  std::fclose(f);
  return out;
}

inline void put32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

struct RawEntry {
  std::string name;  // member name, upper case
  uint32_t flags, offset, length, packed;  // offset counted from the start of the member data
};
struct RawDir {
  std::string name;  // "." for the root slot
  std::vector<RawEntry> entries;  // in key order
};

// Serialises the root array and directory arrays (in the order given) followed by `data`; entry
// offsets are made absolute unless `absolute` says they already are.
inline Bytes raw_archive(const std::vector<RawDir>& dirs, const Bytes& data, bool absolute = false) {
  auto build = [&](uint32_t base) {
    Bytes b;
    put32(b, uint32_t(dirs.size()));
    put32(b, uint32_t(dirs.size()));
    put32(b, 0);
    put32(b, 0);
    for (const auto& d : dirs) {
      b.push_back(uint8_t(d.name.size()));
      b.insert(b.end(), d.name.begin(), d.name.end());
    }
    for (const auto& d : dirs) {
      put32(b, uint32_t(d.entries.size()));
      put32(b, uint32_t(d.entries.size()));
      put32(b, 16);
      put32(b, 0);
      for (const auto& e : d.entries) {
        b.push_back(uint8_t(e.name.size()));
        b.insert(b.end(), e.name.begin(), e.name.end());
        put32(b, e.flags);
        put32(b, absolute ? e.offset : e.offset + base);
        put32(b, e.length);
        put32(b, e.packed);
      }
    }
    return b;
  };
  Bytes head = build(0);
  Bytes out = build(uint32_t(head.size()));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// A packed LZSS stream of literals only.
inline Bytes literals(const Bytes& data) {
  Bytes out;
  for (size_t i = 0; i < data.size(); ++i) {
    if (i % 8 == 0) out.push_back(0xFF);
    out.push_back(data[i]);
  }
  return out;
}

inline Bytes pattern(size_t n, uint32_t seed) {
  Bytes b(n);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = (i % 97 < 60) ? uint8_t('A' + (i % 23)) : uint8_t(x >> 16);
  }
  return b;
}

}  // namespace archive_util
