#include "JawsEntryPoints.h"
#include "Rip.h"

#include "brask/FilterKeys.h"
#include "brask/Logger.h"

namespace BRASK::PLUGIN {

namespace {
constexpr char kJawsRipSource[] = "core/Common/Constructs/Graphics/Plugins/Rip/JawsRip";

} // namespace

bool Rip::LibraryAvailable() const {
    return LoadJawsLibrary(JawsLibraryLoaded(), mFactory);
}

std::int32_t JawsRip::GetColorSpaceCount() {
    if (mColorSpaceCount)
        return *mColorSpaceCount;
    return LibraryAvailable() ? GetJawsEntryPoints().BPDFColorSpaceCount() : 0;
}

const std::uint8_t* JawsRip::GetColorSpaceList() {
    if (mColorSpaceCount)
        return mColorSpaces.get();
    // The count is kept with the list: the interpreter's state belongs to whichever job ran last.
    const std::int32_t count = GetColorSpaceCount();
    mColorSpaceCount = count;
    if (count < 1)
        return nullptr;
    mColorSpaces = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(count));
    std::int32_t written = 0;
    // The walk answers -1 for every step when the wrapper is not there.
    const auto walk = [this](PFN_BPDFColorSpaceBegin JawsEntryPoints::*step) {
        return LibraryAvailable() ? (GetJawsEntryPoints().*step)() : kJawsColorSpaceEnd;
    };
    for (JawsColorSpace space = walk(&JawsEntryPoints::BPDFColorSpaceBegin);
         space != walk(&JawsEntryPoints::BPDFColorSpaceEnd) && written < count;
         space = walk(&JawsEntryPoints::BPDFColorSpaceNext))
        mColorSpaces[written++] = static_cast<std::uint8_t>(GetGraphicsColorSpace(space));
    return mColorSpaces.get();
}

bool JawsRip::IsRasterJob() {
    return LibraryAvailable() && GetJawsEntryPoints().BPDFIsRasterJob() != 0;
}

Status JawsRip::GetGraphicsColorSpace(JawsColorSpace space) const {
    constexpr char kFunction[] =
        "long __cdecl BRASK::PLUGIN::JawsRip::GetGraphicsColorSpace(JawsColorSpace) const";
    switch (space) {
    case kJawsColorSpaceCMYK:
        return COLORSPACE::kCMYK;
    case kJawsColorSpaceRGB:
        return COLORSPACE::kRGB;
    case kJawsColorSpaceGray:
        return COLORSPACE::kGray;
    case kJawsColorSpaceLab:
        return COLORSPACE::kLab;
    case kJawsColorSpaceICCBased:
        return COLORSPACE::kICCBased;
    case kJawsColorSpaceSeparation:
    case kJawsColorSpaceDeviceN:
    case kJawsColorSpaceNChannel:
    case kJawsColorSpaceSeparationAll:
    case kJawsColorSpaceSeparationNone:
        return COLORSPACE::kSeparation;
    default:
        BRASK_LOG_ERROR(kJawsRipSource, kFunction, "Unknown/Unhandled color space");
        return COLORSPACE::kUnknown;
    }
}

} // namespace BRASK::PLUGIN
