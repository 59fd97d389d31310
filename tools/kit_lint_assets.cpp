// setupkit lint: the file lists (through the engine's list reader), the pictures (base/pcx), the
// palette (color), the fonts (the window system's and the font manager's loaders) and the
// uninstaller, as setup reads them from its archive.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/datafile.h"
#include "base/memdbg.h"
#include "base/pathutil.h"
#include "base/pcx.h"
#include "base/settings.h"
#include "color/color.h"
#include "db/db.h"
#include "engine/instutil.h"
#include "toolkit/fontmgr.h"
#include "tools/kit_lint.h"
#include "vrk/text.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kScript = "INSTALL.INI";
constexpr int kScreenW = 640, kScreenH = 480;
constexpr int kBarMargin = 50;  // the progress bar stands this far above the screen's bottom

// --- file lists ---

// Upper-case folder part of a relative path ("" for a file in the destination itself).
std::string folder_of(const std::string& rel) {
  const size_t cut = rel.rfind('\\');
  return cut == std::string::npos ? "" : kit_upper(rel.substr(0, cut));
}

void check_list(KitLint& l, const KitType& type) {
  const std::string& name = type.list;
  db_file* f = db_fopen(name.c_str(), "rt");
  if (!f) {
    kit_lint_error(l, name, 0, "cannot be read: damaged archive member");
    return;
  }
  std::set<std::string> made, files;  // folders made so far, files named (upper case)
  std::set<std::string>& installs = l.installs[type.name];
  char line[INST_LINE_SIZE];
  int number = 0, size_line = 0, file_count = 0;
  long long size = -1;
  unsigned long long total = 0;
  bool all_there = !l.medium.empty();
  while (int got = readListLine(f, line, sizeof line)) {
    ++number;
    if (got < 0) {
      kit_lint_error(l, name, number,
                     "line longer than " + std::to_string(INST_LINE_SIZE - 1) + " characters: setup skips it");
      continue;
    }
    const std::string text = line;
    if (text.empty()) continue;
    if (text.size() < 2 || text[1] != '=' || (text[0] != 's' && text[0] != 'd' && text[0] != 'f')) {
      kit_lint_warning(l, name, number, "not an s=, d= or f= line: setup ignores it");
      continue;
    }
    const std::string rel = text.substr(2);
    if (text[0] == 's') {
      if (size_line)
        kit_lint_warning(
            l, name, number,
            "a second s= line (the first is line " + std::to_string(size_line) + "): setup takes the last");
      size_line = number;
      size = std::max(0LL, std::strtoll(rel.c_str(), nullptr, 10));
      continue;
    }
    if (!isSafeRelativePath(rel.c_str()) || rel.empty()) {
      kit_lint_error(l, name, number, rel + " is not a path inside the destination: setup skips it");
      continue;
    }
    if (text[0] == 'd') {
      // A folder line makes the folder and every folder above it.
      for (std::string up = kit_upper(rel); !up.empty(); up = folder_of(up)) made.insert(up);
      continue;
    }
    ++file_count;
    if (!files.insert(kit_upper(rel)).second) {
      kit_lint_warning(l, name, number, rel + " is named twice: setup copies it once");
      continue;
    }
    installs.insert(kit_upper(rel));
    const std::string folder = folder_of(rel);
    if (!folder.empty() && !made.count(folder))
      kit_lint_error(l, name, number,
                     rel + ": no d= line before it makes its folder " + rel.substr(0, rel.rfind('\\')) +
                         ": setup cannot write it");
    if (!l.medium.empty()) {
      const std::string found = kit_lint_on_medium(l, rel);
      std::error_code ec;
      if (found.empty()) {
        kit_lint_error(l, name, number, rel + " is not on the medium: setup cannot read it");
        all_there = false;
      } else {
        total += fs::file_size(found, ec);
      }
    }
  }
  db_fclose(f);
  if (file_count == 0) kit_lint_error(l, name, 0, "names no file: type " + type.name + " installs nothing");
  if (size < 0) {
    kit_lint_error(l, name, 0,
                   "no s= line: setup offers type " + type.name + " as 0.0 MB and checks no drive for room");
  } else if (all_there && static_cast<unsigned long long>(size) != total) {
    kit_lint_error(l, name, size_line,
                   "s=" + std::to_string(size) + ", but its files hold " + std::to_string(total) +
                       " bytes: setup shows the wrong size and checks the drives for the wrong room");
  } else if (l.medium.empty() && size == 0 && file_count > 0) {
    kit_lint_error(l, name, size_line,
                   "s=0: setup offers type " + type.name + " as 0.0 MB and checks no drive for room");
  }
}

