// The interpreter wrapper's raster device: the pixmap and colour callback a caller opened it with, and the
// renders the worker makes for each request (PixmapComposer.h writes them into the caller's pixels).
//
// Renders (passes) per request:
//   24 colour-model bits            RGB on white + RGB on black: colour from the first, alpha from both
//   24 bits with a colour callback  CMYK on no ink + CMYK on full ink: alpha from both, colour = the first
//                                   converted CMYK -> RGB by the callback
//   32 bits                         CMYK on no ink: C, M, Y, K
//   32 bits with a colour callback  RGB on white, converted RGB -> CMYK by the callback
//   no pixmap                       RGB on white, pixels discarded (the job is only run)
// Alpha = 255 - the largest difference of a component between the two backgrounds.
#pragma once

#include "GsWorkerClient.h"

#include <jaws/JawsApi.h>

#include <cstdint>
#include <string>
#include <vector>

namespace BRASK::WRAPPERS {

struct RasterSetup {
    double widthPoints = 0; // the picture's size
    double heightPoints = 0;
    std::int32_t width = 0;  // pixels
    std::int32_t height = 0; // pixels
    double xResolution = 0;  // dots per inch
    double yResolution = 0;
    std::int16_t modelBits = 24; // 24 RGB + alpha, 32 CMYK
    bool hasPixmap = false;
    RipPixmap pixmap{};
    bool translate = false; // a colour callback with a function was given
    RipColorCallback callback{};

    std::vector<RasterPass> Passes() const;
};

// floor(points x dpi / 72) from 16.16 values, exact.
std::int32_t RasterPixels(std::int32_t fixedPoints, std::int32_t fixedDpi);

// Checks the arguments of BPDFSetupRasterDevice; kJawsOK and `setup` filled, or kJawsBadParameter with
// `error`.
int32_t MakeRasterSetup(std::int32_t width, std::int32_t height, std::int32_t xResolution,
                        std::int32_t yResolution, std::int16_t modelBits, const RipPixmap* pixmap,
                        const RipColorCallback* callback, RasterSetup& setup, std::string& error);

} // namespace BRASK::WRAPPERS
