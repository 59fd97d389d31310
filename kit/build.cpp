// Archive builder.
//
// File layout: the root array of directory names (keys only; "." first, standing for the root),
// one directory array per root key in key order (16-byte big-endian entries), then the member
// data in directory order. The directory's size depends only on the names, so it is reserved
// first, the members are packed and written one by one behind it, and the arrays are written
// into the reserved space at the end. Everything goes to a temporary file that replaces the
// target only once it is complete.

#include "kit/build.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "assoc/assoc.h"
#include "db/db.h"
#include "db/encode.h"
#include "kit/jobs.h"

namespace {

constexpr size_t kMaxKey = 255;            // a serialised key's length is one byte
constexpr size_t kMaxPath = DB_MAX_NAME - 2;  // lookups prepend ".\" to a name of at most 259
constexpr uint64_t kMaxArchive = 0xFFFFFFFFull;
// Member bytes parsed at once: the parsed items of a batch are held until its members are written.
constexpr uint64_t kBatchBytes = uint64_t(16) << 20;

struct Item {
  std::string dir;   // "" for the root
  std::string name;  // member name within dir
  std::string path;  // upper-cased full path
  const kit_member* src;
};

struct Dir {
  std::string key;  // "." for the root
  std::vector<Item*> items;
};

void put_be32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

// Upper-cases and checks one member path; empty result with `error` set when it cannot be stored.
bool normalise(const std::string& in, Item& out, std::string& error) {
  std::string p = in;
  for (char& c : p) {
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  auto refuse = [&](const char* why) {
    error = "member \"" + in + "\": " + why;
    return false;
  };
  if (p.empty()) return refuse("empty name");
  if (p.size() > kMaxPath) return refuse("path longer than 257 characters");
  if (p[0] == '@') return refuse("a name beginning with '@' cannot be looked up");
  for (unsigned char c : p)
    if (c < 0x20 || c == 0x7F) return refuse("control character in name");
  size_t start = 0;
  while (true) {
    size_t sep = p.find('\\', start);
    std::string part = p.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
    if (part.empty()) return refuse("empty path component (leading, trailing or doubled separator)");
    if (part == "." || part == "..") return refuse("'.' and '..' components are not allowed");
    if (sep == std::string::npos) break;
    start = sep + 1;
  }
  size_t last = p.rfind('\\');
  out.path = p;
  if (last == std::string::npos) {
    out.dir.clear();
    out.name = p;
  } else {
    out.dir = p.substr(0, last);
    out.name = p.substr(last + 1);
  }
  if (out.name.size() > kMaxKey) return refuse("member name longer than 255 characters");
  if (out.dir.size() > kMaxKey) return refuse("directory name longer than 255 characters");
  // The root directory's key "." must stay the first key of the root array.
  if (!out.dir.empty() && static_cast<unsigned char>(out.dir[0]) < '.')
    return refuse(("directory \"" + out.dir + "\" would sort before the root directory").c_str());
  return true;
}

// The packing of one member: the pieces of its LZSS stream (methods lzss and best) and of its
// 16 KiB blocks (blocks and best), parsed by the tasks of a batch, then laid out by finish().
struct Packing {
  const kit_member* src = nullptr;
  std::vector<lzss_piece> whole;
  std::vector<lzss_piece> blocks;
};

// One parse: piece `index` of a member's stream, or block `index` of it (one piece of its own).
struct Task {
  Packing* packing;
  bool block;
  size_t index;
};

void addTasks(Packing& p, std::vector<Task>& tasks) {
  const std::vector<uint8_t>& data = p.src->data;
  const kit_pack_method want = p.src->method;
  if (data.empty() || want == kit_pack_method::stored) return;
  if (want == kit_pack_method::lzss || want == kit_pack_method::best) {
    p.whole.resize(lzss_piece_count(data.size()));
    for (size_t i = 0; i < p.whole.size(); ++i) tasks.push_back({&p, false, i});
  }
  if (want == kit_pack_method::blocks || want == kit_pack_method::best) {
    p.blocks.resize((data.size() + DB_BLOCK_SIZE - 1) / DB_BLOCK_SIZE);
    for (size_t i = 0; i < p.blocks.size(); ++i) tasks.push_back({&p, true, i});
  }
}

void runTask(const Task& t) {
  const std::vector<uint8_t>& data = t.packing->src->data;
  if (!t.block) {
    lzss_parse_piece(data.data(), data.size(), t.index, t.packing->whole[t.index]);
    return;
  }
  const size_t at = t.index * DB_BLOCK_SIZE;
  lzss_parse_piece(data.data() + at, std::min<size_t>(DB_BLOCK_SIZE, data.size() - at), 0, t.packing->blocks[t.index]);
}

// Lays out a parsed member with the requested method; sets `method` to what was used (stored when
// packing does not shrink the member) and fills `packed` (left empty for stored). "best" takes the
// smallest of lzss, blocks and stored.
void finish(Packing& p, uint32_t& method, std::vector<uint8_t>& packed) {
  const std::vector<uint8_t>& data = p.src->data;
  packed.clear();
  method = DB_METHOD_STORED;
  std::vector<uint8_t> one, blocks, tmp;
  lzss_emitter stream;
  for (const lzss_piece& piece : p.whole) lzss_emit(piece, stream, one);
  for (size_t i = 0; i < p.blocks.size(); ++i) {
    const size_t at = i * DB_BLOCK_SIZE, n = std::min<size_t>(DB_BLOCK_SIZE, data.size() - at);
    tmp.clear();
    lzss_emitter block;
    lzss_emit(p.blocks[i], block, tmp);
    if (tmp.size() < n) {
      blocks.push_back(uint8_t(tmp.size() >> 8));
      blocks.push_back(uint8_t(tmp.size()));
      blocks.insert(blocks.end(), tmp.begin(), tmp.end());
    } else {
      uint32_t h = 0x8000u | uint32_t(n);
      blocks.push_back(uint8_t(h >> 8));
      blocks.push_back(uint8_t(h));
      blocks.insert(blocks.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + n));
    }
  }
  p.whole.clear();
  p.blocks.clear();
  size_t best = data.size();
  if (!one.empty() && one.size() < best) {
    best = one.size();
    method = DB_METHOD_LZSS;
  }
  if (!blocks.empty() && blocks.size() < best) {
    best = blocks.size();
    method = DB_METHOD_BLOCKS;
  }
  if (method == DB_METHOD_LZSS) packed.swap(one);
  if (method == DB_METHOD_BLOCKS) packed.swap(blocks);
}

// Owns the temporary file: closes and removes it unless committed.
struct TempFile {
  std::string path;
  FILE* f = nullptr;
  bool keep = false;
  ~TempFile() {
    if (f) std::fclose(f);
    if (!keep && !path.empty()) {
      std::error_code ec;
      std::filesystem::remove(path, ec);
    }
  }
};

struct Arrays {
  assoc_array root{};
  std::vector<assoc_array> dirs;
  ~Arrays() {
    if (root.marker == ASSOC_MARKER) assoc_free(&root);
    for (auto& a : dirs)
      if (a.marker == ASSOC_MARKER) assoc_free(&a);
  }
};

}  // namespace

