// The host's composite graphic for a PDF, made by the interface discovery service. It carries a dictionary
// with the first page's size (FILTERKEY::kWidth and kHeight, floats, points) and a connection space with the
// PDF bytes, and hands that connection space to the tiles it adapts.
#pragma once

#include "brask/Graphics.h"
#include "brask/TObject.h"

namespace BRASK::HOST {

class PdfCompositeGraphic : public TObject<GRAPHICS::ICompositeGraphic> {
public:
    std::int32_t ForwardToTileAdaptor(void* a, GRAPHICS::ITileAdaptor* b, void* c) override;
    // Attaches the connection space to `outputTile`; 3 when both tiles are null.
    Status AdaptTile(GRAPHICS::ITile* inputTile, GRAPHICS::ITile* outputTile) override;
    Status Reserved() override { return kOK; }
    // Refuses (keeps the old one) an adaptor whose chain leads back to this graphic, which would never end.
    void SetTileAdaptor(GRAPHICS::ITileAdaptor* next) override;
    void GetTileAdaptor(GRAPHICS::ITileAdaptor** out) override;
    Status FindInterface(const GUID& id, IObject** owner, IObject** out) override;
    Status FindInterfaceInTile(const GUID& id, IObject** owner, IObject** out) override;
    // The graphic is made and filled by the discovery service alone: kMadeByDiscoveryOnly.
    Status Init(IClassFactory& factory, IO::IDataProvider& source, const IDictionary* options) override;

private:
    TInterfacePtr<GRAPHICS::ITileAdaptor> mNext;
};

} // namespace BRASK::HOST