// --- pictures ---

struct Picture {
  bool loaded = false, has_palette = false;
  int w = 0, h = 0;
  std::vector<uint8_t> pixels;
  std::array<uint8_t, 768> palette{};  // 8-bit components, as the file holds them
};

// Loads member `name` with setup's PCX reader; the palette is there when the reader copies one.
Picture load_picture(const std::string& name) {
  Picture p;
  int size = 0;
  uint8_t* data = datafileLoadBlock(name.c_str(), &size);
  if (!data) return p;
  std::array<uint8_t, 768> zeros{}, ones{};
  ones.fill(255);
  uint8_t* a = pcxDecode(data, size_t(size), &p.w, &p.h, zeros.data());
  uint8_t* b = a ? pcxDecode(data, size_t(size), nullptr, nullptr, ones.data()) : nullptr;
  MYFREE(data, "datafile");
  if (!a) return p;
  p.loaded = true;
  p.pixels.assign(a, a + size_t(p.w) * size_t(p.h));
  p.has_palette = zeros == ones;
  p.palette = zeros;
  MYFREE(a, "pcx");
  if (b) MYFREE(b, "pcx");
  return p;
}

struct Colour {
  int rgb15;
  const char* name;
};
// The colours the interface draws with, looked up in the palette in force (setup/, toolkit/).
constexpr Colour kInterface[] = {
    {0x7FFF, "white"}, {0x6F7B, "light grey"}, {0x7FEB, "light yellow"}, {0x6B5A, "grey"}, {0x0000, "black"}};
constexpr int kColourSlack = 40;  // how far (per 8-bit component) a colour may land from the one asked for

std::string rgb_text(int r, int g, int b) {
  char text[48];
  std::snprintf(text, sizeof text, "(%d, %d, %d)", r, g, b);
  return text;
}

// The interface colours a background's palette cannot show; "" when it shows them all.
std::string interface_misses(const std::array<uint8_t, 768>& palette) {
  if (colorBuildColorTable(palette.data(), nullptr) != 0) return "";
  std::string out;
  for (const Colour& c : kInterface) {
    const int want[3] = {colorRed15(c.rgb15) * 255 / 31, colorGreen15(c.rgb15) * 255 / 31,
                         colorBlue15(c.rgb15) * 255 / 31};
    const int i = colorTable[c.rgb15];
    const int got[3] = {palette[size_t(i) * 3], palette[size_t(i) * 3 + 1], palette[size_t(i) * 3 + 2]};
    if (std::abs(got[0] - want[0]) > kColourSlack || std::abs(got[1] - want[1]) > kColourSlack ||
        std::abs(got[2] - want[2]) > kColourSlack)
      out += std::string(out.empty() ? "" : ", ") + c.name + " " + rgb_text(want[0], want[1], want[2]) + " shows as " +
             rgb_text(got[0], got[1], got[2]);
  }
  return out;
}

struct Pictures {
  std::map<std::string, Picture> loaded;  // by member
  std::set<std::string> reported;         // members whose faults were said
};

