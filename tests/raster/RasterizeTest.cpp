// The host's raster component (sizes, colour channels by index, typed extra channels, row writes), and
// JawsRip::Rasterize into it against the stand-in raster device: pixel sizes, pixmap depths, the device
// records, the split into channels for RGB and CMYK, and every failure status with its message.
#include "LcmsReference.h"
#include "RasterFixture.h"

#include <cmath>
#include <tuple>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using namespace BRASK::TEST;
using GRAPHICS::IRasterChannel;
using GRAPHICS::IRasterComponent;

namespace {

constexpr char kSource[] = "core/Common/Constructs/Graphics/Plugins/Rip/JawsRip";
constexpr char kRasterize[] =
    "long __cdecl BRASK::PLUGIN::JawsRip::Rasterize(class BRASK::TInterfacePtr<class "
    "BRASK::GRAPHICS::IRasterComponent> &,float,long,unsigned char)";
constexpr char kNoPixmap[] = "Unable to create memory for pixmap.";
constexpr char kNoDevice[] = "BPDFSetupRasterDevice failed";
const std::string kRGBPass = "ColorSpaceClear FontInfoClear Setup ColorSpaceClear Draw3 TearDown ";

using RasterComponentTest = RasterFixture;

TEST_F(RasterComponentTest, ChannelsByIndexAndTypedExtraChannels) {
    auto raster = Raster(7, 3, 4, true);
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
    EXPECT_EQ(std::tuple(raster->GetExtraChannelCount(), raster->GetColorChannelCount(),
                         raster->GetColorChannel(0)->GetRowLength()),
              std::tuple(0, 1, 9));
}

TEST_F(RasterComponentTest, RefusesSizesOutsideWhatItServes) {
    TInterfacePtr<IRasterComponent> raster;
    for (auto [w, h, c] : std::vector<std::tuple<int, int, int>>{
             {0, 1, 1}, {1, 0, 1}, {-5, 1, 1}, {32768, 1, 1}, {1, 32768, 1}, {1, 1, 0}, {1, 1, 17}}) {
        EXPECT_EQ(GRAPHICS::CreateRasterComponent(mHost.Get(), CLSID::RasterComponent, w, h, c, true, raster),
                  IRasterComponent::kBadSize)
            << w << "x" << h << "x" << c;
        EXPECT_FALSE(raster);
    }
    ASSERT_EQ(CreateInstance(mHost.Get(), CLSID::RasterComponent, raster), kOK);
    // Before Init.
    EXPECT_EQ(raster->AddExtraChannel(GRAPHICS::kAlphaChannelType), IRasterComponent::kBadSize);
    EXPECT_EQ(raster->GetColorChannel(0), nullptr);
}

TEST_F(RasterComponentTest, RowsAreWrittenClippedReadBackAndOutliveTheComponent) {
    TInterfacePtr<IRasterChannel> channel(Raster(4, 2, 1, true)->GetColorChannel(0));
    // The component is gone: a held channel stays usable. A new raster is zero.
    EXPECT_EQ(ReadRow(channel.Get(), 1), std::vector<std::uint8_t>(4, 0));
    const std::uint8_t longer[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(channel->WriteRow(1, longer, 6), kOK); // the values past the row are ignored
    const std::uint8_t shorter[2] = {9, 8};
    EXPECT_EQ(channel->WriteRow(0, shorter, 2), kOK);
    EXPECT_EQ(ReadRow(channel.Get(), 1), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(ReadRow(channel.Get(), 0), (std::vector<std::uint8_t>{9, 8, 0, 0}));
    std::vector<std::uint8_t> row(4);
    for (auto [y, data, size] : std::vector<std::tuple<int, const std::uint8_t*, int>>{
             {2, longer, 4}, {-1, longer, 4}, {0, nullptr, 4}, {0, longer, -1}})
        EXPECT_EQ(channel->WriteRow(y, data, size), IRasterChannel::kBadRow) << y << " " << size;
    EXPECT_EQ(channel->ReadRow(2, row.data(), 4), IRasterChannel::kBadRow);
}

class RasterizeTest : public RasterFixture {
protected:
    void SetUp() override {
        RasterFixture::SetUp();
        mProvider = MemorySource(mEPS);
        mReader.end = static_cast<std::int32_t>(mEPS.size());
        mReader.top = 50 << 16; // 100 x 50 pt
    }
    void TearDown() override {
        mProvider.Reset();
        RasterFixture::TearDown();
    }

    // Every pixel of `count` colour channels (components 0 .. count-1 of the colour render) and of `alpha`
    // (component 3 of the RGB render), over the raster's width or the render's, whichever is smaller. The
    // stand-in paints a known pattern; 4-bit components are widened by repeating them in both halves.
    void ExpectChannels(IRasterComponent& raster, std::int32_t width, std::int32_t height, int count,
                        std::int16_t colourBits, std::int32_t colourDepth, std::int32_t alphaDepth,
                        IRasterChannel* alpha) {
        const auto expected = [](std::int32_t x, std::int32_t y, int c, std::int16_t bits,
                                 std::int32_t depth) {
            const std::uint8_t v = FAKE::Pattern(x, y, c, bits, depth);
            return depth == 32 ? v : static_cast<std::uint8_t>(v * 17);
        };
        const std::int32_t columns = std::min(width, raster.GetWidth());
        for (std::int32_t y = 0; y < std::min(height, raster.GetHeight()); ++y) {
            for (int c = 0; c <= count; ++c) {
                const auto row = ReadRow(c < count ? raster.GetColorChannel(c) : alpha, y);
                for (std::int32_t x = 0; x < columns; ++x)
                    ASSERT_EQ(row[x], c < count ? expected(x, y, c, colourBits, colourDepth)
                                                : expected(x, y, 3, 24, alphaDepth))
                        << "component " << c << " at " << x << "," << y;
            }
        }
    }
    void ExpectLogged(const LogCapture& log, const std::string& message, std::size_t count = 1) {
        TEST::ExpectLogged(log, message, kSource, kRasterize, count);
    }

    const std::string mEPS = "%!PS-Adobe-3.0 EPSF-3.0\n0 0 1 setrgbcolor 0 0 100 50 rectfill\n";
    TInterfacePtr<IO::IDataProvider> mProvider;
    BoxReader mReader;
};

// RGB renders: pixel sizes truncated, the 32-bit pixmap or its 16-bit fallback, three channels and alpha.
TEST_F(RasterizeTest, RGBRendersSplitIntoThreeChannelsAndAlpha) {
    struct Case {
        const char* name;
        float dpi;
        std::int32_t fixedDpi; // truncated in 16.16
        bool refuse32;
        std::int32_t width, height, depth, rowBytes;
    };
    for (const Case& c : {Case{"72 dpi", 72.0f, 72 << 16, false, 100, 50, 32, 400},
                          Case{"100 dpi: 138.9 x 69.4 pixels", 100.0f, 100 << 16, false, 138, 69, 32, 552},
                          Case{"36.5 dpi: 50.7 x 25.3 pixels", 36.5f, 0x248000, false, 50, 25, 32, 200},
                          Case{"no 32-bit pixmap", 72.0f, 72 << 16, true, 100, 50, 16, 200}}) {
        SCOPED_TRACE(c.name);
        ResetDevice();
        auto raster = Raster(200, 100, 3, true);
        TestRip rip(mHost.Get(), mProvider.Get(), &mReader);
        rip.refuse = [&c](std::size_t bytes, std::size_t) { return c.refuse32 && bytes == 4u * 100 * 50; };
        EXPECT_EQ(rip.Rasterize(raster, c.dpi, 1, 0), kOK);
        EXPECT_EQ(Calls(), kRGBPass);
        EXPECT_EQ(std::make_tuple(rip.GetPixelWidth(), rip.GetPixelHeight(), rip.GetPixmapDepth()),
                  std::make_tuple(c.width, c.height, c.depth));
        ASSERT_EQ(SetupCount(), 1);
        const FAKE::SetupRecord& s = SetupAt(0);
        EXPECT_EQ(std::tie(s.width, s.height, s.xResolution, s.yResolution, s.colorModelBits),
                  std::make_tuple(100 << 16, 50 << 16, c.fixedDpi, c.fixedDpi, std::int16_t{24}));
        EXPECT_EQ(std::tie(s.pixmap.bitsPerPixel, s.pixmap.rowBytes, s.pixmap.byteSize),
                  std::make_tuple(c.depth, c.rowBytes, c.rowBytes * c.height));
        // A pixmap the device painted (the channels below), and without translation a callback record that
        // carries no function and no context.
        EXPECT_EQ(std::make_tuple(s.callback.translate, s.callback.context, s.callback.rgb,
                                  s.callback.reserved12 | s.callback.reserved16 | s.callback.reserved32),
                  std::make_tuple(nullptr, nullptr, 1u, 0u));
        EXPECT_EQ(Drawn(), mEPS);
        ExpectChannels(*raster, c.width, c.height, 3, 24, c.depth, c.depth, raster->GetExtraChannel(0));
        // 4-bit 6 at (0, 3) in both halves.
        EXPECT_TRUE(c.depth != 16 || ReadRow(raster->GetColorChannel(0), 3)[0] == 0x66);
    }
}

TEST_F(RasterizeTest, FailuresGive43Or7WithTheirMessages) {
    auto raster = Raster(100, 50, 3, true);
    TestRip rip(mHost.Get(), mProvider.Get(), &mReader);
    rip.refuse = [](std::size_t, std::size_t) { return true; };
    EXPECT_EQ(rip.Rasterize(raster, 72.0f, 1, 0), 43);
    EXPECT_EQ(rip.requests, (std::vector<std::size_t>{20000, 10000}));
    EXPECT_EQ(rip.GetPixmapDepth(), 0);
    // Sizes no pixmap can hold: 100 pt at 72000 dpi overflows the signed 16-bit count; no pixel at all;
    // resolutions that are no number.
    rip.requests.clear();
    for (float dpi : {72000.0f, 0.5f, std::nanf(""), -72.0f})
        EXPECT_EQ(rip.Rasterize(raster, dpi, 1, 0), 43) << dpi;
    EXPECT_TRUE(rip.requests.empty());
    EXPECT_EQ(Calls(), "");
    ExpectLogged(mLog, kNoPixmap, 5);

    // Device, render and CMYK second-pass failures: a status, never a partly copied or blank raster.
    struct Case {
        std::int32_t model;
        std::function<bool(std::size_t, std::size_t)> refuse;
        std::vector<std::int32_t> setupResults;
        std::int32_t drawResult;
        Status status;
        std::string calls;
        const char* message;
    };
    const auto secondPixmap = [](std::size_t bytes, std::size_t i) { return i >= 2 && bytes >= 10000; };
    const std::string setup = "ColorSpaceClear FontInfoClear Setup ";
    for (const Case& c :
         {Case{1, nullptr, {-1}, 0, 43, setup, kNoDevice},
          Case{1, nullptr, {}, -3, 7, kRGBPass, "CreatePixelData failed"},
          Case{5, secondPixmap, {}, 0, 43, kRGBPass, kNoPixmap},
          Case{5, nullptr, {0, -1}, 0, 43, setup + "ColorSpaceClear Draw3 Setup TearDown ", kNoDevice}}) {
        SCOPED_TRACE(c.calls + c.message);
        mLog.Clear();
        ResetDevice();
        SetSetupResults(c.setupResults);
        SetDrawResult(c.drawResult);
        auto target = Raster(100, 50, c.model == 5 ? 4 : 3, true);
        rip.refuse = c.refuse;
        rip.requests.clear(); // the refusal counts requests from this render on
        EXPECT_EQ(rip.Rasterize(target, 72.0f, c.model, 0), c.status);
        EXPECT_EQ(Calls(), c.calls);
        ExpectLogged(mLog, c.message);
        EXPECT_EQ(ReadRow(target->GetColorChannel(0), 10), std::vector<std::uint8_t>(100, 0));
    }

    mLog.Clear();
    UseApplicationFolder((mTemp.Path() / "no-wrapper").string());
    ResetDevice();
    TestRip noLibrary(mHost.Get(), mProvider.Get(), &mReader);
    EXPECT_EQ(noLibrary.Rasterize(raster, 72.0f, 1, 0), 43);
    EXPECT_EQ(Calls(), "");
    ExpectLogged(mLog, kNoDevice);
}

TEST_F(RasterizeTest, MissingChannelsOrLineBufferGive5) {
    TestRip rip(mHost.Get(), mProvider.Get(), &mReader);
    const auto expect5 = [&](TInterfacePtr<IRasterComponent> raster, std::int32_t model) {
        LogCapture log;
        ResetDevice();
        EXPECT_EQ(rip.Rasterize(raster, 72.0f, model, 0), 5);
        ExpectLogged(log, "Insufficient memory to create intermediaryBuffer");
        EXPECT_EQ(Fake<int (*)()>("fake_raster_teardowns")(), 1); // the device is closed
    };
    expect5(Raster(100, 50, 2, true), 1);  // no channel 2
    expect5(Raster(100, 50, 3, false), 1); // no alpha
    expect5(Raster(100, 50, 3, true), 5);  // CMYK needs channel 3
    expect5(nullptr, 1);
    auto other = Raster(100, 50, 3, false);
    other->AddExtraChannel(0x12345678); // an extra channel, but not alpha
    expect5(other, 1);
    rip.refuse = [](std::size_t bytes, std::size_t) { return bytes == 4u * 100; }; // the line buffer
    expect5(Raster(100, 50, 3, true), 1);
}

TEST_F(RasterizeTest, AlphaGoesToTheLastAlphaChannelAndASmallerRasterTakesWhatFits) {
    auto raster = Raster(40, 20, 3, true);
    raster->AddExtraChannel(0x12345678);
    raster->AddExtraChannel(GRAPHICS::kAlphaChannelType);
    TestRip rip(mHost.Get(), mProvider.Get(), &mReader);
    EXPECT_EQ(rip.Rasterize(raster, 72.0f, 1, 0), kOK);
    EXPECT_EQ(rip.requests.back(), 4u * 40); // the line buffer follows the raster's row length
    ExpectChannels(*raster, 100, 50, 3, 24, 32, 32, raster->GetExtraChannel(2));
    EXPECT_EQ(ReadRow(raster->GetExtraChannel(0), 7), std::vector<std::uint8_t>(40, 0));
    EXPECT_EQ(ReadRow(raster->GetExtraChannel(1), 7), std::vector<std::uint8_t>(40, 0));
}

TEST_F(RasterizeTest, CMYKTakesItsAlphaFromASecondRGBRender) {
    // Each pixmap is read with its own row length and depth, whichever depth each search ended at.
    for (int refused : {-1, 0, 2}) { // none; the first render's 32-bit pixmap; the second's
        SCOPED_TRACE(refused);
        ResetDevice();
        auto raster = Raster(100, 50, 4, true);
        TestRip rip(mHost.Get(), mProvider.Get(), &mReader);
        rip.refuse = [refused](std::size_t bytes, std::size_t request) {
            return bytes == 20000 && static_cast<int>(request) == refused;
        };
        EXPECT_EQ(rip.Rasterize(raster, 72.0f, 5, 0), kOK);
        EXPECT_EQ(Calls(), "ColorSpaceClear FontInfoClear Setup ColorSpaceClear Draw3 Setup ColorSpaceClear "
                           "Draw3 TearDown ");
        ASSERT_EQ(SetupCount(), 2);
        const FAKE::SetupRecord &colour = SetupAt(0), &alpha = SetupAt(1);
        EXPECT_EQ(
            std::tie(colour.colorModelBits, alpha.colorModelBits, colour.callback.rgb, alpha.callback.rgb),
            std::make_tuple(std::int16_t{32}, std::int16_t{24}, 0u, 0u));
        EXPECT_EQ(std::tie(alpha.width, alpha.xResolution), std::make_tuple(100 << 16, 72 << 16));
        // Two pixmaps, each of its own depth (the channels below); the second one's size.
        EXPECT_EQ(alpha.pixmap.byteSize, refused == 2 ? 200 * 50 : 400 * 50);
        EXPECT_EQ(Drawn(), mEPS + mEPS);
        ExpectChannels(*raster, 100, 50, 4, 32, refused == 0 ? 16 : 32, refused == 2 ? 16 : 32,
                       raster->GetExtraChannel(0));
    }
}

TEST_F(RasterizeTest, TranslationRunsThroughTheCallbackAndTheHostTransform) {
    // The device hands one run of RGB pixels to the callback for conversion to CMYK.
    const std::uint8_t rgb[] = {255, 0, 0, 0, 0, 255};
    std::uint8_t cmyk[8] = {};
    ColorTransCBRec run = PixelRun(1, 0, rgb, cmyk, 2);
    Fake<void (*)(const ColorTransCBRec*)>("fake_raster_set_run")(&run);

    auto raster = Raster(100, 50, 3, true);
    TestRip rip(mHost.Get(), mProvider.Get(), &mReader);
    EXPECT_EQ(rip.Rasterize(raster, 72.0f, 1, 1), kOK);
    EXPECT_NE(SetupAt(0).callback.translate, nullptr);
    EXPECT_NE(SetupAt(0).callback.context, nullptr);
    EXPECT_EQ(Fake<std::int32_t (*)()>("fake_raster_run_result")(), 0);
    EXPECT_EQ(Fake<std::uint8_t (*)()>("fake_raster_run_done")(), 1);
    // Converted through the host transform with the generic profiles (the callback's refusals are held
    // against the translator itself).
    const std::string profiles = std::string(RASTER_APP_DIR) + "/Profiles/";
    EXPECT_EQ(std::vector<std::uint8_t>(cmyk, cmyk + 8),
              LcmsDirect(profiles + "BraskGenericRGB.icc", TYPE_RGB_8, profiles + "BraskGenericCMYK.icc",
                         TYPE_CMYK_8, rgb, 8, 2));
}

} // namespace
