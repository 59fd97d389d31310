// The installer's main flow.
#include "setup/main.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "assoc/assoc.h"
#include "db/db.h"
#include "base/config.h"
#include "base/format.h"
#include "engine/instutil.h"
#include "engine/undo.h"
#include "toolkit/fontmgr.h"
#include "base/memdbg.h"
#include "toolkit/mousemgr.h"
#include "setup/panels.h"
#include "setup/unattended.h"
#include "base/settings.h"
#include "platform/os.h"
#include "color/color.h"
#include "toolkit/widget.h"
#include "toolkit/window.h"
#include "vrk/debug.h"
#include "vrk/mouse.h"
#include "vrk/text.h"
#include "vrk/vrk.h"
#include "vrk/winmain.h"

int runExternals = 0;
int setupFailed = 0;
// The panel functions (install, installing, finish); a null entry counts as a panel that
// returned 0.
panel_fn panels[NUM_PANELS] = {panelInstall, panelInstalling, panelFinish};
const char* errInitDbStr = "Error initializing database.\n";
main_spawn_fn mainSpawn = os_spawn;

namespace {
bool comStarted = false;  // the component services run (vrk_main to cleanup)
}  // namespace


namespace {

const InstType* selectedType() {
  static const InstType none{};
  if (installType < 0 || installType >= MAX_INST_TYPES) return &none;
  return &instTypes[installType];
}

// Appends `text` to the argument line; false when it would not fit.
bool appendPlain(char* line, size_t size, std::string_view text) {
  size_t used = std::strlen(line);
  if (used + text.size() + 1 > size) return false;
  std::memcpy(line + used, text.data(), text.size());
  line[used + text.size()] = '\0';
  return true;
}

bool equalsNoCase(const char* a, const char* b) { return assoc_compare(a, b) == 0; }

// Appends one argument token, replacing it when it is a macro; false when it would not fit.
bool appendToken(char* line, size_t size, const char* token) {
  if (equalsNoCase(token, "%srcdir%")) return strcatAddQuotes(line, size, sourcePath) != nullptr;
  if (equalsNoCase(token, "%srcdrive%")) return appendPlain(line, size, std::string_view(sourcePath).substr(0, 2));
  if (equalsNoCase(token, "%destdir%")) return strcatAddQuotes(line, size, destPath) != nullptr;
  if (equalsNoCase(token, "%destdrive%")) return appendPlain(line, size, std::string_view(destPath).substr(0, 2));
  if (equalsNoCase(token, "%instname%")) {
    const InstType* t = selectedType();
    return strcatAddQuotes(line, size, std::string(t->fullName, strnlen(t->fullName, sizeof t->fullName)).c_str()) != nullptr;
  }
  if (equalsNoCase(token, "%os%")) return appendPlain(line, size, "WIN");
  if (equalsNoCase(token, "%instsize%")) {
    char number[24];
    std::snprintf(number, sizeof number, "%llu", static_cast<unsigned long long>(selectedType()->size));
    return appendPlain(line, size, number);
  }
  if (equalsNoCase(token, "%insttype%")) {
    const InstType* t = selectedType();
    return appendPlain(line, size, std::string_view(t->name, strnlen(t->name, sizeof t->name)));
  }
  return appendPlain(line, size, token);
}

// Whether font `number` loads as the window system (0-9, "font<n>.fon") or the font manager
// (100-110, "font<n-100>.aaf") will load it; `member` names its file. Other numbers name no file.
bool fontLoads(int number, char (&member)[32]) {
  member[0] = '\0';
  bool ok = true;
  if (number >= 0 && number < TEXT_BUILTIN_FONTS) {
    std::snprintf(member, sizeof member, "FONT%d.FON", number);
    ok = VRK_text_load_font(number) == 0;
    VRK_text_free_font(number);
  } else if (number >= 100 && number <= 110) {
    std::snprintf(member, sizeof member, "FONT%d.AAF", number - 100);
    ok = FMLoadFont(number - 100) == 0;
    FMFreeFont(number - 100);
  }
  return ok;
}

// The fonts setup cannot start without, tried before the display is taken: a 1-bit font for the
// window system and the fonts the script selects. One that is missing or damaged ends setup with
// status 1 and a message naming it (which would otherwise start with no text, or a panel too tall
// for the screen).
void checkStartFonts(void) {
  char member[32] = "FONT0.FON";
  bool ok = false;
  for (int n = 0; n < TEXT_BUILTIN_FONTS && !ok; ++n) {
    char name[32];
    ok = fontLoads(n, name);
  }
  int font = 0, titleFont = 0;
  cfgGetValue(&settings, "Startup", "Font", &font);
  cfgGetValue(&settings, "Install", "TitleFont", &titleFont);
  if (ok) ok = fontLoads(font, member) && fontLoads(titleFont, member);
  if (ok) return;
  char text[300];
  std::snprintf(
      text, sizeof text,
      textOr("ErrSetupData", "s", "Setup cannot start: %s is missing from its data (INSTALL.DAT) or damaged."), member);
  VRKSystemError(text);
  std::exit(1);
}

}  // namespace

