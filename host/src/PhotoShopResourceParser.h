// Reads Photoshop image resources (8BIM blocks) and decodes the clipping path into pixels.
#pragma once

#include "brask/Graphics.h"
#include "brask/TObject.h"

#include <cstdint>
#include <span>

namespace BRASK::HOST {

class PhotoShopResourceParser : public TObject<GRAPHICS::IPhotoShopResourceParser> {
public:
    static constexpr std::uint16_t kClippingPathNameId = 2999;
    static constexpr std::uint16_t kFirstPathId = 2000;
    static constexpr std::uint16_t kLastPathId = 2997;

    // Reads up to `length` bytes from the provider's current position (never more than it holds) and looks
    // for the clipping path: resource 2999 names one of the path resources 2000-2997. Every earlier result is
    // dropped first. kOK when the resources were read to their end (with or without a clipping path);
    // kMalformedData when a resource is truncated or not an 8BIM block (resources before it still count);
    // kBadArgument for a null provider or a size that is not finite and positive; a read failure passes on.
    Status Parse(IO::IDataProvider* data, std::uint32_t length, float width, float height) override;
    // Borrowed; null when Parse found no clipping path with at least one knot.
    GRAPHICS::IPathCollection* GetClippingPath() override { return mClippingPath.Get(); }

    // The same on bytes in memory.
    Status ParseBytes(std::span<const std::uint8_t> bytes, float width, float height);

private:
    TInterfacePtr<GRAPHICS::IPathCollection> mClippingPath;
};

} // namespace BRASK::HOST
