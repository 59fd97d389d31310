// setupkit lint: opens the data as setup opens its archive, runs the checks, orders and prints the
// findings.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "base/pathutil.h"
#include "base/settings.h"
#include "db/db.h"
#include "kit/build.h"
#include "tools/kit_lint.h"

namespace fs = std::filesystem;

namespace {}  // namespace

const KitCommand kit_lint_cmd = {
    "lint",
    "lint PATH [--medium DIR]",
    "Checks what setup will read before a user does: PATH is the folder that will be packed as\n"
    "install.dat (script, file lists, pictures, palette, fonts, uninstaller) or an install.dat;\n"
    "DIR is the medium folder with the product's files. Prints one line per finding,\n"
    "NAME:LINE: error: TEXT or NAME:LINE: warning: TEXT (NAME the member, LINE 0 for the member\n"
    "as a whole), and exits with status 1 when there is an error. docs/script.md says what\n"
    "setup reads.\n",
    {{"--medium", nullptr, true}}};

namespace {

// The regular files below `root` as members (names relative to it, '\' separators), sorted.
bool collect(const fs::path& root, std::vector<kit_member>& members, std::string& why) {
  std::vector<std::pair<std::string, fs::path>> files;
  std::error_code ec;
  fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code fec;
    if (!it->is_regular_file(fec)) continue;
    std::string rel = fs::relative(it->path(), root, fec).generic_string();
    std::replace(rel.begin(), rel.end(), '/', '\\');
    files.emplace_back(rel, it->path());
  }
  if (ec) {
    why = ec.message();
    return false;
  }
  std::sort(files.begin(), files.end());
  for (const auto& [rel, path] : files) {
    kit_member m;
    m.path = rel;
    m.method = kit_pack_method::stored;
    FILE* f = std::fopen(path.string().c_str(), "rb");
    if (!f) {
      why = path.string() + ": " + std::strerror(errno);
      return false;
    }
    uint8_t buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) m.data.insert(m.data.end(), buf, buf + n);
    std::fclose(f);
    members.push_back(std::move(m));
  }
  return true;
}

// A name for a temporary archive that no other run uses.
fs::path temporary_archive() {
  std::random_device rd;
  char name[64];
  std::snprintf(name, sizeof name, "setupkit-lint-%08x%08x.dat", rd(), rd());
  return fs::temp_directory_path() / name;
}

}  // namespace

std::string kit_upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

void kit_lint_error(KitLint& l, const std::string& member, int line, const std::string& text) {
  l.findings.push_back({kit_upper(member), line, true, text});
}

void kit_lint_warning(KitLint& l, const std::string& member, int line, const std::string& text) {
  l.findings.push_back({kit_upper(member), line, false, text});
}

int kit_lint_line(const KitLint& l, const std::string& section, const std::string& key) {
  int line = 0;
  for (const KitScriptLine& s : l.script)
    if (!s.header && kit_upper(s.section) == kit_upper(section) && kit_upper(s.key) == kit_upper(key)) line = s.line;
  return line;
}

std::string kit_lint_value(const std::string& section, const std::string& key) {
  return settingOr(section.c_str(), key.c_str());
}

bool kit_lint_has(const KitLint& l, const std::string& name) { return l.members.count(kit_upper(name)) > 0; }

std::string kit_lint_on_medium(const KitLint& l, const std::string& rel) {
  if (l.medium.empty() || rel.empty()) return "";
  fs::path at = l.medium;
  size_t from = 0;
  while (from <= rel.size()) {
    size_t cut = rel.find('\\', from);
    if (cut == std::string::npos) cut = rel.size();
    const std::string part = rel.substr(from, cut - from);
    from = cut + 1;
    if (part.empty() || part == ".") continue;
    std::error_code ec;
    if (fs::exists(at / part, ec)) {
      at /= part;
      continue;
    }
    // Windows names match without regard to case.
    bool found = false;
    for (fs::directory_iterator it(at, ec), end; !ec && it != end; it.increment(ec)) {
      if (kit_upper(it->path().filename().string()) == kit_upper(part)) {
        at = it->path();
        found = true;
        break;
      }
    }
    if (!found) return "";
  }
  std::error_code ec;
  return fs::is_regular_file(at, ec) ? at.string() : "";
}

bool kit_lint_run(const std::string& path, const std::string& medium, std::vector<KitFinding>& findings,
                  std::string& why) {
  findings.clear();
  std::error_code ec;
  if (!medium.empty() && !fs::is_directory(medium, ec)) {
    why = "the medium " + medium + " is not a folder";
    return false;
  }
  fs::path temporary;
  std::string archive = path;
  if (fs::is_directory(path, ec)) {
    std::vector<kit_member> members;
    if (!collect(path, members, why)) return false;
    temporary = temporary_archive();
    archive = temporary.string();
    if (!kit_build_archive(archive, members, why)) return false;
  } else if (!fs::is_regular_file(path, ec)) {
    why = "no such file or folder";
    return false;
  }
  const int handle = db_init(archive.c_str(), nullptr, nullptr);
  if (handle == -1) {
    if (!temporary.empty()) fs::remove(temporary, ec);
    why = "not a readable archive (damaged or not an archive)";
    return false;
  }
  db_select(handle);
  KitLint l;
  l.medium = medium;
  db_walk(
      [](const char* dir, const char* name, const dir_entry*, void* ctx) {
        std::string full = dir && *dir ? std::string(dir) + "\\" + name : std::string(name);
        static_cast<KitLint*>(ctx)->members.insert(kit_upper(full));
      },
      &l);
  kit_lint_script(l);
  kit_lint_lists(l);
  kit_lint_targets(l);
  kit_lint_assets(l);
  settingsClose();
  db_close(handle);
  if (!temporary.empty()) fs::remove(temporary, ec);
  // The script first, then every other member by name; each by line.
  std::stable_sort(l.findings.begin(), l.findings.end(), [](const KitFinding& a, const KitFinding& b) {
    const bool as = a.member == "INSTALL.INI", bs = b.member == "INSTALL.INI";
    if (as != bs) return as;
    if (a.member != b.member) return a.member < b.member;
    return a.line < b.line;
  });
  findings = std::move(l.findings);
  return true;
}

int kit_lint_print(const std::vector<KitFinding>& findings, FILE* out) {
  int errors = 0;
  for (const KitFinding& f : findings) {
    std::fprintf(out, "%s:%d: %s: %s\n", f.member.c_str(), f.line, f.error ? "error" : "warning", f.text.c_str());
    errors += f.error;
  }
  return errors;
}

int kit_lint(const std::vector<std::string>& args) {
  KitArgs a;
  if (int rc = kit_parse_command(kit_lint_cmd, args, a); rc >= 0) return rc;
  if (a.pos.size() != 1) return kit_usage(kit_lint_cmd, "lint needs one PATH");
  const std::string* medium = kit_value(a, "--medium");
  std::vector<KitFinding> findings;
  std::string why;
  if (!kit_lint_run(a.pos[0], medium ? *medium : "", findings, why)) return kit_fail(a.pos[0], why);
  const int errors = kit_lint_print(findings, stdout);
  std::fflush(stdout);
  if (errors) {
    std::fprintf(stderr, "setupkit: %s: %d error%s, %zu warning%s\n", a.pos[0].c_str(), errors, errors == 1 ? "" : "s",
                 findings.size() - size_t(errors), findings.size() - size_t(errors) == 1 ? "" : "s");
    return kKitExitFail;
  }
  return kKitExitOk;
}
