// Install types: the table the install-type code fills from the script and its file lists, read
// by the main flow's "End" macros and by the panels.
#pragma once

#include <cstdint>

constexpr int MAX_INST_TYPES = 16;

struct InstType {
  char name[64];      // item of the "InstallTypes" list; also the name of the type's section
  char fullName[80];  // text shown in the type list
  uint32_t size;      // total bytes the type copies
};

extern InstType instTypes[MAX_INST_TYPES];
extern int numInstTypes;
