// setupkit: authoring tool for the installer's archive database.
//
//   setupkit pack DIR -o FILE [--method lzss|stored|blocks] [--jobs N]
//   setupkit list FILE
//   setupkit extract FILE NAME [-o OUT]
//   setupkit cat FILE NAME
//   setupkit verify FILE
//
// Archives are written with kit_build_archive and read back through the database library, so what the
// tool reports is what the installer will see. The picture, palette and font commands live in
// kit_image.cpp and kit_font.cpp, lint and build in kit_lint*.cpp and kit_build.cpp; every
// command reads its arguments through kit_args.h.

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "db/db.h"
#include "db/decode.h"
#include "kit/build.h"
#include "platform/host/machine.h"
#include "tools/kit_args.h"
#include "tools/kit_convert.h"
#include "tools/kit_lint.h"

namespace fs = std::filesystem;

namespace {

const KitCommand kPack = {"pack",
                          "pack DIR -o FILE [--method lzss|stored|blocks] [--jobs N]",
                          "Makes an archive of every file below DIR (member names are the paths relative to DIR).\n"
                          "Without --method each member takes the smallest of one LZSS stream, LZSS blocks and\n"
                          "stored; with --method it takes that method, or stored when packing does not help.\n"
                          "The packing runs on N threads (by default as many as the machine runs at once); the\n"
                          "archive is the same for any N.\n",
                          {{"-o", "--output", true}, {"--method", nullptr, true}, {"--jobs", "-j", true}}};
const KitCommand kList = {
    "list", "list FILE", "Lists every member: method, length, packed length, ratio and name; then a total.\n", {}};
const KitCommand kExtract = {"extract",
                             "extract FILE NAME [-o OUT]",
                             "Writes member NAME (DIR\\NAME, case ignored) to OUT, by default its base name in the\n"
                             "current directory.\n",
                             {{"-o", "--output", true}}};
const KitCommand kCat = {"cat", "cat FILE NAME", "Writes member NAME to standard output.\n", {}};
const KitCommand kVerify = {"verify",
                            "verify FILE",
                            "Checks the directory and decodes every member, through the archive streams as the\n"
                            "installer reads them. Prints OK, or every fault found and exits with status 1.\n",
                            {}};

int cmd_pack(const std::vector<std::string>& args);
int cmd_list(const std::vector<std::string>& args);
int cmd_extract(const std::vector<std::string>& args);
int cmd_cat(const std::vector<std::string>& args);
int cmd_verify(const std::vector<std::string>& args);

struct Command {
  const KitCommand* spec;
  int (*run)(const std::vector<std::string>& args);
};

const Command kCommands[] = {
    {&kPack, cmd_pack},      {&kList, cmd_list},      {&kExtract, cmd_extract},
    {&kCat, cmd_cat},        {&kVerify, cmd_verify},  {&kit_palette_cmd, kit_palette},
    {&kit_pcx_cmd, kit_pcx}, {&kit_png_cmd, kit_png}, {&kit_font_cmd, kit_font},
    {&kit_lint_cmd, kit_lint}, {&kit_build_cmd, kit_build}, {&kit_preview_cmd, kit_preview},
};

void print_usage(FILE* out) {
  std::fprintf(out, "usage: setupkit COMMAND [ARGS]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  setupkit %s\n", c.spec->synopsis);
  std::fprintf(out, "\n'setupkit COMMAND --help' describes one command.\n");
}

const Command* find_command(std::string_view name) {
  for (const Command& c : kCommands)
    if (name == c.spec->name) return &c;
  return nullptr;
}

int usage_error(const std::string& why) {
  std::fprintf(stderr, "setupkit: %s\n", why.c_str());
  print_usage(stderr);
  return kKitExitUsage;
}

const char* method_name(uint32_t flags) {
  switch (flags & DB_METHOD_MASK) {
    case 0:
    case DB_METHOD_LZSS:
      return "lzss";
    case DB_METHOD_STORED:
      return "stored";
    case DB_METHOD_BLOCKS:
      return "blocks";
    default:
      return "unknown";
  }
}

// ---- reading archives ----

struct Member {
  std::string name;  // DIR\NAME, or NAME in the root
  dir_entry e;
};

// Opens FILE as the current database; prints the failure and returns -1 when it cannot.
int open_archive(const std::string& file) {
  std::error_code ec;
  if (!fs::exists(file, ec)) {
    kit_fail(file, "no such file");
    return -1;
  }
  if (fs::is_directory(file, ec)) {
    kit_fail(file, "is a directory");
    return -1;
  }
  int h = db_init(file.c_str(), nullptr, nullptr);
  if (h == -1) {
    kit_fail(file, "not a readable archive (damaged or not an archive)");
    return -1;
  }
  db_select(h);
  return h;
}

std::vector<Member> members_of_current() {
  std::vector<Member> out;
  db_walk(
      [](const char* dir, const char* name, const dir_entry* e, void* ctx) {
        auto* v = static_cast<std::vector<Member>*>(ctx);
        std::string full = dir && *dir ? std::string(dir) + "\\" + name : std::string(name);
        v->push_back({full, *e});
      },
      &out);
  return out;
}

std::string member_arg(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

std::string percent(uint64_t packed, uint64_t length) {
  char buf[32];
  if (length == 0)
    std::snprintf(buf, sizeof buf, "%s", "-");
  else
    std::snprintf(buf, sizeof buf, "%.1f%%", 100.0 * double(packed) / double(length));
  return buf;
}

// Copies member `name` of the current database to `out`; false with `why` on a fault.
bool copy_member(const std::string& name, FILE* out, std::string& why) {
  dir_entry e{};
  if (db_dir_entry(name.c_str(), &e) != 0) {
    why = "no member " + name;
    return false;
  }
  db_file* f = db_fopen(name.c_str(), "rb");
  if (!f) {
    why = name + ": cannot open the member (damaged archive?)";
    return false;
  }
  std::vector<uint8_t> buf(65536);
  uint64_t total = 0;
  bool ok = true;
  for (;;) {
    size_t n = db_fread(buf.data(), 1, buf.size(), f);
    if (n == 0) break;
    total += n;
    if (std::fwrite(buf.data(), 1, n, out) != n) {
      why = std::string("write failed: ") + std::strerror(errno);
      ok = false;
      break;
    }
  }
  db_fclose(f);
  if (ok && total != e.length) {
    why = name + ": member decodes to " + std::to_string(total) + " bytes, the directory says " +
          std::to_string(e.length) + " (damaged archive)";
    ok = false;
  }
  return ok;
}

// ---- commands ----

int cmd_pack(const std::vector<std::string>& args) {
  KitArgs p;
  if (int rc = kit_parse_command(kPack, args, p); rc >= 0) return rc;
  const std::string* out = kit_value(p, "-o");
  if (p.pos.size() != 1 || !out) return kit_usage(kPack, "pack needs one DIR and -o FILE");
  kit_pack_method method = kit_pack_method::best;
  if (const std::string* m = kit_value(p, "--method")) {
    if (*m == "lzss")
      method = kit_pack_method::lzss;
    else if (*m == "stored")
      method = kit_pack_method::stored;
    else if (*m == "blocks")
      method = kit_pack_method::blocks;
    else
      return kit_usage(kPack, "unknown method '" + *m + "' (lzss, stored or blocks)");
  }
  int jobs = 1;
  if (int rc = kit_jobs(kPack, p, &jobs); rc >= 0) return rc;
  const std::string& root = p.pos[0];
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return kit_fail(root, ec ? ec.message() : "not a directory");

  // Collect the regular files below root, sorted by their relative path.
  std::vector<std::pair<std::string, fs::path>> files;
  fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end;
  if (ec) return kit_fail(root, ec.message());
  for (; it != end; it.increment(ec)) {
    if (ec) return kit_fail(root, ec.message());
    std::error_code fec;
    if (!it->is_regular_file(fec)) continue;
    // An earlier archive written into the tree being packed is not packed into the new one.
    if (fs::equivalent(it->path(), *out, fec)) continue;
    std::string rel = fs::relative(it->path(), root, fec).generic_string();
    if (fec) return kit_fail(it->path().string(), fec.message());
    std::replace(rel.begin(), rel.end(), '/', '\\');
    files.emplace_back(rel, it->path());
  }
  if (ec) return kit_fail(root, ec.message());
  std::sort(files.begin(), files.end());

  std::vector<kit_member> members;
  members.reserve(files.size());
  uint64_t total = 0;
  for (const auto& [rel, path] : files) {
    kit_member m;
    m.path = rel;
    m.method = method;
    FILE* f = std::fopen(path.string().c_str(), "rb");
    if (!f) return kit_fail(path.string(), std::string("cannot open: ") + std::strerror(errno));
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) m.data.insert(m.data.end(), buf, buf + n);
    bool bad = std::ferror(f);
    std::fclose(f);
    if (bad) return kit_fail(path.string(), "read error");
    total += m.data.size();
    members.push_back(std::move(m));
  }

  std::string err;
  if (!kit_build_archive(*out, members, err, jobs)) return kit_fail(*out, err);
  uintmax_t size = fs::file_size(*out, ec);
  std::printf("%s: %zu members, %" PRIu64 " bytes packed into %ju bytes\n", out->c_str(), members.size(), total,
              ec ? uintmax_t(0) : size);
  return kKitExitOk;
}

int cmd_list(const std::vector<std::string>& args) {
  KitArgs p;
  if (int rc = kit_parse_command(kList, args, p); rc >= 0) return rc;
  if (p.pos.size() != 1) return kit_usage(kList, "list needs one FILE");
  const std::string& file = p.pos[0];
  int h = open_archive(file);
  if (h == -1) return kKitExitFail;
  std::vector<Member> ms = members_of_current();
  db_close(h);
  std::printf("%-7s %12s %12s %7s  %s\n", "Method", "Length", "Packed", "Ratio", "Name");
  uint64_t len = 0, packed = 0;
  for (const Member& m : ms) {
    std::printf("%-7s %12" PRIu32 " %12" PRIu32 " %7s  %s\n", method_name(m.e.flags), m.e.length, m.e.packed_length,
                percent(m.e.packed_length, m.e.length).c_str(), m.name.c_str());
    len += m.e.length;
    packed += m.e.packed_length;
  }
  std::printf("%-7s %12" PRIu64 " %12" PRIu64 " %7s  %zu members\n", "total", len, packed,
              percent(packed, len).c_str(), ms.size());
  return kKitExitOk;
}

int cmd_extract(const std::vector<std::string>& args) {
  KitArgs p;
  if (int rc = kit_parse_command(kExtract, args, p); rc >= 0) return rc;
  if (p.pos.size() != 2) return kit_usage(kExtract, "extract needs FILE and NAME");
  const std::string& file = p.pos[0];
  std::string name = member_arg(p.pos[1]);
  std::string out;
  if (const std::string* o = kit_value(p, "-o"))
    out = *o;
  else
    out = name.substr(name.rfind('\\') == std::string::npos ? 0 : name.rfind('\\') + 1);
  if (out.empty()) return kit_usage(kExtract, "no output name");

  int h = open_archive(file);
  if (h == -1) return kKitExitFail;
  dir_entry e{};
  if (db_dir_entry(name.c_str(), &e) != 0) {
    db_close(h);
    return kit_fail(file, "no member " + name);
  }
  FILE* f = std::fopen(out.c_str(), "wb");
  if (!f) {
    db_close(h);
    return kit_fail(out, std::string("cannot create: ") + std::strerror(errno));
  }
  std::string why;
  bool ok = copy_member(name, f, why);
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    why = std::string("write failed: ") + std::strerror(errno);
  }
  db_close(h);
  if (!ok) {
    std::error_code ec;
    fs::remove(out, ec);
    return kit_fail(file, why);
  }
  return kKitExitOk;
}

