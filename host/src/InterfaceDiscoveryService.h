// Builds host composite graphics from data providers: PDF, through qpdf.
#pragma once

#include "brask/Graphics.h"
#include "brask/TObject.h"

namespace BRASK::HOST {

inline constexpr char kDiscoveryLogSource[] = "host/src/InterfaceDiscoveryService";
inline constexpr char kCreateCompositeGraphicSignature[] =
    "long __cdecl BRASK::HOST::InterfaceDiscoveryService::CreateCompositeGraphic(class BRASK::IClassFactory "
    "&,"
    "class BRASK::IO::IDataProvider &,class BRASK::TInterfacePtr<class BRASK::GRAPHICS::ICompositeGraphic> &,"
    "unsigned int,const class BRASK::IDictionary *)";

class InterfaceDiscoveryService : public TObject<GRAPHICS::IInterfaceDiscoveryService> {
public:
    // Reads all of `data` from its start and makes a PdfCompositeGraphic into `graphic` (emptied first).
    // Type other than "PDF ": kUnsupported. Data that qpdf refuses: kEngineError, with qpdf's reason logged.
    // No page or no page box: kMalformedData. A failed read passes the provider's status on. `factory` and
    // `options` are not needed.
    Status CreateCompositeGraphic(IClassFactory& factory, IO::IDataProvider& data,
                                  TInterfacePtr<GRAPHICS::ICompositeGraphic>& graphic, std::uint32_t type,
                                  const IDictionary* options) override;
};

} // namespace BRASK::HOST
