// Event files as text and back, for writing replays by hand and reading recorded ones:
//   vcr_text show FILE.vcr            prints the events, one a line
//   vcr_text pack FILE.txt OUT.vcr    writes the events of the text
// One event a line ('#' starts a comment), the fields in the file's order:
//   start TIME COUNTER X Y LAYOUT
//   key TIME COUNTER SCAN             (SCAN as 0x.. or decimal: make, break | 0x80, 0xE0 prefix)
//   mouse TIME COUNTER DX DY BUTTONS
// With every TIME 0 playback never waits: a key of counter c comes in the c-th pass after the
// start record's, and so does a mouse event of counter c + 1.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kit/events.h"

namespace {

uint32_t get(const std::vector<uint8_t>& in, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | in[at + size_t(i)];
  return v;
}

int show(const char* path) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return 1;
  std::vector<uint8_t> in;
  for (int c; (c = std::fgetc(f)) != EOF;) in.push_back(uint8_t(c));
  std::fclose(f);
  size_t at = 0;
  const char* names[] = {"", "start", "key", "mouse"};
  while (at + 12 <= in.size()) {
    const uint32_t type = get(in, at, 4), time = get(in, at + 4, 4), counter = get(in, at + 8, 4);
    const size_t size = type == 2 ? 14 : 24;
    if (type < 1 || type > 3 || at + size > in.size()) break;
    std::printf("%s %u %u", names[type], time, counter);
    if (type == 2)
      std::printf(" 0x%02X\n", get(in, at + 12, 2));
    else
      std::printf(" %d %d %d\n", int32_t(get(in, at + 12, 4)), int32_t(get(in, at + 16, 4)),
                  int32_t(get(in, at + 20, 4)));
    at += size;
  }
  if (at != in.size()) std::fprintf(stderr, "vcr_text: damaged from byte %zu\n", at);
  return at == in.size() ? 0 : 1;
}

int pack(const char* path, const char* out_path) {
  FILE* f = std::fopen(path, "r");
  if (!f) return 1;
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(char(c));
  std::fclose(f);
  std::vector<uint8_t> out;
  std::string error;
  if (!kit_events_from_text(text, &out, &error)) {
    std::fprintf(stderr, "vcr_text: %s: %s\n", path, error.c_str());
    return 1;
  }
  FILE* o = std::fopen(out_path, "wb");
  if (!o) return 1;
  const bool ok = std::fwrite(out.data(), 1, out.size(), o) == out.size();
  return std::fclose(o) == 0 && ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && !std::strcmp(argv[1], "show")) return show(argv[2]);
  if (argc == 4 && !std::strcmp(argv[1], "pack")) return pack(argv[2], argv[3]);
  std::fprintf(stderr, "usage: vcr_text show FILE.vcr | vcr_text pack FILE.txt OUT.vcr\n");
  return 2;
}
