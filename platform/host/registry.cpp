// The emulated registry: a tree in memory, loaded from ROOT/registry.reg on first use and written
// back after every change (a temporary file, then a rename, so a reader never sees half a file).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/host/machine.h"
#include "platform/host/regfile.h"
#include "platform/os.h"

struct os_reg_key {
  std::string path;  // normal key path, root included; the root alone for an open root
};

namespace {

constexpr const char* SHELL_FOLDERS = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* PROGRAMS_DEFAULT = "C:\\WINDOWS\\Start Menu\\Programs";
constexpr const char* SYSTEM_KEYS[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
};

RegTree tree;
bool loaded = false;

const char* rootName(os_reg_root root) {
  return root == OS_HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

bool save() {
  std::string root = os_host_root();
  if (root.empty()) return false;
  std::string file = root + "/registry.reg", tmp = file + ".tmp";
  std::string text = regfile_write(tree);
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t w = write(fd, text.data() + done, text.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    done += static_cast<size_t>(w);
  }
  bool ok = done == text.size() && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && rename(tmp.c_str(), file.c_str()) == 0) return true;
  int saved = errno;
  unlink(tmp.c_str());
  errno = saved ? saved : EIO;
  return false;
}

// Loads the registry file once; a fresh machine gets the Programs folder of the Start menu.
bool load() {
  if (loaded) return true;
  std::string root = os_host_root();
  if (root.empty()) return false;
  tree = RegTree{};
  std::ifstream in(root + "/registry.reg", std::ios::binary);
  if (in) {
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    regfile_parse(text, &tree);
  }
  loaded = true;
  // Keys every Windows machine has, so that an install logs only the keys it really adds.
  bool changed = false;
  for (const char* system : SYSTEM_KEYS) {
    int createdNew = 0;
    regfile_add(&tree, regfile_key_path("HKEY_LOCAL_MACHINE", system), &createdNew);
    changed = changed || createdNew;
  }
  RegKey* key = regfile_add(&tree, regfile_key_path("HKEY_CURRENT_USER", SHELL_FOLDERS), nullptr);
  if (key && !regfile_get(*key, "Programs")) {
    regfile_set(key, "Programs", PROGRAMS_DEFAULT);
    changed = true;
  }
  if (changed) save();
  return true;
}

}  // namespace

void os_host_registry_reset(void) {
  tree = RegTree{};
  loaded = false;
}

int os_reg_open(os_reg_root root, const char* path, os_hkey* key) {
  if (!path || !key) return -1;
  *key = nullptr;
  if (!load()) return -1;
  std::string p = regfile_key_path(rootName(root), path);
  if (p.empty()) {
    // Only a path naming no key below the root at all opens the root itself.
    if (std::strspn(path, "\\") != std::strlen(path)) {
      errno = EINVAL;
      return -1;
    }
    *key = new os_reg_key{rootName(root)};
    return 0;
  }
  RegKey* k = regfile_find(&tree, p);
  if (!k) {
    errno = ENOENT;
    return -1;
  }
  *key = new os_reg_key{k->path};
  return 0;
}

int os_reg_create(os_reg_root root, const char* path, os_hkey* key, int* created_new) {
  if (!path || !key) return -1;
  *key = nullptr;
  if (created_new) *created_new = 0;
  if (!load()) return -1;
  std::string p = regfile_key_path(rootName(root), path);
  if (p.empty()) {
    errno = EINVAL;
    return -1;
  }
  size_t before = tree.keys.size();
  int added = 0;
  RegKey* k = regfile_add(&tree, p, &added);
  if (!k) return -1;
  std::string found = k->path;
  if (tree.keys.size() != before && !save()) return -1;
  if (created_new) *created_new = added;
  *key = new os_reg_key{found};
  return 0;
}

int os_reg_set_string(os_hkey key, const char* name, const char* value) {
  if (!key || !value || !load()) return -1;
  RegKey* k = regfile_find(&tree, key->path);
  if (!k || !regfile_set(k, name ? name : "", value)) {
    errno = k ? EINVAL : EACCES;  // the roots hold no values here
    return -1;
  }
  return save() ? 0 : -1;
}

int os_reg_set_dword(os_hkey key, const char* name, uint32_t value) {
  if (!key || !load()) return -1;
  RegKey* k = regfile_find(&tree, key->path);
  if (!k || !regfile_set_dword(k, name ? name : "", value)) {
    errno = k ? EINVAL : EACCES;
    return -1;
  }
  return save() ? 0 : -1;
}

int os_reg_get_string(os_hkey key, const char* name, char* buf, size_t size) {
  if (!key || !buf || size == 0) return -1;
  buf[0] = '\0';
  if (!load()) return -1;
  RegKey* k = regfile_find(&tree, key->path);
  const RegValue* v = k ? regfile_get(*k, name ? name : "") : nullptr;
  if (!v || v->dword) {
    errno = ENOENT;
    return -1;
  }
  if (v->data.size() >= size) {
    errno = ERANGE;
    return -1;
  }
  std::memcpy(buf, v->data.c_str(), v->data.size() + 1);
  return 0;
}

void os_reg_close(os_hkey key) { delete key; }

int os_reg_list_subkeys(os_hkey key, int (*fn)(const char* name, void* ctx), void* ctx) {
  if (!key || !fn || !load()) return -1;
  // Direct children follow their parent in the sorted tree; names are copied first, so that fn
  // may change the registry.
  std::vector<std::string> names;
  const std::string prefix = key->path + "\\";
  for (const RegKey& k : tree.keys) {
    if (k.path.size() <= prefix.size() || !regfile_key_prefix(k.path, prefix)) continue;
    std::string rest = k.path.substr(prefix.size());
    if (rest.find('\\') == std::string::npos) names.push_back(rest);
  }
  for (const std::string& n : names)
    if (fn(n.c_str(), ctx)) break;
  return 0;
}

int os_reg_list_values(os_hkey key, int (*fn)(const char* name, void* ctx), void* ctx) {
  if (!key || !fn || !load()) return -1;
  const RegKey* k = regfile_find(&tree, key->path);
  if (!k) {
    errno = ENOENT;
    return -1;
  }
  std::vector<std::string> names;
  for (const RegValue& v : k->values) names.push_back(v.name);
  for (const std::string& n : names)
    if (fn(n.c_str(), ctx)) break;
  return 0;
}

int os_reg_delete_key(os_reg_root root, const char* path) {
  if (!path || !load()) return -1;
  std::string p = regfile_key_path(rootName(root), path);
  if (p.empty()) {
    errno = EINVAL;
    return -1;
  }
  int rc = regfile_remove(&tree, p);
  if (rc != 0) {
    errno = rc;
    return -1;
  }
  return save() ? 0 : -1;
}

int os_com_init(void) { return 0; }

void os_com_exit(void) {}