bool kit_build_archive(const std::string& file, const std::vector<kit_member>& members, std::string& error, int jobs) {
  error.clear();
  if (file.empty()) {
    error = "no archive file name";
    return false;
  }

  // Names: normalise, group by directory, sort, refuse duplicates.
  std::vector<Item> items(members.size());
  for (size_t i = 0; i < members.size(); ++i) {
    if (!normalise(members[i].path, items[i], error)) return false;
    items[i].src = &members[i];
    if (members[i].data.size() > kMaxArchive) {
      error = "member \"" + members[i].path + "\": larger than 4 GiB";
      return false;
    }
  }
  std::vector<Item*> order;
  for (auto& it : items) order.push_back(&it);
  std::stable_sort(order.begin(), order.end(), [](const Item* a, const Item* b) {
    int c = assoc_compare(a->dir.c_str(), b->dir.c_str());
    if (c != 0) return c < 0;
    return assoc_compare(a->name.c_str(), b->name.c_str()) < 0;
  });
  std::vector<Dir> dirs{{".", {}}};
  for (Item* it : order) {
    if (it->dir.empty()) {
      dirs[0].items.push_back(it);
      continue;
    }
    if (dirs.size() == 1 || dirs.back().key != it->dir) dirs.push_back({it->dir, {}});
    dirs.back().items.push_back(it);
  }
  for (const Dir& d : dirs)
    for (size_t i = 1; i < d.items.size(); ++i)
      if (assoc_compare(d.items[i - 1]->name.c_str(), d.items[i]->name.c_str()) == 0) {
        error = "duplicate member name \"" + d.items[i]->src->path + "\" (names ignore case)";
        return false;
      }

  // Directory size, from the serialised form: a 16-byte header per array, then per entry a length
  // byte, the key and the data block.
  uint64_t dir_size = 16;
  for (const Dir& d : dirs) {
    dir_size += 1 + d.key.size() + 16;
    for (const Item* it : d.items) dir_size += 1 + it->name.size() + 16;
  }
  if (dir_size > kMaxArchive) {
    error = "directory larger than 4 GiB";
    return false;
  }

  TempFile tmp;
  tmp.path = file + ".part";
  tmp.f = std::fopen(tmp.path.c_str(), "wb");
  if (!tmp.f) {
    error = "cannot create " + tmp.path + ": " + std::strerror(errno);
    return false;
  }
  auto write_fail = [&]() {
    error = "cannot write " + tmp.path + ": " + std::strerror(errno);
    return false;
  };
  {
    std::vector<uint8_t> zeros(size_t(std::min<uint64_t>(dir_size, 65536)), 0);
    for (uint64_t left = dir_size; left > 0;) {
      size_t n = size_t(std::min<uint64_t>(left, zeros.size()));
      if (std::fwrite(zeros.data(), 1, n, tmp.f) != n) return write_fail();
      left -= n;
    }
  }

  // Member data, directory by directory in key order.
  Arrays arrays;
  if (assoc_init(&arrays.root, int(dirs.size()), 0, nullptr) != 0) {
    error = "out of memory";
    return false;
  }
  arrays.dirs.resize(dirs.size());
  uint64_t offset = dir_size;
  std::vector<std::pair<size_t, const Item*>> written;  // directory and member, in the order written
  for (size_t di = 0; di < dirs.size(); ++di) {
    const Dir& d = dirs[di];
    assoc_array& arr = arrays.dirs[di];
    if (assoc_init(&arr, int(d.items.size()), 16, nullptr) != 0 || assoc_insert(&arrays.root, d.key.c_str(), nullptr) < 0) {
      error = "out of memory";
      return false;
    }
    for (const Item* it : d.items) written.push_back({di, it});
  }
  // Members are parsed a batch at a time, every piece and block of the batch on the threads at
  // once, and written in order: what is written never depends on the number of threads.
  std::vector<uint8_t> packed;
  std::vector<Packing> batch;
  std::vector<Task> tasks;
  for (size_t first = 0; first < written.size();) {
    size_t end = first;
    uint64_t bytes = 0;
    while (end < written.size() && (end == first || bytes < kBatchBytes)) bytes += written[end++].second->src->data.size();
    batch.assign(end - first, Packing{});
    tasks.clear();
    for (size_t i = 0; i < batch.size(); ++i) {
      batch[i].src = written[first + i].second->src;
      addTasks(batch[i], tasks);
    }
    kit_run_jobs(tasks.size(), jobs, [&](size_t i) { runTask(tasks[i]); });
    for (size_t i = 0; i < batch.size(); ++i) {
      const auto [di, it] = written[first + i];
      const std::vector<uint8_t>& data = it->src->data;
      uint32_t method = 0;
      finish(batch[i], method, packed);
      const std::vector<uint8_t>& out = method == DB_METHOD_STORED ? data : packed;
      if (offset + out.size() > kMaxArchive) {
        error = "archive would exceed 4 GiB (at member \"" + it->src->path + "\")";
        return false;
      }
      if (!out.empty() && std::fwrite(out.data(), 1, out.size(), tmp.f) != out.size()) return write_fail();
      uint8_t entry[16];
      put_be32(entry, method);
      put_be32(entry + 4, uint32_t(offset));
      put_be32(entry + 8, uint32_t(data.size()));
      put_be32(entry + 12, uint32_t(out.size()));
      if (assoc_insert(&arrays.dirs[di], it->name.c_str(), entry) < 0) {
        error = "cannot add member \"" + it->src->path + "\" to its directory";
        return false;
      }
      offset += out.size();
    }
    first = end;
  }

  // The directory, into the space reserved at the start.
  if (std::fseek(tmp.f, 0, SEEK_SET) != 0) return write_fail();
  if (assoc_save(tmp.f, &arrays.root, 0) != 0) return write_fail();
  for (const assoc_array& a : arrays.dirs)
    if (assoc_save(tmp.f, &a, 0) != 0) return write_fail();
  long at = std::ftell(tmp.f);
  if (at < 0 || uint64_t(at) != dir_size) {
    error = "internal error: directory size mismatch";
    return false;
  }
  if (std::fflush(tmp.f) != 0 || std::ferror(tmp.f)) return write_fail();
  int rc = std::fclose(tmp.f);
  tmp.f = nullptr;
  if (rc != 0) return write_fail();

  std::error_code ec;
  std::filesystem::rename(tmp.path, file, ec);
  if (ec) {
    error = "cannot rename " + tmp.path + " to " + file + ": " + ec.message();
    return false;
  }
  tmp.keep = true;
  return true;
}
