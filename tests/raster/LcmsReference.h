// LittleCMS called directly: the reference every colour result of the host and the translator is held
// against.
#pragma once

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdint>
#include <string>
#include <vector>

namespace BRASK::TEST {

// `pixels` pixels of `in` from profile file `from` to `to`; `outBytes` bytes of result. The defaults are what
// the translator asks for: relative colorimetric intent with black-point compensation.
inline std::vector<std::uint8_t> LcmsDirect(const std::string& from, cmsUInt32Number inFormat,
                                            const std::string& to, cmsUInt32Number outFormat, const void* in,
                                            std::size_t outBytes, std::uint32_t pixels,
                                            cmsUInt32Number intent = INTENT_RELATIVE_COLORIMETRIC,
                                            cmsUInt32Number flags = cmsFLAGS_BLACKPOINTCOMPENSATION) {
    cmsHPROFILE source = cmsOpenProfileFromFile(from.c_str(), "r");
    cmsHPROFILE destination = cmsOpenProfileFromFile(to.c_str(), "r");
    cmsHTRANSFORM transform = cmsCreateTransform(source, inFormat, destination, outFormat, intent, flags);
    EXPECT_NE(transform, nullptr) << from << " -> " << to;
    std::vector<std::uint8_t> out(outBytes);
    if (transform != nullptr) {
        cmsDoTransform(transform, in, out.data(), pixels);
        cmsDeleteTransform(transform);
    }
    cmsCloseProfile(source);
    cmsCloseProfile(destination);
    return out;
}

} // namespace BRASK::TEST
