#include "EPSVectorFileReader.h"
#include "JawsEntryPoints.h"
#include "Rip.h"

#include "brask/Logger.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>

namespace BRASK::PLUGIN {

namespace {
constexpr char kEPSJawsRipSource[] = "core/Plugins/EPSLoader/Source/src/Common/EPSJawsRip";
constexpr std::int32_t kDistillResolution = 0x1200000; // 288 dpi in 16.16
constexpr std::uint32_t kDistillFlags = 3;

// |a - b| without overflow, clamped to the 32-bit range.
std::int32_t Distance(Fixed a, Fixed b) {
    const std::int64_t d = std::llabs(static_cast<std::int64_t>(a) - static_cast<std::int64_t>(b));
    return static_cast<std::int32_t>(std::min<std::int64_t>(d, std::numeric_limits<std::int32_t>::max()));
}
} // namespace

EPSJawsRip::EPSJawsRip(IO::IURI* uri, IO::IDataProvider* provider, const EPSVectorFileReader* reader)
    : JawsRip(uri, provider), mReader(reader) {}

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
    if (!LoadJawsLibrary(JawsLibraryLoaded()))
        return kOK;
    try {
        GetJawsEntryPoints().BPDFStartDistillUsingDataProvider(mDataProvider, byteCount, outputPath, &params);
    } catch (...) {
        BRASK_LOG_ERROR(kEPSJawsRipSource, kFunction,
                        "BPDFStartDistillUsingDataProvider threw an exception.");
        return 7;
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
