// Test helper for the install engine: a fresh medium (product files and an "install.dat" holding
// the script, the file lists and the uninstaller) and, on the host, a fresh emulated machine in a
// temporary directory for every test; snapshots of everything the install could touch.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "kit/build.h"
#include "db/db.h"
#include "engine/instutil.h"
#include "engine/transfer.h"
#include "engine/registry.h"
#include "base/settings.h"
#include "engine/uninst.h"
#include "tests/support/files.h"
#include "tests/support/ui_script.h"
#include "platform/os.h"
#include "tests/support/tempdir.h"
#ifndef _WIN32
#include "platform/host/machine.h"
#endif

namespace engine_util {

namespace fs = std::filesystem;

inline const char* kStrings =
    "[Strings]\n"
    "ErrWriteFile=Write error %d on %s\n"
    "ErrReadFile=Cannot read %s\n"
    "ErrOpenWriteFile=Cannot write %s\n"
    "ErrCreateDir=Cannot make directory %s\n"
    "ErrFileList=No file list\n"
    "InstallCancelStr=Cancel the installation?\n"
    "ErrProgress=No progress bar\n"
    "ErrMovingUninst=Cannot move the log to %s\n"
    "ErrDeinstall=Some files could not be removed\n"
    "ErrFindUninstLog=No log at %s\n"
    "ErrUninstOpen=No uninstaller\n"
    "ErrUninstWrite=Cannot write the uninstaller\n"
    "ErrCreateRegKey=Cannot make key %s\n"
    "DriveListEntry=%c: %u MB\n"
    "ErrFreeSpace=Drive %c: does not have enough free space.\n"
    "ErrNoDrive=That drive cannot be used.\n"
    "ErrNoDrivesFree=No drive has room.\n";

inline std::string defaultIni(const std::string& extra = "") {
  return std::string(
             "[Install]\n"
             "InstallTypes=Typical\n"
             "[Typical]\n"
             "List=typical.lst\n"
             "FullName=Typical (%.1f MB)\n"
             "[Installing]\n"
             "ProgressEmpty=empty.pcx\n"
             "ProgressFull=full.pcx\n"
             "[Registry Settings]\n"
             "Title=Test Game\n"
             "Company=TestCo\n"
             "Executable=game.exe\n"
             "Version=1.0\n"
             "[Shortcuts]\n"
             "Folder=Test Game\n"
             "ProductTitle=Test Game\n"
             "ProductExe=game.exe\n"
             "Readme=Readme\n"
             "ReadmeFile=readme.txt\n") +
         kStrings + extra;
}

// Deterministic bytes for product files.
inline std::string content(size_t n, unsigned seed) {
  std::string s(n, '\0');
  unsigned x = seed * 2654435761u + 7;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>(x >> 16);
  }
  return s;
}

inline void fixedClock(char date[9], char time[9]) {
  std::memcpy(date, "12/07/26", 9);
  std::memcpy(time, "10:20:30", 9);
}

class EngineTest : public ::testing::Test {
 protected:
  TempDir scratch{"engine_test"};  // removed after TearDown has left it
  fs::path tmp = scratch.path, root, medium, oldCwd;
  std::string oldRoot;
  bool hadRoot = false;
  std::string dest;  // the destination as a Windows path

  void SetUp() override {
    root = tmp / "root";
    medium = tmp / "medium";
    fs::create_directories(medium);
    oldCwd = fs::current_path();
    fs::current_path(medium);
#ifndef _WIN32
    if (const char* r = std::getenv("VRK_ROOT")) {
      hadRoot = true;
      oldRoot = r;
    }
    setenv("VRK_ROOT", root.c_str(), 1);
    os_host_reset();
    dest = "C:\\GAMES\\TEST";
#else
    fs::create_directories(root);
    dest = (root / "GAMES" / "TEST").string();
    os_remove("C:\\uninst.log");  // an earlier test's running log, on the one C: drive they share
#endif
    uiScriptReset();
    uninstSetClock(fixedClock);
    regSetLogFunc(nullptr);
    currentState = 0;
    installType = 0;
    numInstTypes = 0;
    std::memset(instTypes, 0, sizeof instTypes);
    std::memset(destPath, 0, sizeof destPath);
    os_fault_write_after(-1);
  }

