// Arbitrary bytes as a shell link (".lnk") whose target the uninstaller reads before it removes
// the link: the reader never reads outside the bytes, and a target it returns is a text of the
// bytes, ended, and fits the buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char target[260];
  std::memset(target, 'x', sizeof target);
  if (shellLinkTarget(data, size, target, sizeof target)) {
    const size_t n = std::strlen(target);  // the buffer holds an end within it
    if (n == 0 || n >= sizeof target) std::abort();
  } else if (target[0] != '\0') {
    std::abort();  // a refusal leaves an empty text
  }
  return 0;
}
