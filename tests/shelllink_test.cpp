// Shortcut files through os_shell_link. On the host: the .lnk is read back field by field and by
// the lnkinfo tool when it is installed. On Windows: loaded back through the shell's link object.
#include "platform/os.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlguid.h>
#include <shlobj.h>

#include "tests/support/tempdir.h"
#else
#include "machine_util.h"
#include "tests/support/run_tool.h"
#endif

namespace fs = std::filesystem;

namespace {

#ifndef _WIN32

uint32_t le32(const std::string& b, size_t at) {
  if (at + 4 > b.size()) return 0xDEADBEEF;
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

uint32_t le16(const std::string& b, size_t at) { return le32(b + std::string(2, '\0'), at) & 0xFFFF; }

struct Parsed {
  uint32_t flags = 0, attributes = 0, fileSize = 0, iconIndex = 0, show = 0;
  std::string basePath, suffix, name, workDir, icon;
  bool ok = false;
};

// Reads the parts of a shell link this system writes; ok stays false on any inconsistency.
Parsed parseLink(const std::string& b) {
  static const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  Parsed p;
  if (b.size() < 0x4C || le32(b, 0) != 0x4C || std::memcmp(b.data() + 4, clsid, 16) != 0) return p;
  p.flags = le32(b, 0x14);
  p.attributes = le32(b, 0x18);
  p.fileSize = le32(b, 0x34);
  p.iconIndex = le32(b, 0x38);
  p.show = le32(b, 0x3C);
  size_t at = 0x4C;
  if (p.flags & 0x1) return p;  // no item list is written
  if (p.flags & 0x2) {
    uint32_t size = le32(b, at), header = le32(b, at + 4), infoFlags = le32(b, at + 8);
    uint32_t volume = le32(b, at + 12), base = le32(b, at + 16), suffix = le32(b, at + 24);
    if (at + size > b.size() || header != 0x1C || infoFlags != 1 || volume != 0x1C) return p;
    if (le32(b, at + volume) != 0x11 || le32(b, at + volume + 4) != 3) return p;  // fixed drive
    if (base >= size || suffix >= size) return p;
    p.basePath = std::string(b.c_str() + at + base);
    p.suffix = std::string(b.c_str() + at + suffix);
    at += size;
  }
  auto counted = [&](std::string* out) {
    uint32_t n = le16(b, at);
    if (at + 2 + n > b.size()) return false;
    *out = b.substr(at + 2, n);
    at += 2 + n;
    return true;
  };
  if ((p.flags & 0x4) && !counted(&p.name)) return p;
  if ((p.flags & 0x10) && !counted(&p.workDir)) return p;
  if ((p.flags & 0x40) && !counted(&p.icon)) return p;
  p.ok = at + 4 == b.size() && le32(b, at) == 0;  // the terminal block ends the file
  return p;
}

using ShellLink = MachineTest;

TEST_F(ShellLink, TheFileHoldsTargetDescriptionAndWorkingDirectory) {
  put(root / "C" / "GAMES" / "FOO" / "FOO.EXE", "0123456789");
  ASSERT_EQ(os_shell_link("C:\\WINDOWS\\Start Menu\\Programs\\My Game.lnk", "c:\\games\\foo\\FOO.EXE", "My Game",
                          "C:\\GAMES\\FOO", nullptr, 0, OS_SHOW_DEFAULT),
            0);
  fs::path file = root / "C" / "WINDOWS" / "Start Menu" / "Programs" / "My Game.lnk";
  Parsed p = parseLink(slurp(file));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.flags, 0x2u | 0x4u | 0x10u);  // link info, name, working directory; ANSI strings
  EXPECT_EQ(p.basePath, "C:\\games\\foo\\FOO.EXE");
  EXPECT_EQ(p.suffix, "");
  EXPECT_EQ(p.name, "My Game");
  EXPECT_EQ(p.workDir, "C:\\GAMES\\FOO");
  EXPECT_EQ(p.show, 1u);
  EXPECT_EQ(p.attributes, 0x20u);
  EXPECT_EQ(p.fileSize, 10u);

  ToolResult r = run_tool("lnkinfo", {file.string()}, tmp);
  if (r.status == 127) GTEST_SKIP() << "lnkinfo is not installed";
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string& text = r.out;
  EXPECT_NE(text.find("Local path\t\t\t: C:\\games\\foo\\FOO.EXE"), std::string::npos) << text;
  EXPECT_NE(text.find("Description\t\t\t: My Game"), std::string::npos) << text;
  EXPECT_NE(text.find("Working directory\t\t: C:\\GAMES\\FOO"), std::string::npos) << text;
}

TEST_F(ShellLink, IconAndShowStatesAndRelativeTargets) {
  ASSERT_EQ(os_mkdir("C:\\LINKS"), 0);
  ASSERT_EQ(os_shell_link("C:\\LINKS\\a.lnk", "GAME\\..\\SETUP.EXE", "", "", "C:\\GAME\\ICON.ICO", 2,
                          OS_SHOW_MAXIMIZED),
            0);
  Parsed p = parseLink(slurp(root / "C" / "LINKS" / "a.lnk"));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.flags, 0x2u | 0x4u | 0x10u | 0x40u);
  EXPECT_EQ(p.basePath, "Z:\\SETUP.EXE");  // relative to the current directory, the medium
  EXPECT_EQ(p.icon, "C:\\GAME\\ICON.ICO");
  EXPECT_EQ(p.iconIndex, 2u);
  EXPECT_EQ(p.show, 3u);
  EXPECT_EQ(p.attributes, 0u);  // the target does not exist (yet)

