// Picture and palette converters of setupkit.
//
//   setupkit palette IN -o color.pal [--tables]
//       IN: a PCX with a 256-colour palette, a palette PNG, an 8-bit BMP, or 768 bytes of
//       red, green, blue (8 bits each). Writes the 256 entries (6-bit) and the colour table built
//       by colorBuildColorTable; --tables adds the tag and the intensity and mix tables.
//   setupkit pcx IN.png|IN.bmp -o OUT.pcx [--palette color.pal] [--transparent]
//       Writes a version-5, 8-bit, run-length encoded PCX. With --palette every pixel becomes the
//       palette's nearest colour through its colour table; without it a palette picture keeps its
//       own palette, and a true-colour picture of at most 256 colours gets a palette of exactly
//       those colours. --transparent makes fully transparent pixels 0 and keeps every opaque
//       pixel off 0.
//   setupkit png IN.pcx -o OUT.png
//       Writes an 8-bit palette PNG with the PCX's pixels and 256-colour palette.
#include <png.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "color/color.h"
#include "base/memdbg.h"
#include "base/pcx.h"
#include "tools/kit_convert.h"

namespace {

constexpr int kMaxSide = 65534;  // bytes per line is 16 bits and even

using Bytes = std::vector<uint8_t>;

// The output name of a parsed command line ("" when -o was not given).
std::string output(const KitArgs& a) {
  const std::string* o = kit_value(a, "-o");
  return o ? *o : std::string();
}

bool read_file(const std::string& path, Bytes& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool write_file(const std::string& path, const Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::remove(path.c_str());
  return ok;
}

std::string lower_ext(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string e = path.substr(dot + 1);
  for (char& c : e) c = char(std::tolower(static_cast<unsigned char>(c)));
  return e;
}

// A decoded picture: palette indices (with the palette and each entry's alpha) or RGBA.
struct Picture {
  int w = 0, h = 0;
  bool indexed = false;
  Bytes index;                    // w * h, when indexed
  std::array<uint8_t, 768> pal{};  // 8-bit components, when indexed
  std::array<uint8_t, 256> alpha{};
  int colors = 0;                 // palette entries present in the file
  Bytes rgba;                     // w * h * 4, when not indexed
};

// --- PNG ---

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngReader() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  }
};

void png_error_quiet(png_structp png, png_const_charp msg) {
  auto* why = static_cast<std::string*>(png_get_error_ptr(png));
  if (why) *why = msg;
  png_longjmp(png, 1);
}
void png_warning_quiet(png_structp, png_const_charp) {}

struct MemRead {
  const Bytes* data;
  size_t pos;
};

void png_mem_read(png_structp png, png_bytep out, png_size_t n) {
  auto* m = static_cast<MemRead*>(png_get_io_ptr(png));
  if (n > m->data->size() - m->pos) png_error(png, "file ends early");
  std::memcpy(out, m->data->data() + m->pos, n);
  m->pos += n;
}

bool decode_png(const Bytes& data, Picture& pic, std::string& why) {
  if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0) {
    why = "not a PNG file";
    return false;
  }
  PngReader r;
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &why, png_error_quiet, png_warning_quiet);
  if (!r.png) return false;
  r.info = png_create_info_struct(r.png);
  if (!r.info) return false;
  MemRead m{&data, 0};
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(r.png))) {
    if (why.empty()) why = "damaged PNG";
    return false;
  }
  png_set_read_fn(r.png, &m, png_mem_read);
  png_set_user_limits(r.png, kMaxSide, kMaxSide);
  png_read_info(r.png, r.info);
  png_uint_32 w, h;
  int depth, type;
  png_get_IHDR(r.png, r.info, &w, &h, &depth, &type, nullptr, nullptr, nullptr);
  pic.w = int(w);
  pic.h = int(h);
  if (type == PNG_COLOR_TYPE_PALETTE) {
    pic.indexed = true;
    png_colorp plte = nullptr;
    int n = 0;
    png_get_PLTE(r.png, r.info, &plte, &n);
    pic.colors = std::min(n, 256);
    pic.alpha.fill(255);
    for (int i = 0; i < pic.colors; ++i) {
      pic.pal[i * 3] = plte[i].red;
      pic.pal[i * 3 + 1] = plte[i].green;
      pic.pal[i * 3 + 2] = plte[i].blue;
    }
    png_bytep trns = nullptr;
    int ntrns = 0;
    if (png_get_tRNS(r.png, r.info, &trns, &ntrns, nullptr) && trns)
      for (int i = 0; i < std::min(ntrns, 256); ++i) pic.alpha[i] = trns[i];
    if (depth < 8) png_set_packing(r.png);
    png_read_update_info(r.png, r.info);
    pic.index.assign(size_t(w) * h, 0);
    rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = pic.index.data() + size_t(y) * w;
  } else {
    png_set_expand(r.png);
    png_set_strip_16(r.png);
    png_set_gray_to_rgb(r.png);
    png_set_add_alpha(r.png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(r.png, r.info);
    if (png_get_rowbytes(r.png, r.info) != size_t(w) * 4) {
      why = "unsupported PNG layout";
      return false;
    }
    pic.rgba.assign(size_t(w) * h * 4, 0);
    rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = pic.rgba.data() + size_t(y) * w * 4;
  }
  png_read_image(r.png, rows.data());
  png_read_end(r.png, nullptr);
  if (pic.indexed) {
    for (uint8_t v : pic.index)
      if (v >= pic.colors) {
        why = "pixel outside the palette";
        return false;
      }
  }
  return true;
}

