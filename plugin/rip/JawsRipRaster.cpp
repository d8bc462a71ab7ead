// JawsRip::Rasterize: a pixmap render through the interpreter's raster device, split into the raster's
// channels.
#include "ColorTranslator.h"
#include "JawsEntryPoints.h"
#include "Pixmap.h"
#include "Rip.h"

#include "brask/FilterKeys.h"
#include "brask/Logger.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace BRASK::PLUGIN {

namespace {
constexpr char kJawsRipSource[] = "core/Common/Constructs/Graphics/Plugins/Rip/JawsRip";
constexpr char kRasterizeFunction[] =
    "long __cdecl BRASK::PLUGIN::JawsRip::Rasterize(class BRASK::TInterfacePtr<class "
    "BRASK::GRAPHICS::IRasterComponent> &,float,long,unsigned char)";
constexpr std::int16_t kRGBModelBits = 24;
constexpr std::int16_t kCMYKModelBits = 32;

// |value| of a 16.16 size, clamped to the 32-bit range.
std::int32_t AbsoluteFixed(Fixed value) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(std::llabs(static_cast<std::int64_t>(value)),
                                                            std::numeric_limits<std::int32_t>::max()));
}

// Pixels for a 16.16 size at `resolution`. The count travels as a signed 16-bit value: 0 for a size that
// gives no pixel or more than 32767 (a narrowed count would turn negative).
std::int32_t PixelCount(std::int32_t fixedSize, float resolution) {
    const std::int32_t pixels = PixelsFor(static_cast<float>(FixedToPoints(fixedSize)), resolution);
    return pixels >= 1 && pixels <= 32767 ? pixels : 0;
}

// The resolution in 16.16 dots per inch; false when it is not a positive value the 32-bit field can hold.
bool FixedResolution(float resolution, std::int32_t& fixed) {
    const double scaled = static_cast<double>(resolution) * 65536.0;
    if (!std::isfinite(scaled) || scaled < 1.0 || scaled > std::numeric_limits<std::int32_t>::max())
        return false;
    fixed = static_cast<std::int32_t>(scaled);
    return true;
}

// Opens the raster device of the loaded interpreter.
bool SetupRasterDevice(std::int32_t width, std::int32_t height, std::int32_t resolution, std::int16_t bits,
                       RipPixmap* pixmap, RipColorCallback* callback) {
    try {
        return GetJawsEntryPoints().BPDFSetupRasterDevice(width, height, resolution, resolution, bits, pixmap,
                                                          0, nullptr, callback) == 0;
    } catch (...) {
        return false;
    }
}

// Closes the raster device when the render is over, whichever way it ends.
class RasterDeviceCloser {
public:
    RasterDeviceCloser() = default;
    RasterDeviceCloser(const RasterDeviceCloser&) = delete;
    RasterDeviceCloser& operator=(const RasterDeviceCloser&) = delete;
    ~RasterDeviceCloser() {
        if (mOpen) { // a device opens only in a loaded interpreter
            try {
                GetJawsEntryPoints().BPDFTearDownRasterDevice();
            } catch (...) {
            }
        }
    }
    void Opened() { mOpen = true; }

private:
    bool mOpen = false;
};

// The alpha channel: the last extra channel of the alpha type.
GRAPHICS::IRasterChannel* AlphaChannel(GRAPHICS::IRasterComponent& raster) {
    GRAPHICS::IRasterChannel* alpha = nullptr;
    for (std::int32_t i = 0; i < raster.GetExtraChannelCount(); ++i)
        if (raster.GetExtraChannelType(i) == GRAPHICS::kAlphaChannelType)
            alpha = raster.GetExtraChannel(i);
    return alpha;
}
} // namespace

std::unique_ptr<std::uint8_t[]> JawsRip::NewBuffer(std::size_t bytes) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes]());
}