  ASSERT_EQ(os_shell_link("C:\\LINKS\\b.lnk", "C:\\X.EXE", "b", "C:\\", nullptr, 5, OS_SHOW_MINIMIZED), 0);
  p = parseLink(slurp(root / "C" / "LINKS" / "b.lnk"));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.show, 7u);
  EXPECT_EQ(p.iconIndex, 0u);  // no icon, no index

  // No folder, or a path out of the machine: nothing is written.
  EXPECT_EQ(os_shell_link("C:\\NOFOLDER\\c.lnk", "C:\\X.EXE", "c", "C:\\", nullptr, 0, 0), -1);
  EXPECT_EQ(os_shell_link("C:\\..\\c.lnk", "C:\\X.EXE", "c", "C:\\", nullptr, 0, 0), -1);
  EXPECT_EQ(os_shell_link("C:\\LINKS\\d.lnk", "C:\\..\\X.EXE", "d", "C:\\", nullptr, 0, 0), -1);
  EXPECT_EQ(os_shell_link("C:\\LINKS\\e.lnk", "C:\\X.EXE", std::string(70000, 'n').c_str(), "", nullptr, 0, 0), -1);
  EXPECT_FALSE(fs::exists(root / "C" / "LINKS" / "e.lnk"));
  EXPECT_FALSE(fs::exists(root / "c.lnk"));
  EXPECT_EQ(os_com_init(), 0);
  os_com_exit();
}

#else

TEST(ShellLink, SavedLinkLoadsBackThroughTheShell) {
  TempDir scratch("shelllink_test");
  const fs::path& dir = scratch.path;
  std::ofstream(dir / "GAME.EXE") << "x";
  std::string target = (dir / "GAME.EXE").string(), lnk = (dir / "Game.lnk").string(), work = dir.string();

  ASSERT_EQ(os_com_init(), 0);
  ASSERT_EQ(os_shell_link(lnk.c_str(), target.c_str(), "My Game", work.c_str(), nullptr, 0, OS_SHOW_MAXIMIZED), 0);
  ASSERT_TRUE(fs::exists(lnk));

  IShellLinkA* link = nullptr;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                         reinterpret_cast<void**>(&link))));
  IPersistFile* file = nullptr;
  ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
  ASSERT_TRUE(SUCCEEDED(file->Load(wide, STGM_READ)));
  char buf[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(link->GetPath(buf, MAX_PATH, nullptr, 0)));
  EXPECT_EQ(lstrcmpiA(buf, target.c_str()), 0) << buf;
  ASSERT_TRUE(SUCCEEDED(link->GetDescription(buf, MAX_PATH)));
  EXPECT_STREQ(buf, "My Game");
  ASSERT_TRUE(SUCCEEDED(link->GetWorkingDirectory(buf, MAX_PATH)));
  EXPECT_EQ(lstrcmpiA(buf, work.c_str()), 0) << buf;
  int show = 0;
  ASSERT_TRUE(SUCCEEDED(link->GetShowCmd(&show)));
  // Wine's link object does not keep the show state through Save and Load; Windows does.
  if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) {
    EXPECT_EQ(show, SW_SHOWMAXIMIZED);
  }
  file->Release();
  link->Release();

  EXPECT_EQ(os_shell_link((dir / "none" / "x.lnk").string().c_str(), target.c_str(), "x", work.c_str(), nullptr, 0,
                          0),
            -1);
  os_com_exit();
}

#endif

}  // namespace
