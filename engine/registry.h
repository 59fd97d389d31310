// Registry keys and shortcuts: the product key, the App Paths key of the main program and the
// Uninstall key that starts "vluninst.exe" with the uninstall log, all below the local machine;
// and Start-menu shortcuts in a folder of the user's Programs menu. Every key and folder created
// and every shortcut made is reported through the log function. Results: 1 success, 0 failure.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/os.h"

typedef int (*reg_log_fn)(const char* format, ...);

constexpr int REG_PATH_SIZE = 256;  // a key path, with its end
constexpr int AFI_SHOW_MAXIMIZED = 0x2;  // AddFolderIcon flags: start maximised (wins over minimised)
constexpr int AFI_SHOW_MINIMIZED = 0x4;  // start minimised

// Sets the function through which created keys are reported (null: not reported).
void regSetLogFunc(reg_log_fn func);
// Opens `path` below `root`, creating it and each missing parent (each new level reported,
// outermost first); 1 and the open key in *key (which may be null: the key is closed), or 0.
int regCreateKey(os_reg_root root, const char* path, os_hkey* key);
// Makes the product key and the App Paths key with its default and "Path" values; 1, or 0.
int regAddAppKeys(const char* company, const char* title, const char* version, const char* destPath,
                  const char* executable);
// Makes the Uninstall key with "DisplayName" and "UninstallString"; 1, or 0 ("ErrCreateRegKey").
int regAddUninstallKey(const char* title, const char* destPath);
// Reads the user's Programs folder into buffer (size bytes); 1, or 0.
int GetProgramsDirectory(char* buffer, size_t size);
// Writes the shortcut "<folder>\<name>.lnk" (folder null: the Programs folder) to `target`, with
// `workDir` as working directory and an optional icon; 1, or 0.
int AddFolderIcon(const char* folder, const char* name, const char* target, const char* workDir, const char* iconPath,
                  int iconIndex, int flags);
// Makes the shortcut named by key `nameKey` to the installed file named by `targetKey` (section
// "Shortcuts") in the Programs subfolder `folder`; 1 when made (and logged), else 0.
int makeShortcut(const char* folder, const char* destPath, const char* nameKey, const char* targetKey);
// Reads the local target path of a shell link (".lnk" bytes: header, optional item list, the link
// information's base path and common suffix) into `out`; 1, or 0 for bytes that hold no local
// target or do not hold together (every offset and length is checked against `size`).
int shellLinkTarget(const uint8_t* data, size_t size, char* out, size_t outSize);
