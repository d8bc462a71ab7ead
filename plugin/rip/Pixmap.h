// The interleaved pixmap a raster device renders into, and the split of its pixels into 8-bit planes.
#pragma once

#include "jaws/JawsApi.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace BRASK::PLUGIN {

struct Pixmap {
    std::unique_ptr<std::uint8_t[]> data;
    std::int32_t depth = 0; // bits per pixel: 32 (four 8-bit components) or 16 (four 4-bit components)
    std::int32_t rowBytes = 0;
    std::int32_t byteSize = 0;

    explicit operator bool() const { return data != nullptr; }
    RipPixmap Describe() const;

    // Component `c` (0-3) of pixel `x` in row `y`, widened to 8 bits (a 4-bit value v becomes v x 17). In a
    // 16-bit pixel, components 0 and 1 are the high and low halves of its first byte, 2 and 3 of its second.
    std::uint8_t Component(std::int32_t x, std::int32_t y, int c) const {
        const std::uint8_t* row =
            data.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(rowBytes);
        if (depth == 32)
            return row[static_cast<std::size_t>(x) * 4 + static_cast<std::size_t>(c)];
        const std::uint8_t byte = row[static_cast<std::size_t>(x) * 2 + static_cast<std::size_t>(c / 2)];
        const std::uint8_t nibble = (c % 2 == 0) ? static_cast<std::uint8_t>(byte >> 4) : (byte & 0x0F);
        return static_cast<std::uint8_t>(nibble * 17);
    }
};

using BufferAllocator = std::function<std::unique_ptr<std::uint8_t[]>(std::size_t)>;

// The first of 32 and 16 bits per pixel whose pixmap of `width` x `height` pixels can be allocated (and whose
// size fits the record's 32-bit field); an empty pixmap when neither can.
Pixmap AllocatePixmap(std::int32_t width, std::int32_t height, const BufferAllocator& allocate);

} // namespace BRASK::PLUGIN
