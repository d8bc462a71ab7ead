// Colour translation for the interpreter's raster device: one run of pixels from the record's source colour
// space to its destination colour space through the host's ICC transform.
#pragma once

#include "jaws/JawsApi.h"

#include "brask/CoreString.h"
#include "brask/IClassFactory.h"
#include "brask/Status.h"

#include <cstdint>

namespace BRASK::PLUGIN {

class ColorTranslator {
public:
    // The profiles and the transform come through `factory` (borrowed).
    explicit ColorTranslator(IClassFactory* factory) : mFactory(factory) {}

    // 0 on success, -1 when the conversion failed (logged).
    Status TranslatePixData(ColorTransCBRec* rec);

    // The generic profile of an interpreter colour space (0 CMYK, 1 RGB, 3 gray, any other RGB): the file
    // in the application folder's Profiles folder, else the same name in the fixed profiles folder.
    static CoreString ProfilePath(IClassFactory* factory, std::uint32_t colorSpace);
    // The same through the process-wide class-factory slot (epsimport's preview sets it).
    static CoreString ProfilePath(std::uint32_t colorSpace);

private:
    IClassFactory* mFactory;
};

// The function placed in RipColorCallback: `context` is the ColorTranslator (without one, a translator over
// the process-wide class-factory slot serves). Sets the record's done flag and returns 0 on success; returns
// 242 with the flag clear on failure.
std::int32_t TranslateColorsCallback(void* context, ColorTransCBRec* rec);

constexpr std::int32_t kTranslationFailed = 242;

} // namespace BRASK::PLUGIN