// An argument line or program path that would not fit its buffer after expansion is refused: the
// program is not started (a cut-off path or argument would start the wrong thing or hand it a
// wrong destination), a debug message says why, and the result is 0.
int runExternal(const char* key, int wait) {
  char* stored = nullptr;
  if (!cfgGetString(&settings, "End", key, &stored) || !stored || !stored[0]) return 0;
  // Split a copy, so the stored value stays whole.
  std::string value(stored);
  char* program = std::strtok(value.data(), " \t");
  if (!program) return 0;

  char argsLine[MAIN_PATH_SIZE] = "";
  bool first = true;
  for (char* token = std::strtok(nullptr, " \t"); token; token = std::strtok(nullptr, " \t")) {
    if ((!first && !appendPlain(argsLine, sizeof argsLine, " ")) || !appendToken(argsLine, sizeof argsLine, token)) {
      debug_printf("runExternal: argument line of %s too long, not started\n", key);
      return 0;
    }
    first = false;
  }

  char pBuf[MAIN_PROGRAM_SIZE];
  expandMacro(pBuf, sizeof pBuf, program);
  if (!pBuf[0]) {
    debug_printf("runExternal: program path of %s too long, not started\n", key);
    return 0;
  }
  char scratch[MAIN_PATH_SIZE];
  std::memcpy(scratch, argsLine, sizeof scratch);
  expandMacro(argsLine, sizeof argsLine, scratch);  // "%os%" -> "WIN" never lengthens the line

  debug_printf("pBuf = %s, argsLine = '%s'\n", pBuf, argsLine);
  const char* argv[3] = {pBuf, argsLine, nullptr};

  // A program in a subdirectory starts with that directory as its current one, and is started by
  // its full path (named relative to the directory it starts in, "DX\\SETUP.EXE" would be looked
  // for in DX\\DX). A relative path is taken from the current directory; an absolute one
  // ("C:\\GAME\\x.exe", "\\GAME\\x.exe") names its directory itself.
  char saved[MAIN_PATH_SIZE];
  bool changed = false;
  std::string full = pBuf;
  if (const char* slash = std::strrchr(pBuf, '\\')) {
    if (os_getcwd(saved, sizeof saved) == 0) {
      std::string part(pBuf, static_cast<size_t>(slash - pBuf));
      bool absolute = pBuf[0] == '\\' || (pBuf[0] && pBuf[1] == ':');
      std::string dir;
      if (absolute) {
        dir = part;
        if (dir.empty() || dir.back() == ':') dir += '\\';  // "\\x.exe", "C:\\x.exe": the root itself
      } else {
        dir = saved;
        if (dir.empty() || dir.back() != '\\') dir += '\\';
        full = dir + pBuf;
        dir += part;
      }
      if (full.size() >= MAIN_PROGRAM_SIZE) {
        debug_printf("runExternal: full path of %s too long, not started\n", key);
        return 0;
      }
      os_chdir(dir.c_str());  // a failure leaves the directory as it was; the start is tried anyway
      changed = true;
    }
  }
  argv[0] = full.c_str();  // the program as started
  int result = mainSpawn(full.c_str(), argv, wait);
  if (changed) os_chdir(saved);
  return result == 0 ? 1 : 0;
}

