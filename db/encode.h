// LZSS encoder producing the stream format that db/decode.h reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Packs src[0..len) and appends the packed bytes to `out`. The result decodes to exactly the
// input with lzss_decode_mem. Returns the packed size.
size_t lzss_encode(const uint8_t* src, size_t len, std::vector<uint8_t>& out);
