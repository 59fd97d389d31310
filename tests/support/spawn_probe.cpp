// A small program the tests really start: it writes its arguments, joined by blanks, as one line
// to "probe.out" in the directory it was started in, and exits with status 7. (Windows splits the
// one argument line a program is started with at its blanks; the host hands it over whole.)
#include <cstdio>

int main(int argc, char** argv) {
  std::FILE* f = std::fopen("probe.out", "wb");
  if (!f) return 1;
  for (int i = 1; i < argc; ++i) std::fprintf(f, "%s%s", i > 1 ? " " : "", argv[i]);
  std::fputc('\n', f);
  std::fclose(f);
  return 7;
}
