// Status codes: signed 32-bit, 0 is success.
#pragma once

#include <cstdint>

namespace BRASK {

using Status = std::int32_t;

constexpr Status kOK = 0;
constexpr Status kNoInterface = static_cast<Status>(0x80004002u); // nothing attached under that id
constexpr Status kOutOfMemory = static_cast<Status>(0x8007000Eu); // no object could be produced

} // namespace BRASK
