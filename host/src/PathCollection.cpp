#include "PathCollection.h"

namespace BRASK::HOST {

bool PathCollection::IsSubpathClosed(std::uint32_t subpath) const {
    return subpath < mSubpaths.size() && mSubpaths[subpath].closed;
}

std::uint32_t PathCollection::GetKnotCount(std::uint32_t subpath) const {
    return subpath < mSubpaths.size() ? static_cast<std::uint32_t>(mSubpaths[subpath].knots.size()) : 0;
}

GRAPHICS::PathKnot PathCollection::GetKnot(std::uint32_t subpath, std::uint32_t knot) const {
    if (subpath >= mSubpaths.size() || knot >= mSubpaths[subpath].knots.size())
        return {};
    return mSubpaths[subpath].knots[knot];
}

} // namespace BRASK::HOST
