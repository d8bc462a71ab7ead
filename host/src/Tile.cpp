#include "Tile.h"

#include <cmath>

namespace BRASK::HOST {

Status Tile::Init(const GRAPHICS::Rect<float>& bounds) {
    const bool finite = std::isfinite(bounds.top) && std::isfinite(bounds.left) &&
                        std::isfinite(bounds.bottom) && std::isfinite(bounds.right);
    if (!finite || bounds.right - bounds.left < 0 || bounds.bottom - bounds.top < 0)
        return kBadBounds;
    mBounds = bounds;
    return kOK;
}

} // namespace BRASK::HOST
