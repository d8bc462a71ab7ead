#include "GsReference.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>

namespace BRASK::TEST {

bool ReadPng(const std::string& path, RgbaImage& image) {
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

bool GsRender(const std::string& eps, double dpi, const std::string& device, const std::string& pngPath) {
    char resolution[32];
    std::snprintf(resolution, sizeof resolution, "%g", dpi);
    const std::string command =
        "gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -dGraphicsAlphaBits=1 -dTextAlphaBits=1 -r" +
        std::string(resolution) + " -sDEVICE=" + device + " -o '" + pngPath + "' '" + eps +
        "' > /dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

} // namespace BRASK::TEST
