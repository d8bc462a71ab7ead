// BaseTileAdaptor<I>: one link of a tile-adaptor chain. Each adaptor answers for the interfaces attached to
// it and forwards the rest to the next adaptor. Every operation runs behind the guard of host calls.
#pragma once

#include "GraphicLog.h"
#include "HostBoundary.h"

#include "brask/ClassIds.h"
#include "brask/Graphics.h"
#include "brask/TInterfacePtr.h"
#include "brask/TObject.h"

namespace BRASK::COREREGISTRY {

template <class I> class BaseTileAdaptor : public TObject<I> {
public:
    std::int32_t ForwardToTileAdaptor(void* a, GRAPHICS::ITileAdaptor* /*b*/, void* c) override {
        return GuardHostCall(
            kPDFBasedCGSource, kForwardFunction,
            [&]() -> std::int32_t {
                GRAPHICS::ITileAdaptor* next = nullptr;
                GetTileAdaptor(&next);
                return next == nullptr ? 0 : next->ForwardToTileAdaptor(a, this, c);
            },
            kInternalError);
    }

    Status Reserved() override { return kOK; }

    void SetTileAdaptor(GRAPHICS::ITileAdaptor* next) override {
        GuardHostCall(kPDFBasedCGSource, kSetFunction, [&] { mTileAdaptor.Reset(next); });
    }

    void GetTileAdaptor(GRAPHICS::ITileAdaptor** out) override {
        if (out != nullptr)
            *out = mTileAdaptor.Get();
    }

    void AttachInterface(IObject* obj, const GUID& id) override {
        GuardHostCall(kPDFBasedCGSource, kAttachFunction, [&] { TObject<I>::AttachInterface(obj, id); });
    }

    Status FindInterface(const GUID& id, IObject** owner, IObject** out) override {
        return GuardHostCall(
            kPDFBasedCGSource, kFindFunction, [&] { return FindInterfaceUnguarded(id, owner, out); },
            kInternalError);
    }

    Status FindInterfaceInTile(const GUID& id, IObject** owner, IObject** out) override {
        return GuardHostCall(
            kPDFBasedCGSource, kFindInTileFunction,
            [&]() -> Status {
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
            },
            kInternalError);
    }

protected:
    void ReleaseTileAdaptor() { mTileAdaptor.Reset(); }

private:
    static constexpr char kForwardFunction[] =
        "long __cdecl BRASK::COREREGISTRY::BaseTileAdaptor::ForwardToTileAdaptor(void *,class "
        "BRASK::GRAPHICS::ITileAdaptor *,void *)";
    static constexpr char kSetFunction[] =
        "void __cdecl BRASK::COREREGISTRY::BaseTileAdaptor::SetTileAdaptor(class "
        "BRASK::GRAPHICS::ITileAdaptor *)";
    static constexpr char kAttachFunction[] =
        "void __cdecl BRASK::COREREGISTRY::BaseTileAdaptor::AttachInterface(class BRASK::IObject *,const "
        "struct "
        "_GUID &)";
    static constexpr char kFindFunction[] =
        "long __cdecl BRASK::COREREGISTRY::BaseTileAdaptor::FindInterface(const struct _GUID &,class "
        "BRASK::IObject **,class BRASK::IObject **)";
    static constexpr char kFindInTileFunction[] =
        "long __cdecl BRASK::COREREGISTRY::BaseTileAdaptor::FindInterfaceInTile(const struct _GUID &,class "
        "BRASK::IObject **,class BRASK::IObject **)";

    Status FindInterfaceUnguarded(const GUID& id, IObject** owner, IObject** out) {
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

    TInterfacePtr<GRAPHICS::ITileAdaptor> mTileAdaptor;
};

} // namespace BRASK::COREREGISTRY
