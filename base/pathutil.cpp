// Path and string helpers shared by the install engine: joining, checks on relative paths,
// quoting, the "%os%" macro, settings with a default, the directory stack a removal works from, and
// the install's source and destination paths.
#include "base/pathutil.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "base/config.h"
#include "base/memdbg.h"
#include "base/settings.h"
#include "platform/os.h"
#include "vrk/debug.h"

char sourcePath[INST_PATH_SIZE];
char destPath[INST_PATH_SIZE];

namespace {

constexpr const char* TAG = "pathutil";

struct DirNode {
  char path[INST_PATH_SIZE];
  DirNode* next;
};
DirNode* top = nullptr;

}  // namespace

int isFullDrivePath(const char* path) {
  if (!path) return 0;
  char d = path[0];
  return ((d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z')) && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

int normalizePath(char* path) {
  if (!isFullDrivePath(path)) return 0;
  thread_local std::string out;  // kept: no allocation per call once it has grown
  out.assign(path, 2);           // "C:"
  const char* p = path + 2;
  while (*p) {
    while (*p == '\\' || *p == '/') ++p;
    const char* end = p;
    while (*end && *end != '\\' && *end != '/') ++end;
    const std::string_view part(p, size_t(end - p));
    if (part == "..") {
      const size_t cut = out.rfind('\\');
      if (cut == std::string::npos) return 0;
      out.resize(cut);
    } else if (!part.empty() && part != ".") {
      out += '\\';
      out += part;
    }
    p = end;
  }
  if (out.size() == 2) out += '\\';
  std::memcpy(path, out.c_str(), out.size() + 1);  // never longer than the input
  return 1;
}

int joinPath(char* dest, size_t size, const char* left, const char* right) {
  if (!dest || size == 0) return 0;
  dest[0] = '\0';
  if (!left || !right) return 0;
  const size_t l = std::strlen(left), r = std::strlen(right);
  const size_t sep = l > 0 && left[l - 1] != '\\' && left[l - 1] != '/' ? 1 : 0;
  if (l + sep + r >= size) return 0;
  std::memcpy(dest, left, l);
  if (sep) dest[l] = '\\';
  std::memcpy(dest + l + sep, right, r + 1);
  return 1;
}

int isSafeRelativePath(const char* rel) {
  if (!rel) return 0;
  if (rel[0] == '\\' || rel[0] == '/') return 0;
  if (std::strchr(rel, ':')) return 0;  // drive letters, drive-relative paths, streams
  int depth = 0;
  std::string_view rest(rel);
  while (true) {
    size_t cut = 0;
    while (cut < rest.size() && rest[cut] != '\\' && rest[cut] != '/') ++cut;
    if (cut == rest.size()) cut = std::string_view::npos;
    std::string_view part = rest.substr(0, cut);
    if (part == "..") {
      if (--depth < 0) return 0;
    } else if (!part.empty() && part != ".") {
      // Windows drops trailing dots and blanks from a name, so "..." or ".. " could act as "..".
      if (part.find_first_not_of(". ") == std::string_view::npos) return 0;
      ++depth;
    }
    if (cut == std::string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  return 1;
}

int isValidName(const char* name, size_t length) {
  if (!name || length == 0) return 0;
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 32 || std::strchr("<>:\"/\\|?*", c)) return 0;
  }
  if (name[length - 1] == '.' || name[length - 1] == ' ') return 0;
  // A device name stays a device with any extension ("NUL.TXT"), in any case.
  size_t stem = 0;
  while (stem < length && name[stem] != '.') ++stem;
  char upper[5] = "";
  if (stem < 3 || stem > 4) return 1;
  for (size_t i = 0; i < stem; ++i) upper[i] = static_cast<char>(name[i] >= 'a' && name[i] <= 'z' ? name[i] - 32 : name[i]);
  upper[stem] = '\0';
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : kDevices)
    if (std::strcmp(upper, device) == 0) return 0;
  if (stem == 4 && (std::strncmp(upper, "COM", 3) == 0 || std::strncmp(upper, "LPT", 3) == 0) && upper[3] >= '1' &&
      upper[3] <= '9')
    return 0;
  return 1;
}

int isPlainRelativePath(const char* path) {
  if (!path || !path[0] || !isSafeRelativePath(path)) return 0;
  const char* p = path;
  while (*p) {
    const char* end = p;
    while (*end && *end != '\\' && *end != '/') ++end;
    if (!isValidName(p, size_t(end - p))) return 0;  // also "." and "..", which end in a dot
    p = *end ? end + 1 : end;
  }
  return 1;
}

int hasValidNames(const char* path) {
  if (!isFullDrivePath(path)) return 0;
  const char* p = path + 3;
  while (*p) {
    const char* end = p;
    while (*end && *end != '\\') ++end;
    if (!isValidName(p, size_t(end - p))) return 0;
    p = *end ? end + 1 : end;
  }
  return 1;
}

const char* settingOr(const char* section, const char* key) {
  char* value = nullptr;
  if (!cfgGetString(&settings, section, key, &value) || !value) return "";
  return value;
}

char* strcatAddQuotes(char* dest, size_t destSize, const char* src) {
  bool quote = std::strchr(src, ' ') != nullptr;
  size_t used = std::strlen(dest);
  size_t len = std::strlen(src) + (quote ? 2 : 0);
  if (used + len + 1 > destSize) return nullptr;
  char* p = dest + used;
  if (quote) *p++ = '"';
  std::memcpy(p, src, std::strlen(src));
  p += std::strlen(src);
  if (quote) *p++ = '"';
  *p = '\0';
  return dest;
}

int expandMacro(char* dest, size_t destSize, const char* src) {
  if (!dest || destSize == 0) return 0;
  std::string_view text(src);
  size_t at = text.find("%os%");
  std::string result(text);
  if (at != std::string_view::npos) result.replace(at, 4, "WIN");
  if (result.size() + 1 > destSize) {
    dest[0] = '\0';
    return 0;
  }
  std::memcpy(dest, result.c_str(), result.size() + 1);
  return at != std::string_view::npos ? 1 : 0;
}

int pushDir(const char* path) {
  if (!path || std::strlen(path) >= INST_PATH_SIZE) return 0;
  auto* node = static_cast<DirNode*>(MYMALLOC(sizeof(DirNode), TAG));
  std::snprintf(node->path, sizeof node->path, "%s", path);
  node->next = top;
  top = node;
  return 1;
}

int processDirStack(void) {
  int failures = 0;
  while (top) {
    DirNode* node = top;
    top = node->next;
    if (os_rmdir(node->path) != 0 && errno != ENOENT) {  // logged ahead but never made: nothing to do
      debug_printf("Could not remove directory %s\n", node->path);
      ++failures;
    }
    MYFREE(node, TAG);
  }
  return failures;
}
