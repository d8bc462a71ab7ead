// Fixed (non-relocatable) pointer blocks.
#include "BlockLayout.h"
#include "MemoryManager.h"
#include "Zone.h"

#include <cstring>

namespace BRASK::MEMFIX {

using namespace LAYOUT;

namespace {

// Under the lock.
Ptr MakePtr(Zone& zone, std::uint32_t size, bool clear) {
    const std::uint64_t capacity = PointerCapacity(size);
    char* block = zone.AllocateBlock(zone.PointerHeap(), capacity);
    if (block == nullptr)
        return nullptr;
    WriteHeader(block, size);
    if (clear)
        std::memset(DataOf(block), 0, size);
    zone.AddPointer(DataOf(block), static_cast<std::uint32_t>(capacity));
    SetLastMemError(noErr);
    return DataOf(block);
}

bool IsLivePtr(Zone& zone, Ptr p) {
    if (p != nullptr && zone.FindPointer(p) != nullptr)
        return true;
    SetLastMemError(memWZErr);
    return false;
}

} // namespace

Ptr NewPtr(std::uint32_t size) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    return MakePtr(zone, size, false);
}

Ptr NewPtrClear(std::uint32_t size) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    return MakePtr(zone, size, true);
}

OSErr NewPtrInto(Ptr* place, std::uint32_t size, bool clear) {
    if (place == nullptr) {
        SetLastMemError(nilHandleErr);
        return nilHandleErr;
    }
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    *place = MakePtr(zone, size, clear);
    if (*place != nullptr)
        return noErr;
    const OSErr error = MemError();
    return error != noErr ? error : memFullErr;
}

std::uint32_t GetPtrSize(Ptr p) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    if (!IsLivePtr(zone, p))
        return 0;
    SetLastMemError(noErr);
    return LogicalSize(p);
}

void DisposePtr(Ptr p) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    if (!IsLivePtr(zone, p))
        return;
    zone.RemovePointer(p);
    zone.FreeBlock(zone.PointerHeap(), BlockOf(p));
    SetLastMemError(noErr);
}

void SetPtrSize(Ptr p, std::uint32_t size) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    if (!IsLivePtr(zone, p))
        return;
    if (size > LogicalSize(p)) {
        SetLastMemError(memFullErr);
        return;
    }
    // The block keeps its address and its heap size: the process allocator does not promise to shrink
    // a block in place, and a pointer block must never move.
    StoreU32(BlockOf(p), size);
    SetLastMemError(noErr);
}

} // namespace BRASK::MEMFIX