int cmd_cat(const std::vector<std::string>& args) {
  KitArgs p;
  if (int rc = kit_parse_command(kCat, args, p); rc >= 0) return rc;
  if (p.pos.size() != 2) return kit_usage(kCat, "cat needs FILE and NAME");
  const std::string& file = p.pos[0];
  std::string name = member_arg(p.pos[1]);
  int h = open_archive(file);
  if (h == -1) return kKitExitFail;
  std::string why;
  bool ok = copy_member(name, stdout, why);
  db_close(h);
  if (std::fflush(stdout) != 0 && ok) {
    ok = false;
    why = std::string("write failed: ") + std::strerror(errno);
  }
  return ok ? kKitExitOk : kit_fail(file, why);
}

// Decodes a member from its packed bytes, checking the structure of its method; false with `why`.
bool decode_packed(const Member& m, const uint8_t* p, uint32_t packed, std::vector<uint8_t>& out, std::string& why) {
  const uint32_t method = (m.e.flags & DB_METHOD_MASK) ? (m.e.flags & DB_METHOD_MASK) : DB_METHOD_LZSS;
  out.clear();
  if (method == DB_METHOD_STORED) {
    if (packed != m.e.length) {
      why = "stored member whose packed length differs from its length";
      return false;
    }
    out.assign(p, p + packed);
    return true;
  }
  if (method == DB_METHOD_LZSS) {
    // Every two packed bytes give at most 18 decoded ones.
    if (uint64_t(m.e.length) > uint64_t(packed) * 9 + 18) {
      why = "length " + std::to_string(m.e.length) + " cannot come from " + std::to_string(packed) + " packed bytes";
      return false;
    }
    out.resize(size_t(m.e.length) + 1);
    out.resize(lzss_decode_mem(p, packed, out.data(), out.size()));
    if (out.size() != m.e.length) {
      why = "decodes to " + std::to_string(out.size()) + (out.size() > m.e.length ? "+" : "") +
            " bytes instead of " + std::to_string(m.e.length);
      return false;
    }
    return true;
  }
  if (method == DB_METHOD_BLOCKS) {
    uint32_t at = 0;
    std::vector<uint8_t> blk(DB_BLOCK_SIZE + 1);
    while (out.size() < m.e.length) {
      if (at + 2 > packed) {
        why = "block chain ends after " + std::to_string(out.size()) + " of " + std::to_string(m.e.length) + " bytes";
        return false;
      }
      unsigned h = unsigned(p[at]) << 8 | p[at + 1];
      at += 2;
      uint32_t n = h & 0x7FFF;
      if (n > packed - at) {
        why = "block at packed offset " + std::to_string(at - 2) + " runs past the member";
        return false;
      }
      size_t got;
      if (h & 0x8000) {
        got = n;
        if (got > DB_BLOCK_SIZE) {
          why = "raw block larger than 16384 bytes";
          return false;
        }
        std::memcpy(blk.data(), p + at, n);
      } else {
        got = lzss_decode_mem(p + at, n, blk.data(), blk.size());
      }
      at += n;
      uint64_t left = m.e.length - out.size();
      if (got > DB_BLOCK_SIZE || got > left || (got < DB_BLOCK_SIZE && got < left)) {
        why = "block at packed offset " + std::to_string(at - n - 2) + " decodes to " + std::to_string(got) +
              " bytes where " + std::to_string(std::min<uint64_t>(left, DB_BLOCK_SIZE)) + " are expected";
        return false;
      }
      out.insert(out.end(), blk.begin(), blk.begin() + std::ptrdiff_t(got));
    }
    if (at != packed) {
      why = std::to_string(packed - at) + " packed bytes left over after the last block";
      return false;
    }
    return true;
  }
  why = "unknown storage method 0x" + [&] {
    char b[16];
    std::snprintf(b, sizeof b, "%02X", unsigned(m.e.flags & DB_METHOD_MASK));
    return std::string(b);
  }();
  return false;
}

