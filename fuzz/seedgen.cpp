// Seed generator for the fuzz targets: writes small valid files of the formats setupkit does not
// write itself, and the pictures setupkit's converters start from. fuzz/make_seeds.sh builds it
// on the host and runs it; it is no fuzz target (the fuzz build only takes *_fuzz.cpp).
//
//   seedgen pictures DIR   PNG (palette 8 and 4 bits with transparency, grey, grey + alpha, RGB,
//                          RGBA, 16-bit RGB, a wide flat grey), BMP (8, 24 and 32 bits,
//                          bottom-up and top-down) and a 768-byte RGB palette
//   seedgen lzss DIR       LZSS streams behind the two-byte destination size lzss_fuzz reads
//   seedgen regfile DIR    registry files: one written by regfile_write, one in the forms a
//                          person or regedit writes (comments, deletions, continued hex lines)
//
// Every file is a pure function of this source, so the seeds come out the same on every run.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "db/decode.h"
#include "db/encode.h"
#include "platform/host/regfile.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string g_dir;

void write(const std::string& name, const void* data, size_t size) {
  const std::string path = g_dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
    std::fprintf(stderr, "seedgen: cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

void write(const std::string& name, const Bytes& b) { write(name, b.data(), b.size()); }
void write(const std::string& name, const std::string& s) { write(name, s.data(), s.size()); }

void put16le(Bytes& b, unsigned v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void put32le(Bytes& b, uint32_t v) {
  put16le(b, v & 0xFFFF);
  put16le(b, v >> 16);
}
void put32be(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

// --- pictures ---

void chunk(Bytes& png, const char* type, const Bytes& data) {
  put32be(png, uint32_t(data.size()));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  put32be(png, uint32_t(crc32(0, png.data() + start, uInt(png.size() - start))));
}

// A PNG of `rows` (each already led by its filter byte) with the given header fields.
Bytes png(int w, int h, int depth, int type, const Bytes& rows, const Bytes& plte = {}, const Bytes& trns = {}) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  put32be(ihdr, uint32_t(w));
  put32be(ihdr, uint32_t(h));
  ihdr.insert(ihdr.end(), {uint8_t(depth), uint8_t(type), 0, 0, 0});
  chunk(out, "IHDR", ihdr);
  if (!plte.empty()) chunk(out, "PLTE", plte);
  if (!trns.empty()) chunk(out, "tRNS", trns);
  uLongf n = compressBound(uLong(rows.size()));
  Bytes z(n);
  if (compress2(z.data(), &n, rows.data(), uLong(rows.size()), 9) != Z_OK) std::exit(1);
  z.resize(n);
  chunk(out, "IDAT", z);
  chunk(out, "IEND", {});
  return out;
}

// Rows of `bytes_per_row` bytes, each led by filter `filter` (0 none, 1 sub, 2 up), the bytes a
// simple pattern of x and y.
Bytes rows(int h, int bytes_per_row, int filter, int mod) {
  Bytes r;
  for (int y = 0; y < h; ++y) {
    r.push_back(uint8_t(filter));
    for (int x = 0; x < bytes_per_row; ++x) r.push_back(uint8_t((x * 7 + y * 13) % mod));
  }
  return r;
}

Bytes palette(int n) {
  Bytes p;
  for (int i = 0; i < n; ++i) p.insert(p.end(), {uint8_t(i * 37), uint8_t(255 - i * 20), uint8_t(i * 90)});
  return p;
}

// An uncompressed BMP; negative h for top-down. `ncol` palette entries for 8 bits.
Bytes bmp(int w, int h, int bpp, int ncol) {
  const int ah = h < 0 ? -h : h;
  const int stride = (w * bpp / 8 + 3) & ~3;
  const uint32_t pal = bpp == 8 ? uint32_t(ncol) * 4 : 0;
  const uint32_t at = 54 + pal;
  Bytes b = {'B', 'M'};
  put32le(b, at + uint32_t(stride * ah));
  put32le(b, 0);
  put32le(b, at);
  put32le(b, 40);
  put32le(b, uint32_t(w));
  put32le(b, uint32_t(h));
  put16le(b, 1);
  put16le(b, unsigned(bpp));
  put32le(b, 0);
  put32le(b, uint32_t(stride * ah));
  put32le(b, 2835);
  put32le(b, 2835);
  put32le(b, bpp == 8 ? uint32_t(ncol) : 0);
  put32le(b, 0);
  for (int i = 0; bpp == 8 && i < ncol; ++i)
    b.insert(b.end(), {uint8_t(i * 50), uint8_t(i * 30), uint8_t(255 - i * 40), 0});
  for (int y = 0; y < ah; ++y)
    for (int x = 0; x < stride; ++x)
      b.push_back(x < w * bpp / 8 ? uint8_t(bpp == 8 ? (x + y) % ncol : (x * 11 + y * 29) & 255) : 0);
  return b;
}

void pictures() {
  // Palette PNGs: 8 bits with a transparent entry, 4 bits (unpacked by the reader).
  write("pal8.png", png(6, 4, 8, 3, rows(4, 6, 0, 5), palette(5), {0, 255, 128}));
  write("pal4.png", png(7, 3, 4, 3, rows(3, 4, 0, 256) /* two pixels a byte */, palette(16)));
  // Grey, grey + alpha, RGB, RGBA (alpha 0 on some pixels), 16-bit RGB.
  write("grey.png", png(5, 4, 8, 0, rows(4, 5, 1, 256)));
  write("greyalpha.png", png(4, 3, 8, 4, rows(3, 8, 0, 256)));
  write("rgb.png", png(5, 3, 8, 2, rows(3, 15, 2, 256)));
  Bytes rgba = rows(4, 16, 0, 256);
  for (size_t i = 1; i < rgba.size(); i += 17)
    for (int k = 3; k < 16; k += 8) rgba[i + size_t(k)] = 0;  // pixels 0 and 2 of each row: clear
  write("rgba.png", png(4, 4, 8, 6, rgba));
  write("rgb16.png", png(3, 2, 16, 2, rows(2, 18, 0, 256)));
  write("flat.png", png(150, 2, 8, 0, rows(2, 150, 0, 1)));  // one grey: runs longer than 63
  write("index8.bmp", bmp(5, 3, 8, 6));
  write("rgb24.bmp", bmp(3, 3, 24, 0));  // rows padded to four bytes
  write("topdown32.bmp", bmp(4, -2, 32, 0));
  write("ramp.rgb", palette(256));
}

// --- LZSS ---

// The two bytes lzss_fuzz reads as the destination size (big-endian, modulo 20000), then the
// packed bytes.
void stream(const std::string& name, const Bytes& text, unsigned cap) {
  Bytes out = {uint8_t(cap >> 8), uint8_t(cap)};
  lzss_encode(text.data(), text.size(), out);
  Bytes back(text.size());
  if (lzss_decode_mem(out.data() + 2, out.size() - 2, back.data(), back.size()) != text.size() || back != text) {
    std::fprintf(stderr, "seedgen: %s does not decode to its text\n", name.c_str());
    std::exit(1);
  }
  write(name, out);
}

Bytes text(const char* s, int times) {
  Bytes b;
  for (int i = 0; i < times; ++i) b.insert(b.end(), s, s + std::strlen(s));
  return b;
}

void lzss() {
  stream("literals.lz", text("Setup", 1), 64);
  stream("lines.lz", text("[Install]\nTitle=Demo Product\nInstallTypes=Typical,Full\n", 12), 1000);
  stream("run.lz", Bytes(300, 'A'), 300);  // matches that overlap their own output
  Bytes near = text("ab", 40), five = text("abcde", 30);
  near.insert(near.end(), five.begin(), five.end());
  stream("near.lz", near, 400);  // matches two and five bytes back
  Bytes mixed;
  uint32_t x = 12345;
  for (int i = 0; i < 5000; ++i) {  // past the 4096-byte ring, with some repeats to match
    x = x * 1103515245u + 12345u;
    mixed.push_back(i % 64 < 40 ? uint8_t("the ring wraps "[i % 15]) : uint8_t(x >> 24));
  }
  stream("wrap.lz", mixed, 6000);
  stream("short-dest.lz", text("0123456789abcdef", 20), 100);  // the destination fills up
  stream("empty.lz", {}, 0);
  // Matches into the history before any output (the ring's start-up fill): flag byte 0 = eight
  // matches, each two bytes of 12-bit position and length - 3.
  Bytes raw = {0x00, 200};
  raw.push_back(0x00);
  for (int i = 0; i < 8; ++i) {
    const unsigned pos = (4078u + unsigned(i) * 300u) & 0xFFF, len = unsigned(i) % 16;
    raw.push_back(uint8_t(pos));
    raw.push_back(uint8_t(((pos >> 4) & 0xF0) | len));
  }
  write("ring-start.lz", raw);
}

// --- registry file ---

void regfile() {
  RegTree tree;
  auto set = [&](const char* path, const char* name, const std::string& data) {
    RegKey* k = regfile_add(&tree, path, nullptr);
    if (!k || !regfile_set(k, name, data)) std::exit(1);
  };
  set("HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo Company\\Demo Product\\1.0", "", "default value");
  set("HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo Company\\Demo Product\\1.0", "Path", "C:\\GAMES\\DEMO");
  set("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\demo.exe", "",
      "C:\\GAMES\\DEMO\\demo.exe");
  set("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo Product", "DisplayName",
      "Demo \"Product\"");
  set("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo Product", "UninstallString",
      "C:\\WINDOWS\\uninst.exe C:\\GAMES\\DEMO\\uninst.log");
  set("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Programs",
      "C:\\WINDOWS\\Start Menu\\Programs");
  // Control characters make the value hex(1), long enough to be continued over lines.
  set("HKEY_CURRENT_USER\\Software\\Demo", "Lines", "first line\r\nsecond line\ttabbed\r\nthird line of the value");
  const std::string written = regfile_write(tree);
  RegTree again;
  if (regfile_parse(written, &again) != 0 || regfile_write(again) != written) std::exit(1);
  write("written.reg", written);

  write("by-hand.reg",
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "; a comment, then a key removed and keys with odd spacing\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\n"
        "[hkey_local_machine\\\\Software\\\\Demo\\]   \n"
        "  @ = \"default\"\n"
        "\"Escaped \\\\ \\\"name\\\"\"=\"C:\\\\DEMO\"\n"
        "\"Hex\"=hex(1):41, 42 ,43,\\\n"
        "   44,00\n"
        "\"Empty\"=\"\"\n"
        "\"EmptyHex\"=hex(1):\n"
        "\"Dword\"=dword:00000001\n"
        "not a value line\n"
        "[HKEY_CLASSES_ROOT\\.dat]\n"
        "\"Skipped\"=\"no such root\"\n"
        "[HKEY_CURRENT_USER\\Software\\Demo\\Sub]\r\n"
        "\"Name\"=\"value\"\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: seedgen pictures|lzss|regfile DIR\n");
    return 2;
  }
  g_dir = argv[2];
  const std::string what = argv[1];
  if (what == "pictures")
    pictures();
  else if (what == "lzss")
    lzss();
  else if (what == "regfile")
    regfile();
  else {
    std::fprintf(stderr, "seedgen: unknown kind %s\n", argv[1]);
    return 2;
  }
  return 0;
}
