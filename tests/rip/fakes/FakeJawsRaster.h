// What the stand-in interpreter's raster device records, and the pattern it paints, shared by the stand-in
// and the tests that read it back.
#pragma once

#include "jaws/JawsApi.h"

#include <cstdint>
#include <string>

namespace FAKE {

struct SetupRecord {
    int32_t width;
    int32_t height;
    int32_t xResolution;
    int32_t yResolution;
    int16_t colorModelBits;
    bool hasPixmap;
    RipPixmap pixmap;
    bool hasCallback;
    RipColorCallback callback;
};

// One block fed to the device.
struct DrawRecord {
    uint32_t flags;
    int32_t length;
    std::string prologue;
    int16_t prologueLength;
};

// Component `c` of pixel (x, y) as the stand-in paints it: 8-bit values for 32-bit pixmaps, 4-bit values
// (the first component of each byte in its high half) for 16-bit pixmaps. CMYK renders (32 colour-model
// bits) are offset from RGB ones so that the tests can tell them apart.
inline uint8_t Pattern(int32_t x, int32_t y, int c, int16_t colorModelBits, int32_t depth) {
    const int model = colorModelBits == 32 ? 1 : 0;
    if (depth == 32)
        return static_cast<uint8_t>((x * 5 + y * 11 + c * 50 + model * 7) & 0xFF);
    return static_cast<uint8_t>((x + 2 * y + c * 3 + model) & 0x0F);
}

} // namespace FAKE
