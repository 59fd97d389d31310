// The host's entry of programs that bring no main of their own: the words of the command line,
// joined again with single blanks, go to the window system as Windows would pass them.
#include <string>

#include "platform/entry.h"

int main(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return plat_program_entry(line.c_str(), 1);
}
