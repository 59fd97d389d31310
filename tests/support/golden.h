// Golden files: expected results checked in below tests/data and compared byte for byte.
// UPDATE_GOLDEN=1 in the environment rewrites each golden file from the current result instead
// (after a deliberate change; look at the difference before committing it).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// The path of golden file `name`, relative to tests/data ("grbuf_lines.hex", "uninst/basic.log").
std::string golden_path(const std::string& name);
// Whether UPDATE_GOLDEN=1 is set, so that golden files are rewritten rather than compared.
bool golden_updating();
// An 8-bit picture as hex text: a line "W H", then one line per row, two hex digits per pixel.
std::string golden_hex(const uint8_t* pixels, int w, int h, int pitch);
// Compares text with golden file `name` (carriage returns in the file ignored), or rewrites the file.
::testing::AssertionResult golden_text(const std::string& name, const std::string& got);
// Compares bytes (a BMP, say) with golden file `name` exactly, or rewrites the file.
::testing::AssertionResult golden_bytes(const std::string& name, const std::vector<uint8_t>& got);
// Compares an 8-bit picture, in golden_hex form, with golden file `name` (a .hex file), or rewrites it.
::testing::AssertionResult golden_picture(const std::string& name, const uint8_t* pixels, int w, int h, int pitch);
