// Number reading for comment values: locale-independent and saturating, so no input can overflow.
#pragma once

#include "EPSInfo.h"

#include <cstdint>
#include <string_view>

namespace BRASK::PLUGIN::DSCNUMBERS {

// Reads the decimal fraction at the start of `text` ("12", "-0.5", "+3.25", "1e2"); 0 when there is none.
// The value passes through a 32-bit float, as the bounding-box floats do.
float ReadFloat(std::string_view text);

// f × 65536 rounded half away from zero, computed in double precision; saturates to the 32-bit range and
// gives 0 for a value that is not a number.
Fixed FloatToFixed(float f);

// Reads an optional sign and the decimal digits at the start of `text`; 0 when there are none. Saturates
// to the 32-bit range.
std::int32_t ReadInteger(std::string_view text);

// True when `text` is not empty and holds decimal digits only.
bool AllDigits(std::string_view text);

// Reads a string of digits as a decimal number, saturating at 2^31 - 1.
std::int64_t ReadDigits(std::string_view digits);

} // namespace BRASK::PLUGIN::DSCNUMBERS