  void TearDown() override {
    os_fault_write_after(-1);
    freeDriveSizes();
    settingsClose();
    db_exit();
    uninstSetClock(nullptr);
    fs::current_path(oldCwd);
#ifndef _WIN32
    if (hadRoot)
      setenv("VRK_ROOT", oldRoot.c_str(), 1);
    else
      unsetenv("VRK_ROOT");
    os_host_reset();
#endif
  }

  // Writes the product files below the medium, builds "install.dat" from the script, the file
  // lists and an uninstaller, opens it and loads the settings and install types.
  void makeMedium(const std::string& ini, const std::map<std::string, std::string>& lists,
                  const std::map<std::string, std::string>& files, bool withUninstaller = true) {
    for (const auto& [name, data] : files) {
      std::string rel = name;
      for (char& c : rel)
        if (c == '\\') c = '/';
      fs::path p = medium / rel;
      fs::create_directories(p.parent_path());
      std::ofstream(p, std::ios::binary) << data;
    }
    std::vector<kit_member> members;
    members.push_back({"install.ini", std::vector<uint8_t>(ini.begin(), ini.end())});
    if (!lists.count("typical.lst")) members.push_back({"typical.lst", {}});
    for (const auto& [name, text] : lists) members.push_back({name, std::vector<uint8_t>(text.begin(), text.end())});
    if (withUninstaller) {
      std::string exe = content(20000, 99);
      members.push_back({"vluninst.exe", std::vector<uint8_t>(exe.begin(), exe.end())});
    }
    std::string error;
    ASSERT_TRUE(kit_build_archive((medium / "install.dat").string(), members, error)) << error;
    ASSERT_GE(db_init("install.dat", nullptr, nullptr), 0);
    ASSERT_EQ(initSettings(), 1);
    ASSERT_EQ(initInstTypes(), 1);
  }

  // What panelInstall does on Next, then the engine's install as the transfer panel runs it.
  int install(const std::string& to) {
    std::snprintf(destPath, sizeof destPath, "%s", to.c_str());
    uninstCreate("Test Game", destPath);
    createDir(destPath);
    if (!installStart()) return currentState;
    transferFiles();
    return installComplete();
  }
  int install() { return install(dest); }

  // The host path of a Windows path on the machine.
  std::string host(const std::string& windowsPath) {
#ifndef _WIN32
    std::string h;
    if (os_host_map(windowsPath.c_str(), &h) != 0) return "";
    return h;
#else
    return windowsPath;
#endif
  }

  static std::string slurp(const fs::path& file) { return read_whole_file(file); }
  // A text file read in text mode (line ends as the platform writes them become '\n').
  static std::string slurpText(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Every directory and file (with its contents) the install could have touched: the whole
  // machine on the host (drives and registry file), the destination's tree on Windows.
  std::map<std::string, std::string> snapshot() {
#ifndef _WIN32
    os_access("C:\\");  // the machine exists before the first snapshot
#endif
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); ++it) {
      std::string rel = fs::relative(it->path(), root).generic_string();
      if (it->is_directory()) {
        out[rel] = "<dir>";
      } else {
        std::string data = slurp(it->path());  // size and hash keep failure output short
        out[rel] = std::to_string(data.size()) + ":" + std::to_string(std::hash<std::string>{}(data));
      }
    }
    return out;
  }

  std::vector<std::string> messages(UiKind kind) {
    std::vector<std::string> out;
    for (const auto& m : uiScriptEvents())
      if (m.kind == kind) out.push_back(m.text);
    return out;
  }
  std::vector<std::string> boxes() { return messages(UiKind::message); }

  // The entry lines of the moved log (between the begin and end markers).
  std::vector<std::string> logEntries(const std::string& to) {
    std::string text = slurpText(host(to + "\\uninst.log"));
    std::vector<std::string> out;
    size_t begin = text.find("-- Log Begin --\n");
    if (begin == std::string::npos) return out;
    size_t pos = begin + 16;
    while (pos < text.size()) {
      size_t end = text.find('\n', pos);
      std::string line = text.substr(pos, end - pos);
      if (line == "-- Log End--") break;
      out.push_back(line);
      if (end == std::string::npos) break;
      pos = end + 1;
    }
    return out;
  }
};

}  // namespace engine_util
