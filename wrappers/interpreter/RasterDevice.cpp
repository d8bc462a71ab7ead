#include "RasterDevice.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace BRASK::WRAPPERS {

namespace {

// Pixels handed to one call of the colour callback (whole rows, at least one).
constexpr std::size_t kRunPixels = 256 * 1024;

std::uint8_t Byte(const std::vector<char>& buffer, std::size_t at) {
    return static_cast<std::uint8_t>(buffer[at]);
}

// 255 - the largest rise of a component from the light background to the dark one (or the empty page to
// the fully inked one): 0 where nothing was painted, 255 where the picture covers both alike.
std::uint8_t Coverage(const std::vector<char>& light, const std::vector<char>& dark, std::size_t at,
                      int components, bool inkRises) {
    int rise = 0;
    for (int c = 0; c < components; ++c) {
        const int a = Byte(light, at + c);
        const int b = Byte(dark, at + c);
        rise = std::max(rise, inkRises ? b - a : a - b);
    }
    return static_cast<std::uint8_t>(255 - std::clamp(rise, 0, 255));
}

std::uint8_t Nibble(std::uint8_t value) {
    return static_cast<std::uint8_t>((value * 15 + 127) / 255);
}

// Stores four 8-bit components as pixel (x, y) of the pixmap: bytes 0-3 at 32 bits per pixel; at 16 bits,
// components 0 and 1 in the high and low half of byte 0, 2 and 3 in those of byte 1.
void Store(const RipPixmap& pixmap, std::int32_t x, std::int32_t y, const std::uint8_t (&v)[4]) {
    std::uint8_t* row =
        static_cast<std::uint8_t*>(pixmap.data) + static_cast<std::size_t>(y) * pixmap.rowBytes;
    if (pixmap.bitsPerPixel == 32) {
        std::memcpy(row + static_cast<std::size_t>(x) * 4, v, 4);
        return;
    }
    std::uint8_t* p = row + static_cast<std::size_t>(x) * 2;
    p[0] = static_cast<std::uint8_t>(Nibble(v[0]) << 4 | Nibble(v[1]));
    p[1] = static_cast<std::uint8_t>(Nibble(v[2]) << 4 | Nibble(v[3]));
}

// Converts `source` (packed, sourceSpace) to `destination` through the caller's callback in runs of rows.
bool Translate(const RasterSetup& setup, std::uint32_t sourceSpace, int sourceComponents,
               std::uint32_t destinationSpace, int destinationComponents, const std::vector<char>& source,
               std::vector<char>& destination, std::string& error) {
    const std::size_t width = static_cast<std::size_t>(setup.width);
    const std::size_t pixels = width * static_cast<std::size_t>(setup.height);
    destination.assign(pixels * static_cast<std::size_t>(destinationComponents), 0);
    const std::size_t runRows = std::max<std::size_t>(1, kRunPixels / width);
    for (std::size_t row = 0; row < static_cast<std::size_t>(setup.height); row += runRows) {
        const std::size_t rows = std::min(runRows, static_cast<std::size_t>(setup.height) - row);
        ColorTransCBRec record;
        std::memset(&record, 0, sizeof record);
        record.destinationSpace = destinationSpace;
        record.sourceSpace = sourceSpace;
        record.source = source.data() + row * width * static_cast<std::size_t>(sourceComponents);
        record.destination =
            destination.data() + row * width * static_cast<std::size_t>(destinationComponents);
        record.pixelCount = static_cast<std::uint32_t>(rows * width);
        record.bitsPerComponent = 8;
        const int32_t status = setup.callback.translate(setup.callback.context, &record);
        if (status != 0 || record.done == 0) {
            error = "the colour translation callback failed with " + std::to_string(status) + " at row " +
                    std::to_string(row);
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<RasterPass> RasterSetup::Passes() const {
    if (!hasPixmap)
        return {RasterPass::RgbOnWhite};
    if (modelBits == 32)
        return {translate ? RasterPass::RgbOnWhite : RasterPass::CmykOnNone};
    if (translate)
        return {RasterPass::CmykOnNone, RasterPass::CmykOnFull};
    return {RasterPass::RgbOnWhite, RasterPass::RgbOnBlack};
}

std::int32_t RasterPixels(std::int32_t fixedPoints, std::int32_t fixedDpi) {
    const long long product =
        std::llabs(static_cast<long long>(fixedPoints)) * std::llabs(static_cast<long long>(fixedDpi));
    return static_cast<std::int32_t>(std::min<long long>(product / (72LL << 32), 0x7FFFFFFF));
}

int32_t MakeRasterSetup(std::int32_t width, std::int32_t height, std::int32_t xResolution,
                        std::int32_t yResolution, std::int16_t modelBits, const RipPixmap* pixmap,
                        const RipColorCallback* callback, RasterSetup& setup, std::string& error) {
    setup = RasterSetup{};
    if (modelBits != 24 && modelBits != 32) {
        error = "the colour model must have 24 or 32 bits, not " + std::to_string(modelBits);
        return kJawsBadParameter;
    }
    if (xResolution <= 0 || yResolution <= 0) {
        error = "the raster resolution must be positive";
        return kJawsBadParameter;
    }
    setup.modelBits = modelBits;
    setup.widthPoints = std::abs(width / 65536.0);
    setup.heightPoints = std::abs(height / 65536.0);
    setup.xResolution = xResolution / 65536.0;
    setup.yResolution = yResolution / 65536.0;
    setup.width = RasterPixels(width, xResolution);
    setup.height = RasterPixels(height, yResolution);
    if (pixmap != nullptr) {
        if (pixmap->data == nullptr || (pixmap->bitsPerPixel != 32 && pixmap->bitsPerPixel != 16) ||
            pixmap->rowBytes <= 0 || pixmap->byteSize < 0) {
            error = "the pixmap must have data, 32 or 16 bits per pixel and a positive row length";
            return kJawsBadParameter;
        }
        // The caller may have sized its pixmap in single precision: one pixel less is taken as its size.
        const std::int32_t fitsWidth = pixmap->rowBytes * 8 / pixmap->bitsPerPixel;
        const std::int32_t fitsHeight = pixmap->byteSize / pixmap->rowBytes;
        if (fitsWidth == setup.width - 1)
            setup.width = fitsWidth;
        if (fitsHeight == setup.height - 1)
            setup.height = fitsHeight;
        if (fitsWidth < setup.width || fitsHeight < setup.height) {
            error = "the pixmap is smaller than " + std::to_string(setup.width) + " x " +
                    std::to_string(setup.height) + " pixels";
            return kJawsBadParameter;
        }
        setup.hasPixmap = true;
        setup.pixmap = *pixmap;
    }
    // The analysis render (no pixmap) of a picture under a pixel still runs its job.
    if (!setup.hasPixmap && width != 0 && height != 0) {
        setup.width = std::max(setup.width, 1);
        setup.height = std::max(setup.height, 1);
    }
    if (setup.width <= 0 || setup.height <= 0 || setup.width > kMaxRasterSide ||
        setup.height > kMaxRasterSide) {
        error = "the raster must have 1 to " + std::to_string(kMaxRasterSide) + " pixels a side, not " +
                std::to_string(setup.width) + " x " + std::to_string(setup.height);
        return kJawsBadParameter;
    }
    if (callback != nullptr) {
        setup.callback = *callback;
        setup.translate = callback->translate != nullptr;
    }
    return kJawsOK;
}

bool ComposePixmap(const RasterSetup& setup, const std::vector<std::vector<char>>& renders,
                   std::string& error) {
    if (!setup.hasPixmap)
        return true;
    const std::size_t width = static_cast<std::size_t>(setup.width);
    std::uint8_t v[4] = {};
    if (setup.modelBits == 32) {
        std::vector<char> translated;
        if (setup.translate &&
            !Translate(setup, kJawsColorSpaceRGB, 3, kJawsColorSpaceCMYK, 4, renders[0], translated, error))
            return false;
        const std::vector<char>& cmyk = setup.translate ? translated : renders[0];
        for (std::int32_t y = 0; y < setup.height; ++y) {
            for (std::int32_t x = 0; x < setup.width; ++x) {
                const std::size_t at = (y * width + x) * 4;
                for (int c = 0; c < 4; ++c)
                    v[c] = Byte(cmyk, at + c);
                Store(setup.pixmap, x, y, v);
            }
        }
        return true;
    }
    std::vector<char> translated;
    if (setup.translate &&
        !Translate(setup, kJawsColorSpaceCMYK, 4, kJawsColorSpaceRGB, 3, renders[0], translated, error))
        return false;
    const std::vector<char>& rgb = setup.translate ? translated : renders[0];
    const int coverageComponents = setup.translate ? 4 : 3;
    for (std::int32_t y = 0; y < setup.height; ++y) {
        for (std::int32_t x = 0; x < setup.width; ++x) {
            const std::size_t pixel = y * width + x;
            for (int c = 0; c < 3; ++c)
                v[c] = Byte(rgb, pixel * 3 + c);
            v[3] = Coverage(renders[0], renders[1], pixel * coverageComponents, coverageComponents,
                            setup.translate);
            Store(setup.pixmap, x, y, v);
        }
    }
    return true;
}

} // namespace BRASK::WRAPPERS