bool write_png(const std::string& path, int w, int h, const uint8_t* pixels, const uint8_t* pal8, std::string& why) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    why = "cannot create";
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &why, png_error_quiet, png_warning_quiet);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info;
  if (ok) {
    if (setjmp(png_jmpbuf(png))) {
      ok = false;
    } else {
      png_init_io(png, f);
      png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                   PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
      png_color plte[256];
      for (int i = 0; i < 256; ++i) plte[i] = {pal8[i * 3], pal8[i * 3 + 1], pal8[i * 3 + 2]};
      png_set_PLTE(png, info, plte, 256);
      png_write_info(png, info);
      for (int y = 0; y < h; ++y) png_write_row(png, pixels + size_t(y) * w);
      png_write_end(png, nullptr);
    }
  }
  if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    if (why.empty()) why = "cannot write";
    std::remove(path.c_str());
  }
  return ok;
}

// --- BMP (uncompressed 8, 24 and 32 bits) ---

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool decode_bmp(const Bytes& d, Picture& pic, std::string& why) {
  why = "damaged BMP";
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M') {
    why = "not a BMP file";
    return false;
  }
  const uint32_t data_at = le32(&d[10]), hsize = le32(&d[14]);
  if (hsize < 40 || 14 + uint64_t(hsize) > d.size()) return false;
  const int32_t w = int32_t(le32(&d[18])), hh = int32_t(le32(&d[22]));
  const int bpp = le16(&d[28]);
  const uint32_t comp = le32(&d[30]);
  uint32_t ncol = le32(&d[46]);
  if (comp != 0 || (bpp != 8 && bpp != 24 && bpp != 32)) {
    why = "only uncompressed 8, 24 and 32-bit BMP pictures are read";
    return false;
  }
  if (w <= 0 || hh == 0 || hh == INT32_MIN || w > kMaxSide || std::abs(hh) > kMaxSide) return false;
  const bool top_down = hh < 0;
  const int h = std::abs(hh);
  const uint64_t stride = (uint64_t(w) * bpp / 8 + 3) & ~uint64_t(3);
  if (uint64_t(data_at) + stride * uint64_t(h) > d.size()) return false;
  pic.w = w;
  pic.h = h;
  if (bpp == 8) {
    if (ncol == 0 || ncol > 256) ncol = 256;
    const uint64_t pal_at = 14 + uint64_t(hsize);
    if (pal_at + ncol * 4 > d.size()) return false;
    pic.indexed = true;
    pic.colors = int(ncol);
    pic.alpha.fill(255);
    for (uint32_t i = 0; i < ncol; ++i) {
      pic.pal[i * 3] = d[pal_at + i * 4 + 2];
      pic.pal[i * 3 + 1] = d[pal_at + i * 4 + 1];
      pic.pal[i * 3 + 2] = d[pal_at + i * 4];
    }
    pic.index.resize(size_t(w) * h);
  } else {
    pic.rgba.resize(size_t(w) * h * 4);
  }
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = d.data() + data_at + stride * uint64_t(top_down ? y : h - 1 - y);
    for (int x = 0; x < w; ++x) {
      if (bpp == 8) {
        if (row[x] >= ncol) {
          why = "pixel outside the palette";
          return false;
        }
        pic.index[size_t(y) * w + x] = row[x];
      } else {
        const uint8_t* p = row + x * (bpp / 8);
        uint8_t* o = &pic.rgba[(size_t(y) * w + x) * 4];
        o[0] = p[2];
        o[1] = p[1];
        o[2] = p[0];
        o[3] = 255;  // the fourth byte of 32-bit pictures is not alpha everywhere: treated as opaque
      }
    }
  }
  return true;
}

