// The host's raster component: colour channels and typed extra channels, each a plane of 8-bit values.
#pragma once

#include "brask/Raster.h"
#include "brask/TObject.h"

#include <cstdint>
#include <vector>

namespace BRASK::HOST {

class RasterChannel : public TObject<GRAPHICS::IRasterChannel> {
public:
    RasterChannel(std::int32_t width, std::int32_t height);

    std::int32_t GetRowLength() const override { return mWidth; }
    std::int32_t GetRowCount() const override { return mHeight; }
    // kBadRow for a row outside the plane, a null array or a negative count.
    Status WriteRow(std::int32_t y, const std::uint8_t* values, std::int32_t count) override;
    Status ReadRow(std::int32_t y, std::uint8_t* values, std::int32_t count) const override;

private:
    std::int32_t mWidth;
    std::int32_t mHeight;
    std::vector<std::uint8_t> mValues;
};

class RasterComponent : public TObject<GRAPHICS::IRasterComponent> {
public:
    static constexpr std::int32_t kMaxSide = 32767;
    static constexpr std::int32_t kMaxColorChannels = 16;

    Status Init(std::int32_t width, std::int32_t height, std::int32_t colorChannels) override;
    // kBadSize before Init.
    Status AddExtraChannel(std::uint32_t type) override;

    std::int32_t GetWidth() const override { return mWidth; }
    std::int32_t GetHeight() const override { return mHeight; }
    std::int32_t GetColorChannelCount() const override { return static_cast<std::int32_t>(mColor.size()); }
    GRAPHICS::IRasterChannel* GetColorChannel(std::int32_t index) override;
    std::int32_t GetExtraChannelCount() const override { return static_cast<std::int32_t>(mExtra.size()); }
    GRAPHICS::IRasterChannel* GetExtraChannel(std::int32_t index) override;
    std::uint32_t GetExtraChannelType(std::int32_t index) const override;

private:
    struct Extra {
        TInterfacePtr<RasterChannel> channel;
        std::uint32_t type;
    };

    std::int32_t mWidth = 0;
    std::int32_t mHeight = 0;
    std::vector<TInterfacePtr<RasterChannel>> mColor;
    std::vector<Extra> mExtra;
};

} // namespace BRASK::HOST
