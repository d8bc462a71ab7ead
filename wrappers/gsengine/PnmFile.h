// Reads the raster files the interpreter's file devices write: binary PPM (P6, ppmraw) and PAM (P7,
// pamcmyk32), 8 bits per component.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace BRASK::WRAPPERS {

struct PnmImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int components = 0;       // 3 (RGB) or 4 (CMYK)
    std::vector<char> pixels; // packed rows, top row first
};

// False (with `error` saying why) when the file is missing, of another kind, or shorter than its header says.
bool ReadPnm(const std::string& path, PnmImage& image, std::string& error);

} // namespace BRASK::WRAPPERS
