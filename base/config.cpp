// Configuration store.
#include "base/config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "db/db.h"
#include "base/memdbg.h"
#include "platform/os.h"

#define CFG_TAG "config"

namespace {

// Name of the section that key lines go into. Shared by every load and never reset, so key lines
// before the first header of a later file go into the section last seen.
char currentSection[CFG_MAX_TEXT + 1] = "Unknown";

constexpr int kSectionKeys = 10;

bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

assoc_array* findSection(Config* config, const char* section) {
  int i = assoc_search(config, section);
  if (i < 0) return nullptr;
  return static_cast<assoc_array*>(config->entries[i].data);
}

char** findValue(Config* config, const char* section, const char* key) {
  assoc_array* s = findSection(config, section);
  if (!s) return nullptr;
  int i = assoc_search(s, key);
  if (i < 0) return nullptr;
  return static_cast<char**>(s->entries[i].data);
}

// Copies the trimmed span [begin, end) into `out`, cut to CFG_MAX_TEXT characters.
void copyTrimmed(const char* begin, const char* end, char* out) {
  while (begin < end && isWhite(*begin)) ++begin;
  while (end > begin && isWhite(end[-1])) --end;
  size_t n = static_cast<size_t>(end - begin);
  if (n > CFG_MAX_TEXT) n = CFG_MAX_TEXT;
  std::memcpy(out, begin, n);
  out[n] = '\0';
}

}  // namespace

int stripWhiteSpace(char* text) {
  if (!text) return 0;
  size_t n = std::strlen(text);
  while (n > 0 && isWhite(text[n - 1])) text[--n] = '\0';
  size_t lead = 0;
  while (lead < n && isWhite(text[lead])) ++lead;
  if (lead) std::memmove(text, text + lead, n - lead + 1);
  return 1;
}

int cfgInit(Config* config, int sections) {
  if (!config) return 0;
  return assoc_init(config, sections, sizeof(assoc_array), nullptr) == 0 ? 1 : 0;
}

int cfgExit(Config* config) {
  if (!config) return 0;
  for (int i = 0; i < config->count; ++i) {
    assoc_array* s = static_cast<assoc_array*>(config->entries[i].data);
    if (!s) continue;
    for (int k = 0; k < s->count; ++k) {
      char** value = static_cast<char**>(s->entries[k].data);
      if (value && *value) myfree(*value, CFG_TAG, __LINE__);
    }
    assoc_free(s);
  }
  assoc_free(config);
  return 1;
}

int addSection(Config* config, const char* name) {
  if (!config || !name) return 0;
  if (assoc_search(config, name) >= 0) return 1;
  assoc_array section;
  if (assoc_init(&section, kSectionKeys, sizeof(char*), nullptr) != 0) return 0;
  // The section record is copied by value into the store's entry, which then owns its slots.
  if (assoc_insert(config, name, &section) < 0) {
    assoc_free(&section);
    return 0;
  }
  return 1;
}

int cfgGetString(Config* config, const char* section, const char* key, char** value) {
  if (!config || !section || !key || !value) return 0;
  char** stored = findValue(config, section, key);
  if (!stored) return 0;
  *value = *stored;
  return 1;
}

int cfgSetString(Config* config, const char* section, const char* key, const char* value) {
  if (!config || !section || !key || !value) return 0;
  if (!addSection(config, section)) return 0;
  assoc_array* s = findSection(config, section);
  if (!s) return 0;
  if (char** old = findValue(config, section, key)) {
    myfree(*old, CFG_TAG, __LINE__);
    *old = nullptr;
    assoc_delete(s, key);
  }
  char* copy = mystrdup(value, CFG_TAG, __LINE__);
  if (assoc_insert(s, key, &copy) < 0) {
    myfree(copy, CFG_TAG, __LINE__);
    return 0;
  }
  return 1;
}

int cfgGetValue(Config* config, const char* section, const char* key, int* number) {
  if (!number) return 0;
  char* text = nullptr;
  if (!cfgGetString(config, section, key, &text)) return 0;
  *number = std::atoi(text);
  return 1;
}

int cfgSetValue(Config* config, const char* section, const char* key, int number) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", number);
  return cfgSetString(config, section, key, text);
}

