// Configuration store: INI files (named sections of key=value lines) held as an associative
// array of sections, each an associative array of keys whose data is one pointer to an owned
// value string. Section and key names match without regard to case. Every allocation is tagged
// "config". Results: 1 success, 0 failure; a null store, section, key or output is a failure.
#pragma once

#include "assoc/assoc.h"

typedef assoc_array Config;

// Longest section name, key or value a line can give (longer ones are cut to this length).
constexpr int CFG_MAX_TEXT = 255;

// Makes an empty store with room for `sections` sections.
int cfgInit(Config* config, int sections);
// Frees every value, every section and the store (null: nothing).
int cfgExit(Config* config);
// Sets *value to the stored string itself (owned by the store, not a copy).
int cfgGetString(Config* config, const char* section, const char* key, char** value);
// Stores a tagged copy of `value`, creating the section when needed; replaces an existing value.
int cfgSetString(Config* config, const char* section, const char* key, const char* value);
// cfgGetString, then atoi of the text into *number.
int cfgGetValue(Config* config, const char* section, const char* key, int* number);
// Stores `number` as decimal text.
int cfgSetValue(Config* config, const char* section, const char* key, int number);
// Reads a file line by line into the store, through the archive when fromArchive is 1; a file
// that cannot be opened leaves the store unchanged and still returns 1.
int cfgLoad(Config* config, const char* fileName, int fromArchive);
// Writes the store as an INI file (through the archive's plain files when toArchive is 1); 1 when
// the file could be opened.
int cfgSave(Config* config, const char* fileName, int toArchive);
// Splits a value at commas (empty items skipped, leading blanks of each item dropped) into a new
// array of *count new strings; null (count untouched) when the value is missing or empty, null and
// *count = 0 when it holds no item at all.
char** cfgGetCommaList(Config* config, const char* section, const char* key, int* count);
// Frees a comma list and its strings (null: nothing).
void cfgFreeCommaList(char** list, int count);
// Handles one line of an INI file: comment, section header or key line (edits `line` in place).
int parseLine(Config* config, char* line);
// Splits at the first '=' into trimmed key and value (buffers of CFG_MAX_TEXT + 1 bytes, longer
// parts cut); 0 when there is no '='. `line` is left unchanged.
int splitLine(const char* line, char* key, char* value);
// Adds an empty section; 1 when added or already present.
int addSection(Config* config, const char* name);
// Trims leading and trailing white space in place; 0 for null.
int stripWhiteSpace(char* text);
