// Font converter of setupkit.
#include <cstdio>

#include "tools/kit_convert.h"

int kit_font(const std::vector<std::string>&) {
  std::fprintf(stderr, "setupkit: font: not available in this build\n");
  return 1;
}
