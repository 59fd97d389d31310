// Archive builder (authoring): lays out an archive file from members held in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class kit_pack_method { lzss, stored, blocks, best };

struct kit_member {
  std::string path;             // relative path with '\' separators, e.g. "DATA\LOGO.PCX"
  std::vector<uint8_t> data;    // decoded bytes
  kit_pack_method method = kit_pack_method::best;
};

// Writes an archive holding `members` to `file` (names upper-cased, every array in key order,
// the root directory as slot 0). "best" picks the smallest of lzss, blocks and stored, keeping
// stored when packing does not help. The packing runs on up to `jobs` threads (kit/jobs.h); the
// archive's bytes are the same for any number. Returns true on success; on failure `error` says
// why and no partial file is left.
bool kit_build_archive(const std::string& file, const std::vector<kit_member>& members, std::string& error,
                       int jobs = 1);
