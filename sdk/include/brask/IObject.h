// The reference-counted host object with its attached-interface table.
#pragma once

#include "brask/Export.h"
#include "brask/Guid.h"
#include "brask/Status.h"

#include <cstdint>
#include <map>

namespace BRASK {

class IObject;

// Attached interfaces by GUID; every value holds one counted reference.
using InterfaceTable = std::map<GUID, IObject*, GuidLess>;

class BRASK_SDK_API IObject {
public:
    static constexpr GUID IID = MakeGuid(0x70CB0F7B, 0xB6DE, 0x4000, 0xB0AD, 0xFA670296DB52);

    // Looks `id` up in the attached table only; lends the value (no AddRef). 0x80004002 when absent.
    virtual Status GetInterface(const GUID& id, IObject** out) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;
    // Takes a reference on `obj`; replaces (and releases) a different object under the same id.
    virtual void AttachInterface(IObject* obj, const GUID& id) = 0;
    virtual void DetachInterface(const GUID& id) = 0;
    virtual void DetachAllInterfaces() = 0;
    virtual InterfaceTable* GetInterfaceTable() = 0;
    // Address of the object's own interface id.
    virtual const GUID* GetIID() const = 0;

protected:
    virtual ~IObject() = default;
};

// Typed lookup in an object's attached table; the result is borrowed.
template <class T> T* FindAttached(IObject& owner, const GUID& id) {
    IObject* found = nullptr;
    if (owner.GetInterface(id, &found) != kOK || found == nullptr)
        return nullptr;
    return dynamic_cast<T*>(found);
}

} // namespace BRASK
