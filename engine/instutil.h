// Installer utilities: the install types with their sizes, the drives that can hold each type
// (free space at least 1.13 times the type's size), directory making with uninstall-log entries,
// and the selected type. Results: 1 success, 0 failure, unless said otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

#include "db/db.h"
#include "base/pathutil.h"

constexpr int MAX_INST_TYPES = 16;   // table size; at most MAX_INST_TYPES - 1 types are accepted
constexpr int MAX_DRIVES = 26;
constexpr int INST_LINE_SIZE = 260;  // one file-list line
constexpr double DRIVE_MARGIN = 1.13;

struct InstType {
  char name[64];      // item of the "InstallTypes" list; also the name of the type's section
  char fullName[80];  // text shown in the type list
  uint64_t size;      // total bytes the type copies
};

extern int installType;  // selected entry of instTypes (the install's source and destination
                         // paths are in base/pathutil.h)

extern InstType instTypes[MAX_INST_TYPES];
extern int numInstTypes;
extern char drives[MAX_DRIVES][3];
extern uint64_t spaceFree[MAX_DRIVES];
extern int numDrives[MAX_INST_TYPES];
extern char* driveList[MAX_INST_TYPES][MAX_DRIVES];
extern char driveListLetter[MAX_INST_TYPES][MAX_DRIVES];

// Fills instTypes from "InstallTypes" and each type's file list; 0 when there is no usable list
// (none, or 16 or more types; a message box says so).
int initInstTypes(void);
// Reads the next line of a file list into `line` (size bytes, its line end removed): 1 a line,
// -1 a line too long for the buffer (line holds its beginning; the rest is read and dropped), 0 at
// the end of the list.
int readListLine(db_file* f, char* line, size_t size);
// Measures the drives and builds each type's list of drives that can hold it; 1.
int initDriveSizes(void);
// Fills drives/freeBytes (26 slots each) with drives C to Z that report free space; the count.
int getDriveInfo(char driveNames[MAX_DRIVES][3], uint64_t freeBytes[MAX_DRIVES]);
// Free bytes of drive `driveNumber` (1 = A, 3 = C); 1, or 0 (output 0).
int getDiskFreeSpace(int driveNumber, uint64_t* freeBytes);
// 1 when `freeBytes` can hold a type of `size` bytes (free >= size * 1.13, in floating point).
int driveCanHold(uint64_t freeBytes, uint64_t size);
// Type `type`'s drive texts and their count, or null (count 0) when none can hold it.
char** getDriveSizesList(int type, int* count);
// Letter of entry `index` of type `type`'s drive list ('\0' outside the tables).
char getDriveLetter(int type, int index);
// Frees every drive-list text; 1.
int freeDriveSizes(void);

// Makes `path` and any missing parents, outermost first; each is named in the log ("MadeDir")
// before it is made, and the log is durable before the first is made. 1 when the directory exists
// afterwards; 0 also when the open log could not hold the levels (none is made then).
int createDir(const char* path);
// The same without writing the log, for a caller that logged the levels ahead.
int createDirUnlogged(const char* path);
// Calls fn with every level of full path `path` (its parents and itself) that does not exist yet,
// outermost first; 1, or 0 (fn never called) for a path that is not a full path on a drive or is
// too long.
int forEachMissingDir(const char* path, void (*fn)(const char* level, void* ctx), void* ctx);
// 1 when `path` exists.
int existsDir(const char* path);
