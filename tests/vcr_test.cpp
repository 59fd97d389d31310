// Event recording and playback on the headless stage: the exact bytes of recorded files, the stop
// conditions and the end routine, the keyboard layout coming back, damaged files, and a replay of
// random input that shows the program, pass for pass, what the recorded session showed it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/os.h"
#include "tests/support/env.h"
#include "tests/support/files.h"
#include "tests/vrk_util.h"
#include "vrk/kb.h"
#include "vrk/vcr.h"

using vrk_util::FontArchive;

namespace {

using Bytes = std::string;

Bytes be(uint32_t v, int bytes) {
  Bytes b;
  for (int i = bytes - 1; i >= 0; --i) b.push_back(char(v >> (8 * i)));
  return b;
}
Bytes start_record(int x, int y, int layout) {
  return be(1, 4) + be(0, 4) + be(0, 4) + be(x, 4) + be(y, 4) + be(layout, 4);
}
Bytes key(uint32_t time, uint32_t counter, int scan) { return be(2, 4) + be(time, 4) + be(counter, 4) + be(scan, 2); }
Bytes mouse(uint32_t time, uint32_t counter, int dx, int dy, int b) {
  return be(3, 4) + be(time, 4) + be(counter, 4) + be(dx, 4) + be(dy, 4) + be(b, 4);
}

bool started_before = false;  // the window system was started in this program already

class Vcr : public vrk_util::Stage {
 protected:
  void SetUp() override {
    if (!started_before) first_start = true;
    started_before = true;
    Stage::SetUp();
    plat_headless_set_time(1000);
    ASSERT_EQ(start(64, 48), WIN_OK);
    mouse_show();
  }
  void TearDown() override {
    vcr_stop();
    Stage::TearDown();
  }
  FontArchive fonts;
  TempDir dir{"vcr"};
  bool first_start = false;

