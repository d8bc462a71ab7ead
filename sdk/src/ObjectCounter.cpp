#include "brask/ObjectCounter.h"

#include <atomic>

namespace BRASK {

namespace {
std::atomic<std::int64_t> gLiveObjects{0};
}

void ObjectCounter::Created() {
    gLiveObjects.fetch_add(1, std::memory_order_relaxed);
}
void ObjectCounter::Destroyed() {
    gLiveObjects.fetch_sub(1, std::memory_order_relaxed);
}
std::int64_t ObjectCounter::Live() {
    return gLiveObjects.load(std::memory_order_relaxed);
}

} // namespace BRASK
