// Event files (the window system's recorded sessions) written from text, for authoring tools and
// tests. One event a line ('#' starts a comment), the fields in the file's order:
//   start TIME COUNTER X Y LAYOUT
//   key TIME COUNTER SCAN             (SCAN as 0x.. or decimal: make, break | 0x80, 0xE0 prefix)
//   mouse TIME COUNTER DX DY BUTTONS
// With every TIME 0 playback never waits: a key of counter c comes in the c-th pass after the
// start record's, and so does a mouse event of counter c + 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The bytes of the event file the text describes; false with `error` naming the line that is no
// event.
bool kit_events_from_text(const std::string& text, std::vector<uint8_t>* out, std::string* error);