int openDatabase(void) {
  assoc_register_mem(assocMalloc, assocRealloc, assocFree);
  db_register_mem(dbMalloc, dbStrdup, dbFree);
  return db_init("install.dat", nullptr, nullptr) == -1 ? 0 : 1;
}

void initDatabase(void) {
  if (!openDatabase()) {
    VRKSystemError(errInitDbStr);
    std::exit(1);
  }
}

void doInstall(void) {
  char* background = nullptr;
  cfgGetString(&settings, "Install", "Background", &background);
  debug_printf("Loading install background, %s...\n", background ? background : "");
  if (background && background[0]) windowDisplayWithPalette(background, nullptr);
  int r = 0;
  for (panel_fn panel : panels) {
    r = panel ? panel() : 0;
    if (r == PANEL_QUIT) return;
  }
  if (r == PANEL_NEXT) runExternals = 1;
}

void cleanup(void) {
  debug_printf("Cleaning up... ");
  if (comStarted) os_com_exit();
  comStarted = false;
  // The toolkit closes every managed window, the archive and the window system, which gives the
  // display back before any external program starts.
  freeDriveSizes();
  FMExit();
  widgetsClose();
  mouseClose();
  windowClose();
  debug_printf("done.\n");
  if (runExternals) {
    runExternal("ConfigExe", 1);
    runExternal("Run", 1);
    runExternal("Run2", 0);
  }
  settingsClose();
  check_memory();
  debug_printf("%d bytes of total memory still allocated.\n", get_current_memory());
}

int vrk_main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  // Without a screen when asked: the same install, its messages as text.
  UnattendedOptions options;
  switch (unattendedParse(VRK95_lpszCmdLine, &options)) {
    case UNATTENDED_USAGE:
      unattendedUsage();
      return 0;
    case UNATTENDED_INSTALL:
      std::exit(unattendedInstall(options, UnattendedFlow{openDatabase, runExternal}));
    default:
      break;
  }
  initDatabase();
  initSettings();
  checkStartFonts();
  win_set_minimized_title(getString("ProgramName"));
  if (os_getcwd(sourcePath, sizeof sourcePath) != 0) sourcePath[0] = '\0';
  // The shell's link object needs the component services; without them the install goes on and
  // makes no shortcuts.
  comStarted = os_com_init() == 0;
  if (!comStarted) VRKSystemError(getString("ErrNoShortcuts"));
  initWindow(1, 1);
  createWindow("Main", 0, 0, 640, 480, colorTable[0], 0);
  selectWindow("Main");
  int font = 0;
  cfgGetValue(&settings, "Startup", "Font", &font);
  debug_printf("Selecting font %d...\n", font);
  windowSetFont(font);
  windowSetTextColor(1.0f, 1.0f, 1.0f);
  windowSetTextFlags(0x2010000);
  const char* loading = getString("Loading2");
  windowPrint(loading, text_width(loading), 0, 0, colorTable[0x7FFF] | 0x2000000);
  windowDrawRect(0, 0, text_width(loading), text_height());
  initMouse();
  mouse_hide();
  panelsUseEngineUi();  // the engine's messages from here on are the panels' message boxes
  // A killed setup's log is all that can undo its install: offered before anything else.
  installRecoverInterrupted();
  if (!initInstTypes()) {  // said; with nothing to install, setup has failed
    cleanup();
    std::exit(1);
  }
  initDriveSizes();
  if (FMInit() == 0) {
    const text_manager aliasMgr = FMtext_manager();
    text_add_manager(&aliasMgr);
  }
  initWidgets();
  doInstall();
  cleanup();
  return setupFailed;
}
