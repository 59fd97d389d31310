// WELCOME.EXE of the sample medium: the program the sample's script runs after the install
// ("Run" of section "End"). It writes the words of its argument line, one per line, into
// WELCOME.TXT in the folder named by the first word (the destination), so that a check can see
// that it ran and what the installer's macros expanded to. Double quotes group words with
// blanks, as a Windows program's command line does; on the host the installer hands the whole
// line over as one argument, which is split the same way here.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/os.h"

namespace {

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) out.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur += c;
      any = true;
    }
  }
  if (any) out.push_back(cur);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::string line;
  if (argc == 2) {
    line = argv[1];  // the whole line as one argument (the host), or a single word
  } else {
    for (int i = 1; i < argc; ++i) {
      if (i > 1) line += ' ';
      // A word that held blanks arrives without its quotes on Windows: put them back.
      const std::string a = argv[i];
      line += a.find(' ') != std::string::npos ? '"' + a + '"' : a;
    }
  }
  const std::vector<std::string> w = words(line);
  if (w.empty()) return 2;
  std::string path = w[0];
  if (!path.empty() && path.back() != '\\') path += '\\';
  path += "WELCOME.TXT";
  FILE* f = os_fopen(path.c_str(), "wb");
  if (!f) return 1;
  for (const std::string& s : w) std::fprintf(f, "%s\r\n", s.c_str());
  return std::fclose(f) == 0 ? 0 : 1;
}
