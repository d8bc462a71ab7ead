// TObject<I>: the implementation of IObject that every host and plug-in object derives from.
#pragma once

#include "brask/IObject.h"
#include "brask/ObjectCounter.h"

#include <atomic>
#include <utility>

namespace BRASK {

template <class I> class TObject : public I {
public:
    TObject() { ObjectCounter::Created(); }
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;

    Status GetInterface(const GUID& id, IObject** out) override {
        auto it = mInterfaces.find(id);
        if (it == mInterfaces.end())
            return kNoInterface;
        if (out != nullptr)
            *out = it->second;
        return kOK;
    }

    std::uint32_t AddRef() override { return mRefCount.fetch_add(1, std::memory_order_relaxed) + 1; }

    std::uint32_t Release() override {
        const std::uint32_t count = mRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (count == 0)
            delete this;
        return count;
    }

    void AttachInterface(IObject* obj, const GUID& id) override {
        if (obj == nullptr)
            return;
        auto it = mInterfaces.find(id);
        if (it == mInterfaces.end()) {
            obj->AddRef();
            mInterfaces.emplace(id, obj);
            return;
        }
        if (it->second == obj)
            return;
        IObject* old = it->second;
        obj->AddRef();
        it->second = obj;
        old->Release();
    }

    void DetachInterface(const GUID& id) override {
        auto it = mInterfaces.find(id);
        if (it == mInterfaces.end())
            return;
        IObject* old = it->second;
        mInterfaces.erase(it);
        old->Release();
    }

    void DetachAllInterfaces() override {
        // Released after the table is emptied, so a value's destructor never sees a half-cleared table.
        InterfaceTable detached;
        detached.swap(mInterfaces);
        for (auto& entry : detached)
            entry.second->Release();
    }

    InterfaceTable* GetInterfaceTable() override { return &mInterfaces; }

    const GUID* GetIID() const override { return &I::IID; }

    std::uint32_t RefCount() const { return mRefCount.load(std::memory_order_relaxed); }

protected:
    ~TObject() override {
        DetachAllInterfaces();
        ObjectCounter::Destroyed();
    }

private:
    InterfaceTable mInterfaces;
    std::atomic<std::uint32_t> mRefCount{1};
};

} // namespace BRASK
