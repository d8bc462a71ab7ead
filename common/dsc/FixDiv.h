// 16.16 fixed-point division.
#pragma once

#include "EPSInfo.h"

namespace BRASK::PLUGIN {

// a / b in 16.16, rounded to nearest. Saturates to 0x7FFFFFFF (or -0x80000000 when the signs differ) when
// the quotient does not fit, including a divisor of 0; an operand of -0x80000000 counts as -0x7FFFFFFF.
Fixed FixDiv(Fixed a, Fixed b);

} // namespace BRASK::PLUGIN
