// setupkit build: a project (tools/kit_project.h) made into a medium. The members of install.dat
// are put together in a folder (the script, COLOR.PAL, the art converted against it, the fonts,
// other data, the file lists written from the product with exact sizes, the uninstaller), the
// product and the medium's own files are copied into the medium, the folder is linted against
// the medium, and only when lint finds no error is it packed as the medium's INSTALL.DAT.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "base/config.h"
#include "base/pathutil.h"
#include "kit/build.h"
#include "tools/kit_convert.h"
#include "tools/kit_lint.h"
#include "tools/kit_project.h"

namespace fs = std::filesystem;

const KitCommand kit_build_cmd = {
    "build",
    "build PROJECT -o MEDIUM [-D NAME=VALUE]... [--data DIR] [--jobs N]",
    "Makes a medium from a project file (docs/script.md, \"The project file\"): converts the art\n"
    "and fonts against one palette, writes the file lists with exact sizes, copies the product,\n"
    "setup and the medium's other files into MEDIUM, lints the result (setupkit lint) and, when\n"
    "lint finds no error, packs MEDIUM/INSTALL.DAT. -D gives ${NAME} in the project a value;\n"
    "--data keeps the folder packed as INSTALL.DAT in DIR. MEDIUM must be new, empty or a medium\n"
    "made before (it is emptied first). --jobs packs on N threads (default: every core); the\n"
    "archive is the same for any N.\n",
    {{"-o", "--output", true}, {"-D", "--define", true}, {"--data", nullptr, true}, {"--jobs", "-j", true}}};

namespace {

const char* const kSections[] = {"Define", "Setup", "Art", "Fonts", "Data", "Product", "Medium"};
const char* const kSetupKeys[] = {"Script", "Palette", "Uninstaller", "Setup"};

bool same(const std::string& a, const std::string& b) { return kit_upper(a) == kit_upper(b); }

// A project line's host path: '\' made '/', a relative path taken from the project's folder.
fs::path host_path(const fs::path& base, std::string value) {
  std::replace(value.begin(), value.end(), '\\', '/');
  const fs::path p(value);
  return (p.is_absolute() ? p : base / p).lexically_normal();
}

// A member or medium name as a relative host path.
fs::path relative_path(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return fs::path(name);
}

std::string backslashed(std::string s) {
  std::replace(s.begin(), s.end(), '/', '\\');
  return s;
}

struct ProductFile {
  std::string name;  // in the lists and on the medium ('\' separators), as the project writes it
  fs::path from;
  std::set<std::string> types;  // upper case
};

struct Build {
  std::string project_name;
  fs::path base;
  KitProject project;
  std::map<std::string, std::string> defines;
  std::set<std::string> given;  // the names -D defined
  fs::path from;                // where the last value's relative paths start
  std::vector<KitFinding> errors;
  fs::path stage, medium;

  void error(int line, const std::string& text) { errors.push_back({project_name, line, true, text}); }

  // The value of a project line with ${NAME} replaced; false (said) when it cannot be. A relative
  // path in it starts from the project's folder, or from the current one when the value starts
  // with a name given by -D.
  bool value(const KitProjectLine& l, std::string& out) {
    std::string why;
    const size_t close = l.value.find('}');
    const bool cwd =
        l.value.rfind("${", 0) == 0 && close != std::string::npos && given.count(l.value.substr(2, close - 2));
    from = cwd ? fs::current_path() : base;
    if (kit_project_expand(l.value, defines, out, why)) return true;
    error(l.line, why);
    return false;
  }
  // The host path of a value value() gave.
  fs::path path(std::string v) const { return host_path(from, std::move(v)); }
  const KitProjectLine* setup_key(const char* key) {
    const KitProjectLine* found = nullptr;
    for (const KitProjectLine* l : kit_project_section(project, "Setup"))
      if (same(l->key, key)) found = l;
    return found;
  }
};

bool copy_file(const fs::path& from, const fs::path& to, std::string& why) {
  std::error_code ec;
  fs::create_directories(to.parent_path(), ec);
  if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) {
    why = from.string() + ": " + ec.message();
    return false;
  }
  fs::permissions(to, fs::status(from, ec).permissions(), ec);
  return true;
}

