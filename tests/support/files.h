// Whole files for tests: read and written in one go, bytes as they are.
#pragma once

#include <filesystem>
#include <string>

// The whole content of `file` ("" when it cannot be read).
std::string read_whole_file(const std::filesystem::path& file);
// Writes exactly `data` to `file`, replacing it; false when it cannot.
bool write_whole_file(const std::filesystem::path& file, const std::string& data);
