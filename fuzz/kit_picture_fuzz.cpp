// Feeds arbitrary bytes to setupkit's picture readers as a user's file would reach them: the
// palette command (PCX, palette PNG, 8-bit BMP or 768 bytes of RGB) and the pcx command (PNG or
// BMP, true colour mapped through a palette). Errors must be reported, never crash. The converters
// explain every refusal on stderr: run with -close_fd_mask=2 to keep only the fuzzer's own output.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tools/kit_convert.h"

namespace fs = std::filesystem;

namespace {

fs::path dir;

void setUpOnce() {
  if (!dir.empty()) return;
  std::random_device rd;
  dir = fs::temp_directory_path() / ("kit_picture_fuzz_" + std::to_string(rd()));
  fs::create_directories(dir);
  // A palette for the pcx command: a grey ramp.
  std::vector<uint8_t> rgb(768);
  for (int i = 0; i < 768; ++i) rgb[i] = uint8_t(i / 3);
  FILE* f = std::fopen((dir / "grey.rgb").c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(rgb.data(), 1, rgb.size(), f);
  std::fclose(f);
  if (kit_palette({(dir / "grey.rgb").string(), "-o", (dir / "grey.pal").string()}) != 0) std::abort();
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(dir, ec);
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setUpOnce();
  std::string in = (dir / "in.bin").string();
  FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::string pal = (dir / "out.pal").string(), pcx = (dir / "out.pcx").string();
  kit_palette({in, "-o", pal});
  kit_pcx({in, "-o", pcx, "--palette", (dir / "grey.pal").string()});
  kit_pcx({in, "-o", pcx, "--transparent"});
  return 0;
}
