// The numbers of the host contract in one place: the keys of the filter-information dictionary a composite
// graphic carries, the keys of the options dictionary its Init reads, the host's graphics colour-space codes,
// and the two unit conversions every side needs (16.16 fixed point to points, points to pixels).
#pragma once

#include <cstdint>
#include <limits>

namespace BRASK {

// Keys of the filter-information dictionary.
namespace FILTERKEY {
constexpr std::int32_t kFormatCodes = 1;       // bytes: count (32-bit), then the four-character codes read
constexpr std::int32_t kFormatNames = 2;       // bytes: count byte, then zero-terminated format names
constexpr std::int32_t kFormatDescription = 3; // wide string, terminating unit included
constexpr std::int32_t kFilterVersion = 7;     // 8-bit
constexpr std::int32_t kWidth = 14;            // float: user-space width in points
constexpr std::int32_t kHeight = 15;           // float: user-space height in points
constexpr std::int32_t kICCProfile = 16;       // bytes: the ICC profile the picture carries
constexpr std::int32_t kColorSpaceCount = 26;  // 16-bit: how many codes key 27 holds
constexpr std::int32_t kColorSpaces = 27;      // bytes: one colour-space code (COLORSPACE) each
constexpr std::int32_t kCustomColors = 28;     // wide string: the custom colour list
constexpr std::int32_t kImported = 39;         // Boolean: the EPS or SVG branch ran
constexpr std::int32_t kLeft = 2001;           // float: bounding box in points
constexpr std::int32_t kRight = 2002;
constexpr std::int32_t kBottom = 2003;
constexpr std::int32_t kTop = 2004;
constexpr std::int32_t kDuotone = 2005;         // 8-bit flag, 0 or 1: a "%DuotoneInks:" comment
constexpr std::int32_t kImageResolution = 2006; // 8-bit flag: an embedded image resolution is known
constexpr std::int32_t kVectorMasked = 2007;    // 8-bit flag: a "%VectorMaskedImagery" comment
constexpr std::int32_t kDCS = 2008;             // 8-bit flag: a DCS 1 or DCS 2 file
} // namespace FILTERKEY

// Keys of the options dictionary handed to a composite graphic's Init.
namespace OPTIONKEY {
constexpr std::int32_t kFileType = 37; // 32-bit: GRAPHICS::kTypeSVG selects the SVG path
constexpr std::int32_t kUseInterpreter =
    2009;                                     // Boolean: distil EPS with the interpreter (default: converter)
constexpr std::int32_t kProcessorFlag = 2010; // Boolean: full resolution (the default) or draft
} // namespace OPTIONKEY

// The host's graphics colour-space codes.
namespace COLORSPACE {
constexpr std::uint8_t kUnknown = 0;
constexpr std::uint8_t kGray = 3;
constexpr std::uint8_t kRGB = 4;
constexpr std::uint8_t kCMYK = 5;
constexpr std::uint8_t kSeparation = 8; // separations, DeviceN and NChannel spaces
constexpr std::uint8_t kColorModel18 = 13;
constexpr std::uint8_t kICCBased = 14;
constexpr std::uint8_t kLab = 15;
} // namespace COLORSPACE

constexpr int kPointsPerInch = 72;

// A signed 16.16 fixed-point value (points × 65536) in points; exact.
constexpr double FixedToPoints(std::int32_t fixed) {
    return fixed / 65536.0;
}

// Whole pixels for `points` at `dpi` dots per inch: points × dpi / 72 truncated toward zero, in float
// arithmetic as the RIP sizes its rasters; saturated to the 32-bit range, 0 for a result that is no number.
constexpr std::int32_t PixelsFor(float points, float dpi) {
    const float pixels = points * dpi / static_cast<float>(kPointsPerInch);
    if (!(pixels > -2147483648.0f))
        return pixels < 0 ? std::numeric_limits<std::int32_t>::min() : 0;
    if (pixels >= 2147483648.0f)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(pixels);
}

} // namespace BRASK
