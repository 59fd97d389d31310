// Registry keys and shortcuts.
#include "engine/registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/config.h"
#include "base/format.h"
#include "engine/instutil.h"
#include "engine/ui.h"
#include "base/pathutil.h"
#include "base/settings.h"
#include "engine/uninst.h"
#include "vrk/debug.h"

namespace {

reg_log_fn logFunc = nullptr;
int depth = 0;  // nesting of regCreateKey: 0 in the caller's call

constexpr const char* APP_PATHS = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* SHELL_FOLDERS = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* UNINSTALLER = "vluninst.exe";

const char* rootName(os_reg_root root) {
  return root == OS_HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

// Joins key path pieces with backslashes into a REG_PATH_SIZE buffer; false (reported, out
// empty) when it does not fit.
bool keyPath(char (&out)[REG_PATH_SIZE], const char* a, const char* b) {
  int n = std::snprintf(out, sizeof out, "%s\\%s", a, b);
  if (n < 0 || n >= REG_PATH_SIZE) {
    debug_printf("Registry key path too long: %.60s...\n", out);
    out[0] = '\0';
    return false;
  }
  return true;
}

int createLevel(os_reg_root root, const char* path, os_hkey* key) {
  char copy[REG_PATH_SIZE];
  if (std::snprintf(copy, sizeof copy, "%s", path) >= REG_PATH_SIZE) {
    debug_printf("Registry key path too long: %.60s...\n", path);
    return 0;
  }
  size_t len = std::strlen(copy);
  if (len > 0 && copy[len - 1] == '\\') copy[--len] = '\0';
  if (!copy[0]) return 0;

  os_hkey opened = nullptr;
  if (os_reg_open(root, copy, &opened) == 0) {
    if (depth == 0 && key) *key = opened;
    else os_reg_close(opened);
    return 1;
  }
  char* slash = std::strrchr(copy, '\\');
  if (!slash) return 0;
  *slash = '\0';
  ++depth;
  int parentOk = createLevel(root, copy, nullptr);
  --depth;
  *slash = '\\';
  if (!parentOk) return 0;

  // The parent exists now, so this creates exactly one level; the log names it first.
  if (logFunc && logFunc("AddedRegKey \\\\%s\\%s", rootName(root), copy) < 0) return 0;
  int createdNew = 0;
  os_hkey created = nullptr;
  if (os_reg_create(root, copy, &created, &createdNew) != 0) return 0;
  if (!createdNew) {
    os_reg_close(created);
    return 0;
  }
  if (depth == 0 && key) *key = created;
  else os_reg_close(created);
  return 1;
}

}  // namespace

void regSetLogFunc(reg_log_fn func) { logFunc = func; }

int regCreateKey(os_reg_root root, const char* path, os_hkey* key) {
  if (key) *key = nullptr;
  if (!path) return 0;
  int saved = depth;
  depth = 0;
  int result = createLevel(root, path, key);
  depth = saved;
  return result;
}

int regAddAppKeys(const char* company, const char* title, const char* version, const char* destPath,
                  const char* executable) {
  if (!company || !title || !version || !destPath || !executable) return 0;
  char path[REG_PATH_SIZE];
  int n = std::snprintf(path, sizeof path, "SOFTWARE\\%s\\%s\\%s", company, title, version);
  if (n < 0 || n >= REG_PATH_SIZE) {
    debug_printf("Registry key path too long: %.60s...\n", path);
    return 0;
  }
  if (!regCreateKey(OS_HKEY_LOCAL_MACHINE, path, nullptr)) return 0;

  if (!keyPath(path, APP_PATHS, executable)) return 0;
  char program[INST_PATH_SIZE];
  if (!joinPath(program, sizeof program, destPath, executable)) {
    debug_printf("App Paths: program path too long\n");
    return 0;
  }
  os_hkey key = nullptr;
  if (!regCreateKey(OS_HKEY_LOCAL_MACHINE, path, &key)) return 0;
  bool ok = os_reg_set_string(key, "", program) == 0 && os_reg_set_string(key, "Path", destPath) == 0;
  os_reg_close(key);
  return ok ? 1 : 0;
}

int regAddUninstallKey(const char* title, const char* destPath) {
  if (!title || !destPath) return 0;
  char path[REG_PATH_SIZE];
  os_hkey key = nullptr;
  if (!keyPath(path, UNINSTALL, title) || !regCreateKey(OS_HKEY_LOCAL_MACHINE, path, &key)) {
    engineMessage(stringFormat("ErrCreateRegKey", "s", "Cannot create the registry key %s."), path[0] ? path : title);
    return 0;
  }
  char windowsDir[INST_PATH_SIZE] = "";
  char program[INST_PATH_SIZE];
  char log[INST_PATH_SIZE];
  char command[2 * INST_PATH_SIZE + 4];
  // The log this install ends with (its name differs where another product's log is in the folder).
  bool ok = os_windows_dir(windowsDir, sizeof windowsDir) == 0 && joinPath(program, sizeof program, windowsDir, UNINSTALLER) &&
            (finalPath[0] ? std::snprintf(log, sizeof log, "%s", finalPath) > 0 : joinPath(log, sizeof log, destPath, "uninst.log"));
  if (ok) {
    std::snprintf(command, sizeof command, "%s -f%s", program, log);
    ok = os_reg_set_string(key, "DisplayName", title) == 0 && os_reg_set_string(key, "UninstallString", command) == 0;
  }
  // What the system's list of programs shows beside the name, and how a script removes it quietly.
  if (ok) {
    char quiet[sizeof command + 4];
    std::snprintf(quiet, sizeof quiet, "%s /S", command);
    char icon[INST_PATH_SIZE] = "";
    const char* executable = settingOr("Registry Settings", "Executable");
    const bool hasIcon = executable[0] && joinPath(icon, sizeof icon, destPath, executable);
    const uint64_t bytes = installType >= 0 && installType < numInstTypes ? instTypes[installType].size : 0;
    const uint32_t kb = static_cast<uint32_t>(std::min<uint64_t>((bytes + 1023) / 1024, 0xFFFFFFFFu));
    ok = os_reg_set_string(key, "DisplayVersion", settingOr("Registry Settings", "Version")) == 0 &&
         os_reg_set_string(key, "Publisher", settingOr("Registry Settings", "Company")) == 0 &&
         os_reg_set_string(key, "InstallLocation", destPath) == 0 &&
         (!hasIcon || os_reg_set_string(key, "DisplayIcon", icon) == 0) && os_reg_set_dword(key, "EstimatedSize", kb) == 0 &&
         os_reg_set_dword(key, "NoModify", 1) == 0 && os_reg_set_dword(key, "NoRepair", 1) == 0 &&
         os_reg_set_string(key, "QuietUninstallString", quiet) == 0;
  }
  os_reg_close(key);
  if (!ok) debug_printf("Uninstall key %s: values not written\n", path);
  return ok ? 1 : 0;
}

int GetProgramsDirectory(char* buffer, size_t size) {
  if (!buffer || size == 0) return 0;
  buffer[0] = '\0';
  os_hkey key = nullptr;
  if (os_reg_open(OS_HKEY_CURRENT_USER, SHELL_FOLDERS, &key) != 0) return 0;
  int got = os_reg_get_string(key, "Programs", buffer, size);
  os_reg_close(key);
  // A value that filled the whole buffer may have been cut: no path is better than a wrong one.
  if (got != 0 || std::strlen(buffer) + 1 >= size) {
    buffer[0] = '\0';
    return 0;
  }
  return 1;
}

int AddFolderIcon(const char* folder, const char* name, const char* target, const char* workDir, const char* iconPath,
                  int iconIndex, int flags) {
  if (!name || !target) return 0;
  char programs[INST_PATH_SIZE];
  if (!folder) {
    if (!GetProgramsDirectory(programs, sizeof programs)) return 0;
    folder = programs;
  }
  char linkPath[INST_PATH_SIZE];
  int n = std::snprintf(linkPath, sizeof linkPath, "%s\\%s.lnk", folder, name);
  if (n < 0 || n >= static_cast<int>(sizeof linkPath)) {
    debug_printf("Shortcut path too long: %s\n", name);
    return 0;
  }
  int show = OS_SHOW_DEFAULT;
  if (flags & AFI_SHOW_MINIMIZED) show = OS_SHOW_MINIMIZED;
  if (flags & AFI_SHOW_MAXIMIZED) show = OS_SHOW_MAXIMIZED;
  return os_shell_link(linkPath, target, name, workDir ? workDir : "", iconPath, iconIndex, show) == 0 ? 1 : 0;
}

int makeShortcut(const char* folder, const char* destPath, const char* nameKey, const char* targetKey) {
  if (!folder || !destPath || !nameKey || !targetKey) return 0;
  char* name = nullptr;
  char* target = nullptr;
  cfgGetString(&settings, "Shortcuts", nameKey, &name);
  cfgGetString(&settings, "Shortcuts", targetKey, &target);
  // A shortcut needs a name and a target file: an empty one would make a nameless ".lnk" or point
  // at the destination directory itself.
  if (!name || !name[0] || !target || !target[0]) return 0;
  // A shortcut stays in the Programs menu (in its own folder, or "" for the menu itself) and
  // starts a file of the install: the folder and the target are relative paths without "..",
  // every part a valid name, and the name is one name.
  if ((folder[0] && !isPlainRelativePath(folder)) || !isValidName(name, std::strlen(name)) || !isPlainRelativePath(target)) {
    engineMessage(textOr("ErrShortcut", "s",
                         "The shortcut %s is not made: its folder or its target lies outside\nthe Programs menu "
                         "or the installation."),
                  name);
    return 0;
  }

  char targetPath[INST_PATH_SIZE];
  if (!joinPath(targetPath, sizeof targetPath, destPath, target)) {
    debug_printf("Shortcut %s: target path too long\n", name);
    return 0;
  }
  char programs[INST_PATH_SIZE];
  if (!GetProgramsDirectory(programs, sizeof programs)) {
    debug_printf("Shortcut %s: no Programs folder\n", name);
    return 0;
  }
  char linkFolder[INST_PATH_SIZE];
  int n = std::snprintf(linkFolder, sizeof linkFolder, "%s\\%s", programs, folder);
  if (n < 0 || n >= static_cast<int>(sizeof linkFolder)) {
    debug_printf("Shortcut folder path too long: %s\n", folder);
    return 0;
  }
  // The log names the folder and the link before they are made.
  if (os_access(linkFolder) != 0) {
    uninstLogEntrySync("MadeDir %s", linkFolder);
    os_mkdir(linkFolder);
  }
  debug_printf("%s: fullPath %s\n", folder, targetPath);
  if (os_access(targetPath) != 0) return 0;  // no shortcut to a file that was not installed
  char linkPath[INST_PATH_SIZE];
  n = std::snprintf(linkPath, sizeof linkPath, "%s\\%s.lnk", linkFolder, name);
  if (n < 0 || n >= static_cast<int>(sizeof linkPath)) return 0;
  if (os_access(linkPath) == 0) {
    // A shortcut already there is made again only when it is this product's own (named by the
    // earlier log this run carries); anyone else's stays as it is.
    if (!uninstCarried("MadeShortcut", linkPath)) {
      debug_printf("Shortcut %s exists and is not this product's: kept\n", linkPath);
      return 0;
    }
  } else if (uninstLogEntrySync("MadeShortcut %s", linkPath) < 0) {
    return 0;
  }
  return AddFolderIcon(linkFolder, name, targetPath, destPath, nullptr, 0, 0) ? 1 : 0;
}

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

// The NUL-ended text at `at` inside [0, end), or false when it runs past end.
bool textAt(const uint8_t* data, size_t at, size_t end, std::string* out) {
  if (at >= end) return false;
  const void* nul = std::memchr(data + at, '\0', end - at);
  if (!nul) return false;
  out->assign(reinterpret_cast<const char*>(data + at), static_cast<const uint8_t*>(nul) - (data + at));
  return true;
}

}  // namespace

