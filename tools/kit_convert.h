// setupkit's asset converters: each takes the arguments after its command name and
// returns the process exit code (0 done, 1 failed, 2 bad usage); each command's synopsis,
// description and options are its KitCommand, which the command line is parsed by.
#pragma once

#include <string>
#include <vector>

#include "tools/kit_args.h"

extern const KitCommand kit_palette_cmd, kit_pcx_cmd, kit_png_cmd, kit_font_cmd, kit_preview_cmd;

// setupkit palette IN -o color.pal [--tables]
int kit_palette(const std::vector<std::string>& args);
// setupkit pcx IN.png|IN.bmp -o OUT.pcx [--palette color.pal] [--transparent]
int kit_pcx(const std::vector<std::string>& args);
// setupkit png IN.pcx -o OUT.png
int kit_png(const std::vector<std::string>& args);
// setupkit preview MEDIUM -o DIR [--setup PROGRAM]
int kit_preview(const std::vector<std::string>& args);
// setupkit font TTF --size N [--aaf] -o OUT
int kit_font(const std::vector<std::string>& args);
// Writes the 8-bit BMP `bmp` (a screen dump) as the PNG `png`; false with `why`.
bool kit_bmp_to_png(const std::string& bmp, const std::string& png, std::string& why);
