// The installer's settings: one configuration store filled with built-in defaults and then
// overlaid with "install.ini" from the archive; every user-visible text comes from its "Strings".
#pragma once

#include "base/config.h"

extern Config settings;
extern int settingsInitialized;

// Builds `settings`: defaults, then "install.ini" through the archive; 1, or 0 when the store cannot be made.
int initSettings(void);
// Frees `settings` when it was built.
void settingsClose(void);
// Turns each backslash followed by 'n' into one line feed, in place, within the first `length`
// characters (the text's own length: the whole text, however long); the rest up to `length` is
// cleared. Nothing for a null text.
void convertNewLines(char* text, int length);
// Text `key` of section "Strings" with "\n" pairs turned into line feeds (in the store, once);
// "*STRING ERROR!*" when missing or empty. Lives until settingsClose.
const char* getString(const char* key);
