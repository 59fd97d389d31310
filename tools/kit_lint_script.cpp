// setupkit lint: the script. Its lines are taken as setup's reader takes them (255 characters at a
// time, ';' ending a line, a '[' ... ']' anywhere making a header), its values from the store setup
// builds (base/settings: the defaults, then install.ini from the archive).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/config.h"
#include "base/format.h"
#include "base/pathutil.h"
#include "base/settings.h"
#include "db/db.h"
#include "engine/instutil.h"
#include "tools/kit_lint.h"

namespace {

constexpr const char* kScript = "INSTALL.INI";
const char* const kSections[] = {"Startup",   "Install", "Installing", "Registry Settings",
                                 "Shortcuts", "AllDone", "End",        "Strings"};

bool same(const std::string& a, const std::string& b) { return kit_upper(a) == kit_upper(b); }

size_t distance(const std::string& a, const std::string& b) {
  const std::string x = kit_upper(a), y = kit_upper(b);
  std::vector<size_t> row(y.size() + 1);
  for (size_t j = 0; j <= y.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= x.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= y.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[y.size()];
}

// "; did you mean NAME?" for the nearest of `known` when it is near enough, else "".
std::string nearest(const std::string& name, const std::vector<std::string>& known, const char* open = "",
                    const char* close = "") {
  const std::string* best = nullptr;
  size_t best_d = 0;
  for (const std::string& k : known) {
    const size_t d = distance(name, k);
    if (!best || d < best_d) {
      best = &k;
      best_d = d;
    }
  }
  if (!best || best_d > std::max<size_t>(2, name.size() / 3)) return "";
  return std::string("; did you mean ") + open + *best + close + "?";
}

std::string args_text(const char* args) {
  std::string out;
  for (const char* k = args; *k; ++k) {
    if (!out.empty()) out += ", ";
    out += *k == 'i' ? "a whole number" : *k == 's' ? "a text" : "a real number";
  }
  return out.empty() ? "none" : out;
}

bool is_type_section(const KitLint& l, const std::string& section) {
  for (const KitType& t : l.types)
    if (same(t.name, section)) return true;
  return false;
}

// The script's text as setup's text stream gives it (CR LF folded), or false without one.
bool read_script(std::string& text) {
  db_file* f = db_fopen("install.ini", "rt");
  if (!f) return false;
  for (int c; (c = db_fgetc(f)) != -1;) text += char(c);
  db_fclose(f);
  return true;
}

// One piece of a line as config.h's parseLine takes it; the section it leaves current in `section`.
KitScriptLine take(int number, std::string piece, std::string& section) {
  KitScriptLine s{number, section, "", "", false, false};
  if (size_t semi = piece.find(';'); semi != std::string::npos) piece.resize(semi);
  if (size_t open = piece.find('['); open != std::string::npos) {
    if (size_t close = piece.find(']', open + 1); close != std::string::npos) {
      std::string name = piece.substr(open + 1, close - open - 1);
      stripWhiteSpace(name.data());
      name.resize(std::strlen(name.c_str()));
      if (name.size() > size_t(CFG_MAX_TEXT)) name.resize(CFG_MAX_TEXT);
      s.header = true;
      s.section = section = name;
      // Text before the '[' means a key line that setup takes for a header.
      std::string before = piece.substr(0, open);
      stripWhiteSpace(before.data());
      s.value = before.c_str();
      return s;
    }
  }
  char key[CFG_MAX_TEXT + 1], value[CFG_MAX_TEXT + 1];
  if (splitLine(piece.c_str(), key, value)) {
    s.key = key;
    s.value = value;
  } else {
    stripWhiteSpace(piece.data());
    s.value = piece.c_str();  // "" for a blank line or a comment
  }
  return s;
}

// Reads the script's lines into l.script, with the findings of the lines themselves.
void read_lines(KitLint& l, const std::string& text) {
  std::string section = "Unknown";  // where setup files key lines before the first header
  int number = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (line.size() > size_t(CFG_MAX_TEXT))
      kit_lint_error(l, kScript, number,
                     "line of " + std::to_string(line.size()) + " characters: setup reads " +
                         std::to_string(CFG_MAX_TEXT) + " at a time, and the rest becomes a line of its own");
    // setup's reader takes at most CFG_MAX_TEXT characters of a line at a time.
    for (size_t from = 0; from == 0 || from < line.size(); from += CFG_MAX_TEXT) {
      l.script.push_back(take(number, line.substr(from, CFG_MAX_TEXT), section));
      l.script.back().piece = from > 0;
    }
  }
}

std::vector<std::string> keys_of(const std::string& section, bool type) {
  std::vector<std::string> out;
  if (same(section, "Strings")) {
    for (const KitString& s : kit_strings) out.push_back(s.key);
    return out;
  }
  for (const KitKey& k : kit_keys)
    if (type ? std::strcmp(k.section, "*") == 0 : same(k.section, section)) out.push_back(k.key);
  return out;
}

// Unknown sections and keys, keys given twice, lines setup ignores.
void check_lines(KitLint& l) {
  std::vector<std::string> sections(std::begin(kSections), std::end(kSections));
  for (const KitType& t : l.types) sections.push_back(t.name);
  std::vector<std::pair<std::string, int>> seen;  // section \ key (upper case), line
  for (const KitScriptLine& s : l.script) {
    if (s.header) {
      if (!s.value.empty())
        kit_lint_error(l, kScript, s.line,
                       "setup reads this line as the header of section [" + s.section +
                           "]: '[' and ']' may not appear in a key line");
      else if (std::none_of(sections.begin(), sections.end(), [&](const std::string& k) { return same(k, s.section); }))
        kit_lint_error(l, kScript, s.line,
                       "unknown section [" + s.section + "]" + nearest(s.section, sections, "[", "]") +
                           (nearest(s.section, sections).empty() ? ": setup reads nothing from it" : ""));
      continue;
    }
    if (s.key.empty()) {
      if (!s.value.empty() && !s.piece)
        kit_lint_warning(l, kScript, s.line, "neither a [Section] header nor KEY=VALUE: setup ignores it");
      continue;
    }
    if (same(s.section, "Unknown")) {
      kit_lint_error(l, kScript, s.line, "KEY=VALUE line before the first section header: setup ignores it");
      continue;
    }
    const bool type = is_type_section(l, s.section);
    if (!type &&
        std::none_of(std::begin(kSections), std::end(kSections), [&](const char* k) { return same(k, s.section); }))
      continue;  // its header was reported
    const std::vector<std::string> known = keys_of(s.section, type);
    if (std::none_of(known.begin(), known.end(), [&](const std::string& k) { return same(k, s.key); })) {
      kit_lint_error(l, kScript, s.line,
                     "unknown key " + s.key + " in [" + s.section + "]" + nearest(s.key, known) +
                         (nearest(s.key, known).empty() ? ": setup never reads it" : ""));
      continue;
    }
    const std::string id = kit_upper(s.section) + "\\" + kit_upper(s.key);
    auto it = std::find_if(seen.begin(), seen.end(), [&](const auto& p) { return p.first == id; });
    if (it != seen.end())
      kit_lint_warning(
          l, kScript, s.line,
          s.key + " is given again (first on line " + std::to_string(it->second) + "): setup takes this one");
    else
      seen.emplace_back(id, s.line);
  }
}

int header_line(const KitLint& l, const std::string& section) {
  for (const KitScriptLine& s : l.script)
    if (s.header && s.value.empty() && same(s.section, section)) return s.line;
  return 0;
}

// Required keys and sections, and the texts of section "Strings".
void check_required(KitLint& l) {
  for (const char* section : kSections) {
    if (same(section, "Strings")) continue;
    std::string missing;
    for (const KitKey& k : kit_keys)
      if (k.required && same(k.section, section) && !kit_lint_line(l, section, k.key))
        missing += std::string(missing.empty() ? "" : ", ") + k.key;
    if (missing.empty()) continue;
    const int header = header_line(l, section);
    if (!header) {
      kit_lint_error(l, kScript, 0, std::string("no section [") + section + "]: it must give " + missing);
      continue;
    }
    for (const KitKey& k : kit_keys)
      if (k.required && same(k.section, section) && !kit_lint_line(l, section, k.key)) {
        const std::string stand_in = kit_lint_value(section, k.key);
        kit_lint_error(l, kScript, header,
                       std::string("[") + section + "] has no " + k.key +
                           (stand_in.empty() ? "" : ": setup uses the stand-in \"" + stand_in + "\""));
      }
  }
  const int strings = header_line(l, "Strings");
  if (!strings) {
    kit_lint_error(l, kScript, 0,
                   "no section [Strings]: every text setup has no built-in one for shows \"*STRING ERROR!*\"");
    return;
  }
  for (const KitString& s : kit_strings) {
    const char* text = settingOr("Strings", s.key);
    if (!text[0]) {
      if (s.required)
        kit_lint_error(l, kScript, strings,
                       std::string("[Strings] has no ") + s.key + ": setup shows \"*STRING ERROR!*\" in its place");
      continue;
    }
    if (s.args && !formatFits(getString(s.key), s.args))
      kit_lint_error(l, kScript, kit_lint_line(l, "Strings", s.key),
                     std::string(s.key) + " does not fit its arguments (" + args_text(s.args) +
                         "): setup shows its built-in text instead");
  }
}

// The install types: their sections, lists and names.
void read_types(KitLint& l) {
  int count = 0;
  char** list = cfgGetCommaList(&settings, "Install", "InstallTypes", &count);
  const int line = kit_lint_line(l, "Install", "InstallTypes");
  if (!list) {
    if (line) kit_lint_error(l, kScript, line, "InstallTypes names no type: setup has nothing to install");
    return;
  }
  if (count >= MAX_INST_TYPES)
    kit_lint_error(l, kScript, line,
                   std::to_string(count) + " install types: setup takes at most " + std::to_string(MAX_INST_TYPES - 1) +
                       " and installs nothing otherwise");
  for (int i = 0; i < count; ++i) {
    const std::string name = list[i];
    if (name.size() >= sizeof(InstType{}.name))
      kit_lint_error(l, kScript, line,
                     "install type " + name + " is longer than " + std::to_string(sizeof(InstType{}.name) - 1) +
                         " characters: setup cuts its name and then finds no section of that name");
    if (std::any_of(l.types.begin(), l.types.end(), [&](const KitType& t) { return same(t.name, name); })) {
      kit_lint_warning(l, kScript, line, "install type " + name + " is named twice");
      continue;
    }
    KitType t{name, "", 0};
    if (!header_line(l, name)) {
      kit_lint_error(l, kScript, line,
                     "install type " + name + " has no section [" + name +
                         "]: setup offers it as a blank entry that installs nothing");
    } else if (!(t.list_line = kit_lint_line(l, name, "List"))) {
      kit_lint_error(l, kScript, header_line(l, name),
                     "[" + name + "] has no List: setup offers the type with no files");
    } else {
      char member[INST_PATH_SIZE] = "";
      expandMacro(member, sizeof member, settingOr(name.c_str(), "List"));
      if (!member[0])
        kit_lint_error(l, kScript, t.list_line, "List names no member");
      else if (!kit_lint_has(l, member))
        kit_lint_error(
            l, kScript, t.list_line,
            std::string("List names ") + member + ", which is not in the data: setup offers the type with no files");
      else
        t.list = kit_upper(member);
    }
    const char* full = settingOr(name.c_str(), "FullName");
    if (full[0] && !formatFits(full, "f"))
      kit_lint_error(l, kScript, kit_lint_line(l, name, "FullName"),
                     "FullName does not fit its argument (the size in MB, a real number): the type list shows \"" +
                         name + "\" instead");
    l.types.push_back(t);
  }
  cfgFreeCommaList(list, count);
}

// The known macros a value holds ("%destdir%" ...), and every other "%word%".
void macros_in(const std::string& value, std::vector<std::string>& known, std::vector<std::string>& unknown) {
  for (size_t at = value.find('%'); at != std::string::npos; at = value.find('%', at + 1)) {
    size_t end = at + 1;
    while (end < value.size() && (std::isalnum(static_cast<unsigned char>(value[end])) || value[end] == '_')) ++end;
    if (end == at + 1 || end >= value.size() || value[end] != '%') continue;
    const std::string word = value.substr(at, end - at + 1);
    const bool is_known =
        std::any_of(kit_macros.begin(), kit_macros.end(), [&](const char* m) { return same(m, word); });
    (is_known ? known : unknown).push_back(word);
    at = end;
  }
}

std::string macro_list() {
  std::string out;
  for (const char* m : kit_macros) out += std::string(out.empty() ? "" : " ") + m;
  return out;
}

// Macros where setup does not replace them.
void check_macros(KitLint& l) {
  for (const KitScriptLine& s : l.script) {
    if (s.header || s.key.empty() || same(s.section, "Strings") || same(s.section, "End")) continue;
    std::vector<std::string> known, unknown;
    macros_in(s.value, known, unknown);
    const bool list = is_type_section(l, s.section) && same(s.key, "List");
    for (const std::string& m : known)
      if (!(list && same(m, "%os%")))
        kit_lint_warning(
            l, kScript, s.line,
            m + " is not replaced in " + s.key + ": setup replaces macros only in [End] (and %os% in List)");
  }
}

}  // namespace

