// The emulated registry's tree and its REGEDIT4 file form.
#include "platform/host/regfile.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>

namespace {

constexpr size_t MAX_COMPONENT = 255;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool hasControl(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::string_view trimLeft(std::string_view s) {
  size_t i = s.find_first_not_of(" \t");
  return i == std::string_view::npos ? std::string_view() : s.substr(i);
}

std::string_view trimRight(std::string_view s) {
  size_t i = s.find_last_not_of(" \t");
  return i == std::string_view::npos ? std::string_view() : s.substr(0, i + 1);
}

// Reads a quoted string starting at s[0] == '"': '\' escapes the next character. Sets *end to
// the index after the closing quote; false when there is none.
bool readQuoted(std::string_view s, size_t* end, std::string* out) {
  out->clear();
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] == '\\') {
      if (++i >= s.size()) return false;
      out->push_back(s[i]);
    } else if (s[i] == '"') {
      *end = i + 1;
      return true;
    } else {
      out->push_back(s[i]);
    }
  }
  return false;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Decodes "xx,xx,..." (blanks allowed around the commas) into bytes; false on anything else.
bool readHex(std::string_view s, std::string* out) {
  out->clear();
  s = trimRight(trimLeft(s));
  if (s.empty()) return true;
  size_t i = 0;
  for (;;) {
    if (i + 2 > s.size()) return false;
    int hi = hexDigit(s[i]), lo = hexDigit(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<char>(hi * 16 + lo));
    i += 2;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i == s.size()) return true;
    if (s[i] != ',') return false;
    ++i;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  }
}

void appendQuoted(std::string* out, std::string_view s) {
  out->push_back('"');
  for (char c : s) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

void appendHexString(std::string* out, std::string_view s, size_t column) {
  static const char digits[] = "0123456789abcdef";
  *out += "hex(1):";
  column += 7;
  for (size_t i = 0; i <= s.size(); ++i) {  // the terminating zero belongs to the data
    unsigned char c = i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
    if (i) {
      out->push_back(',');
      ++column;
      if (column > 74) {  // regedit's own wrapping: a backslash, then two blanks
        *out += "\\\r\n  ";
        column = 2;
      }
    }
    out->push_back(digits[c >> 4]);
    out->push_back(digits[c & 15]);
    column += 2;
  }
}

std::string canonicalRoot(std::string_view root) {
  if (equalNoCase(root, "HKEY_LOCAL_MACHINE")) return "HKEY_LOCAL_MACHINE";
  if (equalNoCase(root, "HKEY_CURRENT_USER")) return "HKEY_CURRENT_USER";
  return {};
}

}  // namespace

bool regfile_key_less(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  for (;;) {
    size_t ea = a.find('\\', i), eb = b.find('\\', j);
    if (ea == std::string_view::npos) ea = a.size();
    if (eb == std::string_view::npos) eb = b.size();
    std::string_view ca = a.substr(i, ea - i), cb = b.substr(j, eb - j);
    size_t n = std::min(ca.size(), cb.size());
    for (size_t k = 0; k < n; ++k) {
      unsigned char x = static_cast<unsigned char>(lower(ca[k])), y = static_cast<unsigned char>(lower(cb[k]));
      if (x != y) return x < y;
    }
    if (ca.size() != cb.size()) return ca.size() < cb.size();
    bool endA = ea >= a.size(), endB = eb >= b.size();
    if (endA || endB) return endA && !endB;
    i = ea + 1;
    j = eb + 1;
  }
}

std::string regfile_key_path(std::string_view root, std::string_view path) {
  std::string out = canonicalRoot(root);
  if (out.empty()) return {};
  size_t count = 0, i = 0;
  while (i <= path.size()) {
    size_t e = path.find('\\', i);
    if (e == std::string_view::npos) e = path.size();
    std::string_view part = path.substr(i, e - i);
    if (!part.empty()) {
      if (part.size() > MAX_COMPONENT || hasControl(part)) return {};
      out += '\\';
      out += part;
      ++count;
    }
    i = e + 1;
  }
  return count ? out : std::string();
}

