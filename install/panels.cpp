// The file-transfer panel: background, the copy, registry keys and shortcuts, the uninstaller,
// and the removal after a cancel.
#include "install/panels.h"

#include "install/config.h"
#include "install/instlib.h"
#include "install/instutil.h"
#include "install/registry.h"
#include "install/settings.h"
#include "install/uninst.h"
#include "install/window.h"
#include "vrk/debug.h"
#include "vrk/mouse.h"

int currentState = 0;

int panelInstalling(void) {
  currentState = 0;
  if (!installCanStart()) {  // nothing was changed, so there is nothing to log or undo
    uninstDiscard();
    currentState = 1;
    return currentState;
  }
  char* background = nullptr;
  if (cfgGetString(&settings, "Installing", "Background", &background) && background) {
    debug_printf("Display screen, %s ...\n", background);
    windowDisplayWithPalette(background, 0);
  }
  debug_printf("About to enter transfer files...\n");
  mouse_hide();
  transferFiles();
  mouse_show();

  if (currentState != 1) {
    const char* title = settingOr("Registry Settings", "Title");
    const char* company = settingOr("Registry Settings", "Company");
    const char* executable = settingOr("Registry Settings", "Executable");
    const char* version = settingOr("Registry Settings", "Version");
    if (!title[0] || !company[0] || !executable[0] || !version[0]) {
      sprintfBox("%s", "Some registry entries are missing in INSTALL.INI!");
    } else {
      debug_printf("Adding registry keys...\n");
      regSetLogFunc(uninstLogEntrySync);
      regAddAppKeys(company, title, version, destPath, executable);
      regAddUninstallKey(title, destPath);
    }
    const char* folder = settingOr("Shortcuts", "Folder");
    makeShortcut(folder, destPath, "ProductTitle", "ProductExe");
    makeShortcut(folder, destPath, "Readme", "ReadmeFile");
    makeShortcut(folder, destPath, "Ereg", "EregExe");
    copyUninstallToWindows();
  }
  if (currentState == 0) currentState = 3;
  if (currentState == 1) {  // taken back at once, from the log where it was written
    uninstCloseInPlace();
    deinstall();
  } else {
    uninstClose();
  }
  return currentState;
}
