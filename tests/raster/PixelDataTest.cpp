// Feeding the PostScript to the raster device: prologue, blocks and their flags, read ends, refusals; the
// analysis render of Init at 36 dpi; and real EPS files fed whole.
#include "../support/CorpusSkip.h"
#include "../support/FaultyProvider.h"
#include "RasterFixture.h"

#include "brask/FilterKeys.h"

#include <cstring>
#include <fstream>
#include <iterator>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using namespace BRASK::TEST;

namespace {

constexpr char kSource[] = "core/Plugins/EPSLoader/Source/src/Common/EPSJawsRip";
constexpr char kCreatePixelData[] = "long __cdecl BRASK::PLUGIN::EPSJawsRip::CreatePixelData(void)";
constexpr char kInit[] = "long __cdecl BRASK::PLUGIN::EPSJawsRip::Init(void)";

std::string Section(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i)
        text += "%" + std::to_string(i) + " 0 0 moveto\n";
    text.resize(size);
    return text;
}

using PixelDataTest = RasterFixture;

TEST_F(PixelDataTest, PrologueMovesTheBoxOriginAndGoesWithEveryBlock) {
    const std::string eps = "junk before" + Section(3000) + "junk after";
    auto provider = MemorySource(eps);
    BoxReader reader;
    reader.left = 0xA8000; // 10.5 pt
    reader.start = 11;
    reader.end = 3011;
    TestRip rip(mHost.Get(), provider.Get(), &reader);
    rip.refuse = [](std::size_t bytes, std::size_t) { return bytes > 1000; }; // blocks of 750 bytes
    EXPECT_EQ(rip.CreatePixelData(), kOK);
    EXPECT_EQ(rip.requests, (std::vector<std::size_t>{3000, 1500, 750}));
    ASSERT_EQ(DrawCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(DrawPrologue(i), "-10.5 0 translate\n");
        EXPECT_EQ(DrawPrologueLength(i), 18);
        EXPECT_EQ(DrawLength(i), 750);
        EXPECT_EQ(DrawFlags(i), i == 0 ? 1u : i == 3 ? 2u : 0u); // first, middle, last
    }
    EXPECT_EQ(Drawn(), eps.substr(11, 3000));
    EXPECT_EQ(Calls(), "ColorSpaceClear Draw1 Draw0 Draw0 Draw2 ");
    reader.left = 0;
    reader.bottom = -(72 << 16) - 0x4000; // -72.25 pt
    EXPECT_EQ(rip.MakePrologue(), "0 72.25 translate\n");
}

TEST_F(PixelDataTest, SectionShapes) {
    struct Case {
        const char* name;
        std::size_t bytes;
        std::int32_t start, end;
        std::vector<std::uint32_t> flags;
    };
    for (const Case& c : std::vector<Case>{
             {"one block at the origin is first and last, without prologue", 400, 0, 400, {3}},
             {"an empty section feeds nothing", 400, 3, 3, {}},
             {"a section past the data ends with the data, its last block empty", 100, 0, 300, {1, 2}}}) {
        SCOPED_TRACE(c.name);
        ResetDevice();
        const std::string eps = Section(c.bytes);
        auto provider = MemorySource(eps);
        BoxReader reader;
        reader.start = c.start;
        reader.end = c.end;
        TestRip rip(mHost.Get(), provider.Get(), &reader);
        EXPECT_EQ(rip.CreatePixelData(), kOK);
        ASSERT_EQ(DrawCount(), static_cast<int>(c.flags.size()));
        for (int i = 0; i < DrawCount(); ++i) {
            EXPECT_EQ(DrawFlags(i), c.flags[i]);
            EXPECT_EQ(DrawPrologue(i), "");
            EXPECT_EQ(DrawPrologueLength(i), 0);
        }
        EXPECT_EQ(Drawn(), c.flags.empty() ? "" : eps);
    }
}

