// Relocatable blocks reached through master pointers.
#include "BlockLayout.h"
#include "MemoryManager.h"
#include "Zone.h"

#include <cstring>

namespace BRASK::MEMFIX {

using namespace LAYOUT;

namespace {

// The entry of a live handle, or null with last error -111.
HandleEntry* Validate(Zone& zone, Handle h) {
    HandleEntry* entry = h == nullptr ? nullptr : zone.FindHandle(h);
    if (entry == nullptr)
        SetLastMemError(memWZErr);
    return entry;
}

// Under the lock.
Handle MakeHandle(Zone& zone, std::uint32_t size, bool clear) {
    const std::uint64_t capacity = HandleCapacity(size);
    if (capacity > kMaxBlockSize) {
        SetLastMemError(memFullErr);
        return nullptr;
    }
    char* record = zone.AllocateBlock(zone.PointerHeap(), kRecordSize);
    if (record == nullptr)
        return nullptr;
    InitRecord(record);
    char* block = zone.AllocateBlock(zone.HandleHeap(), capacity);
    if (block == nullptr) {
        zone.FreeBlock(zone.PointerHeap(), record);
        return nullptr; // last error stays -108
    }
    WriteHeader(block, size);
    if (clear)
        std::memset(DataOf(block), 0, size);
    Handle h = HandleOf(record);
    SetMasterPointer(h, DataOf(block));
    zone.AddHandle(h, HandleEntry{DataOf(block), static_cast<std::uint32_t>(capacity)});
    SetLastMemError(noErr);
    return h;
}

void FreeData(Zone& zone, Handle h, HandleEntry& entry) {
    if (entry.data == nullptr)
        return;
    zone.FreeBlock(zone.HandleHeap(), BlockOf(entry.data));
    entry.data = nullptr;
    entry.capacity = 0;
    SetMasterPointer(h, nullptr);
}

// Moves the data into a block of `capacity` bytes; false (last error -108) when refused.
bool MoveData(Zone& zone, Handle h, HandleEntry& entry, std::uint64_t capacity) {
    char* block = zone.ResizeBlock(zone.HandleHeap(), BlockOf(entry.data), capacity);
    if (block == nullptr)
        return false;
    entry.data = DataOf(block);
    entry.capacity = static_cast<std::uint32_t>(capacity);
    SetMasterPointer(h, entry.data);
    return true;
}

OSErr ResizeHandle(Zone& zone, Handle h, std::uint32_t size) {
    HandleEntry* entry = Validate(zone, h);
    if (entry == nullptr)
        return memWZErr;
    if (entry->data == nullptr) {
        SetLastMemError(nilHandleErr);
        return nilHandleErr;
    }
    const std::uint64_t needed = HandleCapacity(size);
    const bool locked = (State(h) & kHandleLockedBit) != 0;
    if (needed > entry->capacity) {
        if (locked || !MoveData(zone, h, *entry, needed)) {
            SetLastMemError(memFullErr);
            return memFullErr;
        }
    } else if (needed < entry->capacity && !locked) {
        // A refused shrink keeps the larger block, which still holds the data.
        MoveData(zone, h, *entry, needed);
    }
    // A locked block never moves, and realloc may move a block even to shrink it (AddressSanitizer's always
    // does): a locked handle that shrinks keeps its larger block, and its capacity, until it is unlocked
    // and resized again. Shrinking it in place would leave whoever holds its data with a dangling pointer.
    StoreU32(BlockOf(entry->data), size);
    SetLastMemError(noErr);
    return noErr;
}

} // namespace

Handle NewHandle(std::uint32_t size) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    return MakeHandle(zone, size, false);
}

Handle NewHandleClear(std::uint32_t size) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    return MakeHandle(zone, size, true);
}

OSErr NewHandleInto(Handle* place, std::uint32_t size, bool clear) {
    if (place == nullptr) {
        SetLastMemError(nilHandleErr);
        return nilHandleErr;
    }
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    *place = MakeHandle(zone, size, clear);
    if (*place != nullptr)
        return noErr;
    const OSErr error = MemError();
    return error != noErr ? error : memFullErr;
}

