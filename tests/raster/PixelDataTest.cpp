// Feeding the PostScript to the raster device: prologue, blocks and their flags, read ends, refusals; and
// the analysis render of Init at 36 dpi.
#include "RasterFixture.h"

#include <fstream>
#include <iterator>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::BoxReader;
using BRASK::TEST::LogCapture;
using BRASK::TEST::TestRip;

namespace {

constexpr char kEPSJawsRipSource[] = "core/Plugins/EPSLoader/Source/src/Common/EPSJawsRip";
constexpr char kCreatePixelData[] = "long __cdecl BRASK::PLUGIN::EPSJawsRip::CreatePixelData(void)";

std::string Section(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i)
        text += "%" + std::to_string(i) + " 0 0 moveto\n";
    text.resize(size);
    return text;
}

class PixelDataTest : public BRASK::TEST::RasterFixture {};

TEST_F(PixelDataTest, PrologueMovesTheBoxOriginAndGoesWithEveryBlock) {
    const std::string eps = "junk before" + Section(3000) + "junk after";
    auto provider = Provider(eps);
    BoxReader reader;
    reader.left = 0xA8000; // 10.5 pt
    reader.start = 11;
    reader.end = 3011;
    TestRip rip(nullptr, provider.Get(), &reader);
    rip.refuse = [](std::size_t bytes, std::size_t) { return bytes > 1000; }; // blocks of 750 bytes
    EXPECT_EQ(rip.CreatePixelData(), kOK);
    EXPECT_EQ(rip.requests, (std::vector<std::size_t>{3000, 1500, 750}));
    ASSERT_EQ(DrawCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(DrawPrologue(i), "-10.5 0 translate\n");
        EXPECT_EQ(DrawPrologueLength(i), 18);
        EXPECT_EQ(DrawLength(i), 750);
    }
    EXPECT_EQ(DrawFlags(0), 1u);
    EXPECT_EQ(DrawFlags(1), 0u);
    EXPECT_EQ(DrawFlags(2), 0u);
    EXPECT_EQ(DrawFlags(3), 2u);
    EXPECT_EQ(Drawn(), eps.substr(11, 3000));
    EXPECT_EQ(Calls(), "ColorSpaceClear Draw1 Draw0 Draw0 Draw2 ");

    reader.left = 0;
    reader.bottom = -(72 << 16) - 0x4000; // -72.25 pt
    EXPECT_EQ(rip.MakePrologue(), "0 72.25 translate\n");
    reader.bottom = 0;
    EXPECT_EQ(rip.MakePrologue(), "");
}

TEST_F(PixelDataTest, OneBlockAtTheOriginIsFirstAndLastWithoutPrologue) {
    const std::string eps = Section(400);
    auto provider = Provider(eps);
    BoxReader reader;
    reader.end = 400;
    TestRip rip(nullptr, provider.Get(), &reader);
    EXPECT_EQ(rip.CreatePixelData(), kOK);
    ASSERT_EQ(DrawCount(), 1);
    EXPECT_EQ(DrawFlags(0), 3u);
    EXPECT_EQ(DrawPrologue(0), "");
    EXPECT_EQ(DrawPrologueLength(0), 0);
    EXPECT_EQ(Drawn(), eps);
}

TEST_F(PixelDataTest, EmptySectionFeedsNothing) {
    auto provider = Provider("%!PS\n");
    BoxReader reader;
    reader.start = reader.end = 3;
    TestRip rip(nullptr, provider.Get(), &reader);
    EXPECT_EQ(rip.CreatePixelData(), kOK);
    EXPECT_EQ(DrawCount(), 0);
    EXPECT_EQ(Calls(), "ColorSpaceClear ");
}

TEST_F(PixelDataTest, BlocksStartAt32MiBAndHalveDownTo512) {
    LogCapture log;
    auto provider = Provider("x");
    BoxReader reader;
    reader.end = 0x2000000 + 10; // never read: no block can be had
    TestRip rip(nullptr, provider.Get(), &reader);
    rip.refuse = [](std::size_t, std::size_t) { return true; };
    EXPECT_EQ(rip.CreatePixelData(), 7);
    ASSERT_EQ(rip.requests.size(), 17u);
    for (std::size_t i = 0; i < rip.requests.size(); ++i)
        EXPECT_EQ(rip.requests[i], std::size_t{0x2000000} >> i);
    EXPECT_EQ(rip.requests.back(), 512u);
    EXPECT_EQ(DrawCount(), 0);
    const auto records = log.WithMessage("Unable to create memory for PostScript block.");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].file, kEPSJawsRipSource);
    EXPECT_EQ(records[0].function, kCreatePixelData);
}

