// Host I/O: URIs, the URI registry and data providers.
#pragma once

#include "brask/CoreString.h"
#include "brask/IObject.h"
#include "brask/TInterfacePtr.h"

#include <cstdint>

namespace BRASK::IO {

// Progress and error reporting object a host may pass along; the plug-in passes none.
class BRASK_SDK_API IReporter : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0xCC4556E0, 0xC651, 0x4F7F, 0xAFAC, 0x3162711C5BF5);
};

// A URI; a data provider over a file carries its URI attached under IURI::IID.
class BRASK_SDK_API IURI : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x2517B49E, 0xBCE5, 0x404C, 0x8524, 0x3A6EC3C3B633);

    // "scheme:rest" text, or a plain absolute path (scheme "file"); "file://" URIs keep their path.
    virtual Status SetText(const CoreString& text) = 0;
    virtual CoreString GetText() const = 0;
    virtual CoreString GetScheme() const = 0;
    // The file-system path for "file" URIs, else the part after the scheme.
    virtual CoreString GetPath() const = 0;
};

class BRASK_SDK_API IDataProvider : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x6B278614, 0xED0D, 0x44C7, 0x934F, 0x354C20052120);

    enum Origin : std::int32_t { kFromStart = 0, kFromEnd = 1, kFromCurrent = 2 };
    static constexpr Status kReadOnly = 20;    // write on a read-only provider
    static constexpr Status kBadPosition = 21; // a position outside 0 .. 2^31-1
    static constexpr Status kIOError = 22;     // the operating system refused
    static constexpr Status kBadOrigin = 1;    // an origin other than the three above

    // The position SetPosition(offset, origin) asks for, from the current position and the size: kOK with
    // `target` set, kBadOrigin, or kBadPosition for a position outside 0 .. 2^31-1.
    static Status ResolvePosition(std::int32_t offset, std::int32_t origin, std::int64_t current,
                                  std::int64_t size, std::int64_t& target) {
        std::int64_t base = 0;
        if (origin == kFromEnd)
            base = size;
        else if (origin == kFromCurrent)
            base = current;
        else if (origin != kFromStart)
            return kBadOrigin;
        const std::int64_t position = base + offset;
        if (position < 0 || position > 0x7FFFFFFF)
            return kBadPosition;
        target = position;
        return kOK;
    }

    virtual std::int32_t GetSize() = 0;
    virtual std::int32_t GetPosition() = 0;
    virtual Status SetPosition(std::int32_t offset, std::int32_t origin) = 0;
    // Reads up to `count` bytes at the position; `count` returns the number delivered (0 at the end).
    virtual Status Read(void* buffer, std::uint32_t& count) = 0;
    virtual Status Write(const void* buffer, std::uint32_t count) = 0;
};

// A read-only provider over a memory block (class {2932BFBD-...}); the block is copied at Init.
class BRASK_SDK_API IMemoryDataProvider : public IDataProvider {
public:
    static constexpr GUID IID = MakeGuid(0x2932BFBD, 0x9AA3, 0x454F, 0xBEFF, 0xEBC9BEEF0F0F);

    virtual Status Init(const void* data, std::int32_t size) = 0;
    // Prepares the provider for reading from `offset` (the plug-in calls it with 0 before use).
    virtual Status Open(std::int32_t offset) = 0;
};

class BRASK_SDK_API IDataProviderStream : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0xC53D0BAE, 0xF296, 0x4792, 0xBBA8, 0xA198E107A17B);

    // The stream's provider, borrowed.
    virtual IDataProvider* GetDataProvider() = 0;
};

class BRASK_SDK_API IURIFile : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x078606BF, 0x44B7, 0x4AEE, 0xA288, 0x0BFB8F39E5ED);

    virtual Status OpenReadOnlyStream(TInterfacePtr<IDataProviderStream>& stream) = 0;
    // Opens (creating when missing) for reading and writing, positioned at 0; existing bytes are kept.
    virtual Status OpenReadWriteStream(TInterfacePtr<IDataProviderStream>& stream) = 0;
};

class BRASK_SDK_API IURIRegistry : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0xF4D121D7, 0xC7AD, 0x494F, 0x8AF8, 0xE08759D96F64);

    virtual Status GetURIFile(IURI& uri, TInterfacePtr<IURIFile>& file) = 0;
};

} // namespace BRASK::IO
