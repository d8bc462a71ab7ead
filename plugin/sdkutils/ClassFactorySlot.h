// The process-wide pointer to the host's class factory, set by Init. It holds no reference.
#pragma once

#include "brask/IClassFactory.h"

namespace BRASK::COREREGISTRY {

class ClassFactorySlot {
public:
    static IClassFactory* Get();
    static void Set(IClassFactory* factory);
};

} // namespace BRASK::COREREGISTRY
