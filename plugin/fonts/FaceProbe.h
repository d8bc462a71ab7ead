// What FreeType reads from a face: its font type and its OS/2 Unicode-range bits.
#pragma once

#include "XFontTypes.h"

#include <cstdint>
#include <memory>
#include <string>

namespace XF {

class FaceProbe {
public:
    FaceProbe();
    ~FaceProbe();
    FaceProbe(const FaceProbe&) = delete;
    FaceProbe& operator=(const FaceProbe&) = delete;

    // The type code of the face (kXUnknownType when FreeType cannot open it).
    std::uint32_t FontType(const std::string& path, int faceIndex);

    enum class RangeAnswer { kEastAsian, kNotEastAsian, kNoRanges };
    // Whether the OS/2 Unicode-range bits flag an East-Asian block; kNoRanges without an OS/2 table or
    // with no bit set at all.
    RangeAnswer EastAsianRanges(const std::string& path, int faceIndex);

    struct Facts {
        std::uint32_t type = kXUnknownType;
        RangeAnswer ranges = RangeAnswer::kNoRanges;
    };
    // Both answers from one opening of the face.
    Facts Probe(const std::string& path, int faceIndex);

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};

} // namespace XF
