// The host's class factory and the core registry.
#pragma once

#include "brask/IObject.h"
#include "brask/TInterfacePtr.h"

namespace BRASK {

class BRASK_SDK_API IClassFactory : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x479EC968, 0x7189, 0x4668, 0xBE61, 0xDE22E220A25B);

    // Makes a new object of `classId` with one reference for the caller; `*out` stays null when none is made.
    virtual Status CreateInstance(const GUID& classId, IObject** out) = 0;
};

// Makes an object through `factory` and holds it in `out` (the old content is released). kOK, or
// kOutOfMemory when the factory makes nothing or the object is not a T.
template <class T> Status CreateInstance(IClassFactory* factory, const GUID& classId, TInterfacePtr<T>& out) {
    out.Reset();
    if (factory == nullptr)
        return kOutOfMemory;
    IObject* made = nullptr;
    factory->CreateInstance(classId, &made);
    if (made == nullptr)
        return kOutOfMemory;
    T* typed = dynamic_cast<T*>(made);
    if (typed == nullptr) {
        made->Release();
        return kOutOfMemory;
    }
    out.Adopt(typed);
    return kOK;
}

namespace COREREGISTRY {
// The process's core registry: the host's class factory as the host publishes it (may be null).
BRASK_SDK_API IClassFactory* GetCoreRegistry();
BRASK_SDK_API void SetCoreRegistry(IClassFactory* registry);
} // namespace COREREGISTRY

} // namespace BRASK
