// Picture files: a loader chosen by extension (PCX built in, other kinds through a hook), the
// palette of the picture loaded last, and remapping of pixels to the current display palette
// through the colour table. Pixel buffers come from the tagged allocator (tags "pcx" for pictures,
// "datafile" for whole files) and are freed by the caller with MYFREE.
#pragma once

#include <cstddef>
#include <cstdint>

typedef const char* (*datafile_name_fn)(const char* name);
// Loader for other extensions: pixels (tagged allocator), the palette (768 bytes, 8-bit) and the
// size filled in; null on failure.
typedef uint8_t* (*datafile_load_fn)(const char* name, uint8_t* palette, int* width, int* height);

// Pixels in the file's own palette (kept for datafileGetPalette), or null: ".pcx" (any case) by
// the PCX loader, anything else by the hook when one is set.
uint8_t* loadRawDataFile(const char* name, int* width, int* height);
// loadRawDataFile, then the pixels remapped to the current palette (0 stays 0), or null.
uint8_t* loadDataFile(const char* name, int* width, int* height);
// The palette of the picture `name` (its pixels are released), or null when it does not load.
uint8_t* load256Palette(const char* name);
// The 768-byte palette of the picture loaded last.
uint8_t* datafileGetPalette(void);
// Remaps width x height pixels in place from `palette` (8-bit components) through colorTable; 0 stays 0.
void datafileConvertData(uint8_t* pixels, const uint8_t* palette, int width, int height);
// The same for a palette of 6-bit components.
void datafileConvertDataVGA(uint8_t* pixels, const uint8_t* palette, int width, int height);
// The whole file in a new buffer ("datafile"), its length in `size`; null (size 0) on failure.
uint8_t* datafileLoadBlock(const char* name, int* size);
// Crops a picture in place to the rows, from the top, whose first pixel is not 0, each row cut at
// its first 0 pixel; the runs are packed one after another. Width and height are updated.
void trimBuffer(uint8_t* pixels, int* width, int* height);
// Installs the name function applied to every file name (null: names unchanged).
void datafileSetFilenameFunc(datafile_name_fn fn);
// Installs the loader for extensions other than ".pcx" (null: none).
void setBitmapLoadFunc(datafile_load_fn fn);