// The project's own checks: its sections and [Setup] keys, and the values of ${NAME}.
bool read_project(Build& b, const std::vector<std::pair<std::string, std::string>>& options) {
  std::ifstream in(b.project_name, std::ios::binary);
  if (!in) {
    b.error(0, "cannot be read");
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  b.project = kit_project_parse(text.str());
  for (const KitProjectError& e : b.project.errors) b.error(e.line, e.text);
  std::set<std::string> reported;
  for (const KitProjectLine& l : b.project.lines) {
    if (std::none_of(std::begin(kSections), std::end(kSections), [&](const char* s) { return same(s, l.section); })) {
      if (reported.insert(kit_upper(l.section)).second)
        b.error(l.line, "unknown section [" + l.section + "] (Define, Setup, Art, Fonts, Data, Product, Medium)");
      continue;
    }
    if (same(l.section, "Setup") &&
        std::none_of(std::begin(kSetupKeys), std::end(kSetupKeys), [&](const char* k) { return same(k, l.key); }))
      b.error(l.line, "unknown key " + l.key + " in [Setup] (Script, Palette, Uninstaller, Setup)");
  }
  for (const KitProjectLine* l : kit_project_section(b.project, "Define")) b.defines[l->key] = l->value;
  for (const auto& [name, value] : options) {
    if (name != "-D") continue;
    const size_t eq = value.find('=');
    if (eq == std::string::npos || eq == 0) {
      b.error(0, "-D " + value + ": give -D NAME=VALUE");
      continue;
    }
    b.defines[value.substr(0, eq)] = value.substr(eq + 1);
    b.given.insert(value.substr(0, eq));
  }
  for (const char* key : {"Script", "Uninstaller"})
    if (!b.setup_key(key)) b.error(0, std::string("[Setup] has no ") + key);
  return b.errors.empty();
}

// The script's install types and the list member each names, as setup reads them.
std::vector<std::pair<std::string, std::string>> script_lists(const fs::path& script) {
  std::vector<std::pair<std::string, std::string>> out;
  Config c;
  cfgInit(&c, 24);
  char fresh[] = "[Unknown]";
  parseLine(&c, fresh);
  cfgLoad(&c, script.string().c_str(), 0);
  int count = 0;
  char** types = cfgGetCommaList(&c, "Install", "InstallTypes", &count);
  for (int i = 0; types && i < count; ++i) {
    char* list = nullptr;
    char name[INST_PATH_SIZE] = "";
    if (cfgGetString(&c, types[i], "List", &list) && list) expandMacro(name, sizeof name, list);
    out.emplace_back(types[i], name);
  }
  cfgFreeCommaList(types, count);
  cfgExit(&c);
  parseLine(&c, fresh);  // the next reader starts as a fresh setup does
  return out;
}

// The product's files: every [Product] line in order, "*" (everything not named) last.
bool product_files(Build& b, std::vector<ProductFile>& files) {
  const auto lines = kit_project_section(b.project, "Product");
  fs::path folder;
  bool have_folder = false;
  for (const KitProjectLine* l : lines)
    if (same(l->key, "Folder")) {
      std::string v;
      if (!b.value(*l, v)) return false;
      folder = b.path(v);
      have_folder = true;
    }
  std::map<std::string, size_t> index;  // upper-case name -> files[]
  auto add = [&](const std::string& name, const fs::path& from, const std::vector<std::string>& types) {
    auto [it, fresh] = index.try_emplace(kit_upper(name), files.size());
    if (fresh) files.push_back({name, from, {}});
    for (const std::string& t : types) files[it->second].types.insert(kit_upper(t));
  };
  // Every file below `dir`, in name order, named below `prefix`.
  auto below = [&](const fs::path& dir, const std::string& prefix, const std::vector<std::string>& types, bool rest) {
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path medium = fs::absolute(b.medium).lexically_normal();
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      // A medium made into the product's own folder is not part of the product.
      std::error_code same;
      if (it->is_directory(same) && fs::equivalent(it->path(), medium, same)) it.disable_recursion_pending();
      if (it->is_regular_file(ec)) names.push_back(backslashed(fs::relative(it->path(), dir, ec).generic_string()));
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
      const std::string name = prefix.empty() ? n : prefix + "\\" + n;
      if (!rest || !index.count(kit_upper(name))) add(name, dir / relative_path(n), types);
    }
  };
  const KitProjectLine* rest = nullptr;
  for (const KitProjectLine* l : lines) {
    if (same(l->key, "Folder")) continue;
    if (!have_folder) {
      b.error(l->line, "[Product] names files but no Folder");
      return false;
    }
    const std::vector<std::string> types = kit_project_items(l->value);
    if (types.empty()) b.error(l->line, "names no install type for " + l->key);
    if (l->key == "*") {
      rest = l;
      continue;
    }
    const std::string name = backslashed(l->key);
    const fs::path from = folder / relative_path(name);
    std::error_code ec;
    if (fs::is_regular_file(from, ec))
      add(name, from, types);
    else if (fs::is_directory(from, ec))
      below(from, name, types, false);
    else
      b.error(l->line, name + " is not in the product folder " + folder.string());
  }
  if (rest) below(folder, "", kit_project_items(rest->value), true);
  return b.errors.empty();
}

