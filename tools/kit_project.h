// setupkit's project file: what `setupkit build` makes a medium from. Text of "[Section]" headers
// and "KEY=VALUE" lines; blank lines and lines starting with ';' or '#' are comments; a section may
// appear more than once (its lines continue). Keys and values are trimmed; a value may name
// "${NAME}", a definition given on the command line or in section [Define]. Sections and what they
// mean are described in docs/script.md ("The project file").
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t KIT_PROJECT_MAX_SIZE = 1 << 20;  // a project file holds at most 1 MiB

struct KitProjectLine {
  std::string section;  // the section it is in, as written
  std::string key;
  std::string value;  // as written (${NAME} not expanded)
  int line;           // 1 = the first line
};

struct KitProjectError {
  int line;  // 0: the file as a whole
  std::string text;
};

struct KitProject {
  std::vector<KitProjectLine> lines;  // every key line, in the file's order
  std::vector<KitProjectError> errors;
};

// Reads project text: every key line in order, and an error for each line that is neither a
// comment, a header nor a key line (a NUL byte, a key line before any header, an empty key or
// section name); the whole text is refused (one error, no lines) when larger than
// KIT_PROJECT_MAX_SIZE.
KitProject kit_project_parse(std::string_view text);
// The key lines of `section` (case ignored), in order.
std::vector<const KitProjectLine*> kit_project_section(const KitProject& project, std::string_view section);
// `value` with every "${NAME}" replaced by defines[NAME] (names match exactly); false, with `why`
// saying which, for a name not defined or a "${" without its "}".
bool kit_project_expand(std::string_view value, const std::map<std::string, std::string>& defines, std::string& out,
                        std::string& why);
// `text` split at commas into trimmed items (empty items dropped).
std::vector<std::string> kit_project_items(std::string_view text);