void kit_lint_script(KitLint& l) {
  // The store setup builds; its reader's section is the one a fresh setup starts with.
  Config scratch;
  cfgInit(&scratch, 1);
  char fresh[] = "[Unknown]";
  parseLine(&scratch, fresh);
  cfgExit(&scratch);
  initSettings();
  std::string text;
  if (!read_script(text)) {
    kit_lint_error(l, kScript, 0, "missing: setup finds no install types and ends");
    return;
  }
  read_lines(l, text);
  read_types(l);
  check_lines(l);
  check_required(l);
  check_macros(l);
  const char* folder = settingOr("Install", "DefaultDirectory");
  char path[INST_PATH_SIZE];
  if (folder[0] && (std::snprintf(path, sizeof path, "C:\\%s", folder + (folder[0] == '\\')) >= int(sizeof path) ||
                    !normalizePath(path) || !hasValidNames(path)))
    kit_lint_error(l, kScript, kit_lint_line(l, "Install", "DefaultDirectory"),
                   "DefaultDirectory is not a folder name Windows accepts: setup refuses it at Next");
}

void kit_lint_targets(KitLint& l) {
  // The files the shortcuts and App Paths point at.
  auto installed_by = [&](const std::string& rel) {
    std::vector<std::string> by;
    for (const KitType& t : l.types)
      if (l.installs[t.name].count(kit_upper(rel))) by.push_back(t.name);
    return by;
  };
  const char* folder = settingOr("Shortcuts", "Folder");
  if (folder[0] && !isPlainRelativePath(folder))
    kit_lint_error(l, kScript, kit_lint_line(l, "Shortcuts", "Folder"),
                   "Folder is not a plain folder name below the Programs menu: setup makes no shortcut");
  const std::pair<const char*, const char*> shortcuts[] = {
      {"ProductTitle", "ProductExe"}, {"Readme", "ReadmeFile"}, {"Ereg", "EregExe"}};
  for (const auto& [name_key, target_key] : shortcuts) {
    const std::string name = settingOr("Shortcuts", name_key), target = settingOr("Shortcuts", target_key);
    if (name.empty() || target.empty()) continue;
    const int line = kit_lint_line(l, "Shortcuts", target_key);
    if (!isValidName(name.c_str(), name.size()))
      kit_lint_error(l, kScript, kit_lint_line(l, "Shortcuts", name_key),
                     std::string(name_key) + " is not a name Windows accepts for a shortcut: setup does not make it");
    else if (!isPlainRelativePath(target.c_str()))
      kit_lint_error(
          l, kScript, line,
          std::string(target_key) + " is not a path inside the installation: setup does not make the shortcut");
    else if (!l.types.empty() && installed_by(target).empty())
      kit_lint_warning(l, kScript, line,
                       std::string(target_key) + " " + target + (line ? "" : " (the default)") +
                           " is installed by no type: setup makes no shortcut " + name);
  }
  const std::string exe = settingOr("Registry Settings", "Executable");
  if (!exe.empty())
    for (const KitType& t : l.types)
      if (!t.list.empty() && !l.installs[t.name].count(kit_upper(exe)))
        kit_lint_warning(l, kScript, kit_lint_line(l, "Registry Settings", "Executable"),
                         "type " + t.name + " does not install " + exe + ", which App Paths points at");
  char key[512];
  if (std::snprintf(key, sizeof key, "SOFTWARE\\%s\\%s\\%s", settingOr("Registry Settings", "Company"),
                    settingOr("Registry Settings", "Title"), settingOr("Registry Settings", "Version")) >= 256)
    kit_lint_error(l, kScript, kit_lint_line(l, "Registry Settings", "Title"),
                   "the product's registry key is longer than 255 characters: setup makes no key");

  // The programs of section "End": the program as written (only %os% replaced), each argument
  // replaced when it is a macro as a whole.
  for (const char* key_name : {"ConfigExe", "Run", "Run2"}) {
    const std::string value = settingOr("End", key_name);
    const int line = kit_lint_line(l, "End", key_name);
    std::vector<std::string> words;
    for (size_t at = 0; at < value.size();) {
      at = value.find_first_not_of(" \t", at);
      if (at == std::string::npos) break;
      size_t end = value.find_first_of(" \t", at);
      if (end == std::string::npos) end = value.size();
      words.push_back(value.substr(at, end - at));
      at = end;
    }
    for (size_t i = 0; i < words.size(); ++i) {
      std::vector<std::string> known, unknown;
      macros_in(words[i], known, unknown);
      for (const std::string& m : unknown)
        kit_lint_error(l, kScript, line,
                       "unknown macro " + m + ": setup passes it on as written (it replaces " + macro_list() + ")");
      const bool whole = known.size() == 1 && same(known[0], words[i]);
      for (const std::string& m : known)
        if ((i == 0 || !whole) && !same(m, "%os%"))
          kit_lint_error(l, kScript, line,
                         m + (i == 0 ? " in the program's name" : " inside " + words[i]) +
                             ": setup replaces a macro only as an argument of its own, and passes this on as written");
    }
    if (words.empty() || l.medium.empty()) continue;
    char program[INST_PATH_SIZE];
    expandMacro(program, sizeof program, words[0].c_str());
    const bool absolute = program[0] == '\\' || (program[0] && program[1] == ':');
    if (program[0] && !absolute && kit_lint_on_medium(l, program).empty())
      kit_lint_error(
          l, kScript, line,
          std::string(key_name) + " names " + program + ", which is not on the medium: setup starts nothing");
  }
}
