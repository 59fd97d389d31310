// Colour system: the 256-entry palette of the 8-bit display and the lookup tables derived from it.
// Colours are named as 15-bit values (red in bits 10-14, green 5-9, blue 0-4) and turned into
// palette indices through `colorTable`; palette components are 6-bit (0-63). Every table is
// module-wide and public so that drawing code can use it with one lookup.
//
// Results: load, push, pop and init return 1 for success and 0 for failure; colorBuildColorTable
// and colorSetColorTable return 0 for success and 1 when memory runs out. The last failure's text
// is kept for colorError().
#pragma once

#include <cstddef>
#include <cstdint>

// --- sizes and file layout of "color.pal" ---
constexpr int COLOR_NUM = 256;                       // palette entries
constexpr int COLOR_TABLE_SIZE = 32768;              // one entry per 15-bit colour
constexpr int COLOR_PALETTE_STACK = 16;              // saved palette states
constexpr int COLOR_BLEND_ROWS = 16;                 // rows of one blend table
constexpr size_t COLOR_BLEND_SIZE = COLOR_BLEND_ROWS * COLOR_NUM;  // 4096 bytes
constexpr size_t COLOR_FILE_PALETTE = 768;           // 256 entries of red, green, blue (0-63)
constexpr size_t COLOR_FILE_UNTAGGED = 768 + 32768;  // palette and colorTable: 33536 bytes
constexpr size_t COLOR_FILE_TAGGED = COLOR_FILE_UNTAGGED + 4 + 3 * 65536;  // 230148 bytes
constexpr uint8_t COLOR_FILE_TAG[4] = {'C', 'W', 'E', 'N'};  // marks the three stored tables
constexpr int COLOR_OPEN_BINARY = 0x200;             // flags given to the open hook

// --- the tables ---
extern uint8_t cmap[COLOR_NUM * 3];                     // current palette, r g b per entry, 0-63
extern uint8_t mappedColor[COLOR_NUM];                  // 1 usable entry, 0 never chosen (black)
extern uint8_t colorTable[COLOR_TABLE_SIZE];            // palette index of every 15-bit colour
extern uint8_t intensityColorTable[COLOR_NUM][COLOR_NUM];  // [c][k]: k<128 darker, 128 = c, >128 brighter
extern uint8_t colorMixAddTable[COLOR_NUM][COLOR_NUM];  // [a][b]: additive mix of a and b
extern uint8_t colorMixMulTable[COLOR_NUM][COLOR_NUM];  // [a][b]: multiplicative mix of a and b
extern uint8_t* blendTable[COLOR_NUM];                  // per-colour blend table (16 rows of 256) or null
extern uint8_t systemCmap[COLOR_NUM * 3];               // palette last handed to the display, before gamma
extern uint8_t currentGammaTable[64];                   // gamma mapping of 6-bit components
extern double currentGamma;                             // gamma in force
extern uint8_t* colorPaletteStack[COLOR_PALETTE_STACK]; // saved states (mappedColor, cmap, colorTable)
extern int tos;                                         // number of saved states
extern int colorsInited;                                // set by the first initColors

// --- 15-bit colours ---
// The 15-bit colour of 5-bit components (each masked to 0-31).
constexpr int colorRGB15(int r, int g, int b) { return ((r & 31) << 10) | ((g & 31) << 5) | (b & 31); }
// Components of a 15-bit colour.
constexpr int colorRed15(int rgb) { return (rgb >> 10) & 31; }
constexpr int colorGreen15(int rgb) { return (rgb >> 5) & 31; }
constexpr int colorBlue15(int rgb) { return rgb & 31; }
// The 15-bit colour of three toolkit components 0.0-1.0 (each scaled by 31, clamped).
int colorFloat15(float r, float g, float b);

// --- hooks ---
typedef int (*color_open_fn)(const char* name, int flags);      // handle, or -1
typedef int (*color_read_fn)(int handle, void* buf, int size);  // bytes read (0 at the end, -1 error)
typedef void (*color_close_fn)(int handle);
typedef const char* (*color_mangle_fn)(const char* name);
typedef void* (*color_alloc_fn)(size_t size);
typedef void* (*color_realloc_fn)(void* ptr, size_t size);
typedef void (*color_free_fn)(void* ptr);
typedef void (*color_palette_fn)(const uint8_t* rgb6);
typedef void (*color_palette_entries_fn)(const uint8_t* rgb6, int first, int count);