// One file list in the form setup reads: its size, its folders, its files.
std::string list_text(const std::vector<ProductFile>& files, const std::string& type) {
  unsigned long long size = 0;
  std::vector<std::string> dirs, names;
  for (const ProductFile& f : files) {
    if (!f.types.count(kit_upper(type))) continue;
    std::error_code ec;
    size += fs::file_size(f.from, ec);
    names.push_back(f.name);
    for (size_t cut = f.name.find('\\'); cut != std::string::npos; cut = f.name.find('\\', cut + 1))
      if (std::find(dirs.begin(), dirs.end(), f.name.substr(0, cut)) == dirs.end())
        dirs.push_back(f.name.substr(0, cut));
  }
  std::string out = "s=" + std::to_string(size) + "\r\n";
  for (const std::string& d : dirs) out += "d=" + d + "\r\n";
  for (const std::string& n : names) out += "f=" + n + "\r\n";
  return out;
}

// Runs a converter command; false when it failed (it said why).
bool convert(int (*command)(const std::vector<std::string>&), const std::vector<std::string>& args) {
  return command(args) == kKitExitOk;
}

// Everything that goes into install.dat, into b.stage.
bool stage_data(Build& b, const std::vector<ProductFile>& files) {
  std::string why, v;
  auto stage_path = [&](const std::string& member) { return b.stage / relative_path(kit_upper(member)); };
  std::set<std::string> members;
  auto claim = [&](int line, const std::string& member) {
    if (members.insert(kit_upper(backslashed(member))).second) return true;
    b.error(line, "member " + member + " is made twice");
    return false;
  };
  const KitProjectLine* script = b.setup_key("Script");
  if (!b.value(*script, v) || !claim(script->line, "INSTALL.INI")) return false;
  const fs::path script_path = b.path(v);
  if (!copy_file(script_path, stage_path("INSTALL.INI"), why)) {
    b.error(script->line, why);
    return false;
  }
  const fs::path palette = stage_path("COLOR.PAL");
  const KitProjectLine* pal = b.setup_key("Palette");
  if (pal) {
    if (!b.value(*pal, v) || !claim(pal->line, "COLOR.PAL")) return false;
    if (!convert(kit_palette, {b.path(v).string(), "-o", palette.string(), "--tables"})) return false;
  }
  for (const KitProjectLine* l : kit_project_section(b.project, "Art")) {
    if (!b.value(*l, v) || !claim(l->line, l->key)) return false;
    if (!pal) {
      b.error(l->line, "art needs the palette it is converted against: [Setup] Palette");
      return false;
    }
    std::vector<std::string> items = kit_project_items(v);
    const bool transparent = items.size() > 1 && same(items.back(), "transparent");
    fs::create_directories(stage_path(l->key).parent_path());
    std::vector<std::string> args = {b.path(items.empty() ? "" : items[0]).string(), "-o", stage_path(l->key).string(),
                                     "--palette", palette.string()};
    if (transparent) args.push_back("--transparent");
    if (items.empty() || items.size() > size_t(transparent ? 2 : 1)) {
      b.error(l->line, "give MEMBER=PICTURE or MEMBER=PICTURE, transparent");
      return false;
    }
    if (!convert(kit_pcx, args)) return false;
  }
  for (const KitProjectLine* l : kit_project_section(b.project, "Fonts")) {
    if (!b.value(*l, v) || !claim(l->line, l->key)) return false;
    const std::string ext = kit_upper(fs::path(l->key).extension().string());
    const std::vector<std::string> items = kit_project_items(v);
    if ((ext != ".FON" && ext != ".AAF") || items.size() != 2) {
      b.error(l->line, "give FONTn.FON=TTF, SIZE or FONTn.AAF=TTF, SIZE");
      return false;
    }
    fs::create_directories(stage_path(l->key).parent_path());
    std::vector<std::string> args = {b.path(items[0]).string(), "--size", items[1], "-o", stage_path(l->key).string()};
    if (ext == ".AAF") args.push_back("--aaf");
    if (!convert(kit_font, args)) return false;
  }
  for (const KitProjectLine* l : kit_project_section(b.project, "Data")) {
    if (!b.value(*l, v) || !claim(l->line, l->key)) return false;
    if (!copy_file(b.path(v), stage_path(l->key), why)) b.error(l->line, why);
  }
  const KitProjectLine* uninstaller = b.setup_key("Uninstaller");
  if (!b.value(*uninstaller, v) || !claim(uninstaller->line, "VLUNINST.EXE")) return false;
  if (!copy_file(b.path(v), stage_path("VLUNINST.EXE"), why)) b.error(uninstaller->line, why);

  // The file lists the script names, from the product.
  const auto lists = script_lists(script_path);
  for (const KitProjectLine* l : kit_project_section(b.project, "Product")) {
    if (same(l->key, "Folder")) continue;
    for (const std::string& t : kit_project_items(l->value))
      if (std::none_of(lists.begin(), lists.end(), [&](const auto& p) { return same(p.first, t); }))
        b.error(l->line, "install type " + t + " is not one of the script's InstallTypes");
  }
  if (!b.errors.empty()) return false;
  for (const auto& [type, list] : lists) {
    if (list.empty() || !claim(script->line, list)) continue;
    const fs::path to = stage_path(list);
    fs::create_directories(to.parent_path());
    std::ofstream out(to, std::ios::binary);
    out << list_text(files, type);
    if (!out.flush()) b.error(script->line, to.string() + ": cannot write");
  }
  return b.errors.empty();
}

