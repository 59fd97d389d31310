// SDL scancode -> DirectInput key code. SDL scancodes are the USB HID keyboard usage numbers,
// so this table needs no SDL header and builds (and is tested) everywhere. It covers a full
// 102/105-key keyboard: the main block, function keys, the grey keys between the main block and
// the keypad (0x80 + the scan code that follows their 0xE0 prefix) and the keypad.
#include <array>

#include "platform/drivers_internal.h"

namespace {

struct Pair {
  unsigned char sdl;
  unsigned char dik;
};

constexpr Pair kPairs[] = {
    // letters a..z (usage 4..29)
    {4, 0x1E}, {5, 0x30}, {6, 0x2E}, {7, 0x20}, {8, 0x12}, {9, 0x21}, {10, 0x22}, {11, 0x23},
    {12, 0x17}, {13, 0x24}, {14, 0x25}, {15, 0x26}, {16, 0x32}, {17, 0x31}, {18, 0x18},
    {19, 0x19}, {20, 0x10}, {21, 0x13}, {22, 0x1F}, {23, 0x14}, {24, 0x16}, {25, 0x2F},
    {26, 0x11}, {27, 0x2D}, {28, 0x15}, {29, 0x2C},
    // digits 1..9, 0
    {30, 0x02}, {31, 0x03}, {32, 0x04}, {33, 0x05}, {34, 0x06}, {35, 0x07}, {36, 0x08},
    {37, 0x09}, {38, 0x0A}, {39, 0x0B},
    // Enter, Escape, Backspace, Tab, Space, - = [ ] \ (and the ISO # key) ; ' ` , . /
    {40, 0x1C}, {41, 0x01}, {42, 0x0E}, {43, 0x0F}, {44, 0x39}, {45, 0x0C}, {46, 0x0D},
    {47, 0x1A}, {48, 0x1B}, {49, 0x2B}, {50, 0x2B}, {51, 0x27}, {52, 0x28}, {53, 0x29},
    {54, 0x33}, {55, 0x34}, {56, 0x35},
    // Caps Lock, F1..F12
    {57, 0x3A}, {58, 0x3B}, {59, 0x3C}, {60, 0x3D}, {61, 0x3E}, {62, 0x3F}, {63, 0x40},
    {64, 0x41}, {65, 0x42}, {66, 0x43}, {67, 0x44}, {68, 0x57}, {69, 0x58},
    // Print Screen (grey), Scroll Lock, Pause
    {70, 0xB7}, {71, 0x46}, {72, 0xC5},
    // grey Insert, Home, Page Up, Delete, End, Page Down, Right, Left, Down, Up
    {73, 0xD2}, {74, 0xC7}, {75, 0xC9}, {76, 0xD3}, {77, 0xCF}, {78, 0xD1}, {79, 0xCD},
    {80, 0xCB}, {81, 0xD0}, {82, 0xC8},
    // Num Lock, keypad / (grey), *, -, +, Enter (grey), 1..9, 0, .
    {83, 0x45}, {84, 0xB5}, {85, 0x37}, {86, 0x4A}, {87, 0x4E}, {88, 0x9C}, {89, 0x4F},
    {90, 0x50}, {91, 0x51}, {92, 0x4B}, {93, 0x4C}, {94, 0x4D}, {95, 0x47}, {96, 0x48},
    {97, 0x49}, {98, 0x52}, {99, 0x53},
    // the ISO key left of Z, the Menu key
    {100, 0x56}, {101, 0xDD},
    // left Control, Shift, Alt, Windows; right Control (grey), Shift, Alt (grey), Windows
    {224, 0x1D}, {225, 0x2A}, {226, 0x38}, {227, 0xDB}, {228, 0x9D}, {229, 0x36}, {230, 0xB8},
    {231, 0xDC},
};

constexpr std::array<unsigned char, 256> build() {
  std::array<unsigned char, 256> t{};
  for (const Pair& p : kPairs) t[p.sdl] = p.dik;
  return t;
}

constexpr std::array<unsigned char, 256> kTable = build();

}  // namespace

int plat_sdl_scancode_to_dik(int scancode) {
  if (scancode < 0 || scancode > 255) return 0;
  return kTable[scancode];
}
