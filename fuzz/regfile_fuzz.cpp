// Registry file parser fuzz target: arbitrary bytes are parsed into a tree; the tree written out
// must parse again without a skipped line and give the very same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/host/regfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  RegTree tree;
  regfile_parse(text, &tree);
  std::string out = regfile_write(tree);
  RegTree again;
  if (regfile_parse(out, &again) != 0 || regfile_write(again) != out) std::abort();
  for (RegKey& key : tree.keys) {
    if (!regfile_find(&again, key.path)) std::abort();
    for (const RegValue& v : key.values) regfile_get(key, v.name);
  }
  return 0;
}
