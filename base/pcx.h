// PCX pictures: version 5, one 8-bit plane, run-length encoded, with the 256-colour palette that
// follows the image data (a 12 byte, then 768 bytes of red, green, blue).
//
// A damaged picture gives null, never a partial one: a file shorter than its 128-byte header, an
// empty or inverted rectangle, bytes per line (times planes) smaller than the width, image data
// that ends before the last line, or a picture larger than its data could possibly describe.
// Pixel buffers come from the tagged allocator under the tag "pcx"; the caller frees them (MYFREE).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t PCX_HEADER_SIZE = 128;
constexpr size_t PCX_PALETTE_SIZE = 768;
constexpr uint8_t PCX_PALETTE_MARK = 12;

// Loads a picture through the archive streams: width x height packed pixels, or null. For a
// version-5 file whose byte at (length - 769) is 12 the 768-byte palette is copied to `palette`
// (when not null); otherwise `palette` is left untouched.
uint8_t* loadPCX(const char* name, int* width, int* height, uint8_t* palette);
// The same from `size` bytes of a whole PCX file in memory.
uint8_t* pcxDecode(const uint8_t* data, size_t size, int* width, int* height, uint8_t* palette);
