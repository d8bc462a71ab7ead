// Set-up, teardown and accounting of the memory manager.
#include "MemoryManager.h"

#include "Zone.h"

namespace BRASK::MEMFIX {

std::int32_t InitMemoryManager() {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock(); // sets the manager up on first use
    SetLastMemError(noErr);
    return zone.Initialise();
}

OSErr TearDownMemoryManager() {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    const OSErr error = zone.TearDown();
    SetLastMemError(error);
    return error;
}

std::uint64_t BytesInUse() {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    return zone.BytesInUse();
}

std::uint64_t MemoryCeiling() {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    return zone.Ceiling();
}

void SetMemoryCeiling(std::uint64_t bytes) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    zone.SetCeiling(bytes);
}

void SetAllocationLimit(std::uint64_t bytes) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    zone.SetLimit(bytes);
}

} // namespace BRASK::MEMFIX
