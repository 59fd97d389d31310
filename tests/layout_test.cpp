// The keyboard layouts from the keyboard's side: SDL scancodes (places on the keyboard) through
// the sdl driver's key map and the window system's key map and layout tables, against what each
// layout's keyboard prints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/drivers_internal.h"
#include "tests/vrk_util.h"
#include "vrk/kb.h"

using vrk_util::FontArchive;

namespace {

using Codes = std::vector<int>;

class Layouts : public vrk_util::Stage {
 protected:
  void SetUp() override {
    Stage::SetUp();
    ASSERT_EQ(start(96, 64), WIN_OK);
  }
  FontArchive fonts;
};

// Each layout types what its keyboard prints, key by key from the SDL scancodes (places on the
// keyboard) through the sdl driver's key map and the window system's: the main block's four rows
// with the ISO "<>" key, without and with Shift. Written from the layouts' keyboard charts
// (Windows Latin-1 codes); 0 marks a dead key, which gives nothing until the next key, and -1 a
// key that gives nothing.
TEST_F(Layouts, EachLayoutTypesWhatItsKeyboardShows) {
  // SDL scancodes, row by row: ` 1-0 - = / Q-P [ ] / A-L ; ' \ / <> Z-M , . /
  const std::vector<int> places = {53, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 45, 46,  //
                                   20, 26, 8,  21, 23, 28, 24, 12, 18, 19, 47, 48,      //
                                   4,  22, 7,  9,  10, 11, 13, 14, 15, 51, 52, 49,      //
                                   100, 29, 27, 6, 25, 5, 17, 16, 54, 55, 56};
  auto text = [](const std::string& s) {
    std::vector<int> v;
    for (unsigned char c : s) v.push_back(c);
    return v;
  };
  auto join = [](std::initializer_list<std::vector<int>> parts) {
    std::vector<int> v;
    for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
  };
  struct Layout {
    int layout;
    std::vector<int> normal, shift;
  };
  const Layout layouts[] = {
      {KB_ENGLISH_US, join({text("`1234567890-=qwertyuiop[]asdfghjkl;'\\"), {-1}, text("zxcvbnm,./")}),
       join({text("~!@#$%^&*()_+QWERTYUIOP{}ASDFGHJKL:\"|"), {-1}, text("ZXCVBNM<>?")})},
      {KB_FRENCH,
       join({{178, '&', 233, '"', '\'', '(', '-', 232, '_', 231, 224, ')', '='}, text("azertyuiop"), {0, '$'},
             text("qsdfghjklm"), {249, '*', '<'}, text("wxcvbn,;:!")}),
       join({{-1}, text("1234567890"), {176, '+'}, text("AZERTYUIOP"), {0, 163}, text("QSDFGHJKLM"),
             {'%', 181, '>'}, text("WXCVBN?./"), {167}})},
      {KB_GERMAN,
       join({{0}, text("1234567890"), {223, 0}, text("qwertzuiop"), {252, '+'}, text("asdfghjkl"),
             {246, 228, '#', '<'}, text("yxcvbnm,.-")}),
       join({{176, '!', '"', 167}, text("$%&/()="), {'?', 0}, text("QWERTZUIOP"), {220, '*'}, text("ASDFGHJKL"),
             {214, 196, '\'', '>'}, text("YXCVBNM;:_")})},
      {KB_ITALIAN,
       join({text("\\1234567890'"), {236}, text("qwertyuiop"), {232, '+'}, text("asdfghjkl"), {242, 224, 249, '<'},
             text("zxcvbnm,.-")}),
       join({text("|!\""), {163}, text("$%&/()=?^QWERTYUIOP"), {233, '*'}, text("ASDFGHJKL"), {231, 176, 167, '>'},
             text("ZXCVBNM;:_")})},
      {KB_SPANISH,
       join({{186}, text("1234567890'"), {161}, text("qwertyuiop"), {0, '+'}, text("asdfghjkl"), {241, 0, 231, '<'},
             text("zxcvbnm,.-")}),
       join({{170}, text("!\""), {183}, text("$%&/()=?"), {191}, text("QWERTYUIOP"), {0, '*'}, text("ASDFGHJKL"),
             {209, 0, 199, '>'}, text("ZXCVBNM;:_")})},
  };
  // The codes one key (Shift held when shifted) and then Space give: {code, ' '} for a key that
  // types its code, {accent, ' '} for a dead key (the accent comes with the next key), {' '} for
  // a key that types nothing.
  auto press = [](int place, bool shifted) {
    auto key = [](int c, int down) {
      plat_key_event e = {uint8_t(c), uint8_t(down)};
      VRK95_process_key(&e);
    };
    const int code = plat_sdl_scancode_to_dik(place);
    if (shifted) key(0x2A, 1);
    key(code, 1);
    key(code, 0);
    if (shifted) key(0x2A, 0);
    std::vector<int> got;
    auto read = [&] {
      for (int i = 0; i < 8; ++i)  // a record of a key without a code (Shift) reads as -1
        if (int c = kb_getch(); c != -1) got.push_back(c);
    };
    read();
    key(0x39, 1);
    key(0x39, 0);
    read();
    kb_clear();
    return got;
  };
  for (const Layout& l : layouts) {
    ASSERT_EQ(l.normal.size(), places.size()) << l.layout;
    ASSERT_EQ(l.shift.size(), places.size()) << l.layout;
    kb_set_layout(l.layout);
    for (size_t i = 0; i < places.size(); ++i) {
      for (bool shifted : {false, true}) {
        const int want = (shifted ? l.shift : l.normal)[i];
        const std::vector<int> got = press(places[i], shifted);
        const std::string where = "layout " + std::to_string(l.layout) + ", SDL scancode " +
                                  std::to_string(places[i]) + (shifted ? " with Shift" : "");
        if (want == -1) {
          EXPECT_EQ(got, Codes({' '})) << where;
        } else if (want == 0) {
          ASSERT_EQ(got.size(), 2u) << where;
          EXPECT_GT(got[0], 32) << where;
          EXPECT_EQ(got[1], ' ') << where;
        } else {
          EXPECT_EQ(got, Codes({want, ' '})) << where;
        }
      }
    }
  }
  kb_set_layout(KB_ENGLISH_US);
}

}  // namespace
