// setupkit's project file reader.
#include "tools/kit_project.h"

#include <algorithm>
#include <cctype>

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

KitProject kit_project_parse(std::string_view text) {
  KitProject p;
  if (text.size() > KIT_PROJECT_MAX_SIZE) {
    p.errors.push_back({0, "larger than " + std::to_string(KIT_PROJECT_MAX_SIZE) + " bytes: not a project file"});
    return p;
  }
  std::string section;
  bool in_section = false;
  int number = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view raw = text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (raw.find('\0') != std::string_view::npos) {
      p.errors.push_back({number, "holds a NUL byte"});
      continue;
    }
    const std::string_view line = trim(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') {
        p.errors.push_back({number, "a section header ends with ']'"});
        continue;
      }
      const std::string_view name = trim(line.substr(1, line.size() - 2));
      if (name.empty()) {
        p.errors.push_back({number, "a section header names its section"});
        continue;
      }
      section.assign(name);
      in_section = true;
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      p.errors.push_back({number, "neither a [Section] header nor a KEY=VALUE line"});
      continue;
    }
    const std::string_view key = trim(line.substr(0, eq));
    if (key.empty()) {
      p.errors.push_back({number, "a KEY=VALUE line without its key"});
      continue;
    }
    if (!in_section) {
      p.errors.push_back({number, "a KEY=VALUE line before the first [Section] header"});
      continue;
    }
    p.lines.push_back({section, std::string(key), std::string(trim(line.substr(eq + 1))), number});
  }
  return p;
}

std::vector<const KitProjectLine*> kit_project_section(const KitProject& project, std::string_view section) {
  std::vector<const KitProjectLine*> out;
  for (const KitProjectLine& l : project.lines)
    if (same_name(l.section, section)) out.push_back(&l);
  return out;
}

bool kit_project_expand(std::string_view value, const std::map<std::string, std::string>& defines, std::string& out,
                        std::string& why) {
  out.clear();
  size_t at = 0;
  while (at < value.size()) {
    const size_t open = value.find("${", at);
    if (open == std::string_view::npos) break;
    const size_t close = value.find('}', open + 2);
    if (close == std::string_view::npos) {
      why = "\"${\" without its \"}\"";
      return false;
    }
    out.append(value.substr(at, open - at));
    const std::string name(value.substr(open + 2, close - open - 2));
    const auto it = defines.find(name);
    if (it == defines.end()) {
      why = "${" + name + "} is not defined (give -D " + name + "=VALUE)";
      return false;
    }
    out += it->second;
    at = close + 1;
  }
  out.append(value.substr(std::min(at, value.size())));
  return true;
}

std::vector<std::string> kit_project_items(std::string_view text) {
  std::vector<std::string> items;
  size_t at = 0;
  while (at <= text.size()) {
    size_t comma = text.find(',', at);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view item = trim(text.substr(at, comma - at));
    if (!item.empty()) items.emplace_back(item);
    at = comma + 1;
  }
  return items;
}
