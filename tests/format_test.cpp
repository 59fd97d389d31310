// Script formats against their callers' arguments: what may reach printf and what may not.
#include "base/format.h"

#include <gtest/gtest.h>

#include "base/config.h"
#include "base/settings.h"

TEST(FormatFits, OnlyConversionsThatTakeTheirArgumentPass) {
  struct Case {
    const char* format;
    const char* kinds;
    int fits;
  } cases[] = {
      {"Error %d on %s", "is", 1},    {"%c: %u MB", "ii", 1},     {"Typical (%.1f MB)", "f", 1},
      {"%-8s|%05.2lf|%%|%x", "sfi", 1}, {"no conversions", "is", 1}, {"%s", "", 0},
      {"%s on %d", "is", 0},          {"%d %s %s", "is", 0},      {"%n", "i", 0},
      {"%*d", "ii", 0},               {"%1$s", "s", 0},           {"%lu", "i", 0},
      {"%hhd", "i", 0},               {"%ls", "s", 0},            {"%1000d", "i", 0},
      {"%.1000f", "f", 0},            {"100%", "", 0},            {"%d", "f", 0},
      {"%f", "i", 0},                 {"%p", "i", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(formatFits(c.format, c.kinds), c.fits) << c.format << " / " << c.kinds;
  EXPECT_EQ(formatFits(nullptr, "s"), 0);
}

TEST(FormatText, AnUnfitScriptTextGivesWayToTheBuiltInOne) {
  ASSERT_EQ(initSettings(), 1);
  ASSERT_EQ(cfgSetString(&settings, "Strings", "ErrWriteFile", "Error %s on %d %n"), 1);
  ASSERT_EQ(cfgSetString(&settings, "Strings", "ErrReadFile", "Cannot read %s\\nagain"), 1);
  EXPECT_STREQ(stringFormat("ErrWriteFile", "is", "built-in %d %s"), "built-in %d %s");
  EXPECT_STREQ(stringFormat("ErrReadFile", "s", "built-in %s"), "Cannot read %s\nagain");
  EXPECT_STREQ(stringFormat("ErrCreateDir", "s", "built-in %s"), "*STRING ERROR!*");  // missing, as ever
  EXPECT_STREQ(textOr("ErrCreateDir", "s", "ours %s"), "ours %s");
  EXPECT_STREQ(textOr("ErrWriteFile", "is", "ours %d %s"), "ours %d %s");
  settingsClose();
}