TEST_F(PixelDataTest, BlocksStartAt32MiBAndHalveDownTo512) {
    LogCapture log;
    auto provider = MemorySource("x");
    BoxReader reader;
    reader.end = 0x2000000 + 10; // never read: no block can be had
    TestRip rip(mHost.Get(), provider.Get(), &reader);
    rip.refuse = [](std::size_t, std::size_t) { return true; };
    EXPECT_EQ(rip.CreatePixelData(), 7);
    ASSERT_EQ(rip.requests.size(), 17u);
    for (std::size_t i = 0; i < rip.requests.size(); ++i)
        EXPECT_EQ(rip.requests[i], std::size_t{0x2000000} >> i);
    EXPECT_EQ(DrawCount(), 0);
    ExpectLogged(log, "Unable to create memory for PostScript block.", kSource, kCreatePixelData);
}

TEST_F(PixelDataTest, RefusedThrowingOrMissingRenderersEndWith7) {
    const std::string eps = Section(100);
    auto provider = MemorySource(eps);
    BoxReader reader;
    reader.end = 100;
    TestRip rip(mHost.Get(), provider.Get(), &reader);
    for (bool throws : {false, true}) {
        LogCapture log;
        SetDrawResult(-1, throws);
        EXPECT_EQ(rip.CreatePixelData(), 7);
        ExpectLogged(log, throws ? "BEPSDrawPageContents threw an exception." : "BEPSDrawPageContents failed",
                     kSource, kCreatePixelData);
    }
    LogCapture log; // without the library every block counts as refused, and Init cannot open a device
    UseApplicationFolder((mTemp.Path() / "no-wrapper").string());
    ResetDevice();
    EXPECT_EQ(rip.CreatePixelData(), 7);
    EXPECT_EQ(log.WithMessage("BEPSDrawPageContents failed").size(), 1u);
    EXPECT_EQ(DrawCount(), 0);
    EXPECT_EQ(rip.Init(), 43);
    ExpectLogged(log, "BPDFSetupRasterDevice failed", kSource, kInit);
    EXPECT_EQ(SetupCount(), 0);
}

TEST_F(PixelDataTest, AReadErrorEndsTheRenderWith7NotABlankRaster) {
    const std::string eps = Section(3000);
    BoxReader reader;
    reader.end = 3000;
    for (int goodReads : {0, 2}) {
        SCOPED_TRACE(goodReads);
        ResetDevice();
        TInterfacePtr<FaultyProvider> provider;
        provider.Adopt(new FaultyProvider(eps, goodReads));
        TestRip rip(mHost.Get(), provider.Get(), &reader);
        // Blocks of 750 bytes (pixmaps are larger and still had).
        rip.refuse = [](std::size_t bytes, std::size_t) { return bytes > 1000 && bytes <= 3000; };
        LogCapture log;
        EXPECT_EQ(rip.CreatePixelData(), 7);
        ExpectLogged(log, "Unable to read from EPS file data provider. Status = 4", kSource,
                     kCreatePixelData);
        EXPECT_EQ(DrawCount(), goodReads); // the blocks read before the failure, none flagged last
        for (int i = 0; i < DrawCount(); ++i)
            EXPECT_EQ(DrawFlags(i) & 2u, 0u);

        // Through Rasterize the render fails and says so.
        ResetDevice();
        provider.Adopt(new FaultyProvider(eps, goodReads));
        TestRip rasterRip(mHost.Get(), provider.Get(), &reader);
        rasterRip.refuse = rip.refuse;
        auto raster = Raster(100, 100, 3, true);
        log.Clear();
        EXPECT_EQ(rasterRip.Rasterize(raster, 72.0f, 1, 0), 7);
        EXPECT_EQ(log.WithMessage("CreatePixelData failed").size(), 1u);
    }
    // No provider at all: nothing can be read.
    ResetDevice();
    TestRip noProvider(mHost.Get(), nullptr, &reader);
    LogCapture log;
    EXPECT_EQ(noProvider.CreatePixelData(), 7);
    ExpectLogged(log, "No data provider to read the EPS from.", kSource, kCreatePixelData);
    EXPECT_EQ(DrawCount(), 0);
}

