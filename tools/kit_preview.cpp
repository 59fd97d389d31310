// setupkit preview: the panels an end user will see, as PNG pictures, made by the real setup on
// the headless display over a throw-away machine, driven by sessions written for the medium.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "db/db.h"
#include "kit/events.h"
#include "platform/os.h"
#include "tools/kit_convert.h"

namespace fs = std::filesystem;

const KitCommand kit_preview_cmd = {
    "preview",
    "preview MEDIUM -o DIR [--setup PROGRAM]",
    "Runs setup on the medium (the folder with INSTALL.DAT and the product's files) over a\n"
    "throw-away machine on the headless display, and writes what the end user sees as PNG\n"
    "pictures into DIR: the install panel with each install type selected (install-N.png), the\n"
    "copy part-way (copy.png), the finish panel (finish.png) and the question of a cancelled\n"
    "install (cancel.png). Prints each picture's path. PROGRAM is the host's setup (by default\n"
    "the one built beside setupkit).",
    {{"-o", "--output", true}, {"--setup", nullptr, true}},
};

namespace {

// Text of a key press and release at pass `at`.
std::string press(int at, int scan) {
  const bool grey = scan > 0xFF;
  const int code = scan & 0xFF;
  char text[96];
  if (grey)
    std::snprintf(text, sizeof text, "key 0 %d 0xE0\nkey 0 %d 0x%02X\nkey 0 %d 0xE0\nkey 0 %d 0x%02X\n", at, at, code,
                  at + 1, at + 1, code | 0x80);
  else
    std::snprintf(text, sizeof text, "key 0 %d 0x%02X\nkey 0 %d 0x%02X\n", at, code, at + 1, code | 0x80);
  return text;
}
// Alt-C, the screen dump, at pass `at`.
std::string dump(int at) {
  char text[96];
  std::snprintf(text, sizeof text, "key 0 %d 0x38\nkey 0 %d 0x2E\nkey 0 %d 0xAE\nkey 0 %d 0xB8\n", at, at + 1, at + 2, at + 3);
  return text;
}
constexpr int kTab = 0x0F, kEnter = 0x1C, kEscape = 0x01, kYes = 0x15, kDown = 0x150;

// The number of install types the medium's script names (0 when the archive cannot be read).
int typeCount(const fs::path& archive) {
  const int h = db_init(archive.string().c_str(), nullptr, nullptr);
  if (h == -1) return 0;
  int types = 0;
  if (db_file* f = db_fopen("INSTALL.INI", "rt")) {
    char line[1024];
    while (db_fgets(line, sizeof line, f)) {
      std::string text = line;
      if (text.rfind("InstallTypes=", 0) != 0) continue;
      types = 1;
      for (char c : text) types += c == ',';
    }
    db_fclose(f);
  }
  db_close(h);
  return types;
}

// Plays `session` with setup over a fresh machine and a copy of the medium; the dumps it took.
std::vector<fs::path> play(const std::string& setup, const fs::path& medium, const fs::path& work, const std::string& name,
                           const std::string& session) {
  std::error_code ec;
  const fs::path run = work / name, root = run / "machine", copy = run / "medium";
  fs::create_directories(root / "C", ec);
  fs::create_directories(root / "D", ec);
  fs::copy(medium, copy, fs::copy_options::recursive, ec);
  if (FILE* ini = std::fopen((root / "machine.ini").string().c_str(), "w")) {
    std::fputs("[FreeSpace]\nC=2000000000\nD=2000000000\n", ini);
    std::fclose(ini);
  }
  std::vector<uint8_t> events;
  std::string error;
  kit_events_from_text("start 0 0 320 240 0\n" + session, &events, &error);
  const fs::path vcr = run / "session.vcr";
  if (FILE* f = std::fopen(vcr.string().c_str(), "wb")) {
    std::fwrite(events.data(), 1, events.size(), f);
    std::fclose(f);
  }
  setenv("VRK_ROOT", root.string().c_str(), 1);
  setenv("VRK_VIDEO", "headless", 1);
  setenv("VRK_PLAY", vcr.string().c_str(), 1);
  const fs::path here = fs::current_path(ec);
  fs::current_path(copy, ec);
  const char* argv[] = {setup.c_str(), nullptr};
  os_spawn(setup.c_str(), argv, 1);
  fs::current_path(here, ec);
  std::vector<fs::path> dumps;
  for (int n = 0;; ++n) {
    char file[32];
    std::snprintf(file, sizeof file, "scr%05d.bmp", n);
    if (!fs::exists(copy / file)) break;
    dumps.push_back(copy / file);
  }
  return dumps;
}

}  // namespace

