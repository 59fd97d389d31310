// Installer settings and texts.
#include "base/settings.h"

#include <cstring>

Config settings;
int settingsInitialized = 0;

namespace {

struct Default {
  const char* section;
  const char* key;
  const char* value;
};

constexpr Default kDefaults[] = {
    {"Startup", "Mouse", ""},
    {"Startup", "Font", "0"},
    {"Install", "Background", ""},
    {"Install", "TitleFont", "0"},
    {"Install", "Title", "***Title Goes Here***"},
    {"Install", "DefaultDirectory", "\\VELLACRD"},
    {"Install", "InstallTypes", ""},
    {"Installing", "Background", ""},
    {"Installing", "ProgressEmpty", ""},
    {"Installing", "ProgressFull", ""},
    {"Registry Settings", "Title", "*** Need Title! ***"},
    {"Registry Settings", "Company", "Vellacord"},
    {"Registry Settings", "Executable", ""},
    {"Registry Settings", "Version", "1.0"},
    {"Shortcuts", "Folder", "Vellacord"},
    {"Shortcuts", "ProductTitle", "*** Need Title! ***"},
    {"Shortcuts", "ProductExe", "game.exe"},
    {"Shortcuts", "Readme", "Readme"},
    {"Shortcuts", "ReadmeFile", "readme.txt"},
    {"Shortcuts", "Ereg", ""},
    {"Shortcuts", "EregExe", ""},
    {"AllDone", "Message", "Installation Complete."},
    {"AllDone", "Background", ""},
    {"End", "ConfigExe", ""},
    {"End", "Run", ""},
};

}  // namespace

void convertNewLines(char* text, int length) {
  if (!text || length <= 0) return;
  char* out = text;
  const char* end = text + length;
  for (const char* in = text; in < end && *in; ++in) {
    if (in[0] == '\\' && in + 1 < end && in[1] == 'n') {
      *out++ = '\n';
      ++in;
    } else {
      *out++ = *in;
    }
  }
  while (out < end && *out) *out++ = '\0';
}

int initSettings(void) {
  if (!cfgInit(&settings, 24)) return 0;
  for (const Default& d : kDefaults) cfgSetString(&settings, d.section, d.key, d.value);
  cfgLoad(&settings, "install.ini", 1);
  settingsInitialized = 1;
  return 1;
}

void settingsClose(void) {
  if (settingsInitialized) cfgExit(&settings);
  settingsInitialized = 0;
}

const char* getString(const char* key) {
  char* text = nullptr;
  if (!cfgGetString(&settings, "Strings", key, &text) || !text || !text[0]) return "*STRING ERROR!*";
  convertNewLines(text, static_cast<int>(std::strlen(text)));
  return text;
}