TEST_F(PixelDataTest, InitRendersAt36DpiWithoutPixmapAndPassesFailuresOn) {
    const std::string eps = Section(200);
    auto provider = MemorySource(eps);
    BoxReader reader;
    reader.left = 50 << 16; // an inverted box still gives positive sizes
    reader.right = 20 << 16;
    reader.top = 40 << 16;
    reader.end = 200;
    TestRip rip(mHost.Get(), provider.Get(), &reader);
    EXPECT_EQ(rip.Init(), kOK);
    const std::string pass = "ColorSpaceClear Setup ColorSpaceClear Draw3 TearDown ";
    EXPECT_EQ(Calls(), pass);
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

    ResetDevice();
    SetDrawResult(-1);
    {
        LogCapture log;
        EXPECT_EQ(rip.Init(), 7);
        EXPECT_EQ(log.WithMessage("BEPSDrawPageContents failed").size(), 1u);
        EXPECT_EQ(Calls(), pass);
    }
    LogCapture log;
    ResetDevice();
    SetSetupResults({-1});
    EXPECT_EQ(rip.Init(), 43);
    EXPECT_EQ(Calls(), "ColorSpaceClear Setup ");
    ExpectLogged(log, "BPDFSetupRasterDevice failed", kSource, kInit);
}

std::string FileBytes(const std::string& name) {
    std::ifstream in(std::string(BRASK_CORPUS_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(PixelDataTest, AnEPSAwayFromTheOriginIsFedWholeBehindItsTranslateLine) {
    BRASK_SKIP_WITHOUT_CORPUS();
    const std::string eps = FileBytes("eps-illustrator/ghostpdl__tiger.eps");
    ASSERT_FALSE(eps.empty());
    auto provider = MemorySource(eps);
    EPSVectorFileReader reader;
    reader.Init(provider.Get());
    EPSJawsRip rip(mHost.Get(), nullptr, provider.Get(), &reader);
    auto raster = Raster(600, 600, 3, true);
    EXPECT_EQ(rip.Rasterize(raster, 72.0f, 1, 0), kOK);
    EXPECT_EQ(rip.GetPixelWidth(), 550); // bbox 17 171 567 739
    EXPECT_EQ(rip.GetPixelHeight(), 568);
    ASSERT_GE(DrawCount(), 1);
    EXPECT_EQ(DrawPrologue(0), "-17 -171 translate\n");
    EXPECT_EQ(DrawFlags(DrawCount() - 1) & 2u, 2u);
    const auto start = static_cast<std::size_t>(reader.GetPostScriptStart());
    EXPECT_EQ(Drawn(), eps.substr(start, static_cast<std::size_t>(reader.GetPostScriptEnd()) - start));
}

TEST_F(PixelDataTest, ADOSBinaryEPSFeedsOnlyItsPostScriptSection) {
    BRASK_SKIP_WITHOUT_CORPUS();
    // PostScript at 7776, 38058 bytes long, behind a TIFF preview; high-resolution bbox 0 0 72 48.24.
    const std::string eps = FileBytes("eps-photoshop/pillow__1.eps");
    ASSERT_FALSE(eps.empty());
    auto provider = MemorySource(eps);
    EPSVectorFileReader reader;
    reader.Init(provider.Get());
    EPSJawsRip rip(mHost.Get(), nullptr, provider.Get(), &reader);
    EXPECT_EQ(rip.Init(), kOK);
    ASSERT_EQ(DrawCount(), 1);
    EXPECT_EQ(DrawFlags(0), 3u);
    EXPECT_EQ(DrawPrologueLength(0), 0);
    EXPECT_EQ(Drawn(), eps.substr(7776, 38058));
    EXPECT_EQ(SetupAt(0).width, reader.GetRight() - reader.GetLeft());
    EXPECT_EQ(SetupAt(0).height, reader.GetTop() - reader.GetBottom());
    EXPECT_NEAR(FixedToPoints(SetupAt(0).width), 72.0, 0.5);
    EXPECT_NEAR(FixedToPoints(SetupAt(0).height), 48.0, 0.5);
}

} // namespace
