// Debug output channels: no channel, function channel, truncation, log file (environment and
// direct), console, and the window-system seam.
#include "vrk/debug.h"

#include <gtest/gtest.h>

#include "tests/support/env.h"
#include "tests/support/files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/tempdir.h"

namespace fs = std::filesystem;

namespace {

std::string captured;
int capture(const char* text) {
  captured += text;
  return 7;
}
std::string windowText;
int windowChannel(const char* text) {
  windowText += text;
  return 0;
}


class DebugChannels : public ::testing::Test {
 protected:
  void SetUp() override {
    debug_register_func(nullptr);
    captured.clear();
    windowText.clear();
    old = fs::current_path();
    fs::current_path(dir);
  }
  void TearDown() override {
    debug_register_func(nullptr);  // also closes a log file
    debug_set_window_channel(nullptr);
    set_env("DEBUGACTIVE", nullptr);
    fs::current_path(old);
  }
  TempDir scratch{"debug_test"};  // removed after TearDown has left it
  fs::path old, dir = scratch.path;
};

TEST_F(DebugChannels, NothingSelectedDiscards) {
  set_env("DEBUGACTIVE", nullptr);
  debug_register_env();
  EXPECT_EQ(debug_printf("x %d\n", 1), -1);
  EXPECT_EQ(debug_puts("x"), -1);
  EXPECT_FALSE(fs::exists("debug.log"));
}

TEST_F(DebugChannels, FunctionChannelGetsFormattedTextAndLongTextIsCut) {
  debug_register_func(capture);
  EXPECT_EQ(debug_printf("%s=%d\n", "a", 5), 7);
  EXPECT_EQ(debug_puts("raw"), 7);
  EXPECT_EQ(captured, "a=5\nraw");
  captured.clear();
  std::string big(1000, 'q');
  debug_printf("%s", big.c_str());
  EXPECT_EQ(captured, std::string(259, 'q'));
}

TEST_F(DebugChannels, EnvironmentLogCreatesDebugLogAnew) {
  { std::ofstream("debug.log") << "old contents\n"; }
  set_env("DEBUGACTIVE", "LOG");
  debug_register_env();
  EXPECT_EQ(debug_printf("line %d\n", 1), 0);
  EXPECT_EQ(debug_puts("two\n"), 0);
  // Written and flushed at once: readable while the channel is still open.
  std::string text = read_whole_file("debug.log");
  EXPECT_TRUE(text == "line 1\ntwo\n" || text == "line 1\r\ntwo\r\n") << text;
  // Selecting another channel closes the file; it gets nothing more.
  debug_register_func(capture);
  debug_puts("elsewhere");
  EXPECT_EQ(read_whole_file("debug.log").find("elsewhere"), std::string::npos);
}

TEST_F(DebugChannels, LogModeMustBeWriteOrAppendText) {
  debug_register_func(capture);
  debug_register_log("w.log", "w");
  debug_register_log("r.log", "rt");
  EXPECT_EQ(debug_current(), capture);
  EXPECT_FALSE(fs::exists("w.log"));
  EXPECT_FALSE(fs::exists("r.log"));

  { std::ofstream("a.log") << "first\n"; }
  debug_register_log("a.log", "at");
  debug_puts("second\n");
  debug_register_func(nullptr);
  std::string text = read_whole_file("a.log");
  EXPECT_EQ(text.find("first"), 0u);
  EXPECT_NE(text.find("second"), std::string::npos);
}

TEST_F(DebugChannels, UnopenableLogFailsEveryWrite) {
  debug_register_log((dir / "missing" / "x.log").string().c_str(), "wt");
  EXPECT_NE(debug_current(), nullptr);
  EXPECT_EQ(debug_puts("x"), -1);
}

TEST_F(DebugChannels, ScreenAndUnknownValues) {
  set_env("DEBUGACTIVE", "Screen");
  debug_register_env();
  debug_func_fn screen = debug_current();
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(debug_puts(""), 0);
  set_env("DEBUGACTIVE", "mono");  // no character-cell display here: no change
  debug_register_env();
  EXPECT_EQ(debug_current(), screen);
  set_env("DEBUGACTIVE", "bogus");
  debug_register_env();
  EXPECT_EQ(debug_current(), screen);
}

TEST_F(DebugChannels, VrkSelectsTheWindowChannelOnceAnnounced) {
  debug_register_func(capture);
  set_env("DEBUGACTIVE", "vrk");
  debug_register_env();
  EXPECT_EQ(debug_current(), capture);
  debug_set_window_channel(windowChannel);
  debug_register_env();
  EXPECT_EQ(debug_current(), windowChannel);
  debug_puts("to window");
  EXPECT_EQ(windowText, "to window");
}

}  // namespace
