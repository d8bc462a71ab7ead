// An independent render of an EPS file by the `gs` command (cropped to its bounding box), read back with
// libpng, to compare the RIP's pixels with.
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

// `gs -dEPSCrop` of `eps` at `dpi` with `device` (png16m: colour on white; pngalpha: with coverage,
// anti-aliasing off) into `pngPath`; false when gs fails.
bool GsRender(const std::string& eps, double dpi, const std::string& device, const std::string& pngPath);

} // namespace BRASK::TEST
