// The manager's process-wide state: both heaps, the memory ceiling and limit, and the registry of every live
// handle and pointer block. One mutex guards all of it; callers hold the lock (Lock()) while they use
// a Zone method. A handle or pointer is recognised only through the registry, so an address the manager
// did not give out is rejected without being read.
#pragma once

#include "Heap.h"
#include "MemoryManager.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace BRASK::MEMFIX {

// What the manager remembers of a live handle: its data address (null when empty) and block capacity.
struct HandleEntry {
    char* data = nullptr;
    std::uint32_t capacity = 0;
};

class Zone {
public:
    static Zone& Instance();

    // Takes the lock and sets the manager up on first use.
    std::unique_lock<std::mutex> Lock();

    // Under the lock.
    std::int32_t Initialise();
    OSErr TearDown();
    std::uint64_t BytesInUse() const { return mHandleHeap.LiveBytes() + mPointerHeap.LiveBytes(); }
    std::uint64_t Ceiling() const { return mCeiling; }
    void SetCeiling(std::uint64_t bytes) { mCeiling = bytes; }
    void SetLimit(std::uint64_t bytes) { mLimit = bytes; }

    Heap& HandleHeap() { return mHandleHeap; }
    Heap& PointerHeap() { return mPointerHeap; }

    // Allocation with the compaction retry; null and last error -108 when nothing could be had,
    // else last error 0.
    char* AllocateBlock(Heap& heap, std::uint64_t bytes);
    // Resizes with the same retry; null and -108 when refused (the block then stays as it was).
    char* ResizeBlock(Heap& heap, char* block, std::uint64_t bytes);
    void FreeBlock(Heap& heap, char* block) { heap.Free(block); }

    // Registry. Find* give null for anything the manager did not give out or already took back.
    HandleEntry* FindHandle(Handle h);
    void AddHandle(Handle h, HandleEntry entry) { mHandles.emplace(h, entry); }
    void RemoveHandle(Handle h) { mHandles.erase(h); }
    std::uint32_t* FindPointer(Ptr p);
    void AddPointer(Ptr p, std::uint32_t capacity) { mPointers.emplace(p, capacity); }
    void RemovePointer(Ptr p) { mPointers.erase(p); }

private:
    Zone();
    // One compaction step; true when it made progress.
    bool CompactionStep(bool forced);
    bool WithinLimit(std::uint64_t extra) const;

    std::mutex mMutex;
    bool mInitialised = false;
    std::int32_t mInitResult = 0;
    bool mCompacting = false;
    std::uint64_t mCeiling = 0;
    std::uint64_t mLimit = 0; // 0: none
    Heap mHandleHeap;
    Heap mPointerHeap;
    std::unordered_map<Handle, HandleEntry> mHandles;
    std::unordered_map<Ptr, std::uint32_t> mPointers; // data address -> block capacity
};

// The calling thread's last error.
void SetLastMemError(OSErr error);

} // namespace BRASK::MEMFIX
