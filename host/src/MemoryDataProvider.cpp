#include "MemoryDataProvider.h"

#include "brask_host/HostStatus.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace BRASK::HOST {

Status MemoryDataProvider::Init(const void* data, std::int32_t size) {
    if (size < 0 || (data == nullptr && size > 0))
        return kBadArgument;
    try {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        std::vector<std::uint8_t> copy(bytes, bytes + size);
        mData.swap(copy);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    mPosition = 0;
    return kOK;
}

Status MemoryDataProvider::Open(std::int32_t offset) {
    if (offset < 0 || static_cast<std::size_t>(offset) > mData.size())
        return kBadPosition;
    mPosition = offset;
    return kOK;
}

Status MemoryDataProvider::SetPosition(std::int32_t offset, std::int32_t origin) {
    return ResolvePosition(offset, origin, mPosition, static_cast<std::int64_t>(mData.size()), mPosition);
}

Status MemoryDataProvider::Read(void* buffer, std::uint32_t& count) {
    if (count == 0)
        return kOK;
    if (buffer == nullptr) {
        count = 0;
        return kBadArgument;
    }
    const auto size = static_cast<std::int64_t>(mData.size());
    const std::int64_t available = mPosition < size ? size - mPosition : 0;
    const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(available, count));
    if (n > 0)
        std::memcpy(buffer, mData.data() + mPosition, n);
    mPosition += n;
    count = n;
    return kOK;
}

} // namespace BRASK::HOST
