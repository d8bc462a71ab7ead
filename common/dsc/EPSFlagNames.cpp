#include "EPSInfo.h"

namespace BRASK::PLUGIN::EPSFlags {

const char* FlagName(int bit) {
    static constexpr const char* kNames[32] = {
        nullptr,
        nullptr,
        "BraskTavren",
        "SuppressDotGainCompensation",
        "MarksAllSeparations",
        "NoCompositeMaster",
        "DCS1",
        "DCS2",
        "PlatesInFile",
        "PlatesElsewhere",
        "CyanPlate",
        "MagentaPlate",
        "YellowPlate",
        "BlackPlate",
        "PhotoshopDCS1",
        "RasterCreator",
        "CMYK",
        "RGB",
        "ColorModel18",
        "ColorModel19",
        "VectorMaskedImagery",
        "BraskTavren7OrLater",
        "DuotoneInks",
        nullptr,
    };
    return bit >= 0 && bit < 32 ? kNames[bit] : nullptr;
}

} // namespace BRASK::PLUGIN::EPSFlags
