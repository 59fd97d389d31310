// LZSS decoder: 4096-byte history ring, flag bytes used from bit 0 up
// (1 = literal, 0 = match), matches of 3..18 bytes at 12-bit absolute ring positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr int LZSS_RING_SIZE = 4096;
constexpr int LZSS_MAX_MATCH = 18;
constexpr int LZSS_MIN_MATCH = 3;
constexpr int LZSS_RING_START = LZSS_RING_SIZE - LZSS_MAX_MATCH;  // 4078

// Decodes `packed_len` bytes read from `in` into `dest`, writing at most `dest_size` bytes.
// Never reads more than packed_len bytes from `in`. Returns the bytes written (a stream that would
// overflow dest stops at dest_size), or -1 when `in` ends before packed_len bytes were read.
long lzss_decode_to_buf(FILE* in, uint8_t* dest, long packed_len, long dest_size);
// Decodes `packed_len` bytes read from `in`, writing each byte to `out`.
void lzss_decode_to_file(FILE* in, FILE* out, long packed_len);
// Decodes the packed bytes src[0..src_len) into dest[0..dest_size); returns the bytes written
// (never more than dest_size; decoding stops where the output would overflow).
size_t lzss_decode_mem(const uint8_t* src, size_t src_len, uint8_t* dest, size_t dest_size);
