// One installed face as the font library knows it.
#pragma once

#include "XFontTypes.h"

#include <cstdint>
#include <string>

namespace XF {

class XFont {
public:
    XFont(std::uint32_t familyId, std::uint32_t style, std::string path, int faceIndex)
        : mFamilyId(familyId), mStyle(style), mPath(std::move(path)), mFaceIndex(faceIndex) {}

    std::uint32_t GetFamilyId() const { return mFamilyId; }
    // The slot this face really fills in its family.
    std::uint32_t GetStyleIndex() const { return mStyle; }
    // UTF-8 path of the outline file and the face's index in it (collections).
    const std::string& GetPath() const { return mPath; }
    int GetFaceIndex() const { return mFaceIndex; }

private:
    std::uint32_t mFamilyId;
    std::uint32_t mStyle;
    std::string mPath;
    int mFaceIndex;
};

} // namespace XF