TEST_F(PixelDataTest, ASectionLongerThanTheDataEndsWhereTheDataEnds) {
    // The reader promises 300 bytes, the provider holds 100: the feed stops instead of asking forever.
    const std::string eps = Section(100);
    auto provider = Provider(eps);
    BoxReader reader;
    reader.end = 300;
    TestRip rip(nullptr, provider.Get(), &reader);
    EXPECT_EQ(rip.CreatePixelData(), kOK);
    ASSERT_EQ(DrawCount(), 1);
    EXPECT_EQ(DrawFlags(0), 1u);
    EXPECT_EQ(DrawLength(0), 100);
    EXPECT_EQ(Drawn(), eps);
}

TEST_F(PixelDataTest, RefusedAndThrowingBlocksEndWithSeven) {
    const std::string eps = Section(100);
    auto provider = Provider(eps);
    BoxReader reader;
    reader.end = 100;
    TestRip rip(nullptr, provider.Get(), &reader);
    {
        LogCapture log;
        SetDrawResult(-1);
        EXPECT_EQ(rip.CreatePixelData(), 7);
        const auto records = log.WithMessage("BEPSDrawPageContents failed");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].file, kEPSJawsRipSource);
        EXPECT_EQ(records[0].function, kCreatePixelData);
        EXPECT_EQ(records[0].type, 2);
    }
    {
        LogCapture log;
        SetDrawResult(0, true);
        EXPECT_EQ(rip.CreatePixelData(), 7);
        const auto records = log.WithMessage("BEPSDrawPageContents threw an exception.");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].file, kEPSJawsRipSource);
        EXPECT_EQ(records[0].function, kCreatePixelData);
    }
}

TEST_F(PixelDataTest, WithoutTheLibraryBlocksCountAsRefused) {
    LogCapture log;
    UseApplicationFolder((mTempDir.Path() / "no-wrapper").string());
    const std::string eps = Section(100);
    auto provider = Provider(eps);
    BoxReader reader;
    reader.end = 100;
    TestRip rip(nullptr, provider.Get(), &reader);
    EXPECT_EQ(rip.CreatePixelData(), 7);
    EXPECT_EQ(log.WithMessage("BEPSDrawPageContents failed").size(), 1u);
    EXPECT_EQ(DrawCount(), 0);

    // Init cannot open a device either.
    EXPECT_EQ(rip.Init(), 43);
    const auto records = log.WithMessage("BPDFSetupRasterDevice failed");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].function, "long __cdecl BRASK::PLUGIN::EPSJawsRip::Init(void)");
    EXPECT_EQ(SetupCount(), 0);
}

TEST_F(PixelDataTest, InitRendersAt36DpiWithoutPixmap) {
    const std::string eps = Section(200);
    auto provider = Provider(eps);
    BoxReader reader;
    reader.left = 50 << 16; // an inverted box still gives positive sizes
    reader.right = 20 << 16;
    reader.bottom = 0;
    reader.top = 40 << 16;
    reader.end = 200;
    TestRip rip(nullptr, provider.Get(), &reader);
    EXPECT_EQ(rip.Init(), kOK);
    EXPECT_EQ(Calls(), "ColorSpaceClear Setup ColorSpaceClear Draw3 TearDown ");
    ASSERT_EQ(SetupCount(), 1);
    const FAKE::SetupRecord& setup = SetupAt(0);
    EXPECT_EQ(setup.width, 30 << 16);
    EXPECT_EQ(setup.height, 40 << 16);
    EXPECT_EQ(setup.xResolution, 0x240000);
    EXPECT_EQ(setup.yResolution, 0x240000);
    EXPECT_EQ(setup.colorModelBits, 24);
    EXPECT_FALSE(setup.hasPixmap);
    EXPECT_FALSE(setup.hasCallback);
    EXPECT_EQ(DrawPrologue(0), "-50 0 translate\n");
    EXPECT_EQ(Drawn(), eps);
}

