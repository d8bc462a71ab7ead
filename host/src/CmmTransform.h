// The colour transform on LittleCMS 2: two ICC profiles by path, pixels of 1 or 2 bytes per component in
// RGB, CMYK or gray.
#pragma once

#include "CmmEngine.h"

#include "brask/Raster.h"
#include "brask/TObject.h"

namespace BRASK::HOST {

class CmmTransform : public TObject<GRAPHICS::ICmmTransform> {
public:
    // kBadArgument for a value that is not a rendering intent (0 .. 3).
    Status SetOption(std::uint32_t value) override;
    // Opens both profiles; on failure the profiles set before are dropped.
    Status SetProfiles(const GRAPHICS::CmmProfileDescriptor* profiles, const GRAPHICS::CmmProfileCount& count,
                       std::uint32_t flags) override;
    Status TransformPixels(const GRAPHICS::CmmPixelDescription& source,
                           const GRAPHICS::CmmPixelDescription& destination) override;

private:
    std::uint32_t mIntent = 0;
    std::uint32_t mFlags = 0;
    CmmEngine::Handle mSource;
    CmmEngine::Handle mDestination;
};

} // namespace BRASK::HOST