int splitLine(const char* line, char* key, char* value) {
  if (!line || !key || !value) return 0;
  const char* eq = std::strchr(line, '=');
  if (!eq) return 0;
  copyTrimmed(line, eq, key);
  copyTrimmed(eq + 1, eq + 1 + std::strlen(eq + 1), value);
  return 1;
}

int parseLine(Config* config, char* line) {
  if (!config || !line) return 0;
  if (char* semi = std::strchr(line, ';')) *semi = '\0';
  if (char* open = std::strchr(line, '[')) {
    if (char* close = std::strchr(open + 1, ']')) {
      copyTrimmed(open + 1, close, currentSection);
      return 1;
    }
  }
  char key[CFG_MAX_TEXT + 1];
  char value[CFG_MAX_TEXT + 1];
  if (!splitLine(line, key, value)) return 1;
  return cfgSetString(config, currentSection, key, value);
}

int cfgLoad(Config* config, const char* fileName, int fromArchive) {
  if (!config || !fileName) return 0;
  char line[CFG_MAX_TEXT + 1];
  if (fromArchive == 1) {
    db_file* f = db_fopen(fileName, "rt");
    if (!f) return 1;
    while (db_fgets(line, sizeof line, f)) parseLine(config, line);
    db_fclose(f);
  } else {
    FILE* f = os_fopen(fileName, "r");
    if (!f) return 1;
    while (std::fgets(line, sizeof line, f)) parseLine(config, line);
    std::fclose(f);
  }
  return 1;
}

int cfgSave(Config* config, const char* fileName, int toArchive) {
  if (!config || !fileName) return 0;
  db_file* dbf = nullptr;
  FILE* f = nullptr;
  if (toArchive == 1) {
    dbf = db_fopen(fileName, "wt");
    if (!dbf) return 0;
  } else {
    f = os_fopen(fileName, "w");
    if (!f) return 0;
  }
  auto put = [&](const char* a, const char* b, bool header) {
    if (dbf) {
      if (header) db_fprintf(dbf, "[%s]\n", a);
      else if (a) db_fprintf(dbf, "%s=%s\n", a, b);
      else db_fputs("\n", dbf);
    } else {
      if (header) std::fprintf(f, "[%s]\n", a);
      else if (a) std::fprintf(f, "%s=%s\n", a, b);
      else std::fputs("\n", f);
    }
  };
  for (int i = 0; i < config->count; ++i) {
    put(config->entries[i].key, nullptr, true);
    const assoc_array* s = static_cast<const assoc_array*>(config->entries[i].data);
    for (int k = 0; s && k < s->count; ++k) {
      char* const* value = static_cast<char* const*>(s->entries[k].data);
      put(s->entries[k].key, value && *value ? *value : "", false);
    }
    put(nullptr, nullptr, false);
  }
  if (dbf) db_fclose(dbf);
  else std::fclose(f);
  return 1;
}

char** cfgGetCommaList(Config* config, const char* section, const char* key, int* count) {
  if (!count) return nullptr;
  char* value = nullptr;
  if (!cfgGetString(config, section, key, &value) || !value[0]) return nullptr;
  char* work = mystrdup(value, CFG_TAG, __LINE__);
  char** list = static_cast<char**>(mymalloc(sizeof(char*), CFG_TAG, __LINE__));
  int n = 0;
  for (char* item = std::strtok(work, ","); item; item = std::strtok(nullptr, ",")) {
    while (isWhite(*item)) ++item;
    list[n++] = mystrdup(item, CFG_TAG, __LINE__);
    // Always one spare slot.
    list = static_cast<char**>(myrealloc(list, sizeof(char*) * (n + 1), CFG_TAG, __LINE__));
  }
  myfree(work, CFG_TAG, __LINE__);
  if (n == 0) {
    // A value made only of commas holds no item: answered like a missing list.
    myfree(list, CFG_TAG, __LINE__);
    *count = 0;
    return nullptr;
  }
  list[n] = nullptr;
  *count = n;
  return list;
}

void cfgFreeCommaList(char** list, int count) {
  if (!list) return;
  for (int i = 0; i < count; ++i)
    if (list[i]) myfree(list[i], CFG_TAG, __LINE__);
  myfree(list, CFG_TAG, __LINE__);
}
