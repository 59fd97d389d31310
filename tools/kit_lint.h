// setupkit lint: checks what setup will read from a medium before a user does. The folder that will
// be packed as install.dat (or an install.dat) is opened as setup opens its archive, and the
// script, file lists, pictures, palette and fonts are read with setup's own readers (base/config,
// base/pcx, base/datafile, base/format, the font loaders, the engine's list reader); each finding
// names the member and its line. kit_lint.cpp opens the data and orders the findings,
// kit_lint_script.cpp checks the script's sections, keys, texts, types and programs,
// kit_lint_assets.cpp the file lists, pictures, palette and fonts, and kit_lint_keys.cpp holds what
// setup reads: every section, key and text, with its kind.
#pragma once

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/kit_args.h"

struct KitFinding {
  std::string member;  // "INSTALL.INI", "TYPICAL.LST" (upper case, as in install.dat)
  int line;            // 1 = the first line; 0 the member as a whole
  bool error;          // else a warning
  std::string text;
};

// --- what setup reads (kit_lint_keys.cpp) ---

enum class KitKind {
  text,         // shown or used as it is
  number,       // a whole number
  font,         // a font number: 0-9 FONTn.FON, 100-110 FONT(n-100).AAF
  picture,      // a PCX member
  background,   // a 640 x 480 PCX member shown with its own palette
  types,        // a comma list of install types, each with a section of its own
  list,         // a file-list member (%os% expanded)
  size_format,  // a printf format given the type's size in MB (a double)
  folder,       // a folder below the chosen drive
  installed,    // a file the install copies (relative to the destination)
  program,      // a program line of section "End" (macros expanded)
};

struct KitKey {
  const char* section;  // "*" for the section of an install type
  const char* key;
  KitKind kind;
  bool required;  // its default is a stand-in no product should ship with
};

struct KitString {
  const char* key;
  const char* args;  // the printf arguments setup passes (base/format.h kinds), or null: not a format
  bool required;     // no built-in text: setup shows "*STRING ERROR!*" without it
};

extern const std::vector<KitKey> kit_keys;         // every key of every section but "Strings"
extern const std::vector<KitString> kit_strings;   // every text of section "Strings"
extern const std::vector<const char*> kit_macros;  // the words of section "End" that setup replaces

// --- one lint run ---

struct KitScriptLine {
  int line;             // the physical line
  std::string section;  // the section setup files it under
  std::string key;      // "" for a header, a comment or a line without '='
  std::string value;
  bool header;
  bool piece;  // the rest of a line longer than setup's reader takes at a time
};

struct KitType {
  std::string name;  // as InstallTypes gives it
  std::string list;  // its list member ("" when it has none, or none that is there)
  int list_line;     // the script line of its List (0 when not given)
};

struct KitLint {
  std::string medium;                                     // the medium folder, "" when not given
  std::set<std::string> members;                          // every member, upper case
  std::vector<KitScriptLine> script;                      // the script's lines as setup reads them
  std::vector<KitType> types;                             // the install types, in order
  std::map<std::string, std::set<std::string>> installs;  // type -> files its list copies (upper case)
  std::vector<KitFinding> findings;
};

// Adds a finding.
void kit_lint_error(KitLint& l, const std::string& member, int line, const std::string& text);
void kit_lint_warning(KitLint& l, const std::string& member, int line, const std::string& text);
// The line of the script that gives `key` in `section` (the last, as setup takes it), or 0.
int kit_lint_line(const KitLint& l, const std::string& section, const std::string& key);
// The value setup has for `key` in `section` (with its defaults), or "" when there is none.
std::string kit_lint_value(const std::string& section, const std::string& key);
// 1 when the archive holds member `name` (case ignored).
bool kit_lint_has(const KitLint& l, const std::string& name);
// The path of `rel` ('\' separators, case ignored) on the medium, or "" when it is not there.
std::string kit_lint_on_medium(const KitLint& l, const std::string& rel);
// `s` in upper case.
std::string kit_upper(std::string s);

// Reads the script and checks its sections, keys, texts, install types and programs.
void kit_lint_script(KitLint& l);
// Checks each type's file list (and, with the medium, its files and size).
void kit_lint_lists(KitLint& l);
// Checks what the script names outside the data: the files its shortcuts and registry keys point
// at (installed by a type's list) and the programs of section "End" (on the medium).
void kit_lint_targets(KitLint& l);
// Checks the pictures, the palette, the fonts (and the install panel's height) and the uninstaller.
void kit_lint_assets(KitLint& l);

// Lints `path` (a folder to be packed as install.dat, or an install.dat) against the medium
// folder `medium` ("" for none); false with `why` when the data cannot be opened at all.
bool kit_lint_run(const std::string& path, const std::string& medium, std::vector<KitFinding>& findings,
                  std::string& why);
// Prints "NAME:LINE: error: TEXT" (or warning) for every finding to `out`; the number of errors.
int kit_lint_print(const std::vector<KitFinding>& findings, FILE* out);

extern const KitCommand kit_lint_cmd, kit_build_cmd;
// setupkit lint PATH [--medium DIR]
int kit_lint(const std::vector<std::string>& args);
// setupkit build PROJECT -o MEDIUM [-D NAME=VALUE]... [--data DIR]
int kit_build(const std::vector<std::string>& args);
