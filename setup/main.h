// The installer's main flow: start-up, the panel sequence, clean-up and the external programs
// of section "End".
#pragma once

#include <cstddef>

constexpr int MAIN_PATH_SIZE = 260;
constexpr int MAIN_PROGRAM_SIZE = 256;
constexpr int NUM_PANELS = 3;

// Panel results.
constexpr int PANEL_QUIT = 1;
constexpr int PANEL_NEXT = 3;

typedef int (*panel_fn)(void);
typedef int (*main_spawn_fn)(const char* path, const char* const* argv, int wait);

extern int runExternals;                 // 1: clean-up starts the "End" programs
extern int setupFailed;                  // 1: setup could not offer an install (its exit status)
extern panel_fn panels[NUM_PANELS];      // choose, install, finish; a null entry counts as result 0
extern const char* errInitDbStr;
extern main_spawn_fn mainSpawn;          // program start used by runExternal (os_spawn by default)

// Application entry; arguments unused. Returns setupFailed (0, or 1 when the install panel could not
// be shown); a script that names no install type, or a font setup cannot start without (missing
// or damaged), ends the process with status 1 after a message.
int vrk_main(int argc, char** argv);
// Registers the allocation wrappers and opens "install.dat"; 1, or 0 when it cannot be opened.
int openDatabase(void);
// openDatabase, ending the process (code 1) with a system message box on failure.
void initDatabase(void);
// Shows the install background and runs the panels in order until one returns PANEL_QUIT.
void doInstall(void);
// Closes everything down, runs the "End" programs when asked, frees the settings, reports leaks.
void cleanup(void);
// Starts the program named by `key` in section "End" (wait != 0: waits); 1 when the start call
// returned 0, else 0 (also when the value is empty or too long for its buffers).
int runExternal(const char* key, int wait);
