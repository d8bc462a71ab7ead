// A PNG read back with libpng, to compare rendered pixels with.
#pragma once

#include <png.h>

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
inline bool ReadPng(const std::string& path, RgbaImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        return false;
    png.format = PNG_FORMAT_RGBA;
    image.width = static_cast<std::int32_t>(png.width);
    image.height = static_cast<std::int32_t>(png.height);
    image.pixels.assign(PNG_IMAGE_SIZE(png), 0);
    const bool ok = png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr) != 0;
    png_image_free(&png);
    return ok;
}

} // namespace BRASK::TEST