// The picture `key` of `section` names, checked once per member; null when there is none to use.
const Picture* named_picture(KitLint& l, Pictures& ps, const char* section, const char* key) {
  const std::string name = kit_lint_value(section, key);
  if (name.empty()) return nullptr;
  const int line = kit_lint_line(l, section, key);
  const std::string ext = name.size() > 4 ? kit_upper(name.substr(name.size() - 4)) : "";
  if (ext != ".PCX") {
    kit_lint_error(l, kScript, line, std::string(key) + " names " + name + ": setup reads only PCX pictures");
    return nullptr;
  }
  if (!kit_lint_has(l, name)) {
    kit_lint_error(
        l, kScript, line,
        std::string(key) + " names " + name + ", which is not in the data: setup shows nothing in its place");
    return nullptr;
  }
  const std::string member = kit_upper(name);
  auto it = ps.loaded.find(member);
  if (it == ps.loaded.end()) it = ps.loaded.emplace(member, load_picture(member)).first;
  const Picture& p = it->second;
  const bool first = ps.reported.insert(member).second;
  if (!p.loaded) {
    if (first) kit_lint_error(l, member, 0, "damaged: setup's PCX reader refuses it");
    return nullptr;
  }
  if (!p.has_palette && first)
    kit_lint_error(l, member, 0, "has no 256-colour palette: setup shows it in the colours of the picture before it");
  return &p;
}

void check_background(KitLint& l, Pictures& ps, const char* section, std::array<uint8_t, 768>& in_force) {
  const Picture* p = named_picture(l, ps, section, "Background");
  if (!p) return;
  const std::string member = kit_upper(kit_lint_value(section, "Background"));
  if (ps.reported.count(member + "\\checked")) {
    if (p->has_palette) in_force = p->palette;
    return;
  }
  ps.reported.insert(member + "\\checked");
  if (p->w != kScreenW || p->h != kScreenH)
    kit_lint_error(l, member, 0,
                   std::to_string(p->w) + " x " + std::to_string(p->h) + ": setup stretches a background to " +
                       std::to_string(kScreenW) + " x " + std::to_string(kScreenH));
  if (!p->has_palette) return;
  in_force = p->palette;
  const std::string misses = interface_misses(p->palette);
  if (!misses.empty())
    kit_lint_error(l, member, 0,
                   "setup shows it in its own palette, and the interface then draws in that palette's nearest "
                   "colours: " +
                       misses + " (convert it with the palette of COLOR.PAL)");
}

// The progress bar's two pictures: one size, on the screen, in the palette in force.
void check_progress(KitLint& l, Pictures& ps, const std::array<uint8_t, 768>& in_force,
                    const std::string& in_force_name) {
  const Picture* empty = named_picture(l, ps, "Installing", "ProgressEmpty");
  const Picture* full = named_picture(l, ps, "Installing", "ProgressFull");
  const char* keys[] = {"ProgressEmpty", "ProgressFull"};
  const Picture* both[] = {empty, full};
  for (int i = 0; i < 2; ++i) {
    const Picture* p = both[i];
    if (!p) continue;
    const std::string member = kit_upper(kit_lint_value("Installing", keys[i]));
    if (!ps.reported.insert(member + "\\bar").second) continue;
    if (p->w > kScreenW || p->h > kScreenH - kBarMargin)
      kit_lint_error(l, member, 0,
                     std::to_string(p->w) + " x " + std::to_string(p->h) + ": the progress bar must fit " +
                         std::to_string(kScreenW) + " x " + std::to_string(kScreenH - kBarMargin));
    if (!p->has_palette) continue;
    // The bar's pixels are drawn as they are, in the palette in force.
    int differ = 0;
    std::array<bool, 256> used{};
    for (uint8_t v : p->pixels) used[v] = true;
    for (int c = 0; c < 256; ++c)
      if (used[size_t(c)])
        for (int k = 0; k < 3; ++k)
          if ((p->palette[size_t(c) * 3 + k] >> 2) != (in_force[size_t(c) * 3 + k] >> 2)) {
            ++differ;
            break;
          }
    if (differ)
      kit_lint_error(
          l, member, 0,
          std::to_string(differ) + " of its colours differ from " + in_force_name +
              ", the palette in force when the bar is drawn: setup draws its pixels in that palette's colours");
  }
  if (empty && full && (empty->w != full->w || empty->h != full->h))
    kit_lint_error(l, kScript, kit_lint_line(l, "Installing", "ProgressFull"),
                   "ProgressFull is " + std::to_string(full->w) + " x " + std::to_string(full->h) + ", ProgressEmpty " +
                       std::to_string(empty->w) + " x " + std::to_string(empty->h) +
                       ": setup shows no progress bar unless both are of one size");
}

