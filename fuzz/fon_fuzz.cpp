// Built-in ".fon" font loader: any bytes either load as a font that measures and draws inside a
// bounded buffer, or are refused.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vrk/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (VRK_text_load_font_mem(0, data, size) != 0) return 0;
  VRK_text_font(0);
  const char* text = "Setup \x01\xE9\xFF AW";
  const int height = VRK_text_height();
  const int width = VRK_text_width(text);
  const int mono = VRK_text_mono_width(text);
  const int pitch = (mono > width ? mono : width) + 2;
  if (height > 0 && pitch > 0 && size_t(pitch) * size_t(height + 1) <= (size_t(8) << 20)) {
    // Room for the text, its shadow (one right, one down) and nothing more.
    std::vector<uint8_t> buf(size_t(pitch) * size_t(height + 1));
    VRK_text_to_buf(buf.data(), text, pitch - 1, pitch, 5 | TEXT_SHADOW | TEXT_UNDERLINE);
    VRK_text_to_buf(buf.data(), text, pitch - 1, pitch, 5 | TEXT_SHADOW | TEXT_MONO);
  }
  VRK_text_exit();
  return 0;
}
