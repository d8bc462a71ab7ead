// Host graphics: tiles, tile adaptors, composite graphics, connection spaces, the discovery service,
// and the Photoshop resource parser with its path collection.
#pragma once

#include "brask/Geometry.h"
#include "brask/IClassFactory.h"
#include "brask/IDictionary.h"
#include "brask/IO.h"

#include <cstdint>

namespace BRASK::GRAPHICS {

using GEOMETRY::Rect;

class BRASK_SDK_API ITile : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x9FE609EB, 0xDA16, 0x4AAD, 0xA203, 0x72F324921DCA);

    static constexpr Status kBadBounds = 30; // negative size or not a finite number

    virtual Status Init(const Rect<float>& bounds) = 0;
    virtual Rect<float> GetBounds() const = 0;
};

// What a tile draws a placed picture from: the PDF bytes and the page box of the picture.
class BRASK_SDK_API IConnectionSpace : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x2AEE1201, 0x61E3, 0x415F, 0xBF42, 0x4DAB965FAE87);

    virtual const std::uint8_t* GetPDFData() const = 0;
    virtual std::uint32_t GetPDFSize() const = 0;
    // Page box in points (top = height, right = width, after /Rotate).
    virtual Rect<float> GetPageBox() const = 0;
};

class BRASK_SDK_API ITileAdaptor : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x0A23FA54, 0x921C, 0x4366, 0x91E2, 0x52F2FEF59083);

    virtual std::int32_t ForwardToTileAdaptor(void* a, ITileAdaptor* b, void* c) = 0;
    virtual Status AdaptTile(ITile* inputTile, ITile* outputTile) = 0;
    virtual Status Reserved() = 0;
    virtual void SetTileAdaptor(ITileAdaptor* next) = 0;
    virtual void GetTileAdaptor(ITileAdaptor** out) = 0;
    virtual Status FindInterface(const GUID& id, IObject** owner, IObject** out) = 0;
    virtual Status FindInterfaceInTile(const GUID& id, IObject** owner, IObject** out) = 0;
};

// Key of an adaptor's optional identity object: its IID names an interface the adaptor answers for itself.
constexpr GUID kAdaptorIdentityKey = MakeGuid(0xCC44E86D, 0xA586, 0x41B2, 0xA228, 0x5673C92EAB19);

class BRASK_SDK_API ICompositeGraphic : public ITileAdaptor {
public:
    static constexpr GUID IID = MakeGuid(0x25A96186, 0x154A, 0x443F, 0xBDDD, 0xD576632E1F31);

    virtual Status Init(IClassFactory& factory, IO::IDataProvider& source, const IDictionary* options) = 0;
};

// Four-character type codes as the 32-bit value whose bytes in memory spell the code.
constexpr std::uint32_t FourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}
constexpr std::uint32_t kTypePDF = FourCC('P', 'D', 'F', ' ');
constexpr std::uint32_t kTypeSVG = FourCC('B', 'S', 'V', 'G');

class BRASK_SDK_API IInterfaceDiscoveryService : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x9977DE0F, 0x71DC, 0x44B9, 0x9B40, 0x27F76A7B3165);

    virtual Status CreateCompositeGraphic(IClassFactory& factory, IO::IDataProvider& data,
                                          TInterfacePtr<ICompositeGraphic>& graphic, std::uint32_t type,
                                          const IDictionary* options) = 0;
};

// The graphics environment: holds the host's graphics services in its attached table.
class BRASK_SDK_API IGraphicsEnvironment : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x0E3AB369, 0x91A7, 0x4748, 0x883F, 0xE5F40300D624);
};

struct PathPoint {
    float x = 0;
    float y = 0;
};

// One Bézier knot: the control point entering it, the anchor, the control point leaving it.
struct PathKnot {
    PathPoint in;
    PathPoint anchor;
    PathPoint out;
};

class BRASK_SDK_API IPathCollection : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x4A31110F, 0x1138, 0x4F14, 0x8087, 0xD16D76259F40);

    virtual std::uint32_t GetSubpathCount() const = 0;
    virtual bool IsSubpathClosed(std::uint32_t subpath) const = 0;
    virtual std::uint32_t GetKnotCount(std::uint32_t subpath) const = 0;
    virtual PathKnot GetKnot(std::uint32_t subpath, std::uint32_t knot) const = 0;
};

class BRASK_SDK_API IPhotoShopResourceParser : public IObject {
public:
    static constexpr GUID IID = MakeGuid(0x142493A8, 0x5303, 0x482F, 0xB62D, 0x448D2A469055);

    // Reads `length` bytes of 8BIM image resources; paths are scaled to `width` × `height` pixels.
    virtual Status Parse(IO::IDataProvider* data, std::uint32_t length, float width, float height) = 0;
    // The clipping path found by Parse, borrowed; null when there is none.
    virtual IPathCollection* GetClippingPath() = 0;
};

} // namespace BRASK::GRAPHICS
