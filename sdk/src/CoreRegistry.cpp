#include "brask/IClassFactory.h"

#include <atomic>

namespace BRASK::COREREGISTRY {

namespace {
std::atomic<IClassFactory*> gCoreRegistry{nullptr};
}

IClassFactory* GetCoreRegistry() {
    return gCoreRegistry.load(std::memory_order_acquire);
}
void SetCoreRegistry(IClassFactory* registry) {
    gCoreRegistry.store(registry, std::memory_order_release);
}

} // namespace BRASK::COREREGISTRY
