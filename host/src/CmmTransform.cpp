#include "CmmTransform.h"

#include "brask/CoreString.h"
#include "brask/Logger.h"
#include "brask_host/HostStatus.h"

#include <lcms2.h>

#include <string>

namespace BRASK::HOST {

namespace {
constexpr char kSource[] = "host/src/CmmTransform";

using GRAPHICS::CmmPixelDescription;
using GRAPHICS::CmmProfileDescriptor;

// The descriptor's path up to its NUL, never past the field.
std::string DescriptorPath(const CmmProfileDescriptor& descriptor) {
    std::u16string path;
    for (std::size_t i = 0; i < CmmProfileDescriptor::kPathUnits && descriptor.path[i] != u'\0'; ++i)
        path += descriptor.path[i];
    return STRING::UTF16ToUTF8(path);
}

// The LittleCMS format of a description; 0 when its signature or sizes are not served.
std::uint32_t PixelFormat(const CmmPixelDescription& pixels) {
    std::uint32_t components = 0;
    cmsUInt32Number format8 = 0;
    cmsUInt32Number format16 = 0;
    switch (pixels.colorSpace) {
    case GRAPHICS::kCmmSignatureRGB:
        components = 3, format8 = TYPE_RGB_8, format16 = TYPE_RGB_16;
        break;
    case GRAPHICS::kCmmSignatureCMYK:
        components = 4, format8 = TYPE_CMYK_8, format16 = TYPE_CMYK_16;
        break;
    case GRAPHICS::kCmmSignatureGray:
        components = 1, format8 = TYPE_GRAY_8, format16 = TYPE_GRAY_16;
        break;
    default:
        return 0;
    }
    if (pixels.bytesPerPixel == components)
        return format8;
    if (pixels.bytesPerPixel == 2 * components)
        return format16;
    return 0;
}

// Rows that hold their pixels: a row length of at least pixels x bytes per pixel, and data when there is any.
bool RowsFit(const CmmPixelDescription& pixels) {
    const std::uint64_t needed = static_cast<std::uint64_t>(pixels.pixelsPerRow) * pixels.bytesPerPixel;
    return pixels.bytesPerRow >= needed && (pixels.data != nullptr || pixels.rows == 0 || needed == 0);
}
} // namespace

Status CmmTransform::SetOption(std::uint32_t value) {
    if (value > INTENT_ABSOLUTE_COLORIMETRIC)
        return kBadArgument;
    mIntent = value;
    return kOK;
}

Status CmmTransform::SetProfiles(const CmmProfileDescriptor* profiles, const GRAPHICS::CmmProfileCount& count,
                                 std::uint32_t flags) {
    constexpr char kFunction[] =
        "Status BRASK::HOST::CmmTransform::SetProfiles(const CmmProfileDescriptor *, "
        "const CmmProfileCount &, uint32_t)";
    mSource.reset();
    mDestination.reset();
    if (profiles == nullptr || count.count != 2)
        return kBadProfiles;
    CmmEngine::Handle opened[2];
    for (int i = 0; i < 2; ++i) {
        if (profiles[i].kind != CmmProfileDescriptor::kKindPath)
            return kBadProfiles;
        const std::string path = DescriptorPath(profiles[i]);
        opened[i] = CmmEngine::Instance().Profile(path);
        if (!opened[i]) {
            BRASK_LOG_ERROR(kSource, kFunction,
                            "Unable to read the ICC profile " << CoreString::FromUTF8(path));
            return kBadProfiles;
        }
    }
    mSource = opened[0];
    mDestination = opened[1];
    mFlags = (flags & kBlackPointCompensation) != 0 ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0;
    return kOK;
}

Status CmmTransform::TransformPixels(const CmmPixelDescription& source,
                                     const CmmPixelDescription& destination) {
    constexpr char kFunction[] =
        "Status BRASK::HOST::CmmTransform::TransformPixels(const CmmPixelDescription &, "
        "const CmmPixelDescription &)";
    if (!mSource || !mDestination)
        return kBadProfiles;
    const std::uint32_t inFormat = PixelFormat(source);
    const std::uint32_t outFormat = PixelFormat(destination);
    if (inFormat == 0 || outFormat == 0 || source.rows != destination.rows ||
        source.pixelsPerRow != destination.pixelsPerRow || !RowsFit(source) || !RowsFit(destination))
        return kBadPixels;
    if (source.rows == 0 || source.pixelsPerRow == 0)
        return kOK;
    const CmmEngine::Handle transform =
        CmmEngine::Instance().Transform(mSource, inFormat, mDestination, outFormat, mIntent, mFlags);
    if (!transform) {
        BRASK_LOG_ERROR(kSource, kFunction, "The profiles do not fit the pixels");
        return kNoTransform;
    }
    cmsDoTransformLineStride(transform.get(), source.data, destination.data, source.pixelsPerRow, source.rows,
                             source.bytesPerRow, destination.bytesPerRow, 0, 0);
    return kOK;
}

} // namespace BRASK::HOST