// The medium: emptied, then the product, the medium's own files and setup.
bool fill_medium(Build& b, const std::vector<ProductFile>& files) {
  std::string why, v;
  for (const ProductFile& f : files)
    if (!copy_file(f.from, b.medium / relative_path(f.name), why)) b.error(0, why);
  for (const KitProjectLine* l : kit_project_section(b.project, "Medium"))
    if (b.value(*l, v) && !copy_file(b.path(v), b.medium / relative_path(l->key), why)) b.error(l->line, why);
  if (const KitProjectLine* setup = b.setup_key("Setup"); setup && b.value(*setup, v)) {
    const fs::path from = b.path(v);
    if (!copy_file(from, b.medium / kit_upper(from.filename().string()), why)) b.error(setup->line, why);
  }
  return b.errors.empty();
}

// Empties the medium folder; false when it holds files and is not a medium.
bool empty_medium(const fs::path& medium, std::string& why) {
  std::error_code ec;
  if (!fs::exists(medium, ec)) {
    if (fs::create_directories(medium, ec)) return true;
    why = ec.message();
    return false;
  }
  if (!fs::is_directory(medium, ec)) {
    why = "not a folder";
    return false;
  }
  bool any = false, dat = false;
  for (const auto& e : fs::directory_iterator(medium, ec)) {
    any = true;
    dat = dat || kit_upper(e.path().filename().string()) == "INSTALL.DAT";
  }
  if (any && !dat) {
    why = "holds files and no INSTALL.DAT: not a medium made before (name a new or empty folder)";
    return false;
  }
  for (const auto& e : fs::directory_iterator(medium, ec)) fs::remove_all(e.path(), ec);
  return true;
}

