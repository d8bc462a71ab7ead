#include "DSCNumbers.h"
#include "EPSInfo.h"

#include <algorithm>
#include <limits>

namespace BRASK::PLUGIN {

void BoundingBox::Set(const float (&numbers)[4]) {
    BoxEdge* const edges[4] = {&left, &bottom, &right, &top};
    for (int i = 0; i < 4; ++i)
        *edges[i] = BoxEdge{numbers[i], DSCNUMBERS::FloatToFixed(numbers[i])};
}

void BoundingBox::WidenThinExtents() {
    constexpr Fixed kMinimum = 3 * kFixedOne;
    for (auto [low, high] : {std::pair{&left, &right}, std::pair{&bottom, &top}}) {
        const std::int64_t extent = static_cast<std::int64_t>(high->fixed) - low->fixed;
        if (extent > 0 && extent < kMinimum) {
            high->fixed = static_cast<Fixed>(std::min<std::int64_t>(
                static_cast<std::int64_t>(low->fixed) + kMinimum, std::numeric_limits<Fixed>::max()));
            high->read = low->read + 3.0f;
        }
    }
}

} // namespace BRASK::PLUGIN
