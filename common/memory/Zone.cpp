#include "Zone.h"

#include "BlockLayout.h"

#include <unistd.h>

#include <limits>

namespace BRASK::MEMFIX {

namespace {
constexpr std::size_t kHandleHeapInitialSize = 0x100000;
constexpr std::size_t kPointerHeapInitialSize = 0x10000;
// A refused request is retried after at most this many compactions that reported progress.
constexpr int kMaxCompactionRetries = 3;

std::uint64_t PhysicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}
} // namespace

Zone::Zone() : mHandleHeap(kHandleHeapInitialSize), mPointerHeap(kPointerHeapInitialSize) {}

Zone& Zone::Instance() {
    // Never destroyed: static objects of the embedding program may still dispose blocks at exit.
    static Zone& zone = *new Zone;
    return zone;
}

std::unique_lock<std::mutex> Zone::Lock() {
    std::unique_lock<std::mutex> lock(mMutex);
    if (!mInitialised)
        Initialise();
    return lock;
}

std::int32_t Zone::Initialise() {
    if (mInitialised)
        return mInitResult;
    const std::uint64_t physical = PhysicalMemory();
    // Without a reading the heaps are never compacted for want of memory.
    mCeiling = physical != 0 ? physical : std::numeric_limits<std::uint64_t>::max();
    mInitialised = true;
    mInitResult = physical != 0 ? 0 : -1;
    return mInitResult;
}

OSErr Zone::TearDown() {
    for (auto& [handle, entry] : mHandles) {
        if (entry.data != nullptr)
            mHandleHeap.Free(LAYOUT::BlockOf(entry.data));
        mPointerHeap.Free(LAYOUT::RecordOf(handle));
    }
    mHandles.clear();
    for (auto& [pointer, capacity] : mPointers)
        mPointerHeap.Free(LAYOUT::BlockOf(pointer));
    mPointers.clear();
    mInitialised = false;
    mLimit = 0;
    return noErr;
}

bool Zone::WithinLimit(std::uint64_t extra) const {
    if (mLimit == 0)
        return true;
    const std::uint64_t inUse = BytesInUse();
    return inUse <= mLimit && extra <= mLimit - inUse;
}

bool Zone::CompactionStep(bool forced) {
    if (mCompacting)
        return false;
    if (!forced && BytesInUse() < mCeiling)
        return false;
    mCompacting = true;
    const bool handleHeapReleased = mHandleHeap.Compact();
    const bool pointerHeapReleased = mPointerHeap.Compact();
    mCompacting = false;
    return handleHeapReleased || pointerHeapReleased;
}

char* Zone::AllocateBlock(Heap& heap, std::uint64_t bytes) {
    if (bytes > LAYOUT::kMaxBlockSize) {
        SetLastMemError(memFullErr);
        return nullptr;
    }
    CompactionStep(false);
    for (int retry = 0;; ++retry) {
        void* block = WithinLimit(bytes) ? heap.Allocate(bytes) : nullptr;
        if (block != nullptr) {
            SetLastMemError(noErr);
            return static_cast<char*>(block);
        }
        if (retry == kMaxCompactionRetries || !CompactionStep(true)) {
            SetLastMemError(memFullErr);
            return nullptr;
        }
    }
}

char* Zone::ResizeBlock(Heap& heap, char* block, std::uint64_t bytes) {
    if (bytes > LAYOUT::kMaxBlockSize) {
        SetLastMemError(memFullErr);
        return nullptr;
    }
    const std::uint64_t oldSize = Heap::ReportedSize(block);
    const std::uint64_t growth = bytes > oldSize ? bytes - oldSize : 0;
    if (growth > 0)
        CompactionStep(false);
    for (int retry = 0;; ++retry) {
        void* moved = WithinLimit(growth) ? heap.Resize(block, bytes) : nullptr;
        if (moved != nullptr) {
            SetLastMemError(noErr);
            return static_cast<char*>(moved);
        }
        if (retry == kMaxCompactionRetries || !CompactionStep(true)) {
            SetLastMemError(memFullErr);
            return nullptr;
        }
    }
}

HandleEntry* Zone::FindHandle(Handle h) {
    auto found = mHandles.find(h);
    if (found == mHandles.end())
        return nullptr;
    // The record is ours; its layout and master pointer must still be what the manager wrote.
    if (!LAYOUT::RecordLooksValid(h) || LAYOUT::MasterPointer(h) != found->second.data)
        return nullptr;
    return &found->second;
}

std::uint32_t* Zone::FindPointer(Ptr p) {
    auto found = mPointers.find(p);
    return found == mPointers.end() ? nullptr : &found->second;
}

} // namespace BRASK::MEMFIX