std::uint32_t GetHandleSize(Handle h) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    HandleEntry* entry = Validate(zone, h);
    if (entry == nullptr)
        return 0;
    if (entry->data == nullptr) {
        SetLastMemError(nilHandleErr);
        return 0;
    }
    SetLastMemError(noErr);
    return LogicalSize(entry->data);
}

std::uint32_t GetHandleCapacity(Handle h) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    HandleEntry* entry = Validate(zone, h);
    if (entry == nullptr)
        return 0;
    SetLastMemError(noErr);
    return entry->capacity;
}

void SetHandleSize(Handle h, std::uint32_t size) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    ResizeHandle(zone, h, size);
}

OSErr SetHandleSizeChecked(Handle h, std::uint32_t size) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    OSErr error = ResizeHandle(zone, h, size);
    if (error == noErr && LogicalSize(zone.FindHandle(h)->data) != size) {
        error = memFullErr;
        SetLastMemError(error);
    }
    return error;
}

void DisposeHandle(Handle h) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    HandleEntry* entry = Validate(zone, h);
    if (entry == nullptr)
        return;
    SetState(h, State(h) & static_cast<std::uint8_t>(~kHandleLockedBit));
    FreeData(zone, h, *entry);
    zone.RemoveHandle(h);
    zone.FreeBlock(zone.PointerHeap(), RecordOf(h));
    SetLastMemError(noErr);
}

void HLock(Handle h) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    if (Validate(zone, h) == nullptr)
        return;
    SetState(h, State(h) | kHandleLockedBit);
    SetLastMemError(noErr);
}

void HUnlock(Handle h) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    if (Validate(zone, h) == nullptr)
        return;
    SetState(h, State(h) & static_cast<std::uint8_t>(~kHandleLockedBit));
    SetLastMemError(noErr);
}

std::uint8_t HGetState(Handle h) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    if (Validate(zone, h) == nullptr)
        return 0;
    SetLastMemError(noErr);
    return State(h);
}

void HSetState(Handle h, std::uint8_t state) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    if (Validate(zone, h) == nullptr)
        return;
    // Bits that would make the handle fail its own validity test are not taken: a handle the manager
    // no longer recognised could never be disposed.
    SetState(h, state & static_cast<std::uint8_t>(~kInvalidStateMask));
    SetLastMemError(noErr);
}

void EmptyHandle(Handle h) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    HandleEntry* entry = Validate(zone, h);
    if (entry == nullptr)
        return;
    if ((State(h) & kHandleLockedBit) != 0) {
        SetLastMemError(memPurErr);
        return;
    }
    FreeData(zone, h, *entry);
    SetLastMemError(noErr);
}

void ReallocateHandle(Handle h, std::uint32_t size) {
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    HandleEntry* entry = Validate(zone, h);
    if (entry == nullptr)
        return;
    const std::uint64_t capacity = HandleCapacity(size);
    // The fresh block is had before the old one goes, so a failure leaves the handle as it was.
    char* block = zone.AllocateBlock(zone.HandleHeap(), capacity);
    if (block == nullptr)
        return;
    FreeData(zone, h, *entry);
    WriteHeader(block, size);
    entry->data = DataOf(block);
    entry->capacity = static_cast<std::uint32_t>(capacity);
    SetMasterPointer(h, entry->data);
    SetState(h, State(h) & static_cast<std::uint8_t>(~kHandleLockedBit));
    SetLastMemError(noErr);
}

OSErr HandToHandChecked(Handle* place) {
    if (place == nullptr) {
        SetLastMemError(nilHandleErr);
        return nilHandleErr;
    }
    Zone& zone = Zone::Instance();
    auto lock = zone.Lock();
    HandleEntry* entry = Validate(zone, *place);
    if (entry == nullptr)
        return memWZErr;
    if (entry->data == nullptr) {
        SetLastMemError(nilHandleErr);
        return nilHandleErr;
    }
    const std::uint32_t size = LogicalSize(entry->data);
    Handle copy = MakeHandle(zone, size, false);
    if (copy == nullptr)
        return MemError();
    std::memmove(MasterPointer(copy), entry->data, size);
    *place = copy;
    SetLastMemError(noErr);
    return noErr;
}

void HandToHand(Handle* place) {
    HandToHandChecked(place);
}

} // namespace BRASK::MEMFIX