// Installs the file hooks used by loadColorTable; any null restores the defaults (plain files
// through the OS services).
void colorInitIO(color_open_fn open, color_read_fn read, color_close_fn close);
// Installs the allocator for blend tables, saved palettes and work tables; any null restores the
// defaults (the runtime's heap).
void colorRegisterAlloc(color_alloc_fn alloc, color_realloc_fn realloc, color_free_fn release);
// Registers the display's palette calls (6-bit components after gamma): all 256 entries, and a run
// of entries; null: palettes stay in the colour system. The display registers them when it starts.
void colorSetPaletteHook(color_palette_fn all, color_palette_entries_fn entries);
// Installs a function applied to the colour-file name before it is opened (null: none).
void colorSetNameMangler(color_mangle_fn fn);

// --- life cycle ---
// First call only: gamma 1.0, load "color.pal" and hand cmap to the display; 1 / 0. Later calls: 1.
int initColors(void);
// Drops one reference of every blend table, frees every saved palette, empties the stack.
void colorsClose(void);
// Loads a colour file (untagged: derived tables computed; tagged: read); 1, or 0 leaving every
// table as it was when the file is missing, short, of the wrong size or wrongly tagged.
int loadColorTable(const char* name);
// The last error text ("color: No errors\n" until something fails).
const char* colorError(void);

// --- lookups ---
// colorTable[rgb15] (the colour is masked to 15 bits).
int RGB2Index(int rgb15);
// 15-bit colour of palette entry `index` (6-bit components halved).
int Index2RGB(int index);
// Same as Index2RGB.
int Color2RGB(int index);
// intensityColorTable[index][intensity >> 9]; intensity is 16.16 fixed point, 65536 = unchanged,
// clamped to 0..131071.
int calculateColor(int intensity, int index);
// colorMixAddTable[a][b].
int colorMixAdd(int a, int b);
// colorMixMulTable[a][b].
int colorMixMul(int a, int b);
// The blend table of colour `index` (built on first use), adding one reference; null without memory.
uint8_t* getColorBlendTable(int index);
// Drops one reference of the colour's blend table; the table is freed at zero.
void freeColorBlendTable(int index);
// mappedColor[i] (0 for an index outside 0-255).
int colorMappedColor(int i);

// --- building ---
// Rebuilds colorTable, cmap (components >> 2) and every derived table from 256 entries of 8-bit
// components; a nonzero skip flag (skip may be null) leaves an entry unusable. 0, or 1 when
// memory runs out (tables unchanged).
int colorBuildColorTable(const uint8_t* palette, const uint8_t* skip);
// colorBuildColorTable, then on success hands cmap to the display; 0 / 1.
int colorSetColorTable(const uint8_t* palette, const uint8_t* skip);
// Copies 768 bytes (0-63) into cmap and marks every entry usable; no table is rebuilt.
void setColorPalette(const uint8_t* pal);
// Sets one entry of cmap (components masked to 0-63).
void setColorPaletteEntry(int i, int r, int g, int b);
// Reads one entry of cmap.
void getColorPaletteEntry(int i, int* r, int* g, int* b);
// cmap itself.
uint8_t* getColorPalette(void);
// Recompute every intensity row from colorTable and cmap.
void setIntensityTables(void);
// Recompute the intensity row of colour c.
void setIntensityTableColor(int c);
// Recompute both mix tables (needs the intensity rows).
void setMixTable(void);
// Recompute row c of both mix tables.
void setMixTableColor(int c);
// Recompute the contents of every blend table in use.
void rebuildColorBlendTables(void);

// --- the display's palette ---
// Records pal (768 bytes, 0-63) in systemCmap and hands its gamma-mapped copy to the display.
void setSystemPalette(const uint8_t* pal);
// The same for entries first..last inclusive; pal holds their triples, pal[0..2] being entry first.
void setSystemPaletteEntries(const uint8_t* pal, int first, int last);
// The same for one entry.
void setSystemPaletteEntry(int i, int r, int g, int b);
// systemCmap itself.
uint8_t* getSystemPalette(void);
// Reads one entry of systemCmap.
void getSystemPaletteEntry(int i, int* r, int* g, int* b);
// setSystemPalette of an all-black palette.
void setBlackSystemPalette(void);
// Hands steps palettes going from `from` to `to` to the display, then `to` itself.
void fadeSystemPalette(const uint8_t* from, const uint8_t* to, int steps);
// Sets the gamma (ignored unless finite and > 0) and hands systemCmap over again.
void colorGamma(double gamma);
// The gamma in force.
double colorGetGamma(void);

// --- palette stack ---
// Saves mappedColor, cmap and colorTable; 1, or 0 on overflow (16 saved) or without memory.
int colorPushColorPalette(void);
// Restores the last saved state and recomputes the derived tables; 1, or 0 on an empty stack.
int colorPopColorPalette(void);
