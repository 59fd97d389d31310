// The install without a screen: the engine's interface as text, and the panels' steps in order.
#include "setup/unattended.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/pathutil.h"
#include "base/settings.h"
#include "db/db.h"
#include "engine/destination.h"
#include "engine/instutil.h"
#include "engine/transfer.h"
#include "engine/ui.h"
#include "engine/undo.h"
#include "engine/uninst.h"
#include "platform/os.h"

namespace {

std::string transcript;  // every line said, for the log file
int said = 0;            // messages since the count was last cleared

void say(const char* text) {
  std::string line = std::string("setup: ") + text;
  for (size_t at = 0; (at = line.find('\n', at)) != std::string::npos; at += 8) line.replace(at, 1, "\n       ");
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  transcript += line + "\n";
}

void textMessage(const char* text) {
  say(text);
  ++said;
}

// No one is there to answer: the safe answer is No (keep what is, undo nothing more).
int textQuestion(const char* text) {
  say((std::string(text) + "\n(no: an unattended install asks nothing)").c_str());
  return 0;
}

int neverCancel(void) { return 0; }
void noProgress(uint64_t, uint64_t) {}

const EngineUi textUi = {textMessage, textQuestion, neverCancel, noProgress};

bool startsWithNoCase(const char* s, const char* prefix) {
  for (; *prefix; ++s, ++prefix)
    if (std::toupper(static_cast<unsigned char>(*s)) != std::toupper(static_cast<unsigned char>(*prefix))) return false;
  return true;
}

// Writes what was said into `path` (a name of the running system, or a Windows path beside the
// uninstall log); false when it cannot be written.
bool writeLog(const std::string& path, bool windowsPath) {
  FILE* f = windowsPath ? os_fopen(path.c_str(), "wt") : os_fopen_native(path.c_str(), "wt");
  if (!f) return false;
  const bool ok = std::fputs(transcript.c_str(), f) >= 0;
  return std::fclose(f) == 0 && ok;
}

int finish(const UnattendedOptions& options, const UnattendedFlow& flow, int status) {
  if (!options.log.empty() && !writeLog(options.log, false))
    std::fprintf(stderr, "setup: the log %s cannot be written\n", options.log.c_str());
  freeDriveSizes();
  if (status != 1) {
    flow.runExternal("ConfigExe", 1);
    flow.runExternal("Run", 1);
    flow.runExternal("Run2", 0);
  }
  settingsClose();
  db_exit();
  return status;
}

}  // namespace

int unattendedParse(const char* commandLine, UnattendedOptions* options) {
  *options = UnattendedOptions{};
  bool silent = false, usage = false;
  const char* p = commandLine ? commandLine : "";
  while (*p) {
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) break;
    if (startsWithNoCase(p, "/D=")) {  // the rest of the line, spaces and all
      std::string rest = p + 3;
      while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.pop_back();
      if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
      options->dest = rest;
      break;
    }
    const char* end = p;
    while (*end && *end != ' ' && *end != '\t') ++end;
    const std::string word(p, size_t(end - p));
    if (word == "/S" || word == "/s") {
      silent = true;
    } else if (startsWithNoCase(word.c_str(), "/TYPE=")) {
      char* stop = nullptr;
      const long n = std::strtol(word.c_str() + 6, &stop, 10);
      if (stop == word.c_str() + 6 || *stop || n < 1 || n > 1000) usage = true;
      options->type = int(n);
    } else if (startsWithNoCase(word.c_str(), "/LOG=")) {
      options->log = word.substr(5);
    } else if (word == "/?" || word == "-?" || startsWithNoCase(word.c_str(), "/HELP")) {
      return UNATTENDED_USAGE;
    } else {
      usage = true;
    }
    p = end;
  }
  if (!silent) return UNATTENDED_NO;
  return usage ? UNATTENDED_USAGE : UNATTENDED_INSTALL;
}

void unattendedUsage(void) {
  std::printf(
      "Usage: setup [/S [/TYPE=N] [/LOG=FILE] [/D=PATH]]\n"
      "  without /S   the setup program with its panels\n"
      "  /S           installs without a screen; messages go to standard error\n"
      "  /TYPE=N      the N-th install type of the script (1, the first, by default)\n"
      "  /LOG=FILE    also writes the messages into FILE (by default into setup.log beside\n"
      "               the uninstall log, which the uninstall removes with the rest)\n"
      "  /D=PATH      the destination folder (the rest of the line, spaces and all; by default\n"
      "               the script's folder on the first drive with room)\n"
      "Exit status: 0 installed, 1 nothing installed (the reason on standard error),\n"
      "2 installed with file errors.\n");
}

int unattendedInstall(const UnattendedOptions& options, const UnattendedFlow& flow) {
  transcript.clear();
  engineSetUi(&textUi);
  if (!flow.openDatabase()) {
    say("Error initializing database: install.dat cannot be read.");
    return 1;
  }
  initSettings();
  if (os_getcwd(sourcePath, sizeof sourcePath) != 0) sourcePath[0] = '\0';
  const bool com = os_com_init() == 0;
  if (!com) say(getString("ErrNoShortcuts"));
  installRecoverInterrupted();
  if (!initInstTypes()) return finish(options, flow, 1);
  initDriveSizes();
  const int type = options.type - 1;
  if (type >= numInstTypes) {
    say(("There is no install type " + std::to_string(options.type) + ": the script has " +
         std::to_string(numInstTypes) + ".")
            .c_str());
    return finish(options, flow, 1);
  }
  int drives = 0;
  getDriveSizesList(type, &drives);
  const char* folder = options.dest.empty() ? settingOr("Install", "DefaultDirectory") : options.dest.c_str();
  if (!installChoose(type, 0, drives, folder)) return finish(options, flow, 1);
  say(("Installing " + std::string(instTypes[type].name) + " into " + destPath + "...").c_str());
  said = 0;
  if (!installStart()) return finish(options, flow, 1);
  // The log beside the uninstall log is the install's own: named ahead, it goes with the uninstall.
  std::string besideLog;
  char logPath[INST_PATH_SIZE];
  if (options.log.empty() && joinPath(logPath, sizeof logPath, destPath, "setup.log")) {
    // An earlier install's setup.log is already the product's: written over, not named again.
    if (os_access(logPath) == 0 || uninstLogEntrySync("Copied %s", logPath) > 0) besideLog = logPath;
  }
  transferFiles();
  const int state = installComplete();
  if (com) os_com_exit();
  const int errors = said;
  if (state != 3) {
    say("Nothing was installed.");
    return finish(options, flow, 1);
  }
  say(errors ? "Installed, with the errors above." : "Installed.");
  if (!besideLog.empty() && !writeLog(besideLog, true)) std::fprintf(stderr, "setup: %s cannot be written\n", besideLog.c_str());
  return finish(options, flow, errors ? 2 : 0);
}
