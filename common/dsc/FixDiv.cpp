#include "FixDiv.h"

#include <cstdlib>
#include <limits>

namespace BRASK::PLUGIN {

Fixed FixDiv(Fixed a, Fixed b) {
    constexpr Fixed kMin = std::numeric_limits<Fixed>::min();
    constexpr Fixed kMax = std::numeric_limits<Fixed>::max();
    if (a == kMin)
        a = -kMax;
    if (b == kMin)
        b = -kMax;
    const bool negative = (a < 0) != (b < 0);
    const std::int64_t absA = std::llabs(a);
    const std::int64_t absB = std::llabs(b);
    if ((absA >> 15) >= absB)
        return negative ? kMin : kMax;
    // Magnitudes are divided with half the divisor added, then the quotient takes its sign.
    std::int64_t quotient = (absA * 65536 + absB / 2) / absB;
    if (negative)
        quotient = -quotient;
    if (quotient > kMax)
        quotient = kMax;
    if (quotient < kMin)
        quotient = kMin;
    return static_cast<Fixed>(quotient);
}

} // namespace BRASK::PLUGIN
