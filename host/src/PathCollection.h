// A set of Bézier subpaths in pixels, as decoded from a Photoshop path resource.
#pragma once

#include "brask/Graphics.h"
#include "brask/TObject.h"

#include <vector>

namespace BRASK::HOST {

class PathCollection : public TObject<GRAPHICS::IPathCollection> {
public:
    struct Subpath {
        bool closed = false;
        std::vector<GRAPHICS::PathKnot> knots;
    };

    explicit PathCollection(std::vector<Subpath> subpaths) : mSubpaths(std::move(subpaths)) {}

    std::uint32_t GetSubpathCount() const override { return static_cast<std::uint32_t>(mSubpaths.size()); }
    // Out-of-range indices answer false, 0 and an all-zero knot.
    bool IsSubpathClosed(std::uint32_t subpath) const override;
    std::uint32_t GetKnotCount(std::uint32_t subpath) const override;
    GRAPHICS::PathKnot GetKnot(std::uint32_t subpath, std::uint32_t knot) const override;

private:
    std::vector<Subpath> mSubpaths;
};

} // namespace BRASK::HOST
