// The emulated machine's lookups without regard to case answer from cached directory listings:
// after any mix of changes made through the OS services and made directly on the host (another
// program), every mapping equals a lookup done afresh, and new files in one directory do not
// read that directory again.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "machine_util.h"
#include "platform/host/listing.h"
#include "platform/os.h"

namespace fs = std::filesystem;

namespace {

using Listing = MachineTest;

std::string fold(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The rule, done afresh: the exact name when it exists, else the first case variant in byte order.
std::string freshMatch(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  if (fs::symlink_status(dir / name, ec).type() != fs::file_type::not_found && !ec) return name;
  std::string best;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    std::string n = e.path().filename().string();
    if (fold(n) == fold(name) && (best.empty() || n < best)) best = n;
  }
  return best;
}

// The host path a Windows path below C:\ names, mapped afresh component by component.
std::string freshMap(const std::vector<std::string>& parts) {
  std::string host = os_host_root() + "/C";
  bool missing = false;
  for (const std::string& part : parts) {
    std::string found = missing ? std::string() : freshMatch(host, part);
    if (found.empty()) missing = true;
    host += "/" + (found.empty() ? part : found);
  }
  return host;
}

std::string mapped(const std::string& path) {
  std::string host;
  if (os_host_map(path.c_str(), &host) != 0) return "<error>";
  return host;
}

std::string winPath(const std::vector<std::string>& parts) {
  std::string w = "C:";
  for (const std::string& p : parts) w += "\\" + p;
  return w;
}

// Makes an empty file directly on the host.
void touch(const fs::path& file) { put(file, ""); }

// Sets a directory's modification time back to what it was: a change inside one time-stamp tick.
void keepTime(const fs::path& dir, fs::file_time_type mtime) {
  std::error_code ec;
  fs::last_write_time(dir, mtime, ec);
  ASSERT_FALSE(ec) << dir;
}

fs::file_time_type modified(const fs::path& dir) {
  std::error_code ec;
  return fs::last_write_time(dir, ec);
}

TEST_F(Listing, AnotherProgramsFileInTheSameTickIsSeen) {
  fs::path game = root / "C" / "Game";
  fs::create_directories(game);
  std::string r = os_host_root();
  int fd = os_open("C:\\GAME\\Mine.dat", OS_O_WRONLY | OS_O_CREAT);
  ASSERT_GE(fd, 0);
  os_close(fd);
  EXPECT_EQ(mapped("C:\\game\\mine.DAT"), r + "/C/Game/Mine.dat");
  fs::file_time_type after = modified(game);
  // Another program adds, renames and removes entries; the directory keeps its time stamp.
  touch(game / "Other.TXT");
  keepTime(game, after);
  EXPECT_EQ(mapped("C:\\GAME\\other.txt"), r + "/C/Game/Other.TXT");
  EXPECT_EQ(os_access("C:\\GAME\\OTHER.TXT"), 0);
  fs::rename(game / "Other.TXT", game / "other.txt");
  touch(game / "OTHER.txt");
  keepTime(game, after);
  EXPECT_EQ(mapped("C:\\GAME\\Other.Txt"), r + "/C/Game/OTHER.txt");  // the first variant in byte order
  EXPECT_EQ(mapped("C:\\GAME\\other.txt"), r + "/C/Game/other.txt");  // the exact name wins
  fs::remove(game / "Mine.dat");
  keepTime(game, after);
  EXPECT_EQ(os_access("C:\\GAME\\MINE.DAT"), -1);
  EXPECT_EQ(mapped("C:\\GAME\\MINE.DAT"), r + "/C/Game/MINE.DAT");
  // The directory itself replaced by another of the same name, with the same time stamp.
  fs::rename(game, root / "C" / "Old");
  fs::create_directories(game);
  touch(game / "mine.dat");
  keepTime(game, after);
  EXPECT_EQ(mapped("C:\\GAME\\MINE.DAT"), r + "/C/Game/mine.dat");
  EXPECT_EQ(mapped("C:\\GAME\\Other.txt"), r + "/C/Game/Other.txt");
}


// A seeded random mix of changes, through the OS services and directly on the host, with names in
// random case; after each one every mapping and os_access agree with a lookup done afresh.
TEST_F(Listing, RandomChangesInsideAndOutsideMatchAFreshLookup) {
  const char* bases[] = {"ab", "a.b", "abc", "sub"};
  for (unsigned seed = 1; seed <= 4; ++seed) {
    os_host_reset();
    std::error_code ec;
    fs::remove_all(root / "C" / "GAME", ec);
    fs::create_directories(root / "C" / "GAME" / "Sub");
    for (int d = 0; d < 24; ++d) {
      fs::remove_all(root / "C" / ("D" + std::to_string(d)), ec);
      fs::create_directories(root / "C" / ("D" + std::to_string(d)));
    }
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto randomCase = [&](std::string s) {
      for (char& c : s)
        if (c >= 'a' && c <= 'z' && pick(2)) c = static_cast<char>(c - 'a' + 'A');
      return s;
    };
    auto randomName = [&] { return randomCase(bases[pick(4)]); };
    // A directory path below C:\ in random case: GAME, GAME\SUB, or one of more directories than
    // the cache keeps listings of.
    auto randomDir = [&]() -> std::vector<std::string> {
      if (pick(4) == 0) return {randomCase("d" + std::to_string(pick(24)))};
      std::vector<std::string> d = {randomCase("game")};
      if (pick(2)) d.push_back(randomCase("sub"));
      return d;
    };
    // An existing host entry of the tree, or the empty path when there is none.
    auto randomEntry = [&]() -> fs::path {
      std::vector<fs::path> all;
      for (const auto& e : fs::recursive_directory_iterator(root / "C" / "GAME", ec)) all.push_back(e.path());
      return all.empty() ? fs::path() : all[pick(static_cast<int>(all.size()))];
    };
    for (int step = 0; step < 300; ++step) {
      std::vector<std::string> dir = randomDir();
      std::vector<std::string> file = dir;
      file.push_back(randomName());
      std::string host = freshMap(file);
      fs::file_time_type mtime = modified(fs::path(freshMap(dir)));
      switch (pick(9)) {
        case 0: {  // a file made through the OS services lands where the mapping says
          int fd = os_open(winPath(file).c_str(), OS_O_WRONLY | OS_O_CREAT);
          if (fd >= 0) {
            os_close(fd);
            EXPECT_TRUE(fs::is_regular_file(host)) << host;
          }
          break;
        }
        case 1:
          os_mkdir(winPath(file).c_str());
          break;
        case 2:
          os_remove(winPath(file).c_str());
          break;
        case 3:
          os_rmdir(winPath(file).c_str());
          break;
        case 4:  // another program makes an entry, perhaps within the directory's time-stamp tick
          if (fs::is_directory(fs::path(host).parent_path())) touch(fs::path(host).parent_path() / randomName());
          if (pick(2) && fs::is_directory(freshMap(dir))) keepTime(freshMap(dir), mtime);
          break;
        case 5: {  // another program removes an entry
          fs::path e = randomEntry();
          if (!e.empty() && e.filename() != "GAME") fs::remove_all(e, ec);
          break;
        }
        case 6: {  // another program renames an entry, perhaps into another directory
          fs::path e = randomEntry();
          fs::path to = fs::path(freshMap(randomDir())) / randomName();
          if (!e.empty() && fs::is_directory(to.parent_path()) && !fs::exists(to)) fs::rename(e, to, ec);
          if (pick(2) && fs::is_directory(to.parent_path())) keepTime(to.parent_path(), mtime);
          break;
        }
        case 7: {  // another program replaces the whole tree by a copy with other names
          fs::path game = root / "C" / "GAME";
          fs::rename(game, tmp / ("old" + std::to_string(seed) + "_" + std::to_string(step)));
          fs::create_directories(game / randomCase("sub"));
          touch(game / randomName());
          break;
        }
        default:  // a lookup of its own, from a directory not used for a while
          os_access(winPath({randomCase("windows"), randomName()}).c_str());
          break;
      }
      for (int q = 0; q < 6; ++q) {
        std::vector<std::string> query = randomDir();
        query.push_back(randomName());
        std::string expect = freshMap(query);
        ASSERT_EQ(mapped(winPath(query)), expect) << "seed " << seed << " step " << step;
        EXPECT_EQ(os_access(winPath(query).c_str()), fs::exists(expect) ? 0 : -1) << expect;
      }
    }
  }
}

}  // namespace

#endif
