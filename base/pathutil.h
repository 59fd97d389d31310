// Path and string helpers shared by the install engine: joining, checks on relative paths,
// quoting, the "%os%" macro, settings with a default, the directory stack a removal works from, and
// the install's source and destination paths.
// Results: 1 success, 0 failure, unless said otherwise.
#pragma once

#include <cstddef>

constexpr int INST_PATH_SIZE = 260;  // every path buffer: 259 characters and the end

// Where the install comes from and where it goes.
extern char sourcePath[INST_PATH_SIZE];  // current directory at start-up
extern char destPath[INST_PATH_SIZE];    // destination chosen on the install panel

// 1 when `path` is a full path on a drive ("C:\..."); anything else would be read against the
// current directory, which is the medium itself.
int isFullDrivePath(const char* path);
// Resolves "." and ".." parts and doubled separators of full path `path` in place, as the system
// would ("C:\A\..\B" becomes "C:\B"); 1, or 0 (path unchanged) when ".." would climb above the
// drive or the path is not a full path on a drive.
int normalizePath(char* path);
// Joins `left` and `right` with one backslash (none added when left ends with one) into dest;
// 0 (dest empty) when the result does not fit `size`.
int joinPath(char* dest, size_t size, const char* left, const char* right);
// 1 when `rel` is a relative path that stays below its base: no drive letter or ':', no leading
// '\' or '/', and no ".." that climbs above the start.
int isSafeRelativePath(const char* rel);
// 1 when `name` (one part of a path, `length` characters) is a name Windows accepts for a file or
// folder: not empty, no control character or any of <>:"/\|?*, no trailing dot or blank, and not
// a device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, also with an extension).
int isValidName(const char* name, size_t length);
// 1 when `path` is a relative path that names no drive, climbs nowhere ("." and ".." refused too)
// and has only valid names (isValidName) as its parts; else 0 (also for "").
int isPlainRelativePath(const char* path);
// 1 when every part of full path `path` below its drive is a valid name (isValidName), else 0.
int hasValidNames(const char* path);
// Value of `key` in section `section` of the settings, or "" when the script does not set it.
const char* settingOr(const char* section, const char* key);
// Appends `src` to `dest` (size destSize), in double quotes when it holds a space; dest, or null
// with dest unchanged when the result would not fit.
char* strcatAddQuotes(char* dest, size_t destSize, const char* src);
// Copies `src` to `dest` (size destSize) with the first "%os%" replaced by "WIN"; 1 when replaced,
// else 0. A result that would not fit leaves dest empty and returns 0.
int expandMacro(char* dest, size_t destSize, const char* src);

// Pushes a copy of `path` onto the directory stack; 1 (0 when it does not fit a path buffer).
int pushDir(const char* path);
// Removes every stacked directory, newest first, and empties the stack; the number not removed.
int processDirStack(void);