bool decode_picture(const std::string& path, const Bytes& data, Picture& pic, std::string& why) {
  if (data.size() >= 8 && png_sig_cmp(data.data(), 0, 8) == 0) return decode_png(data, pic, why);
  if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') return decode_bmp(data, pic, why);
  (void)path;
  why = "not a PNG or BMP picture";
  return false;
}

// --- PCX ---

Bytes encode_pcx(int w, int h, const uint8_t* pixels, const uint8_t* pal8) {
  const int bpl = (w + 1) & ~1;
  Bytes out(128, 0);
  out[0] = 10;
  out[1] = 5;
  out[2] = 1;
  out[3] = 8;
  auto put16 = [&](size_t at, unsigned v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
  };
  put16(8, unsigned(w - 1));
  put16(10, unsigned(h - 1));
  put16(12, 72);
  put16(14, 72);
  out[65] = 1;
  put16(66, unsigned(bpl));
  put16(68, 1);
  Bytes line(size_t(bpl), 0);
  for (int y = 0; y < h; ++y) {
    std::memcpy(line.data(), pixels + size_t(y) * w, size_t(w));
    for (int x = 0; x < bpl;) {
      const uint8_t v = line[x];
      int n = 1;
      while (x + n < bpl && n < 63 && line[x + n] == v) ++n;
      if (n > 1 || (v & 0xC0) == 0xC0) {
        out.push_back(uint8_t(0xC0 | n));
      }
      out.push_back(v);
      x += n;
    }
  }
  out.push_back(PCX_PALETTE_MARK);
  out.insert(out.end(), pal8, pal8 + 768);
  return out;
}

bool read_pcx(const std::string& path, Bytes& pixels, int& w, int& h, std::array<uint8_t, 768>& pal, bool& has_pal,
              std::string& why) {
  Bytes data;
  if (!read_file(path, data)) {
    why = "cannot read";
    return false;
  }
  // A palette is there when the loader copies one: detect it by filling both ways.
  std::array<uint8_t, 768> a, b;
  a.fill(0);
  b.fill(255);
  uint8_t* px = pcxDecode(data.data(), data.size(), &w, &h, a.data());
  if (!px) {
    why = "not a readable PCX picture";
    return false;
  }
  pixels.assign(px, px + size_t(w) * h);
  MYFREE(px, "pcx");
  uint8_t* px2 = pcxDecode(data.data(), data.size(), nullptr, nullptr, b.data());
  if (px2) MYFREE(px2, "pcx");
  has_pal = a == b;
  pal = a;
  return true;
}

// 8-bit components of a 6-bit palette.
std::array<uint8_t, 768> widen(const uint8_t* pal6) {
  std::array<uint8_t, 768> p{};
  for (int k = 0; k < 768; ++k) p[k] = uint8_t((pal6[k] << 2) | (pal6[k] >> 4));
  return p;
}

int nearest(const std::array<uint8_t, 768>& pal, int first, int r, int g, int b) {
  int best = first;
  long bestd = -1;
  for (int i = first; i < 256; ++i) {
    const long dr = pal[i * 3] - r, dg = pal[i * 3 + 1] - g, db = pal[i * 3 + 2] - b;
    const long d = dr * dr + dg * dg + db * db;
    if (bestd < 0 || d < bestd) {
      bestd = d;
      best = i;
    }
  }
  return best;
}

}  // namespace

const KitCommand kit_palette_cmd = {
    "palette",
    "palette IN -o color.pal [--tables]",
    "Makes a palette file from a picture's palette (PCX or PNG) or a 768-byte RGB file: the\n"
    "256 entries and the colour table; --tables adds the intensity and mix tables.\n",
    {{"-o", "--output", true}, {"--tables", nullptr, false}}};

