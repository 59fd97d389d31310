// vluninst: undoes an install from its "uninst.log".
//
//   vluninst [/S | -s] -f<path of uninst.log>      (also "-f <path>")
//
// Asks once (No changes nothing), then removes what the log names, last first, with a progress
// bar, and says how it went. /S removes without asking and shows nothing. Exit status: 0 all
// removed, 2 partly (something kept or a removal failed; the log then lists what is left), 1
// nothing removed (no or a damaged log, No, nothing to remove).
//
// The copy of this program in the Windows directory is shared by every product installed with
// this installer: it goes only when no other product's uninstall entry names it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "db/db.h"
#include "base/pathutil.h"
#include "engine/undo.h"
#include "platform/os.h"
#include "vrk/input.h"
#include "vrk/intrface.h"
#include "vrk/mouse.h"
#include "vrk/svga.h"
#include "vrk/text.h"
#include "vrk/vrk.h"
#include "vrk/winmain.h"

extern const unsigned char vluninst_assets[];
extern const size_t vluninst_assets_size;

namespace {

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr int kColour = 0x10104;  // the dialogs' colour word

char assetsPath[INST_PATH_SIZE] = "";
bool uiUp = false;
int barWindow = -1;

// The words after "-f" up to the next switch, joined by single blanks: a log path with blanks
// arrives as several words when the command line was not quoted.
bool parseArgs(int argc, char** argv, bool* silent, std::string* log) {
  *silent = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!std::strcmp(a, "/S") || !std::strcmp(a, "/s") || !std::strcmp(a, "-s") || !std::strcmp(a, "-S")) {
      *silent = true;
    } else if ((a[0] == '-' || a[0] == '/') && (a[1] == 'f' || a[1] == 'F')) {
      std::string path = a + 2;
      while (i + 1 < argc && argv[i + 1][0] != '-' && argv[i + 1][0] != '/') {
        if (!path.empty()) path += ' ';
        path += argv[++i];
      }
      if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
      *log = path;
    }
  }
  return !log->empty();
}

// The product's title from the log's "Program: " line.
std::string titleOf(const VluPlan& plan) {
  const char* p = std::strstr(plan.header, "Program: ");
  if (!p) return "the program";
  p += 9;
  const char* end = std::strchr(p, '\n');
  std::string t(p, end ? size_t(end - p) : std::strlen(p));
  return t.empty() ? "the program" : t;
}

