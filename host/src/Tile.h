// A tile: a rectangle that carries attached interfaces (such as the connection space a graphic gives it).
#pragma once

#include "brask/Graphics.h"
#include "brask/TObject.h"

namespace BRASK::HOST {

class Tile : public TObject<GRAPHICS::ITile> {
public:
    // kBadBounds for a field that is not finite or a negative width (right - left) or height (bottom - top);
    // the bounds are then unchanged.
    Status Init(const GRAPHICS::Rect<float>& bounds) override;
    GRAPHICS::Rect<float> GetBounds() const override { return mBounds; }

private:
    GRAPHICS::Rect<float> mBounds;
};

} // namespace BRASK::HOST