const KitCommand kit_pcx_cmd = {
    "pcx",
    "pcx IN.png|IN.bmp -o OUT.pcx [--palette color.pal] [--transparent]",
    "Converts a PNG or BMP picture to an 8-bit RLE PCX in the given palette (nearest colour);\n"
    "--transparent keeps index 0 for the transparent pixels.\n",
    {{"-o", "--output", true}, {"--palette", nullptr, true}, {"--transparent", nullptr, false}}};

const KitCommand kit_png_cmd = {"png",
                                "png IN.pcx -o OUT.png",
                                "Converts a PCX picture to PNG, to look at an asset.\n",
                                {{"-o", "--output", true}}};

int kit_palette(const std::vector<std::string>& args) {
  KitArgs a;
  if (int rc = kit_parse_command(kit_palette_cmd, args, a); rc >= 0) return rc;
  const std::string out_name = output(a);
  if (a.pos.size() != 1 || out_name.empty()) return kit_usage(kit_palette_cmd, "palette needs one IN and -o FILE");
  const std::string& in = a.pos[0];
  Bytes data;
  if (!read_file(in, data)) return kit_fail(in, "cannot read");
  std::array<uint8_t, 768> pal8{};
  std::string why;
  const std::string ext = lower_ext(in);
  if (ext == "pcx") {
    Bytes px;
    int w, h;
    bool has = false;
    if (!read_pcx(in, px, w, h, pal8, has, why)) return kit_fail(in, why);
    if (!has) return kit_fail(in, "no 256-colour palette");
  } else if (data.size() == 768) {
    std::copy(data.begin(), data.end(), pal8.begin());
  } else {
    Picture pic;
    if (!decode_picture(in, data, pic, why))
      return kit_fail(in, "not a PCX, palette PNG or BMP, nor 768 bytes of red, green, blue");
    if (!pic.indexed) return kit_fail(in, "not a palette picture");
    pal8 = pic.pal;
  }
  if (colorBuildColorTable(pal8.data(), nullptr) != 0) return kit_fail(in, "out of memory");
  Bytes out(cmap, cmap + 768);
  out.insert(out.end(), colorTable, colorTable + COLOR_TABLE_SIZE);
  if (kit_flag(a, "--tables")) {
    out.insert(out.end(), COLOR_FILE_TAG, COLOR_FILE_TAG + 4);
    const uint8_t* t[3] = {&intensityColorTable[0][0], &colorMixAddTable[0][0], &colorMixMulTable[0][0]};
    for (const uint8_t* p : t) out.insert(out.end(), p, p + 65536);
  }
  if (!write_file(out_name, out)) return kit_fail(out_name, "cannot write");
  return kKitExitOk;
}

