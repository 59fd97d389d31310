// Helpers for the tests that run the real setup and uninstaller over emulated machines: the whole
// machine as a comparable value, a machine as the system leaves it after first use, and the runs.
#pragma once
#if !defined(_WIN32) && defined(SETUP_EXE) && defined(VLUNINST_EXE)

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/run_tool.h"

namespace programs {

namespace fs = std::filesystem;

inline std::string upper(std::string s) {
  for (char& c : s) c = c >= 'a' && c <= 'z' ? char(c - 32) : c;
  return s;
}

inline uint64_t fnv1a(const std::string& data) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : data) h = (h ^ c) * 1099511628211ull;
  return h;
}

// Everything on the machine's drives, keyed by the path below the root in upper case
// ("C/SAMPLEQ/GAME.EXE"): "dir" for a folder, size and checksum for a file; with `registry`, also
// the registry file's text under "REGISTRY".
using Machine = std::map<std::string, std::string>;

inline Machine snapshot(const fs::path& root, bool registry = false) {
  Machine m;
  for (const char* drive : {"C", "D"}) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root / drive, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string key = upper(fs::relative(it->path(), root).generic_string());
      if (it->is_directory()) {
        m[key] = "dir";
      } else {
        const std::string data = read_whole_file(it->path());
        m[key] = std::to_string(data.size()) + " " + std::to_string(fnv1a(data));
      }
    }
  }
  if (registry) m["REGISTRY"] = read_whole_file(root / "registry.reg");
  return m;
}

// Runs `program` with `args` over machine `root` on the headless display, in `medium`; `session`
// (a recorded session, "" for none) plays its input.
inline ToolResult runOn(const fs::path& root, const fs::path& medium, const std::string& program,
                        const std::vector<std::string>& args, const std::string& session = "") {
  std::vector<std::string> all = {"VRK_ROOT=" + root.string(), "VRK_VIDEO=headless"};
  if (!session.empty()) all.push_back("VRK_PLAY=" + session);
  all.push_back(program);
  all.insert(all.end(), args.begin(), args.end());
  all.insert(all.begin(), {"120", "env"});  // a program left waiting for input fails, never hangs
  return run_tool("timeout", all, medium);
}

// A machine as the system leaves it after its first use: drives, Windows folder, Start menu and
// registry. The uninstaller makes them, given a log that names only a shortcut (so that it reads
// the registry) which is not there; what the uninstaller said is returned.
inline ToolResult freshMachine(const fs::path& root, const fs::path& medium) {
  fs::create_directories(root / "C");
  fs::create_directories(root / "D");
  write_whole_file(root / "machine.ini", "[FreeSpace]\nC=900000000\nD=50000000\n");
  write_whole_file(root / "C/prime.log", "Nothing\n-- Log Begin --\nMadeShortcut C:\\WINDOWS\\none.lnk\n-- Log End--\n");
  ToolResult r = runOn(root, medium, VLUNINST_EXE, {"/S", "-fC:\\prime.log"});
  fs::remove(root / "C/prime.log");
  return r;
}

}  // namespace programs

#endif