// Checks one member; returns the faults found (empty = sound).
std::vector<std::string> verify_member(const Member& m, uint64_t file_size) {
  std::vector<std::string> faults;
  dir_entry e{};
  if (db_dir_entry(m.name.c_str(), &e) != 0) {
    faults.push_back("cannot be looked up by name (directory out of order?)");
    return faults;
  }
  if (e.offset != m.e.offset || e.length != m.e.length || e.packed_length != m.e.packed_length) {
    faults.push_back("lookup by name finds a different entry (duplicate or misordered keys)");
    return faults;
  }
  if (uint64_t(m.e.offset) + m.e.packed_length > file_size) {
    faults.push_back("data at " + std::to_string(m.e.offset) + "+" + std::to_string(m.e.packed_length) +
                     " lies beyond the end of the file (" + std::to_string(file_size) + " bytes)");
    return faults;
  }
  // The packed bytes, checked and decoded here independently of the stream code.
  uint32_t packed = 0, length = 0;
  void* raw = nullptr;
  std::vector<uint8_t> expect;
  if (m.e.packed_length == 0 && m.e.length == 0) {
    // Nothing stored: db_load refuses empty members, and there is nothing to check.
  } else if (db_load(m.name.c_str(), &packed, &length, &raw) != 0) {
    faults.push_back("its packed bytes cannot be read");
    return faults;
  } else {
    std::string why;
    bool ok = packed == m.e.packed_length && decode_packed(m, static_cast<const uint8_t*>(raw), packed, expect, why);
    std::free(raw);
    if (!ok) {
      faults.push_back(why.empty() ? "packed size differs from the directory" : why);
      return faults;
    }
  }
  // Through the streams, as the installer reads it.
  db_file* f = db_fopen(m.name.c_str(), "rb");
  if (!f) {
    faults.push_back("cannot be opened as a stream");
    return faults;
  }
  if (db_filelength(f) != long(m.e.length)) faults.push_back("stream length differs from the directory");
  std::vector<uint8_t> buf(65536);
  size_t at = 0;
  bool same = true;
  for (size_t n; (n = db_fread(buf.data(), 1, buf.size(), f)) > 0;) {
    if (at + n > expect.size() || std::memcmp(buf.data(), expect.data() + at, n) != 0) same = false;
    at += n;
    if (at > expect.size()) break;
  }
  db_fclose(f);
  if (at != m.e.length)
    faults.push_back("stream delivers " + std::to_string(at) + " bytes instead of " + std::to_string(m.e.length));
  else if (!same)
    faults.push_back("stream delivers different bytes than the packed data decodes to");
  // Whole-member read.
  if (m.e.length == 0) return faults;
  std::vector<uint8_t> whole(expect.size());
  if (db_read_to_buf(m.name.c_str(), whole.data(), whole.size()) != 0)
    faults.push_back("whole-member read fails");
  else if (whole != expect)
    faults.push_back("whole-member read differs from the stream");
  return faults;
}

