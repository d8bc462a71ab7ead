// The host's raster component: sizes, colour channels by index, typed extra channels, row writes.
#include "RasterFixture.h"

#include <tuple>
#include <vector>

using namespace BRASK;
using BRASK::TEST::ReadRow;
using GRAPHICS::IRasterChannel;
using GRAPHICS::IRasterComponent;

namespace {

class RasterComponentTest : public BRASK::TEST::HostFixture {
protected:
    Status Make(int width, int height, int colours, bool alpha, TInterfacePtr<IRasterComponent>& raster) {
        return GRAPHICS::CreateRasterComponent(mHost.Get(), CLSID::RasterComponent, width, height, colours,
                                               alpha, raster);
    }
};

TEST_F(RasterComponentTest, ChannelsByIndexAndTypedExtraChannels) {
    TInterfacePtr<IRasterComponent> raster;
    ASSERT_EQ(Make(7, 3, 4, true, raster), kOK);
    ASSERT_EQ(raster->GetColorChannelCount(), 4);
    ASSERT_NE(raster->GetColorChannel(3), nullptr);
    EXPECT_EQ(
        std::pair(raster->GetColorChannel(3)->GetRowLength(), raster->GetColorChannel(3)->GetRowCount()),
        std::pair(7, 3));
    EXPECT_NE(raster->GetColorChannel(0), raster->GetColorChannel(3));
    EXPECT_EQ(std::pair(raster->GetColorChannel(4), raster->GetColorChannel(-1)),
              (std::pair<IRasterChannel*, IRasterChannel*>{}));
    ASSERT_EQ(raster->AddExtraChannel(0x12345678), kOK);
    ASSERT_EQ(raster->AddExtraChannel(GRAPHICS::kAlphaChannelType), kOK);
    ASSERT_EQ(raster->GetExtraChannelCount(), 3);
    std::vector<std::uint32_t> types; // the alpha channel of the creation first; 0 past the end
    for (std::int32_t i = 0; i < 4; ++i)
        types.push_back(raster->GetExtraChannelType(i));
    EXPECT_EQ(types, (std::vector<std::uint32_t>{0x4C504841u, 0x12345678u, GRAPHICS::kAlphaChannelType, 0}));
    EXPECT_NE(raster->GetExtraChannel(0), raster->GetExtraChannel(2));
    EXPECT_EQ(raster->GetExtraChannel(3), nullptr);

    ASSERT_EQ(raster->Init(9, 2, 1), kOK); // sized anew, without the extra channels
    EXPECT_EQ(raster->GetExtraChannelCount(), 0);
    EXPECT_EQ(raster->GetColorChannelCount(), 1);
    EXPECT_EQ(raster->GetColorChannel(0)->GetRowLength(), 9);
}

TEST_F(RasterComponentTest, RefusesSizesOutsideWhatItServes) {
    TInterfacePtr<IRasterComponent> raster;
    for (auto [w, h, c] : std::vector<std::tuple<int, int, int>>{
             {0, 1, 1}, {1, 0, 1}, {-5, 1, 1}, {32768, 1, 1}, {1, 32768, 1}, {1, 1, 0}, {1, 1, 17}}) {
        EXPECT_EQ(Make(w, h, c, true, raster), IRasterComponent::kBadSize) << w << "x" << h << "x" << c;
        EXPECT_FALSE(raster);
    }
    ASSERT_EQ(CreateInstance(mHost.Get(), CLSID::RasterComponent, raster), kOK);
    EXPECT_EQ(raster->AddExtraChannel(GRAPHICS::kAlphaChannelType),
              IRasterComponent::kBadSize); // before Init
    EXPECT_EQ(raster->GetColorChannel(0), nullptr);
}

TEST_F(RasterComponentTest, RowsAreWrittenClippedReadBackAndOutliveTheComponent) {
    TInterfacePtr<IRasterComponent> raster;
    ASSERT_EQ(Make(4, 2, 1, true, raster), kOK);
    TInterfacePtr<IRasterChannel> channel(raster->GetColorChannel(0));
    raster.Reset();                                                        // a held channel stays usable
    EXPECT_EQ(ReadRow(channel.Get(), 1), std::vector<std::uint8_t>(4, 0)); // a new raster is zero
    const std::uint8_t longer[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(channel->WriteRow(1, longer, 6), kOK); // the values past the row are ignored
    const std::uint8_t shorter[2] = {9, 8};
    EXPECT_EQ(channel->WriteRow(0, shorter, 2), kOK);
    EXPECT_EQ(ReadRow(channel.Get(), 1), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(ReadRow(channel.Get(), 0), (std::vector<std::uint8_t>{9, 8, 0, 0}));
    std::vector<std::uint8_t> row(4);
    EXPECT_EQ(channel->WriteRow(2, longer, 4), IRasterChannel::kBadRow);
    EXPECT_EQ(channel->WriteRow(-1, longer, 4), IRasterChannel::kBadRow);
    EXPECT_EQ(channel->WriteRow(0, nullptr, 4), IRasterChannel::kBadRow);
    EXPECT_EQ(channel->WriteRow(0, longer, -1), IRasterChannel::kBadRow);
    EXPECT_EQ(channel->ReadRow(2, row.data(), 4), IRasterChannel::kBadRow);
}

} // namespace