  db_file* open(const std::string& name, const char* mode) {
    return db_fopen_file(os_fopen_native(dir.file(name).c_str(), mode), mode);
  }
  int record(const std::string& name) { return VRK_vcr_record_file(open(name, "wb")); }
  int play(const Bytes& events, int conditions, vcr_notify_fn fn) {
    write_whole_file(dir.file("play.vcr"), events);
    return VRK_vcr_play_file(open("play.vcr", "rb"), conditions, fn);
  }
  Bytes file(const std::string& name) { return read_whole_file(dir.file(name)); }
  // get_input until the playback ends (at most n passes); the codes that came.
  static std::vector<int> drain(int n = 100) {
    std::vector<int> codes;
    for (int i = 0; i < n && vcr_status() == VCR_PLAYING; ++i)
      if (int c = get_input(); c != -1) codes.push_back(c);
    return codes;
  }
};

// VRK_RECORD at the program's first start of the window system (this suite runs first).
class VcrEnv : public Vcr {
 protected:
  void SetUp() override {
    set_env("VRK_RECORD", dir.file("env.vcr").c_str());
    Vcr::SetUp();
  }
  void TearDown() override {
    set_env("VRK_RECORD", nullptr);
    set_env("VRK_PLAY", nullptr);
    Vcr::TearDown();
  }
};

TEST_F(VcrEnv, TheFirstStartRecordsUntilTheEndAndLaterStartsLeaveTheFileAlone) {
  if (!first_start) GTEST_SKIP() << "needs the program's first start of the window system";
  int x, y;
  mouse_get_position(&x, &y);
  EXPECT_EQ(vcr_status(), VCR_RECORDING);
  plat_headless_key(0x1E, 1);
  get_input();
  win_exit();
  const Bytes recorded = start_record(x, y, KB_ENGLISH_US) + key(0, 1, 0x1E);
  EXPECT_EQ(file("env.vcr"), recorded);
  set_env("VRK_PLAY", dir.file("env.vcr").c_str());
  ASSERT_EQ(start(64, 48), WIN_OK);
  EXPECT_EQ(vcr_status(), VCR_IDLE);
  win_exit();
  EXPECT_EQ(file("env.vcr"), recorded);
}

std::vector<int> ends;
void on_end(int condition) { ends.push_back(condition); }

TEST_F(Vcr, AnEmptyRecordingIsOneStartRecordAndAPressAndReleaseAreTwoKeyEvents) {
  int x, y;
  mouse_get_position(&x, &y);
  kb_set_layout(KB_GERMAN);
  ASSERT_EQ(record("empty.vcr"), 1);
  EXPECT_EQ(vcr_status(), VCR_RECORDING);
  EXPECT_EQ(vcr_record("other.vcr"), 0);  // one at a time
  vcr_stop();
  EXPECT_EQ(file("empty.vcr"), start_record(x, y, KB_GERMAN));

  // By name, through a patch directory of the archive layer.
  const int patches = db_init(nullptr, nullptr, (dir.path.string() + "/").c_str());
  ASSERT_NE(patches, -1);
  db_select(patches);
  ASSERT_EQ(vcr_record("keys.vcr"), 1);
  get_input();  // pass 1: counter 2
  plat_headless_advance(5);
  get_input();  // pass 2: counter 3 at 5 ms
  plat_headless_key(0x1E, 1);
  get_input();  // the press, stamped with pass 3's count and the time of the last pass
  plat_headless_advance(3);
  plat_headless_key(0x1E, 0);
  get_input();
  vcr_stop();
  EXPECT_EQ(file("keys.vcr"), start_record(x, y, KB_GERMAN) + key(5, 3, 0x1E) + key(5, 4, 0x9E));
}

TEST_F(Vcr, AKeyPressStopsAPlaybackThatStopsOnKeysAndTheLayoutComesBack) {
  // The recording used the German layout; a key every pass, then ten passes of nothing.
  Bytes session = start_record(10, 10, KB_GERMAN) + key(0, 1, 0x10) + key(0, 2, 0x90);
  for (uint32_t c = 3; c < 13; ++c) session += mouse(0, c + 1, 1, 0, 0);
  kb_set_layout(KB_ENGLISH_US);
  ends.clear();

  // Stop conditions take effect with the start record; a real release does not stop it.
  ASSERT_EQ(play(session, VCR_STOP_KEY, on_end), 1);
  get_input();
  EXPECT_EQ(kb_get_layout(), KB_GERMAN);
  plat_headless_key(0x2C, 1);
  EXPECT_EQ(get_input(), -1);  // the real key never reaches the driver
  EXPECT_EQ(vcr_status(), VCR_IDLE);
  EXPECT_EQ(ends, std::vector<int>{VCR_INTERRUPTED});
  EXPECT_EQ(kb_get_layout(), KB_ENGLISH_US);

  // Without conditions real keys are kept out and the recording runs to its end: "q" in German
  // is the key US keyboards call "q" too (0x10).
  plat_headless_key(0x2C, 0);
  ASSERT_EQ(play(session, 0, on_end), 1);
  get_input();
  plat_headless_key(0x2C, 1);
  EXPECT_EQ(drain(), std::vector<int>{'q'});
  EXPECT_EQ(ends, (std::vector<int>{VCR_INTERRUPTED, VCR_ENDED}));
  EXPECT_EQ(kb_get_layout(), KB_ENGLISH_US);
}

TEST_F(Vcr, ADamagedFileIsRefusedOrPlayedAsFarAsItIsSound) {
  // A file must begin with its start record.
  EXPECT_EQ(play(key(0, 1, 0x10), 0, nullptr), 0);
  EXPECT_EQ(play("", 0, nullptr), 0);
  EXPECT_EQ(vcr_status(), VCR_IDLE);
  // A type other than 1-3 and a cut event end the file there; nothing after them is read.
  const Bytes a = key(0, 1, 0x1E) + key(0, 2, 0x9E);
  const Bytes bad_type = be(7, 4) + be(0, 4) + be(3, 4) + be(0, 2);
  ASSERT_EQ(play(start_record(1, 1, 0) + a + bad_type + key(0, 4, 0x30) + key(0, 5, 0xB0), 0, nullptr), 1);
  EXPECT_EQ(drain(), std::vector<int>{'a'});
  ASSERT_EQ(play(start_record(1, 1, 0) + a + key(0, 3, 0x30).substr(0, 13), 0, nullptr), 1);
  EXPECT_EQ(drain(), std::vector<int>{'a'});
  // A gap of a day between two passes waits at most VCR_MAX_WAIT.
  const uint32_t before = get_time();
  ASSERT_EQ(play(start_record(1, 1, 0) + key(86400000, 2, 0x1E) + key(86400000, 3, 0x9E), 0, nullptr), 1);
  EXPECT_EQ(drain(), std::vector<int>{'a'});
  EXPECT_LE(get_time() - before, uint32_t(3 * VCR_MAX_WAIT));
}

// What the program sees in one pass: the code, the mouse position and button events.
using Seen = std::tuple<int, int, int, int>;
Seen pass() {
  const int c = get_input();
  int x, y;
  mouse_get_position(&x, &y);
  return {c, x, y, mouse_get_buttons()};
}

TEST_F(Vcr, APlaybackShowsTheProgramWhatTheRecordedSessionShowedIt) {
  const int keys[] = {0x1E, 0x30, 0x2A, 0x02, 0x39, 0x0E, 0x1C, 0xC8, 0xCB, 0x9C};  // letters, Shift, grey keys
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 rng(seed);
    mouse_set_position(32, 24);
    kb_clear();
    ASSERT_EQ(record("random.vcr"), 1);
    std::vector<Seen> recorded;
    bool down[256] = {};
    for (int i = 0; i < 150; ++i) {
      const unsigned r = rng() % 8;
      if (r < 3) {
        const int k = keys[rng() % std::size(keys)];
        down[k] = !down[k];
        plat_headless_key(k, down[k]);
      } else if (r < 5) {
        plat_headless_mouse(int(rng() % 41) - 20, int(rng() % 41) - 20, int(rng() % 4));
      }
      recorded.push_back(pass());
      plat_headless_advance(1);  // a short session: no key repeat, no button auto-press
    }
    for (int k = 0; k < 256; ++k)
      if (down[k]) plat_headless_key(k, 0);
    plat_headless_mouse(0, 0, 0);
    get_input();
    vcr_stop();

    mouse_set_position(5, 5);
    ASSERT_EQ(VRK_vcr_play_file(open("random.vcr", "rb"), 0, nullptr), 1);
    pass();  // the start record's pass
    std::vector<Seen> played;
    for (size_t i = 0; i < recorded.size(); ++i) played.push_back(pass());
    ASSERT_EQ(played, recorded) << "seed " << seed;
    drain();
  }
}

}  // namespace
