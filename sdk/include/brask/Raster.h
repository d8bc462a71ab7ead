// Host rasters and colour management: the raster component with its channels, and the ICC colour transform.
#pragma once

#include "brask/IClassFactory.h"
#include "brask/IObject.h"
#include "brask/TInterfacePtr.h"

#include <cstddef>
#include <cstdint>

namespace BRASK::GRAPHICS {

// Type code of the extra channel that carries coverage (alpha).
constexpr std::uint32_t kAlphaChannelType = 0x4C504841;

// One plane of 8-bit values, `GetRowLength()` values per row.
class BRASK_SDK_API IRasterChannel : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x6ECA38F1, 0x77BC, 0x42D6, 0x84AB, 0x363A2BF6B3D1);

    static constexpr Status kBadRow = 31; // a row outside 0 .. GetRowCount()-1, or no values

    // Pixels per row.
    virtual std::int32_t GetRowLength() const = 0;
    virtual std::int32_t GetRowCount() const = 0;
    // Writes row `y` from `count` values; values past the row's end are ignored.
    virtual Status WriteRow(std::int32_t y, const std::uint8_t* values, std::int32_t count) = 0;
    // Copies up to `count` values of row `y` into `values`.
    virtual Status ReadRow(std::int32_t y, std::uint8_t* values, std::int32_t count) const = 0;
};

// A raster: colour channels by index and a list of extra channels, each with a type code.
class BRASK_SDK_API IRasterComponent : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x809C819C, 0x45F1, 0x473D, 0x907E, 0x6E4B87672F7D);

    static constexpr Status kBadSize = 32; // a size or channel count outside what the host serves

    // Sizes the raster (width and height in pixels, 1 .. 32767) with `colorChannels` colour channels
    // (1 .. 16), every value 0; extra channels are dropped.
    virtual Status Init(std::int32_t width, std::int32_t height, std::int32_t colorChannels) = 0;
    // Adds an extra channel of the raster's size with type code `type`.
    virtual Status AddExtraChannel(std::uint32_t type) = 0;

    virtual std::int32_t GetWidth() const = 0;
    virtual std::int32_t GetHeight() const = 0;
    virtual std::int32_t GetColorChannelCount() const = 0;
    // Borrowed; null when `index` is out of range.
    virtual IRasterChannel* GetColorChannel(std::int32_t index) = 0;
    virtual std::int32_t GetExtraChannelCount() const = 0;
    // Borrowed; null when `index` is out of range.
    virtual IRasterChannel* GetExtraChannel(std::int32_t index) = 0;
    // The type code of extra channel `index`; 0 when out of range.
    virtual std::uint32_t GetExtraChannelType(std::int32_t index) const = 0;
};

// Makes a raster component of `classId` through `factory`, sized and with an alpha channel when asked.
// kOK, kOutOfMemory when the factory makes none, or the component's own refusal.
inline Status CreateRasterComponent(IClassFactory* factory, const GUID& classId, std::int32_t width,
                                    std::int32_t height, std::int32_t colorChannels, bool alpha,
                                    TInterfacePtr<IRasterComponent>& out) {
    Status status = CreateInstance(factory, classId, out);
    if (status == kOK)
        status = out->Init(width, height, colorChannels);
    if (status == kOK && alpha)
        status = out->AddExtraChannel(kAlphaChannelType);
    if (status != kOK)
        out.Reset();
    return status;
}

// ---- Colour management. ----

// Colour-space signatures of pixel descriptions (ICC colour-space signatures).
constexpr std::uint32_t kCmmSignatureCMYK = 0x434D594B;    // 'CMYK'
constexpr std::uint32_t kCmmSignatureRGB = 0x52474220;     // 'RGB '
constexpr std::uint32_t kCmmSignatureGray = 0x47524159;    // 'GRAY'
constexpr std::uint32_t kCmmSignatureUnknown = 0x3F3F3F3F; // '????'

// A profile given to SetProfiles: kind 1 names an ICC file by its UTF-16 path (NUL-terminated).
struct CmmProfileDescriptor {
    static constexpr std::uint32_t kKindPath = 1;
    static constexpr std::size_t kPathUnits = 1028;

    std::uint32_t kind;        // 0
    std::uint32_t reserved;    // 4
    char16_t path[kPathUnits]; // 8
};
static_assert(sizeof(CmmProfileDescriptor) == 2064);
static_assert(offsetof(CmmProfileDescriptor, path) == 8);

// The count record given to SetProfiles beside the descriptor array.
struct CmmProfileCount {
    std::uint32_t count;    // 0: number of descriptors (a transform takes exactly 2)
    std::uint32_t reserved; // 4
};
static_assert(sizeof(CmmProfileCount) == 8);

// Pixels handed to TransformPixels: rows of interleaved components, 1 or 2 bytes each (2: native order).
struct CmmPixelDescription {
    std::uint32_t rows;          // 0
    std::uint32_t pixelsPerRow;  // 4
    std::uint32_t bytesPerPixel; // 8: bytes per component x components
    std::uint32_t bytesPerRow;   // 12
    std::uint32_t reserved;      // 16
    std::uint32_t colorSpace;    // 20: kCmmSignature...
    void* data;                  // 24
};
static_assert(sizeof(CmmPixelDescription) == 32);
static_assert(offsetof(CmmPixelDescription, colorSpace) == 20);
static_assert(offsetof(CmmPixelDescription, data) == 24);

// A colour transform between two ICC profiles (class CLSID::CmmTransform).
class BRASK_SDK_API ICmmTransform : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x8E0F1082, 0x0BA1, 0x4222, 0x9F4A, 0x478C7D63EE31);

    static constexpr Status kBadProfiles = 33; // count not 2, a kind other than a path, an unreadable file
    static constexpr Status kBadPixels = 34;   // unknown signature, sizes that disagree, no data
    static constexpr Status kNoTransform = 35; // the profiles do not fit the descriptions

    // Option values: the rendering intent (0 perceptual, 1 relative colorimetric, 2 saturation,
    // 3 absolute colorimetric). Perceptual until set.
    virtual Status SetOption(std::uint32_t value) = 0;
    // Source and destination profiles (`count.count` must be 2, source first). Flag bit 0 asks for black
    // point compensation. Nonzero when a profile cannot be read.
    static constexpr std::uint32_t kBlackPointCompensation = 1;
    virtual Status SetProfiles(const CmmProfileDescriptor* profiles, const CmmProfileCount& count,
                               std::uint32_t flags) = 0;
    // Converts the source pixels into the destination; both describe the same rows and pixels per row.
    // Nonzero on failure (no profiles, unknown signature, a description that does not match its profile).
    virtual Status TransformPixels(const CmmPixelDescription& source,
                                   const CmmPixelDescription& destination) = 0;
};

} // namespace BRASK::GRAPHICS
