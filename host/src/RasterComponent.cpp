#include "RasterComponent.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace BRASK::HOST {

namespace {
TInterfacePtr<RasterChannel> NewChannel(std::int32_t width, std::int32_t height) {
    TInterfacePtr<RasterChannel> channel;
    channel.Adopt(new (std::nothrow) RasterChannel(width, height));
    return channel;
}
} // namespace

RasterChannel::RasterChannel(std::int32_t width, std::int32_t height)
    : mWidth(width), mHeight(height),
      mValues(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), std::uint8_t{0}) {}

Status RasterChannel::WriteRow(std::int32_t y, const std::uint8_t* values, std::int32_t count) {
    if (y < 0 || y >= mHeight || values == nullptr || count < 0)
        return kBadRow;
    const std::size_t n = static_cast<std::size_t>(std::min(count, mWidth));
    std::memcpy(mValues.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(mWidth), values, n);
    return kOK;
}

Status RasterChannel::ReadRow(std::int32_t y, std::uint8_t* values, std::int32_t count) const {
    if (y < 0 || y >= mHeight || values == nullptr || count < 0)
        return kBadRow;
    const std::size_t n = static_cast<std::size_t>(std::min(count, mWidth));
    std::memcpy(values, mValues.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(mWidth), n);
    return kOK;
}

Status RasterComponent::Init(std::int32_t width, std::int32_t height, std::int32_t colorChannels) {
    if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide || colorChannels < 1 ||
        colorChannels > kMaxColorChannels)
        return kBadSize;
    std::vector<TInterfacePtr<RasterChannel>> channels;
    try {
        for (std::int32_t i = 0; i < colorChannels; ++i)
            channels.push_back(NewChannel(width, height));
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    if (std::any_of(channels.begin(), channels.end(), [](const auto& c) { return !c; }))
        return kOutOfMemory;
    mColor = std::move(channels);
    mExtra.clear();
    mWidth = width;
    mHeight = height;
    return kOK;
}

Status RasterComponent::AddExtraChannel(std::uint32_t type) {
    if (mWidth == 0)
        return kBadSize;
    try {
        TInterfacePtr<RasterChannel> channel = NewChannel(mWidth, mHeight);
        if (!channel)
            return kOutOfMemory;
        mExtra.push_back(Extra{std::move(channel), type});
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOK;
}

GRAPHICS::IRasterChannel* RasterComponent::GetColorChannel(std::int32_t index) {
    if (index < 0 || index >= GetColorChannelCount())
        return nullptr;
    return mColor[static_cast<std::size_t>(index)].Get();
}

GRAPHICS::IRasterChannel* RasterComponent::GetExtraChannel(std::int32_t index) {
    if (index < 0 || index >= GetExtraChannelCount())
        return nullptr;
    return mExtra[static_cast<std::size_t>(index)].channel.Get();
}

std::uint32_t RasterComponent::GetExtraChannelType(std::int32_t index) const {
    if (index < 0 || index >= GetExtraChannelCount())
        return 0;
    return mExtra[static_cast<std::size_t>(index)].type;
}

} // namespace BRASK::HOST
