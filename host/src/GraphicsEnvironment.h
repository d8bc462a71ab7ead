// The graphics environment: holds the host's graphics services (the interface discovery service under
// CLSID::DiscoveryServiceKey) in its attached table.
#pragma once

#include "brask/Graphics.h"
#include "brask/TObject.h"

namespace BRASK::HOST {

class GraphicsEnvironment : public TObject<GRAPHICS::IGraphicsEnvironment> {
public:
    GraphicsEnvironment();
};

} // namespace BRASK::HOST