// The window system's font and colours come in a small archive carried by the program, written
// to the Windows directory for the time of the run.
bool startUi() {
  char windows[INST_PATH_SIZE];
  if (os_windows_dir(windows, sizeof windows) != 0 || !joinPath(assetsPath, sizeof assetsPath, windows, "vluninst.dat"))
    return false;
  const int fd = os_open(assetsPath, OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  if (fd < 0) return false;
  const bool written = os_write(fd, vluninst_assets, vluninst_assets_size) == long(vluninst_assets_size);
  if (os_close(fd) != 0 || !written || db_init(assetsPath, nullptr, nullptr) == -1) return false;
  win_set_minimized_title("Uninstall");
  if (win_init(init_mode_640_480, nullptr, WIN_INIT_BUFFER) != 0) return false;
  win_buffering(1);
  mouse_show();  // the dialogs' buttons answer clicks too
  uiUp = true;
  return true;
}

void stopUi() {
  if (uiUp) win_exit();
  uiUp = false;
  db_exit();
  if (assetsPath[0]) os_remove(assetsPath);
  assetsPath[0] = '\0';
}

// The top-left corner that centres the window system's dialog of `text` (a question when
// `question`) on the screen.
void centre(const std::string& text, bool question, int* x, int* y) {
  int width = 0, height = 0;
  win_dialog_size(text.c_str(), question ? 1 : 0, &width, &height);
  *x = (scr_size.lrx + 1 - width) / 2;
  *y = (scr_size.lry + 1 - height) / 2;
}

// Says `text` in a box; without one (/S, or a box that cannot be shown) on stderr, so that a
// script or an administrator can tell what happened.
void say(const std::string& text) {
  if (!uiUp) {
    std::string line = "vluninst: " + text;
    for (size_t at = 0; (at = line.find('\n', at)) != std::string::npos; at += 11) line.replace(at, 1, "\n          ");
    std::fprintf(stderr, "%s\n", line.c_str());
    return;
  }
  int x, y;
  centre(text, false, &x, &y);
  if (win_msg(text.c_str(), x, y, kColour) == -1) std::fprintf(stderr, "vluninst: %s\n", text.c_str());
}

// Asks the question: 1 for Yes, 0 for No, -1 when it could not be shown.
int ask(const std::string& question) {
  int x, y;
  centre(question, true, &x, &y);
  return win_yes_no(question.c_str(), x, y, kColour);
}

// Draws the bar after each entry, then runs one pass of the input's background work: the dump key
// is served while the removal runs, and other keys wait in the queue for the closing message.
void showProgress(int done, int total, void*) {
  if (barWindow == -1 || total <= 0) return;
  const int w = win_width(barWindow) - 40;
  win_fill(barWindow, 20, 44, w * done / total, 16, 260);
  win_draw(barWindow);
  process_bk();
}

// Removes the shared copy of this program unless another product's uninstall entry names it.
void removeOwnCopyIfUnused() {
  os_hkey key = nullptr;
  if (os_reg_open(OS_HKEY_LOCAL_MACHINE, kUninstallKey, &key) == 0) {
    struct Scan {
      bool named = false;
    } scan;
    os_reg_list_subkeys(
        key,
        [](const char* name, void* ctx) {
          std::string path = std::string(kUninstallKey) + "\\" + name;
          os_hkey entry = nullptr;
          char command[512];
          if (os_reg_open(OS_HKEY_LOCAL_MACHINE, path.c_str(), &entry) == 0) {
            if (os_reg_get_string(entry, "UninstallString", command, sizeof command) == 0) {
              for (char* c = command; *c; ++c) *c = char(*c >= 'A' && *c <= 'Z' ? *c + 32 : *c);
              if (std::strstr(command, "vluninst.exe")) static_cast<Scan*>(ctx)->named = true;
            }
            os_reg_close(entry);
          }
          return static_cast<Scan*>(ctx)->named ? 1 : 0;
        },
        &scan);
    os_reg_close(key);
    if (scan.named) return;
  }
  char windows[INST_PATH_SIZE], self[INST_PATH_SIZE];
  if (os_windows_dir(windows, sizeof windows) == 0 && joinPath(self, sizeof self, windows, "vluninst.exe"))
    os_remove_later(self);
}

int run(bool silent, const std::string& log) {
  VluPlan plan;
  const bool sound = vluReadPlan(log.c_str(), &plan) == 1;
  if (!silent && !startUi()) {
    stopUi();
    VRKSystemError("The uninstaller cannot start its display.");
    vluFreePlan(&plan);
    return VLU_NOTHING_REMOVED;
  }
  if (!sound) {
    // The log goes last: without one, the program was removed already (or never installed here).
    if (os_access(log.c_str()) != 0)
      say("There is nothing to remove:\nthe uninstall log " + log + " does not exist.");
    else
      say("The uninstall log " + log + " cannot be read.\nNothing was removed.");
    return VLU_NOTHING_REMOVED;
  }
  const std::string title = titleOf(plan);
  if (plan.skipped) std::fprintf(stderr, "vluninst: %d lines of the log were skipped\n", plan.skipped);
  if (!silent) {
    const std::string question = "Remove " + title + " and all of its components?";
    const int answer = ask(question);
    if (answer == -1)
      std::fprintf(stderr, "vluninst: the question \"%s\" cannot be shown; nothing was removed\n", question.c_str());
    if (answer != 1) {
      vluFreePlan(&plan);
      return VLU_NOTHING_REMOVED;
    }
  }
  if (uiUp) {
    barWindow = win_add(120, 200, 400, 80, 256, 0);
    win_border(barWindow);
    win_print(barWindow, ("Removing " + title + "...").c_str(), 0, 20, 16, kColour);
    win_fill(barWindow, 20, 44, win_width(barWindow) - 40, 16, 0);  // the trough the bar fills
    win_draw(barWindow);
  }
  const int status = vluRemove(&plan, showProgress, nullptr);
  // What stays, and why, for whoever runs the uninstaller from a script.
  for (int i = 0; i < plan.count; ++i) {
    const VluEntry& e = plan.entries[i];
    if (e.done) continue;
    const char* why = e.foreign                  ? "it is no longer this install's"
                      : e.kind == VLU_MADEDIR    ? "it holds files of its own"
                      : e.kind == VLU_REGKEY     ? "it holds other keys"
                                                 : "it could not be removed";
    std::fprintf(stderr, "vluninst: kept %s: %s\n", e.path, why);
  }
  vluFreePlan(&plan);
  if (barWindow != -1) win_delete(barWindow);
  barWindow = -1;
  if (status != VLU_NOTHING_REMOVED) removeOwnCopyIfUnused();
  if (status == VLU_ALL_REMOVED) say(title + " was removed.");
  if (status == VLU_PARTIAL)
    say(title + " was removed, but some items were kept:\nfolders with files of your own, or items in use.");
  if (status == VLU_NOTHING_REMOVED) say("There was nothing to remove.");
  if (plan.skipped && uiUp) say("Some lines of the uninstall log named places outside the program and were skipped.");
  return status;
}

}  // namespace

int vrk_main(int argc, char** argv) {
  bool silent = false;
  std::string log;
  int status = VLU_NOTHING_REMOVED;
  if (parseArgs(argc, argv, &silent, &log)) {
    status = run(silent, log);
  } else if (!silent) {
    VRKSystemError("Usage: vluninst [/S] -f<path of uninst.log>");
  }
  stopUi();
  std::exit(status);
}