int cmd_verify(const std::vector<std::string>& args) {
  KitArgs p;
  if (int rc = kit_parse_command(kVerify, args, p); rc >= 0) return rc;
  if (p.pos.size() != 1) return kit_usage(kVerify, "verify needs one FILE");
  const std::string& file = p.pos[0];
  int h = open_archive(file);
  if (h == -1) return kKitExitFail;
  std::error_code ec;
  uint64_t size = fs::file_size(file, ec);
  std::vector<Member> ms = members_of_current();
  size_t bad = 0;
  for (const Member& m : ms) {
    std::vector<std::string> faults = verify_member(m, size);
    if (!faults.empty()) ++bad;
    for (const std::string& f : faults) std::fprintf(stderr, "setupkit: %s: %s: %s\n", file.c_str(), m.name.c_str(), f.c_str());
  }
  db_close(h);
  if (bad) {
    std::fprintf(stderr, "setupkit: %s: %zu of %zu members damaged\n", file.c_str(), bad, ms.size());
    return kKitExitFail;
  }
  std::printf("%s: OK, %zu members\n", file.c_str(), ms.size());
  return kKitExitOk;
}

bool is_help(std::string_view a) { return a == "--help" || a == "-h" || a == "help"; }

int run(int argc, char** argv) {
  if (argc < 2) return usage_error("no command given");
  std::string_view cmd = argv[1];
  if (is_help(cmd)) {
    if (argc >= 3) {
      if (const Command* c = find_command(argv[2])) {
        kit_print_usage(*c->spec, stdout, true);
        return kKitExitOk;
      }
    }
    print_usage(stdout);
    return kKitExitOk;
  }
  const Command* c = find_command(cmd);
  if (!c) return usage_error("unknown command '" + std::string(cmd) + "'");
  return c->run(std::vector<std::string>(argv + 2, argv + argc));
}

}  // namespace

int main(int argc, char** argv) {
  // The tool works on the author's own files, named by host paths, not on an emulated machine.
  os_host_native_paths(1);
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "setupkit: out of memory\n");
  } catch (const std::exception& ex) {
    std::fprintf(stderr, "setupkit: %s\n", ex.what());
  }
  return kKitExitFail;
}
