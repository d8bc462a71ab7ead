// TInterfacePtr<T>: holds one counted reference to a host object.
#pragma once

#include <cstddef>
#include <utility>

namespace BRASK {

template <class T> class TInterfacePtr {
public:
    TInterfacePtr() = default;
    TInterfacePtr(std::nullptr_t) {}
    // Shares `p`: takes a reference of its own.
    explicit TInterfacePtr(T* p) : mPtr(p) {
        if (mPtr != nullptr)
            mPtr->AddRef();
    }
    TInterfacePtr(const TInterfacePtr& other) : TInterfacePtr(other.mPtr) {}
    TInterfacePtr(TInterfacePtr&& other) noexcept : mPtr(std::exchange(other.mPtr, nullptr)) {}
    ~TInterfacePtr() { Reset(); }

    TInterfacePtr& operator=(const TInterfacePtr& other) {
        Reset(other.mPtr);
        return *this;
    }
    TInterfacePtr& operator=(TInterfacePtr&& other) noexcept {
        if (this != &other)
            Adopt(std::exchange(other.mPtr, nullptr));
        return *this;
    }
    TInterfacePtr& operator=(T* p) {
        Reset(p);
        return *this;
    }

    // Holds `p` with a new reference of its own and releases the old content.
    void Reset(T* p = nullptr) {
        if (p != nullptr)
            p->AddRef();
        T* old = std::exchange(mPtr, p);
        if (old != nullptr)
            old->Release();
    }
    // Takes over a reference the caller already owns (a freshly made object) and releases the old content.
    void Adopt(T* p) {
        T* old = std::exchange(mPtr, p);
        if (old != nullptr)
            old->Release();
    }
    // Gives the held reference to the caller.
    T* Detach() { return std::exchange(mPtr, nullptr); }

    T* Get() const { return mPtr; }
    T* operator->() const { return mPtr; }
    T& operator*() const { return *mPtr; }
    explicit operator bool() const { return mPtr != nullptr; }
    bool operator==(const T* p) const { return mPtr == p; }

private:
    T* mPtr = nullptr;
};

} // namespace BRASK