TEST_F(PixelDataTest, InitPassesOnTheRenderResultAndTheDeviceRefusal) {
    const std::string eps = Section(50);
    auto provider = Provider(eps);
    BoxReader reader;
    reader.end = 50;
    TestRip rip(nullptr, provider.Get(), &reader);
    SetDrawResult(-1);
    {
        LogCapture log;
        EXPECT_EQ(rip.Init(), 7);
        EXPECT_EQ(log.WithMessage("BEPSDrawPageContents failed").size(), 1u);
    }
    EXPECT_EQ(Calls(), "ColorSpaceClear Setup ColorSpaceClear Draw3 TearDown ");

    LogCapture log;
    Fake<void (*)()>("fake_raster_reset")();
    SetSetupResults({-1});
    EXPECT_EQ(rip.Init(), 43);
    EXPECT_EQ(Calls(), "ColorSpaceClear Setup ");
    const auto records = log.WithMessage("BPDFSetupRasterDevice failed");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].file, kEPSJawsRipSource);
    EXPECT_EQ(records[0].function, "long __cdecl BRASK::PLUGIN::EPSJawsRip::Init(void)");
}

} // namespace

namespace {

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CorpusFeedTest : public BRASK::TEST::RasterFixture {};

TEST_F(CorpusFeedTest, AnEPSAwayFromTheOriginIsFedWholeBehindItsTranslateLine) {
    const std::string eps = FileBytes(std::string(BRASK_CORPUS_DIR) + "/eps-illustrator/ghostpdl__tiger.eps");
    ASSERT_FALSE(eps.empty());
    auto provider = Provider(eps);
    EPSVectorFileReader reader;
    reader.Init(provider.Get());
    EPSJawsRip rip(nullptr, provider.Get(), &reader);
    auto raster = Raster(600, 600, 3, true);
    EXPECT_EQ(rip.Rasterize(raster, 72.0f, 1, 0), kOK);
    EXPECT_EQ(rip.GetPixelWidth(), 550); // bbox 17 171 567 739
    EXPECT_EQ(rip.GetPixelHeight(), 568);
    ASSERT_GE(DrawCount(), 1);
    EXPECT_EQ(DrawPrologue(0), "-17 -171 translate\n");
    EXPECT_EQ(DrawFlags(DrawCount() - 1) & 2u, 2u);
    const std::int32_t start = reader.GetPostScriptStart();
    EXPECT_EQ(Drawn(), eps.substr(static_cast<std::size_t>(start),
                                  static_cast<std::size_t>(reader.GetPostScriptEnd() - start)));
}

TEST_F(CorpusFeedTest, ADOSBinaryEPSFeedsOnlyItsPostScriptSection) {
    // PostScript at 7776, 38058 bytes long, behind a TIFF preview; bbox 0 0 72 48.
    const std::string eps = FileBytes(std::string(BRASK_CORPUS_DIR) + "/eps-photoshop/pillow__1.eps");
    ASSERT_FALSE(eps.empty());
    auto provider = Provider(eps);
    EPSVectorFileReader reader;
    reader.Init(provider.Get());
    EPSJawsRip rip(nullptr, provider.Get(), &reader);
    EXPECT_EQ(rip.Init(), kOK);
    ASSERT_EQ(DrawCount(), 1);
    EXPECT_EQ(DrawFlags(0), 3u);
    EXPECT_EQ(DrawPrologueLength(0), 0);
    EXPECT_EQ(Drawn(), eps.substr(7776, 38058));
    // The box is the high-resolution one: 72 x 48.24 points.
    EXPECT_EQ(SetupAt(0).width, reader.GetRight() - reader.GetLeft());
    EXPECT_EQ(SetupAt(0).height, reader.GetTop() - reader.GetBottom());
    EXPECT_NEAR(SetupAt(0).width / 65536.0, 72.0, 0.5);
    EXPECT_NEAR(SetupAt(0).height / 65536.0, 48.0, 0.5);
}

} // namespace