// --- palette ---

db_file* colour_files[4];
int colour_open(const char* name, int) {
  for (int h = 0; h < 4; ++h)
    if (!colour_files[h]) return (colour_files[h] = db_fopen(name, "rb")) ? h : -1;
  return -1;
}
int colour_read(int h, void* buf, int size) { return int(db_fread(buf, 1, size_t(size), colour_files[h])); }
void colour_close(int h) {
  db_fclose(colour_files[h]);
  colour_files[h] = nullptr;
}

// --- fonts ---

// The member of font number n, or "" for a number no font has.
std::string font_member(int n) {
  char name[32] = "";
  if (n >= 0 && n < TEXT_BUILTIN_FONTS)
    std::snprintf(name, sizeof name, "FONT%d.FON", n);
  else if (n >= 100 && n <= 110)
    std::snprintf(name, sizeof name, "FONT%d.AAF", n - 100);
  return name;
}

// Loads every font member as setup does; the line height of each that loads, by font number.
std::map<int, int> check_fonts(KitLint& l) {
  std::map<int, int> heights;
  bool any_fon = false;
  for (int n = 0; n < FM_MAX_FONTS; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "FONT%d.FON", n);
    if (kit_lint_has(l, name)) {
      if (n >= TEXT_BUILTIN_FONTS) {
        kit_lint_warning(l, name, 0, "setup reads FONT0.FON to FONT9.FON only");
      } else if (VRK_text_load_font(n) != 0) {
        kit_lint_error(l, name, 0, "damaged: the window system's font loader refuses it");
      } else {
        VRK_text_font(n);
        heights[n] = VRK_text_height();
        VRK_text_free_font(n);
        any_fon = true;
      }
    }
    std::snprintf(name, sizeof name, "FONT%d.AAF", n);
    if (!kit_lint_has(l, name)) continue;
    if (FMLoadFont(n) != 0) {
      kit_lint_error(l, name, 0, "damaged: the font manager refuses it");
      continue;
    }
    heights[100 + n] = gFontCache[n].ascent + gFontCache[n].leading;
    FMFreeFont(n);
    if (n > 10) kit_lint_warning(l, name, 0, "font numbers reach FONT0.AAF (100) to FONT10.AAF (110) only");
  }
  if (!any_fon && !kit_lint_has(l, "FONT0.FON"))
    kit_lint_error(l, "FONT0.FON", 0,
                   "missing: setup needs a 1-bit font (FONT0.FON to FONT9.FON) and stops without one");
  return heights;
}

// The font `key` names: its number, or -1 when it names none that loads.
int named_font(KitLint& l, const char* section, const char* key, const std::map<int, int>& heights) {
  const std::string value = kit_lint_value(section, key);
  const int line = kit_lint_line(l, section, key);
  char* end = nullptr;
  const long n = std::strtol(value.c_str(), &end, 10);
  if (line && (value.empty() || *end))
    kit_lint_warning(l, kScript, line,
                     std::string(key) + "=" + value + " is not a number: setup reads it as " +
                         std::to_string(std::atoi(value.c_str())));
  const std::string member = font_member(int(n));
  if (member.empty()) {
    kit_lint_error(l, kScript, line,
                   std::string(key) + "=" + std::to_string(n) +
                       " names no font: 0 to 9 are FONT0.FON to FONT9.FON, 100 to 110 FONT0.AAF to FONT10.AAF");
    return -1;
  }
  if (!kit_lint_has(l, member)) {
    kit_lint_error(l, kScript, line,
                   std::string(key) + "=" + std::to_string(n) + (line ? "" : " (the default)") + " names " + member +
                       ", which is not in the data: setup cannot start");
    return -1;
  }
  return heights.count(int(n)) ? int(n) : -1;
}

}  // namespace

void kit_lint_lists(KitLint& l) {
  std::set<std::string> done;
  for (const KitType& t : l.types) {
    if (t.list.empty()) continue;
    if (done.insert(t.list).second) {
      check_list(l, t);
    } else {  // another type with the same list installs the same files
      for (const KitType& other : l.types)
        if (other.list == t.list && &other != &t && l.installs.count(other.name))
          l.installs[t.name] = l.installs[other.name];
    }
  }
}

