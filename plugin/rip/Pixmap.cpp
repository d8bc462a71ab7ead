#include "Pixmap.h"

#include <limits>

namespace BRASK::PLUGIN {

RipPixmap Pixmap::Describe() const {
    RipPixmap pixmap{};
    pixmap.data = data.get();
    pixmap.byteSize = byteSize;
    pixmap.bitsPerPixel = depth;
    pixmap.rowBytes = rowBytes;
    return pixmap;
}

Pixmap AllocatePixmap(std::int32_t width, std::int32_t height, const BufferAllocator& allocate) {
    Pixmap pixmap;
    if (width < 1 || height < 1)
        return pixmap;
    for (std::int32_t depth : {32, 16}) {
        const std::int64_t rowBytes = (static_cast<std::int64_t>(depth) * width + 7) / 8;
        const std::int64_t size = rowBytes * height;
        if (size > std::numeric_limits<std::int32_t>::max())
            continue;
        pixmap.data = allocate(static_cast<std::size_t>(size));
        if (pixmap.data) {
            pixmap.depth = depth;
            pixmap.rowBytes = static_cast<std::int32_t>(rowBytes);
            pixmap.byteSize = static_cast<std::int32_t>(size);
            return pixmap;
        }
    }
    return pixmap;
}

} // namespace BRASK::PLUGIN
