#include "RasterDevice.h"

#include "brask/FilterKeys.h"

#include <algorithm>
#include <cstdlib>

namespace BRASK::WRAPPERS {

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
    setup.widthPoints = std::abs(FixedToPoints(width));
    setup.heightPoints = std::abs(FixedToPoints(height));
    setup.xResolution = FixedToPoints(xResolution);
    setup.yResolution = FixedToPoints(yResolution);
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

} // namespace BRASK::WRAPPERS
