// BaseTileAdaptor<I>: one link of a tile-adaptor chain. Each adaptor answers for the interfaces attached to
// it and forwards the rest to the next adaptor.
#pragma once

#include "brask/ClassIds.h"
#include "brask/Graphics.h"
#include "brask/TInterfacePtr.h"
#include "brask/TObject.h"

namespace BRASK::COREREGISTRY {

template <class I> class BaseTileAdaptor : public TObject<I> {
public:
    std::int32_t ForwardToTileAdaptor(void* a, GRAPHICS::ITileAdaptor* /*b*/, void* c) override {
        GRAPHICS::ITileAdaptor* next = nullptr;
        GetTileAdaptor(&next);
        if (next == nullptr)
            return 0;
        return next->ForwardToTileAdaptor(a, this, c);
    }

    Status Reserved() override { return kOK; }

    void SetTileAdaptor(GRAPHICS::ITileAdaptor* next) override { mTileAdaptor.Reset(next); }

    void GetTileAdaptor(GRAPHICS::ITileAdaptor** out) override {
        if (out != nullptr)
            *out = mTileAdaptor.Get();
    }

    Status FindInterface(const GUID& id, IObject** owner, IObject** out) override {
        IObject* identity = nullptr;
        if (this->GetInterface(CLSID::AdaptorIdentityKey, &identity) == kOK && identity != nullptr &&
            *identity->GetIID() == id) {
            if (owner != nullptr)
                *owner = this;
            if (out != nullptr)
                *out = this;
            return kOK;
        }
        const Status status = this->GetInterface(id, out);
        if (status == kOK) {
            if (owner != nullptr)
                *owner = this;
            return status;
        }
        if (mTileAdaptor)
            return mTileAdaptor->FindInterface(id, owner, out);
        if (out != nullptr)
            *out = nullptr;
        return status;
    }

    Status FindInterfaceInTile(const GUID& id, IObject** owner, IObject** out) override {
        GRAPHICS::ITileAdaptor* start = this;
        if (owner != nullptr && *owner != nullptr) {
            auto* ownerAdaptor = dynamic_cast<GRAPHICS::ITileAdaptor*>(*owner);
            start = nullptr;
            if (ownerAdaptor != nullptr)
                ownerAdaptor->GetTileAdaptor(&start);
            if (start == nullptr) {
                // The owner ends the chain: nothing further to search.
                if (out != nullptr)
                    *out = nullptr;
                return kNoInterface;
            }
        }
        return start->FindInterface(id, owner, out);
    }

protected:
    void ReleaseTileAdaptor() { mTileAdaptor.Reset(); }

private:
    TInterfacePtr<GRAPHICS::ITileAdaptor> mTileAdaptor;
};

} // namespace BRASK::COREREGISTRY