bool regfile_key_prefix(std::string_view path, std::string_view prefix) {
  if (path.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (lower(path[i]) != lower(prefix[i])) return false;
  return true;
}

int regfile_remove(RegTree* tree, std::string_view path) {
  RegKey* key = regfile_find(tree, path);
  if (!key) return ENOENT;
  // Children sort right after their parent.
  const size_t at = size_t(key - tree->keys.data());
  if (at + 1 < tree->keys.size()) {
    const std::string& next = tree->keys[at + 1].path;
    if (next.size() > path.size() && next[path.size()] == '\\' && regfile_key_prefix(next, path)) return ENOTEMPTY;
  }
  tree->keys.erase(tree->keys.begin() + ptrdiff_t(at));
  return 0;
}

RegKey* regfile_find(RegTree* tree, std::string_view path) {
  auto it = std::lower_bound(tree->keys.begin(), tree->keys.end(), path,
                             [](const RegKey& k, std::string_view p) { return regfile_key_less(k.path, p); });
  if (it == tree->keys.end() || regfile_key_less(path, it->path)) return nullptr;
  return &*it;
}

RegKey* regfile_add(RegTree* tree, std::string_view path, int* created_new) {
  if (created_new) *created_new = 0;
  size_t first = path.find('\\');
  if (first == std::string_view::npos || first + 1 >= path.size()) return nullptr;
  // Every level from the root's first child down to the key itself, parents first.
  RegKey* key = nullptr;
  for (size_t e = path.find('\\', first + 1);; e = path.find('\\', e + 1)) {
    std::string_view level = path.substr(0, e == std::string_view::npos ? path.size() : e);
    auto it = std::lower_bound(tree->keys.begin(), tree->keys.end(), level,
                               [](const RegKey& k, std::string_view p) { return regfile_key_less(k.path, p); });
    bool found = it != tree->keys.end() && !regfile_key_less(level, it->path);
    if (!found) it = tree->keys.insert(it, RegKey{std::string(level), {}});
    key = &*it;
    if (e == std::string_view::npos) {
      if (created_new) *created_new = found ? 0 : 1;
      return key;
    }
  }
}

bool regfile_set(RegKey* key, std::string_view name, std::string_view data) {
  if (hasControl(name)) return false;
  std::string text(data.substr(0, std::min(data.size(), data.find('\0'))));
  for (RegValue& v : key->values)
    if (equalNoCase(v.name, name)) {
      v.data = std::move(text);
      v.dword = false;
      return true;
    }
  key->values.push_back(RegValue{std::string(name), std::move(text)});
  return true;
}

bool regfile_set_dword(RegKey* key, std::string_view name, uint32_t number) {
  if (!regfile_set(key, name, "")) return false;
  for (RegValue& v : key->values)
    if (equalNoCase(v.name, name)) {
      v.dword = true;
      v.number = number;
    }
  return true;
}

const RegValue* regfile_get(const RegKey& key, std::string_view name) {
  for (const RegValue& v : key.values)
    if (equalNoCase(v.name, name)) return &v;
  return nullptr;
}

int regfile_parse(std::string_view text, RegTree* tree) {
  std::vector<std::string_view> lines;
  for (size_t i = 0; i <= text.size();) {
    size_t e = text.find('\n', i);
    if (e == std::string_view::npos) e = text.size();
    std::string_view line = text.substr(i, e - i);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    i = e + 1;
  }
  int skipped = 0;
  std::string current;  // the section values go to; empty: none (values are skipped)
  for (size_t n = 0; n < lines.size(); ++n) {
    std::string_view line = trimLeft(lines[n]);
    if (line.empty() || line[0] == ';' || line == "REGEDIT4" ||
        line == "Windows Registry Editor Version 5.00")
      continue;
    if (line[0] == '[') {
      std::string_view body = trimRight(line);
      current.clear();
      if (body.size() < 2 || body.back() != ']') {
        ++skipped;
        continue;
      }
      body = body.substr(1, body.size() - 2);
      if (!body.empty() && body[0] == '-') continue;  // a deletion: nothing to add
      size_t slash = body.find('\\');
      std::string path = regfile_key_path(body.substr(0, std::min(slash, body.size())),
                                          slash == std::string_view::npos ? std::string_view() : body.substr(slash));
      if (path.empty() || !regfile_add(tree, path, nullptr)) {
        ++skipped;
        continue;
      }
      current = path;
      continue;
    }
    if (line[0] != '@' && line[0] != '"') {
      ++skipped;
      continue;
    }
    // A value line; hex data may go on over lines ending in a backslash.
    std::string joined(trimRight(line));
    while (!joined.empty() && joined.back() == '\\' && n + 1 < lines.size() &&
           joined.find("=hex") != std::string::npos) {
      joined.pop_back();
      joined += trimRight(trimLeft(lines[++n]));
    }
    std::string_view v = joined;
    std::string name;
    size_t pos = 1;
    if (v[0] == '"' && !readQuoted(v, &pos, &name)) {
      ++skipped;
      continue;
    }
    std::string_view rest = trimLeft(v.substr(pos));
    if (rest.empty() || rest[0] != '=' || current.empty()) {
      ++skipped;
      continue;
    }
    rest = trimLeft(rest.substr(1));
    std::string data;
    bool ok = false;
    if (rest.size() == 14 && equalNoCase(rest.substr(0, 6), "dword:")) {
      uint32_t number = 0;
      ok = true;
      for (char c : rest.substr(6)) {
        const int d = hexDigit(c);
        ok = ok && d >= 0;
        number = number << 4 | uint32_t(d < 0 ? 0 : d);
      }
      RegKey* key = ok ? regfile_find(tree, current) : nullptr;
      if (!key || !regfile_set_dword(key, name, number)) ++skipped;
      continue;
    }
    if (!rest.empty() && rest[0] == '"') {
      size_t end = 0;
      ok = readQuoted(rest, &end, &data) && trimLeft(rest.substr(end)).empty();
    } else if (rest.size() >= 7 && equalNoCase(rest.substr(0, 7), "hex(1):")) {
      ok = readHex(rest.substr(7), &data);
    }
    RegKey* key = ok ? regfile_find(tree, current) : nullptr;
    if (!key || !regfile_set(key, name, data)) ++skipped;
  }
  return skipped;
}

std::string regfile_write(const RegTree& tree) {
  std::string out = "REGEDIT4\r\n\r\n";
  for (const RegKey& key : tree.keys) {
    out += '[';
    out += key.path;
    out += "]\r\n";
    for (const RegValue& v : key.values) {
      size_t start = out.size();
      if (v.name.empty())
        out += '@';
      else
        appendQuoted(&out, v.name);
      out += '=';
      if (v.dword) {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%08x", static_cast<unsigned>(v.number));
        out += number;
      } else if (hasControl(v.data))
        appendHexString(&out, v.data, out.size() - start);
      else
        appendQuoted(&out, v.data);
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}
