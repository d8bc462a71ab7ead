#include "EPSVectorFileReader.h"
#include "JawsEntryPoints.h"
#include "Rip.h"

#include "ClassFactorySlot.h"

#include "brask/FilterKeys.h"
#include "brask/Logger.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>

namespace BRASK::PLUGIN {

namespace {
constexpr char kEPSJawsRipSource[] = "core/Plugins/EPSLoader/Source/src/Common/EPSJawsRip";
constexpr std::int32_t kDistillResolution = 0x1200000; // 288 dpi in 16.16
constexpr std::uint32_t kDistillFlags = 3;
constexpr std::int32_t kAnalysisResolution = 0x240000; // 36 dpi in 16.16
constexpr std::int16_t kRGBModelBits = 24;
constexpr std::int32_t kMaxBlockSize = 0x2000000; // 32 MiB
constexpr std::int32_t kMinBlockSize = 512;
constexpr std::uint32_t kFirstBlock = 1;
constexpr std::uint32_t kLastBlock = 2;
constexpr std::int32_t kNoLibrary = -5;
constexpr char kCreatePixelDataFunction[] = "long __cdecl BRASK::PLUGIN::EPSJawsRip::CreatePixelData(void)";

// |a - b| without overflow, clamped to the 32-bit range.
std::int32_t Distance(Fixed a, Fixed b) {
    const std::int64_t d = std::llabs(static_cast<std::int64_t>(a) - static_cast<std::int64_t>(b));
    return static_cast<std::int32_t>(std::min<std::int64_t>(d, std::numeric_limits<std::int32_t>::max()));
}
} // namespace

EPSJawsRip::EPSJawsRip(IClassFactory* factory, IO::IURI* uri, IO::IDataProvider* provider,
                       const EPSVectorFileReader* reader)
    : JawsRip(factory, uri, provider), mReader(reader) {}

EPSJawsRip::EPSJawsRip(IO::IURI* uri, IO::IDataProvider* provider, const EPSVectorFileReader* reader)
    : EPSJawsRip(COREREGISTRY::ClassFactorySlot::Get(), uri, provider, reader) {}

RipDistillParams EPSJawsRip::MakeDistillParams() {
    RipDistillParams params;
    std::memset(&params, 0, sizeof params);
    params.recordSize = kRipDistillParamsSize;
    params.left = GetLeft();
    params.bottom = GetBottom();
    params.width = Distance(GetRight(), GetLeft());
    params.height = Distance(GetTop(), GetBottom());
    params.xResolution = kDistillResolution;
    params.yResolution = kDistillResolution;
    params.embedAllFonts = 1;
    params.flags = kDistillFlags;
    return params;
}

Status EPSJawsRip::CreatePDFGraphics(const char* outputPath) {
    constexpr char kFunction[] = "long __cdecl BRASK::PLUGIN::EPSJawsRip::CreatePDFGraphics(const char *)";
    const std::int32_t start = mReader->GetPostScriptStart();
    const std::int32_t byteCount = mReader->GetPostScriptEnd() - start;
    mDataProvider->SetPosition(start, IO::IDataProvider::kFromStart);
    const RipDistillParams params = MakeDistillParams();
    if (!LibraryAvailable()) {
        BRASK_LOG_ERROR(kEPSJawsRipSource, kFunction, "The interpreter library is not available.");
        return kRenderFailed;
    }
    std::int32_t status = 0;
    try {
        status = GetJawsEntryPoints().BPDFStartDistillUsingDataProvider(mDataProvider, byteCount, outputPath,
                                                                        &params);
    } catch (...) {
        BRASK_LOG_ERROR(kEPSJawsRipSource, kFunction,
                        "BPDFStartDistillUsingDataProvider threw an exception.");
        return kRenderFailed;
    }
    if (status != 0) {
        // The interpreter's own reason reached the log through its logger.
        BRASK_LOG_ERROR(kEPSJawsRipSource, kFunction,
                        "BPDFStartDistillUsingDataProvider failed. Error = " << status);
        return kRenderFailed;
    }
    return kOK;
}

Status EPSJawsRip::Init() {
    constexpr char kFunction[] = "long __cdecl BRASK::PLUGIN::EPSJawsRip::Init(void)";
    const std::int32_t width = Distance(GetRight(), GetLeft());
    const std::int32_t height = Distance(GetTop(), GetBottom());
    if (LibraryAvailable())
        GetJawsEntryPoints().BPDFColorSpaceClear();
    if (LibraryAvailable() &&
        GetJawsEntryPoints().BPDFSetupRasterDevice(width, height, kAnalysisResolution, kAnalysisResolution,
                                                   kRGBModelBits, nullptr, 0, nullptr, nullptr) == 0) {
        const Status result = CreatePixelData();
        GetJawsEntryPoints().BPDFTearDownRasterDevice();
        return result;
    }
    BRASK_LOG_ERROR(kEPSJawsRipSource, kFunction, "BPDFSetupRasterDevice failed");
    return kNoRasterMemory;
}

std::string EPSJawsRip::MakePrologue() {
    const Fixed left = GetLeft();
    const Fixed bottom = GetBottom();
    if (left == 0 && bottom == 0)
        return std::string();
    char text[64] = {};
    // 0 - x rather than -x: an origin coordinate of 0 is written "0", never "-0".
    std::snprintf(text, sizeof text, "%.8g %.8g translate\n", 0.0 - FixedToPoints(left),
                  0.0 - FixedToPoints(bottom));
    return std::string(text);
}

Status EPSJawsRip::CreatePixelData() {
    const std::string prologue = MakePrologue();
    const std::int32_t start = mReader->GetPostScriptStart();
    std::int64_t remaining =
        std::max<std::int64_t>(0, static_cast<std::int64_t>(mReader->GetPostScriptEnd()) - start);

    std::int32_t blockSize = static_cast<std::int32_t>(std::min<std::int64_t>(remaining, kMaxBlockSize));
    std::unique_ptr<std::uint8_t[]> block = NewBuffer(static_cast<std::size_t>(blockSize));
    while (!block && blockSize > kMinBlockSize) {
        blockSize /= 2;
        block = NewBuffer(static_cast<std::size_t>(blockSize));
    }
    if (!block) {
        // Not one byte reaches the interpreter: the render cannot have happened.
        BRASK_LOG_ERROR(kEPSJawsRipSource, kCreatePixelDataFunction,
                        "Unable to create memory for PostScript block.");
        return kRenderFailed;
    }

    if (LibraryAvailable())
        GetJawsEntryPoints().BPDFColorSpaceClear();
    if (remaining > 0 && mDataProvider == nullptr) {
        BRASK_LOG_ERROR(kEPSJawsRipSource, kCreatePixelDataFunction,
                        "No data provider to read the EPS from.");
        return kRenderFailed;
    }
    if (mDataProvider != nullptr)
        mDataProvider->SetPosition(start, IO::IDataProvider::kFromStart);

    std::uint32_t flags = kFirstBlock;
    while (remaining > 0) {
        std::uint32_t count = static_cast<std::uint32_t>(std::min<std::int64_t>(blockSize, remaining));
        // A picture that could not be read whole must not pass for a rendered one.
        const Status read = mDataProvider->Read(block.get(), count);
        if (read != kOK) {
            BRASK_LOG_ERROR(kEPSJawsRipSource, kCreatePixelDataFunction,
                            "Unable to read from EPS file data provider. Status = " << read);
            return kRenderFailed;
        }
        // Data that ends before the section does ends the picture: the last block, empty, says so.
        remaining = count == 0 ? 0 : remaining - std::min<std::int64_t>(count, remaining);
        if (remaining == 0)
            flags |= kLastBlock;
        std::int32_t status = kNoLibrary;
        try {
            if (LibraryAvailable())
                status = GetJawsEntryPoints().BEPSDrawPageContents(
                    flags, block.get(), static_cast<std::int32_t>(count), prologue.c_str(),
                    static_cast<std::int16_t>(prologue.size()));
        } catch (...) {
            BRASK_LOG_ERROR(kEPSJawsRipSource, kCreatePixelDataFunction,
                            "BEPSDrawPageContents threw an exception.");
            return kRenderFailed;
        }
        if (status != 0) {
            BRASK_LOG_ERROR(kEPSJawsRipSource, kCreatePixelDataFunction, "BEPSDrawPageContents failed");
            return kRenderFailed;
        }
        flags &= ~kFirstBlock;
    }
    return kOK;
}

Fixed EPSJawsRip::GetFixedWidth() {
    if (mCachedWidth == 0)
        mCachedWidth = static_cast<std::uint32_t>(mReader->GetFixedWidth());
    return static_cast<Fixed>(mCachedWidth);
}

Fixed EPSJawsRip::GetFixedHeight() {
    if (mCachedHeight == 0)
        mCachedHeight = static_cast<std::uint32_t>(mReader->GetFixedHeight());
    return static_cast<Fixed>(mCachedHeight);
}

Fixed EPSJawsRip::GetLeft() {
    return mReader->GetLeft();
}
Fixed EPSJawsRip::GetRight() {
    return mReader->GetRight();
}
Fixed EPSJawsRip::GetBottom() {
    return mReader->GetBottom();
}
Fixed EPSJawsRip::GetTop() {
    return mReader->GetTop();
}

} // namespace BRASK::PLUGIN
