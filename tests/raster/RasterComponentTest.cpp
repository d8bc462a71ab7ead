// The host's raster component: sizes, colour channels by index, typed extra channels, row writes.
#include "../support/HostFixture.h"

#include <tuple>
#include <vector>

using namespace BRASK;
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
    EXPECT_EQ(raster->GetColorChannel(3)->GetRowLength(), 7);
    EXPECT_EQ(raster->GetColorChannel(3)->GetRowCount(), 3);
    EXPECT_NE(raster->GetColorChannel(0), raster->GetColorChannel(3));
    EXPECT_EQ(raster->GetColorChannel(4), nullptr);
    EXPECT_EQ(raster->GetColorChannel(-1), nullptr);
    ASSERT_EQ(raster->AddExtraChannel(0x12345678), kOK);
    ASSERT_EQ(raster->AddExtraChannel(GRAPHICS::kAlphaChannelType), kOK);
    ASSERT_EQ(raster->GetExtraChannelCount(), 3);
    EXPECT_EQ(raster->GetExtraChannelType(0), 0x4C504841u);
    EXPECT_EQ(raster->GetExtraChannelType(1), 0x12345678u);
    EXPECT_EQ(raster->GetExtraChannelType(2), GRAPHICS::kAlphaChannelType);
    EXPECT_NE(raster->GetExtraChannel(0), raster->GetExtraChannel(2));
    EXPECT_EQ(raster->GetExtraChannel(3), nullptr);
    EXPECT_EQ(raster->GetExtraChannelType(3), 0u);

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
    raster.Reset(); // a held channel stays usable
    std::vector<std::uint8_t> row(4, 0xAA);
    ASSERT_EQ(channel->ReadRow(1, row.data(), 4), kOK);
    EXPECT_EQ(row, std::vector<std::uint8_t>(4, 0)); // a new raster is all zero
    const std::uint8_t longer[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(channel->WriteRow(1, longer, 6), kOK); // the values past the row are ignored
    const std::uint8_t shorter[2] = {9, 8};
    EXPECT_EQ(channel->WriteRow(0, shorter, 2), kOK);
    ASSERT_EQ(channel->ReadRow(1, row.data(), 4), kOK);
    EXPECT_EQ(row, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    ASSERT_EQ(channel->ReadRow(0, row.data(), 4), kOK);
    EXPECT_EQ(row, (std::vector<std::uint8_t>{9, 8, 0, 0}));
    EXPECT_EQ(channel->WriteRow(2, longer, 4), IRasterChannel::kBadRow);
    EXPECT_EQ(channel->WriteRow(-1, longer, 4), IRasterChannel::kBadRow);
    EXPECT_EQ(channel->WriteRow(0, nullptr, 4), IRasterChannel::kBadRow);
    EXPECT_EQ(channel->WriteRow(0, longer, -1), IRasterChannel::kBadRow);
    EXPECT_EQ(channel->ReadRow(2, row.data(), 4), IRasterChannel::kBadRow);
}

} // namespace
