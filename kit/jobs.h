// Authoring work spread over threads: the archive builder's packing runs its independent pieces
// (the pieces of an LZSS stream, the blocks of a member, the members) on several threads where the
// standard library has them. What is made never depends on how many threads made it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// The threads this machine runs at once (at least 1); 1 where the library has no threads.
int kit_cores(void);
// Runs task(0) .. task(count - 1), each once, on up to `jobs` threads (the calling thread among
// them; 1 or less: the calling thread alone, in order), and returns when all are done.
void kit_run_jobs(size_t count, int jobs, const std::function<void(size_t)>& task);
// lzss_encode (db/encode.h) with its pieces parsed on up to `jobs` threads: appends to `out`
// exactly the bytes lzss_encode appends, and returns their number.
size_t kit_lzss_encode(const uint8_t* src, size_t len, std::vector<uint8_t>& out, int jobs);
