// A PNG read back with libpng, to compare rendered pixels with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace BRASK::TEST {

struct RgbaImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels; // R, G, B, A per pixel, top row first
    const std::uint8_t* At(std::int32_t x, std::int32_t y) const {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 4;
    }
};

// Reads any PNG as 8-bit RGBA; false when it cannot be read.
bool ReadPng(const std::string& path, RgbaImage& image);

} // namespace BRASK::TEST