void kit_lint_assets(KitLint& l) {
  // The palette setup starts in.
  std::array<uint8_t, 768> in_force{};
  std::string in_force_name = "COLOR.PAL";
  if (!kit_lint_has(l, "COLOR.PAL")) {
    kit_lint_warning(l, "COLOR.PAL", 0, "missing: setup starts in the display's grey palette");
  } else {
    colorInitIO(colour_open, colour_read, colour_close);
    if (!loadColorTable("color.pal")) kit_lint_error(l, "COLOR.PAL", 0, "damaged: the colour system refuses it");
    for (size_t k = 0; k < in_force.size(); ++k) in_force[k] = uint8_t(cmap[k] << 2 | cmap[k] >> 4);
    colorInitIO(nullptr, nullptr, nullptr);
  }

  // Pictures, in the order setup shows them.
  Pictures ps;
  if (const Picture* mouse = named_picture(l, ps, "Startup", "Mouse"))
    if (std::all_of(mouse->pixels.begin(), mouse->pixels.end(), [](uint8_t v) { return v == 0; }))
      kit_lint_error(l, kit_lint_value("Startup", "Mouse"), 0,
                     "every pixel is 0 (transparent): the cursor is invisible");
  check_background(l, ps, "Install", in_force);
  std::string bar_palette = kit_upper(kit_lint_value("Install", "Background"));
  if (ps.loaded.count(bar_palette) == 0 || !ps.loaded[bar_palette].has_palette) bar_palette = in_force_name;
  check_background(l, ps, "Installing", in_force);
  const std::string installing = kit_upper(kit_lint_value("Installing", "Background"));
  if (ps.loaded.count(installing) && ps.loaded[installing].has_palette) bar_palette = installing;
  check_progress(l, ps, in_force, bar_palette);
  check_background(l, ps, "AllDone", in_force);

  // Fonts, and the install panel they make.
  const std::map<int, int> heights = check_fonts(l);
  const int text_font = named_font(l, "Startup", "Font", heights);
  const int title_font = named_font(l, "Install", "TitleFont", heights);
  if (text_font >= 0 && title_font >= 0) {
    const int F = heights.at(text_font), T = heights.at(title_font);
    const int height = l.types.size() > 1 ? T + 11 * F + 169 : T + 7 * F + 130;
    if (height > kScreenH) {
      const int line = kit_lint_line(l, "Startup", "Font");
      kit_lint_error(l, kScript, line ? line : kit_lint_line(l, "Install", "TitleFont"),
                     "with these fonts (text " + std::to_string(F) + ", title " + std::to_string(T) +
                         " pixels high) the install panel is " + std::to_string(height) +
                         " pixels high, and the screen " + std::to_string(kScreenH) + ": setup cannot show it");
    }
  }

  // The uninstaller setup copies into the Windows folder.
  dir_entry e{};
  if (!kit_lint_has(l, "VLUNINST.EXE"))
    kit_lint_error(l, "VLUNINST.EXE", 0,
                   "missing: setup installs no uninstaller and ends the install with ErrUninstOpen");
  else if (db_dir_entry("VLUNINST.EXE", &e) == 0 && e.length == 0)
    kit_lint_error(l, "VLUNINST.EXE", 0, "empty: setup installs no uninstaller");

  // Members nothing reads.
  std::set<std::string> named;
  for (const KitType& t : l.types) named.insert(t.list);
  for (const auto& [member, picture] : ps.loaded) named.insert(member);
  for (const std::string& m : l.members) {
    if (named.count(m) || m == "INSTALL.INI" || m == "COLOR.PAL" || m == "VLUNINST.EXE") continue;
    if (m.rfind("FONT", 0) == 0 &&
        (m.size() > 4 && (m.find(".FON") != std::string::npos || m.find(".AAF") != std::string::npos)))
      continue;
    kit_lint_warning(l, m, 0, "nothing in the script names it");
  }
}
