// Event files from text: big-endian records, as the window system's player reads them.
#include "kit/events.h"

#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

void put(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

bool kit_events_from_text(const std::string& text, std::vector<uint8_t>* out, std::string* error) {
  out->clear();
  std::istringstream lines(text);
  std::string line;
  int n = 0;
  while (std::getline(lines, line)) {
    ++n;
    line = line.substr(0, line.find('#'));
    char word[16];
    long v[6] = {};
    const int got = std::sscanf(line.c_str(), "%15s %li %li %li %li %li", word, &v[0], &v[1], &v[2], &v[3], &v[4]);
    if (got <= 0) continue;
    const int type = !std::strcmp(word, "start") ? 1 : !std::strcmp(word, "key") ? 2 : !std::strcmp(word, "mouse") ? 3 : 0;
    if (type == 0 || got != (type == 2 ? 4 : 6)) {
      *error = "line " + std::to_string(n) + ": not an event";
      return false;
    }
    put(*out, uint32_t(type), 4);
    for (int i = 0; i < (type == 2 ? 3 : 5); ++i) put(*out, uint32_t(v[i]), i == 2 && type == 2 ? 2 : 4);
  }
  return true;
}
