// Script format check fuzz target: the first byte picks the arguments of one of the installer's
// callers, the rest is the format. Whatever the check lets through is really formatted with
// arguments of those kinds, so a conversion it wrongly accepted reads a wrong argument under the
// sanitizers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* const kinds[] = {"", "s", "is", "ii", "f"};
  const char* k = kinds[data[0] % 5];
  const std::string format(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!formatFits(format.c_str(), k)) return 0;
  char out[512];
  const char* text = "C:\\GAMES\\FILE.DAT";
  switch (data[0] % 5) {
    case 0: std::snprintf(out, sizeof out, format.c_str(), 0); break;  // an argument no conversion takes
    case 1: std::snprintf(out, sizeof out, format.c_str(), text); break;
    case 2: std::snprintf(out, sizeof out, format.c_str(), 28, text); break;
    case 3: std::snprintf(out, sizeof out, format.c_str(), 'C', 4096u); break;
    default: std::snprintf(out, sizeof out, format.c_str(), 2.5); break;
  }
  return 0;
}
