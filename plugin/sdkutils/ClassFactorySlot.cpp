#include "ClassFactorySlot.h"

#include <atomic>

namespace BRASK::COREREGISTRY {

namespace {
std::atomic<IClassFactory*> gSlot{nullptr};
}

IClassFactory* ClassFactorySlot::Get() {
    return gSlot.load(std::memory_order_acquire);
}
void ClassFactorySlot::Set(IClassFactory* factory) {
    gSlot.store(factory, std::memory_order_release);
}

} // namespace BRASK::COREREGISTRY
