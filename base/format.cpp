// Checks of printf formats that come from the script.
#include "base/format.h"

#include <cstring>

#include "base/config.h"
#include "base/settings.h"
#include "vrk/debug.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Skips up to three digits; false when there are more.
bool skipNumber(const char*& p) {
  int n = 0;
  while (isDigit(*p)) {
    if (++n > 3) return false;
    ++p;
  }
  return true;
}

}  // namespace

int formatFits(const char* format, const char* kinds) {
  if (!format || !kinds) return 0;
  const char* next = kinds;
  for (const char* p = format; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p && std::strchr("-+ #0", *p)) ++p;
    if (!skipNumber(p)) return 0;
    if (*p == '.') {
      ++p;
      if (!skipNumber(p)) return 0;
    }
    bool longFloat = false;
    if (*p == 'l') {
      longFloat = true;
      ++p;
    }
    const char kind = *next;
    if (!kind || !*p) return 0;  // more conversions than arguments, or a cut conversion
    const char conversion = *p;
    bool ok = false;
    if (std::strchr("fFeEgGaA", conversion))
      ok = kind == 'f';
    else if (longFloat)
      ok = false;
    else if (std::strchr("diuxXoc", conversion))
      ok = kind == 'i';
    else if (conversion == 's')
      ok = kind == 's';
    if (!ok) return 0;
    ++next;
  }
  return 1;
}

namespace {

// The script's text `key` when it has a non-empty one (null otherwise); `fits` says whether it fits.
const char* scriptText(const char* key, const char* kinds, bool* fits) {
  char* value = nullptr;
  if (!cfgGetString(&settings, "Strings", key, &value) || !value || !value[0]) return nullptr;
  const char* text = getString(key);  // with its written line breaks turned into real ones
  *fits = formatFits(text, kinds) != 0;
  if (!*fits) debug_printf("Text %s does not fit its arguments; the built-in text is used\n", key);
  return text;
}

}  // namespace

const char* stringFormat(const char* key, const char* kinds, const char* builtin) {
  bool fits = false;
  const char* text = scriptText(key, kinds, &fits);
  if (!text) return getString(key);
  return fits ? text : builtin;
}

const char* textOr(const char* key, const char* kinds, const char* fallback) {
  bool fits = false;
  const char* text = scriptText(key, kinds, &fits);
  return text && fits ? text : fallback;
}
