// Event files: any bytes are refused or played as far as they are sound, through the real window
// system on the headless driver, with every wait for the recorded pace bounded (the clock is
// virtual, so a wait costs no time here, but it is counted: see the time check below).
#include <stdlib.h>  // mkdtemp

#include <cstdint>
#include <cstdio>
#include <string>

#include "db/db.h"
#include "platform/driver.h"
#include "platform/headless.h"
#include "vrk/input.h"
#include "vrk/mouse.h"
#include "vrk/svga.h"
#include "vrk/vcr.h"
#include "vrk/vrk.h"
#include "vrk/winmain.h"

namespace {

int small_mode() { return VRK95_init_mode_ex(64, 48, 8); }

// The window system with its font from a patch directory of its own; the pause and dump keys
// off (a pause waits for an Escape the file may never give; dumps would fill the directory).
bool start() {
  static char dir[] = "/tmp/vcr_fuzz_XXXXXX";
  if (!mkdtemp(dir)) return false;
  FILE* in = std::fopen(FONT_FILE, "rb");
  FILE* out = std::fopen((std::string(dir) + "/font0.fon").c_str(), "wb");
  for (int c; in && out && (c = std::fgetc(in)) != EOF;) std::fputc(c, out);
  if (in) std::fclose(in);
  if (out) std::fclose(out);
  if (db_init(nullptr, nullptr, (std::string(dir) + "/").c_str()) == -1) return false;
  if (plat_driver_select("headless") != 0) return false;
  VRK95_isActive = 1;  // no entry made the program active: it has the foreground from the start
  win_set_minimized_title("vcr fuzz");
  if (win_init(small_mode, nullptr, 0) != WIN_OK) return false;
  register_pause(-100, nullptr);
  register_screendump(-100, nullptr);
  mouse_show();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = start();
  if (!ready) __builtin_trap();
  plat_headless_set_time(1000);
  FILE* fp = size ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : nullptr;
  db_file* f = fp ? db_fopen_file(fp, "rb") : nullptr;
  if (fp && !f) std::fclose(fp);
  if (VRK_vcr_play_file(f, 0, nullptr)) {
    int passes = 0;
    for (; passes < 2000 && vcr_status() == VCR_PLAYING; ++passes) get_input();
    // Each pass waits at most VCR_MAX_WAIT for the recorded pace.
    if (get_time() - 1000 > uint32_t(passes + 1) * VCR_MAX_WAIT + 1000) __builtin_trap();
    vcr_stop();
  }
  flush_input_buffer();
  return 0;
}
