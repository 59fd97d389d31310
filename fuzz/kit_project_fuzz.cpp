// setupkit's project reader fuzz target: the input is a project file. Every key line it gives is
// looked up by its section and has its value's ${NAME}s replaced and its items split, with a few
// names defined; whatever the text, the reader and the replacement stay within it.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "tools/kit_project.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const KitProject project = kit_project_parse(text);
  const std::map<std::string, std::string> defines = {
      {"PRODUCT", "/tmp/product"}, {"FONTS", "${FONTS}"}, {"", "empty"}};
  for (const KitProjectLine& l : project.lines) {
    if (kit_project_section(project, l.section).empty()) __builtin_trap();  // its own section finds it
    std::string value, why;
    if (!kit_project_expand(l.value, defines, value, why) && why.empty()) __builtin_trap();
    for (const std::string& item : kit_project_items(value))
      if (item.empty()) __builtin_trap();
  }
  return 0;
}
