#include "GraphicsEnvironment.h"

#include "InterfaceDiscoveryService.h"
#include "brask/ClassIds.h"

namespace BRASK::HOST {

GraphicsEnvironment::GraphicsEnvironment() {
    TInterfacePtr<InterfaceDiscoveryService> service;
    service.Adopt(new InterfaceDiscoveryService);
    AttachInterface(service.Get(), CLSID::DiscoveryServiceKey);
}

} // namespace BRASK::HOST
