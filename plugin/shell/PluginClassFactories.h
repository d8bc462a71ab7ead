// The registry object a host asks for to learn which interfaces and classes the plug-in serves.
#pragma once

#include "brask/Plugin.h"
#include "brask/TObject.h"

namespace BRASK::COREREGISTRY {

class PluginClassFactories : public TObject<IPluginClassFactories> {
public:
    Status GetInterfaceIDs(TInterfacePtr<IGuidList>& list) override;
    Status GetClassIDs(const GUID& interfaceId, TInterfacePtr<IGuidList>& list) override;
};

// A new composite graphic with its filter-information dictionary (one reference), or null.
IObject* CreateICompositeGraphic(IClassFactory* factory);

} // namespace BRASK::COREREGISTRY
