// The command line as an argument vector: argv[0] the program's full path, then the words of
// the command line (split at white space; no quoting, no escapes). The strings and the array
// come from the standard heap.
#pragma once

struct DOSCmdLine {
  int argc;
  char** argv;
};

// Sets argc 0 and argv null; a null record is ignored.
void DOSCmdLineInit(DOSCmdLine* record);
// Fills the record from the program path and `text` (null: empty); 1, or 0 with the record emptied.
int DOSCmdLineCreate(DOSCmdLine* record, const char* text);
// Frees every argument from the last to the first, then the array; argc 0, argv null.
void DOSCmdLineDestroy(DOSCmdLine* record);
// Destroys the record and returns 0.
int DOSCmdLineFatalError(DOSCmdLine* record);
