// Setup without a screen: "setup /S [/TYPE=N] [/D=PATH] [/LOG=FILE]" installs through the same
// engine as the panels, with every message the panels would show written as text (standard
// error, and the log), no question ever asked, and an exit status a script can read.
#pragma once

#include <string>

enum { UNATTENDED_NO, UNATTENDED_INSTALL, UNATTENDED_USAGE };

struct UnattendedOptions {
  int type = 1;       // install type, 1-based in the script's order
  std::string dest;   // destination ("" : the script's default folder on the first drive with room)
  std::string log;    // log file named as the running system names files ("": beside the uninstall log)
};

// Reads setup's command line: UNATTENDED_INSTALL with *options filled for "/S" (with "/TYPE=N",
// "/LOG=FILE", and "/D=PATH", which takes the rest of the line, spaces and all), UNATTENDED_USAGE
// for "/?" or a word it does not know next to "/S", else UNATTENDED_NO (the panels' setup).
int unattendedParse(const char* commandLine, UnattendedOptions* options);
// Writes the command line's usage to standard output.
void unattendedUsage(void);
// What the install takes from the main flow: opening "install.dat" (1, or 0) and starting the
// "End" programs (runExternal's contract).
struct UnattendedFlow {
  int (*openDatabase)(void);
  int (*runExternal)(const char* key, int wait);
};

// Installs without the window system: 0 installed, 1 nothing installed (the machine as before,
// the reason on standard error), 2 installed with file errors. A question the panels would ask
// takes its safe answer (an interrupted install's log is kept) and says so.
int unattendedInstall(const UnattendedOptions& options, const UnattendedFlow& flow);
