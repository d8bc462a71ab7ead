#include "PdfCompositeGraphic.h"

#include "brask/ClassIds.h"
#include "brask_host/HostStatus.h"

namespace BRASK::HOST {

namespace {
constexpr Status kNoTile = 3;
constexpr int kMaxChainLength = 1 << 16;
} // namespace

std::int32_t PdfCompositeGraphic::ForwardToTileAdaptor(void* a, GRAPHICS::ITileAdaptor*, void* c) {
    if (!mNext)
        return 0;
    return mNext->ForwardToTileAdaptor(a, this, c);
}

Status PdfCompositeGraphic::AdaptTile(GRAPHICS::ITile* inputTile, GRAPHICS::ITile* outputTile) {
    if (inputTile == nullptr && outputTile == nullptr)
        return kNoTile;
    IObject* space = nullptr;
    if (outputTile != nullptr && GetInterface(CLSID::ConnectionSpaceKey, &space) == kOK && space != nullptr)
        outputTile->AttachInterface(space, CLSID::ConnectionSpaceKey);
    return kOK;
}

void PdfCompositeGraphic::SetTileAdaptor(GRAPHICS::ITileAdaptor* next) {
    GRAPHICS::ITileAdaptor* step = next;
    for (int i = 0; step != nullptr && i < kMaxChainLength; ++i) {
        if (step == this)
            return;
        GRAPHICS::ITileAdaptor* following = nullptr;
        step->GetTileAdaptor(&following);
        step = following;
    }
    if (step != nullptr)
        return; // a chain that does not end within the bound
    mNext.Reset(next);
}

void PdfCompositeGraphic::GetTileAdaptor(GRAPHICS::ITileAdaptor** out) {
    if (out != nullptr)
        *out = mNext.Get();
}

Status PdfCompositeGraphic::FindInterface(const GUID& id, IObject** owner, IObject** out) {
    if (out == nullptr)
        return kBadArgument;
    IObject* identity = nullptr;
    if (GetInterface(CLSID::AdaptorIdentityKey, &identity) == kOK && identity != nullptr &&
        *identity->GetIID() == id) {
        if (owner != nullptr)
            *owner = this;
        *out = this;
        return kOK;
    }
    const Status status = GetInterface(id, out);
    if (status == kOK) {
        if (owner != nullptr)
            *owner = this;
        return status;
    }
    if (mNext)
        return mNext->FindInterface(id, owner, out);
    *out = nullptr;
    return status;
}

Status PdfCompositeGraphic::FindInterfaceInTile(const GUID& id, IObject** owner, IObject** out) {
    GRAPHICS::ITileAdaptor* start = this;
    if (owner != nullptr && *owner != nullptr) {
        start = nullptr;
        if (auto* adaptor = dynamic_cast<GRAPHICS::ITileAdaptor*>(*owner))
            adaptor->GetTileAdaptor(&start);
    }
    if (start == nullptr) {
        if (out != nullptr)
            *out = nullptr;
        return kNoInterface;
    }
    return start->FindInterface(id, owner, out);
}

Status PdfCompositeGraphic::Init(IClassFactory&, IO::IDataProvider&, const IDictionary*) {
    return kMadeByDiscoveryOnly;
}

} // namespace BRASK::HOST
