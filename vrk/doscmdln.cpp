// Command-line splitting for the program entry.
#include "vrk/doscmdln.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "platform/system.h"

void DOSCmdLineInit(DOSCmdLine* record) {
  if (!record) return;
  record->argc = 0;
  record->argv = nullptr;
}

void DOSCmdLineDestroy(DOSCmdLine* record) {
  if (!record) return;
  for (int i = record->argc - 1; i >= 0; --i) std::free(record->argv[i]);
  std::free(record->argv);
  DOSCmdLineInit(record);
}

int DOSCmdLineFatalError(DOSCmdLine* record) {
  DOSCmdLineDestroy(record);
  return 0;
}

namespace {

// Appends a copy of n bytes of `word`; false when memory runs out (the record stays consistent).
bool add(DOSCmdLine* record, const char* word, size_t n) {
  char* copy = static_cast<char*>(std::malloc(n + 1));
  if (!copy) return false;
  std::memcpy(copy, word, n);
  copy[n] = '\0';
  void* grown = std::realloc(record->argv, sizeof(char*) * size_t(record->argc + 2));
  if (!grown) {
    std::free(copy);
    return false;
  }
  record->argv = static_cast<char**>(grown);
  record->argv[record->argc++] = copy;
  record->argv[record->argc] = nullptr;  // argv[argc] is null, as main's is
  return true;
}

bool blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

int DOSCmdLineCreate(DOSCmdLine* record, const char* text) {
  if (!record) return 0;
  DOSCmdLineInit(record);
  char path[256];
  if (plat_program_path(path, sizeof path) == 0) return DOSCmdLineFatalError(record);
  if (!add(record, path, std::strlen(path))) return DOSCmdLineFatalError(record);
  for (const char* p = text ? text : ""; *p;) {
    if (blank(*p)) {
      ++p;
      continue;
    }
    const char* start = p;
    while (*p && !blank(*p)) ++p;
    if (!add(record, start, size_t(p - start))) return DOSCmdLineFatalError(record);
  }
  return 1;
}
