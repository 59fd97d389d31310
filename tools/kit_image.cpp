// Picture and palette converters of setupkit.
#include <cstdio>

#include "tools/kit_convert.h"

namespace {
int not_yet(const char* cmd) {
  std::fprintf(stderr, "setupkit: %s: not available in this build\n", cmd);
  return 1;
}
}  // namespace

int kit_palette(const std::vector<std::string>&) { return not_yet("palette"); }
int kit_pcx(const std::vector<std::string>&) { return not_yet("pcx"); }
int kit_png(const std::vector<std::string>&) { return not_yet("png"); }
