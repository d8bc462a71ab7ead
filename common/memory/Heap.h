// One heap of the memory manager, over the process allocator: blocks come from malloc/realloc and
// their reported size is what malloc_usable_size says. Not locked: the manager's mutex guards it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace BRASK::MEMFIX {

class Heap {
public:
    explicit Heap(std::size_t initialSize) : mInitialSize(initialSize) {}
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    // A block of at least `bytes` bytes, or null when the allocator refuses.
    void* Allocate(std::size_t bytes);
    // Resizes a block (it may move); null when refused, the old block then stays valid.
    void* Resize(void* block, std::size_t bytes);
    // Frees a block of this heap.
    void Free(void* block);
    // The allocator's size of a live block.
    static std::size_t ReportedSize(void* block);
    // Gives free memory back to the system; true when something was released.
    bool Compact();

    // The size the heap was created for (a hint: the process allocator grows on demand).
    std::size_t InitialSize() const { return mInitialSize; }
    // Sum of the reported sizes of this heap's live blocks.
    std::uint64_t LiveBytes() const { return mLiveBytes; }
    // Live blocks of this heap.
    std::uint64_t LiveBlocks() const { return mLiveBlocks; }

private:
    std::size_t mInitialSize;
    std::uint64_t mLiveBytes = 0;
    std::uint64_t mLiveBlocks = 0;
};

} // namespace BRASK::MEMFIX
