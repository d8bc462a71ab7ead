#include "ConnectionSpace.h"

namespace BRASK::HOST {

ConnectionSpace::ConnectionSpace(std::vector<std::uint8_t> pdf, const GRAPHICS::Rect<float>& pageBox)
    : mPdf(std::move(pdf)), mPageBox(pageBox) {}

} // namespace BRASK::HOST