int kit_pcx(const std::vector<std::string>& args) {
  KitArgs a;
  if (int rc = kit_parse_command(kit_pcx_cmd, args, a); rc >= 0) return rc;
  const std::string out_name = output(a);
  if (a.pos.size() != 1 || out_name.empty()) return kit_usage(kit_pcx_cmd, "pcx needs one IN and -o FILE");
  const std::string& in = a.pos[0];
  const bool transparent = kit_flag(a, "--transparent");
  Bytes data;
  if (!read_file(in, data)) return kit_fail(in, "cannot read");
  Picture pic;
  std::string why;
  if (!decode_picture(in, data, pic, why)) return kit_fail(in, why);
  if (pic.w > kMaxSide || pic.h > kMaxSide + 1) return kit_fail(in, "picture too large for PCX");
  const size_t n = size_t(pic.w) * pic.h;

  // Every pixel as RGBA, whatever the input.
  auto rgba_at = [&](size_t k, uint8_t* o) {
    if (pic.indexed) {
      const int i = pic.index[k];
      o[0] = pic.pal[i * 3];
      o[1] = pic.pal[i * 3 + 1];
      o[2] = pic.pal[i * 3 + 2];
      o[3] = pic.alpha[i];
    } else {
      std::memcpy(o, &pic.rgba[k * 4], 4);
    }
  };

  Bytes out(n);
  std::array<uint8_t, 768> pal8{};
  if (const std::string* palette_file = kit_value(a, "--palette")) {
    const std::string& pf = *palette_file;
    if (!loadColorTable(pf.c_str())) return kit_fail(pf, "not a readable colour file");
    pal8 = widen(cmap);
    if (transparent) {
      // Entry 0 is kept for transparency: rebuild the table with it left out.
      uint8_t skip[256] = {1};
      if (colorBuildColorTable(pal8.data(), skip) != 0) return kit_fail(pf, "out of memory");
    }
    for (size_t k = 0; k < n; ++k) {
      uint8_t p[4];
      rgba_at(k, p);
      if (transparent && p[3] == 0) {
        out[k] = 0;
        continue;
      }
      out[k] = colorTable[((p[0] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[2] >> 3)];
    }
  } else if (pic.indexed) {
    pal8 = pic.pal;
    std::array<int, 256> map{};
    for (int i = 0; i < 256; ++i) map[i] = i;
    if (transparent) {
      int t = -1;
      for (int i = 0; i < pic.colors && t < 0; ++i)
        if (pic.alpha[i] == 0) t = i;
      if (t > 0) {  // the transparent entry becomes 0
        std::swap_ranges(pal8.begin(), pal8.begin() + 3, pal8.begin() + t * 3);
        map[0] = t;
        map[t] = 0;
      } else if (t < 0) {  // entry 0 is an opaque colour: move it out of the way
        if (pic.colors < 256) {
          std::copy_n(pal8.begin(), 3, pal8.begin() + pic.colors * 3);
          map[0] = pic.colors;
        } else {
          map[0] = nearest(pic.pal, 1, pic.pal[0], pic.pal[1], pic.pal[2]);
        }
        pal8[0] = pal8[1] = pal8[2] = 0;
      }
    }
    for (size_t k = 0; k < n; ++k) {
      const int i = pic.index[k];
      out[k] = uint8_t(transparent && pic.alpha[i] == 0 ? 0 : map[i]);
    }
  } else {
    // A true-colour picture without a palette: its own colours, when there are few enough.
    std::map<uint32_t, int> seen;
    int next = transparent ? 1 : 0;
    for (size_t k = 0; k < n; ++k) {
      const uint8_t* p = &pic.rgba[k * 4];
      if (transparent && p[3] == 0) {
        out[k] = 0;
        continue;
      }
      const uint32_t key = uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
      auto it = seen.find(key);
      if (it == seen.end()) {
        if (next > 255) return kit_fail(in, "more than 256 colours: give --palette");
        it = seen.emplace(key, next).first;
        pal8[next * 3] = p[0];
        pal8[next * 3 + 1] = p[1];
        pal8[next * 3 + 2] = p[2];
        ++next;
      }
      out[k] = uint8_t(it->second);
    }
  }
  if (!write_file(out_name, encode_pcx(pic.w, pic.h, out.data(), pal8.data())))
    return kit_fail(out_name, "cannot write");
  return kKitExitOk;
}

int kit_png(const std::vector<std::string>& args) {
  KitArgs a;
  if (int rc = kit_parse_command(kit_png_cmd, args, a); rc >= 0) return rc;
  const std::string out_name = output(a);
  if (a.pos.size() != 1 || out_name.empty()) return kit_usage(kit_png_cmd, "png needs one IN and -o FILE");
  const std::string& in = a.pos[0];
  Bytes px;
  int w = 0, h = 0;
  std::array<uint8_t, 768> pal{};
  bool has = false;
  std::string why;
  if (!read_pcx(in, px, w, h, pal, has, why)) return kit_fail(in, why);
  if (!has) return kit_fail(in, "no 256-colour palette");
  if (!write_png(out_name, w, h, px.data(), pal.data(), why)) return kit_fail(out_name, why);
  return kKitExitOk;
}

bool kit_bmp_to_png(const std::string& bmp, const std::string& png, std::string& why) {
  Bytes data;
  Picture pic;
  if (!read_file(bmp, data)) {
    why = "cannot read";
    return false;
  }
  if (!decode_bmp(data, pic, why)) return false;
  if (!pic.indexed) {
    why = "not a picture of 256 colours";
    return false;
  }
  return write_png(png, pic.w, pic.h, pic.index.data(), pic.pal.data(), why);
}