Status JawsRip::Rasterize(TInterfacePtr<GRAPHICS::IRasterComponent>& raster, float resolution,
                          std::int32_t colourModel, std::uint8_t translateColours) {
    mTranslateColors = translateColours;
    const std::int32_t width = AbsoluteFixed(GetFixedWidth());
    const std::int32_t height = AbsoluteFixed(GetFixedHeight());
    mPixelWidth = PixelCount(width, resolution);
    mPixelHeight = PixelCount(height, resolution);
    const BufferAllocator allocate = [this](std::size_t bytes) { return NewBuffer(bytes); };

    Pixmap colour = AllocatePixmap(mPixelWidth, mPixelHeight, allocate);
    mPixmapDepth = colour.depth;
    mRowBytes = colour.rowBytes;
    if (!colour) {
        BRASK_LOG_ERROR(kJawsRipSource, kRasterizeFunction, "Unable to create memory for pixmap.");
        return kNoRasterMemory;
    }
    RipPixmap colourRecord = colour.Describe();

    const bool cmyk = colourModel == kColourModelCMYK;
    RipColorCallback callback;
    std::memset(&callback, 0, sizeof callback);
    callback.rgb = cmyk ? 0 : 1;
    std::unique_ptr<ColorTranslator> translator;
    if (mTranslateColors != 0) {
        translator = std::make_unique<ColorTranslator>(mFactory);
        callback.translate = &TranslateColorsCallback;
        callback.context = translator.get();
    }

    if (LibraryAvailable()) {
        GetJawsEntryPoints().BPDFColorSpaceClear();
        GetJawsEntryPoints().BPDFFontInfoClear();
    }

    std::int32_t fixedResolution = 0;
    RasterDeviceCloser device;
    if (!FixedResolution(resolution, fixedResolution) || !LibraryAvailable() ||
        !SetupRasterDevice(width, height, fixedResolution, cmyk ? kCMYKModelBits : kRGBModelBits,
                           &colourRecord, &callback)) {
        BRASK_LOG_ERROR(kJawsRipSource, kRasterizeFunction, "BPDFSetupRasterDevice failed");
        return kNoRasterMemory;
    }
    device.Opened();

    Status result = CreatePixelData();
    if (result != kOK) {
        BRASK_LOG_ERROR(kJawsRipSource, kRasterizeFunction, "CreatePixelData failed");
        return result;
    }
    if (!cmyk)
        return CopyToChannels(raster.Get(), colour, colour, 3);

    // The CMYK render has no coverage: a second render in RGB over its own pixmap gives the alpha. Its
    // device is opened over the first, and the one close at the end ends both.
    Pixmap coverage = AllocatePixmap(mPixelWidth, mPixelHeight, allocate);
    if (!coverage) {
        BRASK_LOG_ERROR(kJawsRipSource, kRasterizeFunction, "Unable to create memory for pixmap.");
        return kNoRasterMemory;
    }
    RipPixmap coverageRecord = coverage.Describe();
    if (!SetupRasterDevice(width, height, fixedResolution, kRGBModelBits, &coverageRecord, &callback)) {
        BRASK_LOG_ERROR(kJawsRipSource, kRasterizeFunction, "BPDFSetupRasterDevice failed");
        return kNoRasterMemory;
    }
    result = CreatePixelData();
    if (result != kOK) {
        BRASK_LOG_ERROR(kJawsRipSource, kRasterizeFunction, "CreatePixelData failed");
        return result;
    }
    return CopyToChannels(raster.Get(), colour, coverage, 4);
}

Status JawsRip::CopyToChannels(GRAPHICS::IRasterComponent* raster, const Pixmap& colour,
                               const Pixmap& coverage, int colourChannels) {
    const int planes = colourChannels + 1;
    std::vector<GRAPHICS::IRasterChannel*> channels(static_cast<std::size_t>(planes), nullptr);
    if (raster != nullptr) {
        for (int c = 0; c < colourChannels; ++c)
            channels[static_cast<std::size_t>(c)] = raster->GetColorChannel(c);
        channels.back() = AlphaChannel(*raster);
    }
    const std::int32_t rowLength = channels[0] != nullptr ? std::max(channels[0]->GetRowLength(), 0) : 0;
    std::unique_ptr<std::uint8_t[]> line =
        channels[0] != nullptr
            ? NewBuffer(static_cast<std::size_t>(planes) * static_cast<std::size_t>(rowLength))
            : nullptr;
    if (!line || std::find(channels.begin(), channels.end(), nullptr) != channels.end()) {
        BRASK_LOG_ERROR(kJawsRipSource, kRasterizeFunction,
                        "Insufficient memory to create intermediaryBuffer");
        return kNoLineBuffer;
    }

    // A raster narrower than the render takes the left part of each row.
    const std::int32_t count = std::min(mPixelWidth, rowLength);
    for (std::int32_t y = 0; y < mPixelHeight; ++y) {
        for (std::int32_t x = 0; x < count; ++x) {
            for (int c = 0; c < colourChannels; ++c)
                line[static_cast<std::size_t>(c) * rowLength + x] = colour.Component(x, y, c);
            line[static_cast<std::size_t>(colourChannels) * rowLength + x] = coverage.Component(x, y, 3);
        }
        for (int p = 0; p < planes; ++p)
            channels[static_cast<std::size_t>(p)]->WriteRow(
                y, line.get() + static_cast<std::size_t>(p) * rowLength, count);
    }
    return kOK;
}

} // namespace BRASK::PLUGIN
