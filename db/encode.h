// LZSS encoder producing the stream format that db/decode.h reads.
//
// An input is parsed in pieces of LZSS_PIECE_SIZE bytes. A piece's items depend only on its own
// bytes and the 4096 before it, so pieces may be parsed in any order, or at once on several
// threads, and laid out in order they always give the same stream: lzss_encode is
// lzss_parse_piece for every piece in turn, each laid out with lzss_emit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Input bytes per piece (the last piece of an input may be shorter).
constexpr size_t LZSS_PIECE_SIZE = size_t(1) << 17;

// Packs src[0..len) and appends the packed bytes to `out`. The result decodes to exactly the
// input with lzss_decode_mem. Returns the packed size.
size_t lzss_encode(const uint8_t* src, size_t len, std::vector<uint8_t>& out);

// The items of one parsed piece, in order.
struct lzss_piece {
  std::vector<uint8_t> bytes;    // each item's bytes: one for a literal, two for a match
  std::vector<uint8_t> literal;  // one per item: 1 for a literal, 0 for a match
};

// Where the laying out of a stream stands: the flag byte that takes the next item's bit.
struct lzss_emitter {
  size_t flag_at = 0;  // index of that flag byte in the output
  int bits = 8;        // items it holds already (8: the next item opens a new flag byte)
};

// The number of pieces of an input of `len` bytes (0 for an empty input).
size_t lzss_piece_count(size_t len);
// Parses piece `index` of src[0..len) into `piece`, replacing what it held.
void lzss_parse_piece(const uint8_t* src, size_t len, size_t index, lzss_piece& piece);
// Appends the items of `piece` to `out`, after those already laid out by `emitter` (a fresh
// emitter starts a stream; the same emitter and output must take the pieces of a stream in order).
void lzss_emit(const lzss_piece& piece, lzss_emitter& emitter, std::vector<uint8_t>& out);
