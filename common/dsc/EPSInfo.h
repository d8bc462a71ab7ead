// The EPS information record: everything the DSC comment scan learns about one EPS file.
#pragma once

#include "MemoryManager.h"

#include <cstdint>
#include <memory>

namespace BRASK::PLUGIN {

// Signed 16.16 fixed point: points × 65536.
using Fixed = std::int32_t;
constexpr Fixed kFixedOne = 0x10000;

// One edge of the bounding box: the number exactly as read (a 32-bit float, points) and its 16.16 value.
struct BoxEdge {
    float read = 0;
    Fixed fixed = 0;
};

// The picture's bounding box.
struct BoundingBox {
    BoxEdge left;
    BoxEdge bottom;
    BoxEdge right;
    BoxEdge top;

    // Takes the four numbers read (left, bottom, right, top); each fixed value is the float × 65536 rounded
    // half away from zero, saturated.
    void Set(const float (&numbers)[4]);
    // Widens an extent thinner than three points to three points (an empty or inverted one stays), in both
    // forms: the right (top) edge moves to the left (bottom) edge + 3.
    void WidenThinExtents();
};

// The first 32 bytes of a DOS binary EPS file, decoded from little-endian. All zero when the file has no
// valid binary header.
struct DOSBinaryHeader {
    static constexpr std::uint32_t kMagic = 0xC6D3D0C5;
    static constexpr std::uint16_t kNoChecksum = 0xFFFF;
    static constexpr int kSize = 32;

    std::uint32_t magic = 0;
    std::uint32_t postScriptOffset = 0;
    std::uint32_t postScriptLength = 0;
    std::uint32_t wmfOffset = 0;
    std::uint32_t wmfLength = 0;
    std::uint32_t tiffOffset = 0;
    std::uint32_t tiffLength = 0;
    std::uint16_t checksum = 0; // XOR of bytes 0..27, or 0xFFFF when none was computed
    std::uint16_t spare = 0;

    bool IsPresent() const { return magic == kMagic; }
};

// Bits of EPSInfo::flags.
namespace EPSFlags {
constexpr std::uint32_t kBraskTavren = 0x4;          // the creator begins with "BraskTavren"
constexpr std::uint32_t kSuppressDotGain = 0x8;      // "SuppressDotGainCompensation" comment
constexpr std::uint32_t kMarksAllSeparations = 0x10; // %%MarksAllSeparations: true
constexpr std::uint32_t kNoCompositeMaster = 0x20;   // DCS 2 without a composite master
constexpr std::uint32_t kDCS1 = 0x40;                // plate comments (DCS 1)
constexpr std::uint32_t kDCS2 = 0x80;                // %%PlateFile: (DCS 2)
constexpr std::uint32_t kPlatesInFile = 0x100;       // plates stored in this file at offsets
constexpr std::uint32_t kPlatesElsewhere = 0x200;    // plates neither "#" offsets nor "Local"
constexpr std::uint32_t kCyanPlate = 0x400;
constexpr std::uint32_t kMagentaPlate = 0x800;
constexpr std::uint32_t kYellowPlate = 0x1000;
constexpr std::uint32_t kBlackPlate = 0x2000;
constexpr std::uint32_t kPlateBits = kCyanPlate | kMagentaPlate | kYellowPlate | kBlackPlate;
constexpr std::uint32_t kPhotoshopDCS1 = 0x4000; // a Photoshop creator wrote a DCS 1 file
constexpr std::uint32_t kRasterCreator = 0x8000; // Photoshop or Sampler
constexpr std::uint32_t kCMYK = 0x10000;
constexpr std::uint32_t kRGB = 0x20000;
constexpr std::uint32_t kColorModel18 = 0x40000; // never set by the scan
constexpr std::uint32_t kColorModel19 = 0x80000; // never set by the scan
constexpr std::uint32_t kColorModelBits = kCMYK | kRGB | kColorModel18 | kColorModel19;
constexpr std::uint32_t kVectorMaskedImagery = 0x100000; // "%VectorMaskedImagery" comment
constexpr std::uint32_t kBraskTavren7OrLater = 0x200000; // creator BraskTavren of version 7 or later
constexpr std::uint32_t kDuotoneInks = 0x400000;         // "%DuotoneInks:" comment

// A readable name for each flag bit (nullptr for a bit without meaning), for reports and tools.
const char* FlagName(int bit);
} // namespace EPSFlags

// Bits of EPSInfo::imageFlags.
constexpr std::uint16_t kImageExtraChannels = 0x1;
constexpr std::uint16_t kImageBinaryData = 0x2;

// Values of EPSInfo::documentData.
constexpr std::int16_t kDocumentDataUndeclared = 1;
constexpr std::int16_t kDocumentDataClean7Bit = 2;
constexpr std::int16_t kDocumentDataClean8Bit = 4;
constexpr std::int16_t kDocumentDataBinary = 8;

// Memory-manager handle that disposes of its block when it goes.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(MEMFIX::Handle handle) : mHandle(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { Reset(); }

    MEMFIX::Handle Get() const { return mHandle; }
    explicit operator bool() const { return mHandle != nullptr; }
    void Reset(MEMFIX::Handle handle = nullptr) {
        if (mHandle != nullptr && mHandle != handle)
            MEMFIX::DisposeHandle(mHandle);
        mHandle = handle;
    }

private:
    MEMFIX::Handle mHandle = nullptr;
};

// Members in the record's order. Text fields are NUL-terminated Windows-1252 bytes.
struct EPSInfo {
    static constexpr int kTextSize = 256;

    std::uint32_t flags = 0;
    std::int16_t reserved = -1;
    std::int16_t languageLevel = 1;
    std::int16_t documentData = kDocumentDataUndeclared;
    std::int32_t postScriptStart = 0;
    std::int32_t postScriptEnd = 0;
    std::int32_t headerBytes = 0; // comment bytes of the header, up to and including %%EndComments
    char title[kTextSize] = {};
    char creationDate[kTextSize] = {};
    BoundingBox boundingBox;
    DOSBinaryHeader binaryHeader;
    std::uint8_t epsfHeader = 0; // set by the scan: 0 when the first line begins with "%!" but lacks " EPSF-"
    std::uint32_t firstLineLength = 0;
    std::int16_t imageWidth = 0;
    std::int16_t imageHeight = 0;
    std::int16_t imageBlockSize = 0;
    std::uint16_t imageFlags = 0;
    OwnedHandle PhotoshopResources; // bytes decoded from the "%BeginPhotoshop:" section
    OwnedHandle ICCProfileData;     // bytes decoded from the "%%BeginICCProfile:" section
    char creator[kTextSize] = {};
    // One count unit, then the entries, each a NUL-terminated UTF-16 string.
    std::unique_ptr<std::uint16_t[]> CustomColorList;
    std::uint16_t customColorListSize = 0; // UTF-16 units of CustomColorList, count and terminators included
};

} // namespace BRASK::PLUGIN