int shellLinkTarget(const uint8_t* data, size_t size, char* out, size_t outSize) {
  constexpr uint32_t kHasIdList = 0x1, kHasLinkInfo = 0x2, kLocalBasePath = 0x1;
  if (!out || outSize == 0) return 0;
  out[0] = '\0';
  if (!data || size < 0x4C || le32(data) != 0x4C) return 0;
  const uint32_t flags = le32(data + 0x14);
  size_t at = 0x4C;
  if (flags & kHasIdList) {
    if (at + 2 > size) return 0;
    at += 2 + (data[at] | data[at + 1] << 8);
  }
  if (!(flags & kHasLinkInfo) || at + 0x1C > size) return 0;
  const uint8_t* info = data + at;
  const size_t infoSize = le32(info);
  if (infoSize < 0x1C || infoSize > size - at || !(le32(info + 8) & kLocalBasePath)) return 0;
  std::string base, suffix;
  if (!textAt(info, le32(info + 16), infoSize, &base) || !textAt(info, le32(info + 24), infoSize, &suffix)) return 0;
  if (!suffix.empty() && !base.empty() && base.back() != '\\') base += '\\';
  base += suffix;
  if (base.empty() || base.size() >= outSize) return 0;
  std::memcpy(out, base.c_str(), base.size() + 1);
  return 1;
}
