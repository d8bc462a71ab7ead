// Process-wide count of live SDK objects, so tests can prove reference counts balance.
#pragma once

#include "brask/Export.h"

#include <cstdint>

namespace BRASK {

class BRASK_SDK_API ObjectCounter {
public:
    static void Created();
    static void Destroyed();
    static std::int64_t Live();
};

} // namespace BRASK
