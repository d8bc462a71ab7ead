// What a plug-in offers a host: its three exported functions and the class-factory registry object.
#pragma once

#include "brask/FileSys.h"
#include "brask/IClassFactory.h"

#include <cstdint>

namespace BRASK {

// A list of GUIDs the host hands to a plug-in to fill.
class BRASK_SDK_API IGuidList : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x004AD540, 0xB44D, 0x45DD, 0x85B8, 0xE2BD15C75434);

    // Copies `*id` to the end of the list.
    virtual Status Add(const GUID* id) = 0;
    virtual std::uint32_t GetCount() const = 0;
    virtual GUID GetAt(std::uint32_t index) const = 0;
};

namespace COREREGISTRY {

class BRASK_SDK_API IPluginClassFactories : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x937382D8, 0x98F7, 0x4613, 0x8212, 0x5EEAF4EDED31);

    // Appends the interface ids the plug-in serves.
    virtual Status GetInterfaceIDs(TInterfacePtr<IGuidList>& list) = 0;
    // Appends the class ids registered for `interfaceId`; 1 for an interface the plug-in does not serve.
    virtual Status GetClassIDs(const GUID& interfaceId, TInterfacePtr<IGuidList>& list) = 0;
};

} // namespace COREREGISTRY

// The plug-in's exports, as a host looks them up by name.
using PluginInitFn = Status (*)(const FILE_SYS::IDir* pluginDir, IClassFactory* factory);
using PluginDeInitFn = Status (*)();
using PluginGetClassObjectFn = Status (*)(const GUID* classOrInterfaceId, void* reserved, IObject** out);

} // namespace BRASK
