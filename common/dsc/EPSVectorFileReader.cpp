#include "EPSVectorFileReader.h"

#include "FixDiv.h"

#include "brask/FilterKeys.h"

#include <limits>

namespace BRASK::PLUGIN {

EPSVectorFileReader::~EPSVectorFileReader() = default;

DSCError EPSVectorFileReader::Init(IO::IDataProvider* source) {
    mFileReader = std::make_unique<DSCReader>(source);
    return mFileReader->GetEPSInfo();
}

namespace {
// Differences of two 16.16 values, kept in range.
Fixed Difference(Fixed high, Fixed low) {
    const std::int64_t d = static_cast<std::int64_t>(high) - low;
    if (d > std::numeric_limits<Fixed>::max())
        return std::numeric_limits<Fixed>::max();
    if (d < std::numeric_limits<Fixed>::min())
        return std::numeric_limits<Fixed>::min();
    return static_cast<Fixed>(d);
}
} // namespace

Fixed EPSVectorFileReader::GetFixedWidth() const {
    const EPSInfo* info = GetEPSInfo();
    return info ? Difference(info->boundingBox.right.fixed, info->boundingBox.left.fixed) : 0;
}

Fixed EPSVectorFileReader::GetFixedHeight() const {
    const EPSInfo* info = GetEPSInfo();
    return info ? Difference(info->boundingBox.top.fixed, info->boundingBox.bottom.fixed) : 0;
}

float EPSVectorFileReader::GetWidth() const {
    const EPSInfo* info = GetEPSInfo();
    return info ? info->boundingBox.right.read - info->boundingBox.left.read : 0.0f;
}

float EPSVectorFileReader::GetHeight() const {
    const EPSInfo* info = GetEPSInfo();
    return info ? info->boundingBox.top.read - info->boundingBox.bottom.read : 0.0f;
}

std::int32_t EPSVectorFileReader::GetPostScriptEnd() const {
    return mFileReader ? mFileReader->Info().postScriptEnd : 0;
}

std::int32_t EPSVectorFileReader::GetPostScriptStart() const {
    return mFileReader ? mFileReader->Info().postScriptStart : 0;
}

Fixed EPSVectorFileReader::GetLeft() const {
    return mFileReader ? mFileReader->Info().boundingBox.left.fixed : 0;
}

Fixed EPSVectorFileReader::GetRight() const {
    return mFileReader ? mFileReader->Info().boundingBox.right.fixed : 0;
}

Fixed EPSVectorFileReader::GetBottom() const {
    return mFileReader ? mFileReader->Info().boundingBox.bottom.fixed : 0;
}

Fixed EPSVectorFileReader::GetTop() const {
    return mFileReader ? mFileReader->Info().boundingBox.top.fixed : 0;
}

Fixed EPSVectorFileReader::GetImageResolution() const {
    if (!mFileReader || mFileReader->Info().imageWidth <= 0)
        return 0;
    const Fixed perPoint =
        FixDiv(static_cast<Fixed>(mFileReader->Info().imageWidth) * kFixedOne, GetFixedWidth());
    // Pixels per inch; a resolution beyond the 16.16 range saturates instead of wrapping around.
    const std::int64_t perInch = static_cast<std::int64_t>(perPoint) * kPointsPerInch;
    if (perInch > std::numeric_limits<Fixed>::max())
        return std::numeric_limits<Fixed>::max();
    if (perInch < std::numeric_limits<Fixed>::min())
        return std::numeric_limits<Fixed>::min();
    return static_cast<Fixed>(perInch);
}

bool EPSVectorFileReader::HasDuotoneInks() const {
    return (GetFlags() & EPSFlags::kDuotoneInks) != 0;
}

bool EPSVectorFileReader::HasVectorMaskedImagery() const {
    return (GetFlags() & EPSFlags::kVectorMaskedImagery) != 0;
}

std::int32_t EPSVectorFileReader::GetColorSpace() const {
    const std::uint32_t flags = GetFlags();
    if (flags & EPSFlags::kCMYK)
        return COLORSPACE::kCMYK;
    if (flags & EPSFlags::kRGB)
        return COLORSPACE::kRGB;
    if (flags & EPSFlags::kColorModel18)
        return COLORSPACE::kColorModel18;
    if (flags & EPSFlags::kColorModel19)
        return COLORSPACE::kLab;
    return COLORSPACE::kUnknown;
}

MEMFIX::Handle EPSVectorFileReader::GetPhotoshopResources() const {
    return mFileReader ? mFileReader->Info().PhotoshopResources.Get() : nullptr;
}

std::uint16_t EPSVectorFileReader::GetCustomColorListSize() const {
    return mFileReader ? mFileReader->GetCustomColorListSize() : 0;
}

const std::uint16_t* EPSVectorFileReader::GetCustomColorList() const {
    return mFileReader ? mFileReader->GetCustomColorList() : nullptr;
}

MEMFIX::Handle EPSVectorFileReader::GetICCProfile() const {
    return mFileReader ? mFileReader->Info().ICCProfileData.Get() : nullptr;
}

std::uint32_t EPSVectorFileReader::GetTIFFOffset() const {
    return mFileReader ? mFileReader->GetTIFFOffset() : 0;
}

std::uint32_t EPSVectorFileReader::GetTIFFLength() const {
    return mFileReader ? mFileReader->Info().binaryHeader.tiffLength : 0;
}

bool EPSVectorFileReader::HasEPSFHeaderLine() const {
    return mFileReader ? mFileReader->Info().epsfHeader == 1 : true;
}

std::uint32_t EPSVectorFileReader::GetHeaderLineLength() const {
    return mFileReader ? mFileReader->Info().firstLineLength : 0;
}

std::uint32_t EPSVectorFileReader::GetFlags() const {
    return mFileReader ? mFileReader->Info().flags : 0;
}

} // namespace BRASK::PLUGIN