int kit_preview(const std::vector<std::string>& args) {
  KitArgs p;
  if (int rc = kit_parse_command(kit_preview_cmd, args, p); rc >= 0) return rc;
  const std::string* out = kit_value(p, "-o");
  if (p.pos.size() != 1 || !out) return kit_usage(kit_preview_cmd, "preview needs MEDIUM and -o DIR");
  const fs::path medium = p.pos[0];
  fs::path archive = medium / "INSTALL.DAT";
  if (!fs::exists(archive)) archive = medium / "install.dat";
  const int types = typeCount(archive);
  if (types == 0) return kit_fail(archive.string(), "no install.dat with install types");
  std::string setup = kit_value(p, "--setup") ? *kit_value(p, "--setup") : std::string();
  if (setup.empty()) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    setup = (self.parent_path().parent_path() / "setup" / "setup").string();
  }
  if (!fs::exists(setup)) return kit_fail(setup, "no setup program (name it with --setup)");
  // One pass a copied block: the copy is over well before the finish panel's dump.
  uintmax_t bytes = 0, files = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(medium, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec)) bytes += it->file_size(ec), ++files;
  const int finishAt = 100 + int(std::min<uintmax_t>(bytes / 8192 + files, 5000000));

  const fs::path work = fs::temp_directory_path() / ("setupkit-preview-" + std::to_string(::getpid()));
  fs::create_directories(*out, ec);
  std::vector<std::pair<fs::path, std::string>> pictures;  // dump, picture name
  for (int t = 1; t <= types; ++t) {
    std::string session;
    for (int k = 1; k < t; ++k) session += press(10 * k, kDown);
    session += dump(10 * t + 10) + press(10 * t + 20, kEscape);
    const auto dumps = play(setup, medium, work, "type" + std::to_string(t), session);
    if (!dumps.empty()) pictures.push_back({dumps[0], "install-" + std::to_string(t) + ".png"});
  }
  const std::string next = press(20, kTab) + press(30, kTab) + press(40, kEnter);
  const int copyAt = 45 + (finishAt - 100) / 4;  // about a third of the way through the copy
  auto copyRun = play(setup, medium, work, "copy", next + dump(copyAt) + dump(finishAt) + press(finishAt + 10, kEscape));
  if (copyRun.size() == 2) {
    pictures.push_back({copyRun[0], "copy.png"});
    pictures.push_back({copyRun[1], "finish.png"});
  }
  auto cancelRun = play(setup, medium, work, "cancel", next + press(42, kEscape) + dump(52) + press(62, kYes));
  if (!cancelRun.empty()) pictures.push_back({cancelRun[0], "cancel.png"});
  int failed = 0;
  for (const auto& [bmp, name] : pictures) {
    std::string why;
    const fs::path png = fs::path(*out) / name;
    if (kit_bmp_to_png(bmp.string(), png.string(), why))
      std::printf("%s\n", png.string().c_str());
    else
      failed = kit_fail(png.string(), why);
  }
  fs::remove_all(work, ec);
  if (pictures.size() != size_t(types) + 3) return kit_fail(medium.string(), "setup did not show every panel");
  return failed ? kKitExitFail : kKitExitOk;
}
