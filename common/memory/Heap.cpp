#include "Heap.h"

#include <malloc.h>

#include <cstdlib>

namespace BRASK::MEMFIX {

void* Heap::Allocate(std::size_t bytes) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr) {
        mLiveBytes += ReportedSize(block);
        ++mLiveBlocks;
    }
    return block;
}

void* Heap::Resize(void* block, std::size_t bytes) {
    const std::size_t oldSize = ReportedSize(block);
    void* moved = std::realloc(block, bytes == 0 ? 1 : bytes);
    if (moved != nullptr) {
        mLiveBytes -= oldSize;
        mLiveBytes += ReportedSize(moved);
    }
    return moved;
}

void Heap::Free(void* block) {
    if (block == nullptr)
        return;
    mLiveBytes -= ReportedSize(block);
    --mLiveBlocks;
    std::free(block);
}

std::size_t Heap::ReportedSize(void* block) {
    return block == nullptr ? 0 : malloc_usable_size(block);
}

bool Heap::Compact() {
    return malloc_trim(0) != 0;
}

} // namespace BRASK::MEMFIX