void empty_folder(const fs::path& dir) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) fs::remove_all(e.path(), ec);
}

// Packs the staged members, as `setupkit pack` packs a folder.
bool pack(const fs::path& stage, const fs::path& archive, int jobs, size_t& count, std::string& why) {
  std::vector<std::pair<std::string, fs::path>> found;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(stage, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec))
      found.emplace_back(backslashed(fs::relative(it->path(), stage, ec).generic_string()), it->path());
  std::sort(found.begin(), found.end());
  std::vector<kit_member> members;
  for (const auto& [rel, path] : found) {
    kit_member m;
    m.path = rel;
    std::ifstream in(path, std::ios::binary);
    m.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    members.push_back(std::move(m));
  }
  count = members.size();
  return kit_build_archive(archive.string(), members, why, jobs);
}

}  // namespace

int kit_build(const std::vector<std::string>& args) {
  KitArgs a;
  if (int rc = kit_parse_command(kit_build_cmd, args, a); rc >= 0) return rc;
  const std::string* out = kit_value(a, "-o");
  if (a.pos.size() != 1 || !out) return kit_usage(kit_build_cmd, "build needs one PROJECT and -o MEDIUM");
  int jobs = 1;
  if (int rc = kit_jobs(kit_build_cmd, a, &jobs); rc >= 0) return rc;
  Build b;
  b.project_name = a.pos[0];
  b.base = fs::absolute(fs::path(b.project_name)).parent_path();
  b.medium = *out;
  auto failed = [&](const char* what) {
    kit_lint_print(b.errors, stderr);
    std::fprintf(stderr, "setupkit: %s: %s\n", b.project_name.c_str(), what);
    return kKitExitFail;
  };
  if (!read_project(b, a.options)) return failed("not built");
  std::vector<ProductFile> files;
  if (!product_files(b, files)) return failed("not built");

  std::string why;
  std::error_code ec;
  const std::string* data = kit_value(a, "--data");
  if (data) {
    b.stage = *data;
    fs::create_directories(b.stage, ec);
    empty_folder(b.stage);
  } else {
    std::random_device rd;
    b.stage = fs::temp_directory_path() / ("setupkit-build-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(b.stage, ec);
  }
  struct Cleanup {
    fs::path dir;
    ~Cleanup() {
      std::error_code e;
      if (!dir.empty()) fs::remove_all(dir, e);
    }
  } cleanup{data ? fs::path() : b.stage};
  if (!empty_medium(b.medium, why)) return kit_fail(b.medium.string(), why);

  const bool made = stage_data(b, files) && fill_medium(b, files);
  if (!made) {
    empty_folder(b.medium);
    return failed("not built");
  }
  std::vector<KitFinding> findings;
  if (!kit_lint_run(b.stage.string(), b.medium.string(), findings, why)) {
    empty_folder(b.medium);
    return kit_fail(b.stage.string(), why);
  }
  const int errors = kit_lint_print(findings, stdout);
  std::fflush(stdout);
  if (errors) {
    empty_folder(b.medium);
    std::fprintf(stderr, "setupkit: %s: lint found %d error%s: no medium made\n", b.project_name.c_str(), errors,
                 errors == 1 ? "" : "s");
    return kKitExitFail;
  }
  size_t count = 0;
  const fs::path archive = b.medium / "INSTALL.DAT";
  if (!pack(b.stage, archive, jobs, count, why)) {
    empty_folder(b.medium);
    return kit_fail(archive.string(), why);
  }
  std::printf("%s: medium made: %zu product files, INSTALL.DAT of %zu members\n", b.medium.string().c_str(),
              files.size(), count);
  return kKitExitOk;
}
