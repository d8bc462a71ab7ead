#include "GuidList.h"

#include "brask_host/HostStatus.h"

#include <new>

namespace BRASK::HOST {

Status GuidList::Add(const GUID* id) {
    if (id == nullptr)
        return kBadArgument;
    try {
        mIds.push_back(*id);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOK;
}

GUID GuidList::GetAt(std::uint32_t index) const {
    if (index >= mIds.size())
        return GUID{};
    return mIds[index];
}

} // namespace BRASK::HOST
