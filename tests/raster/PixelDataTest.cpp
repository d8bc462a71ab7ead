// Feeding the PostScript to the raster device: prologue, blocks and their flags, read ends, refusals; and the
// analysis render of Init at 36 dpi.
#include "../support/FaultyProvider.h"
#include "RasterFixture.h"

#include <tuple>

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

TEST_F(PixelDataTest, BlocksTheirFlagsAndThePrologueThatMovesTheBoxOrigin) {
    using Sizes = std::vector<std::size_t>;
    struct Case {
        const char* name;
        std::string eps;
        std::int32_t start, end;
        Fixed left, bottom;
        Sizes requests;
        std::string draws, prologue = {}; // each draw shows its flags: first 1, last 2
    };
    const std::string eps = "junk before" + Section(3000) + "junk after";
    const Case cases[] = {
        {"750-byte blocks, the box away from the origin", eps, 11, 3011, 0xA8000, -(72 << 16) - 0x4000,
         Sizes{3000, 1500, 750}, "Draw1 Draw0 Draw0 Draw2 ", "-10.5 72.25 translate\n"},
        {"one block at the origin, first and last", Section(400), 0, 400, 0, 0, Sizes{400}, "Draw3 "},
        {"an empty section feeds nothing", Section(400), 3, 3, 0, 0, Sizes{0}, ""},
        {"a section past the data ends with it, its last block empty", Section(100), 0, 300, 0, 0, Sizes{300},
         "Draw1 Draw2 "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetDevice();
        auto provider = MemorySource(c.eps);
        BoxReader reader;
        std::tie(reader.left, reader.bottom, reader.start, reader.end) =
            std::tie(c.left, c.bottom, c.start, c.end);
        TestRip rip(mHost.Get(), provider.Get(), &reader);
        rip.refuse = [](std::size_t bytes, std::size_t) { return bytes > 1000; }; // 3000 goes in 750s
        EXPECT_EQ(rip.CreatePixelData(), kOK);
        EXPECT_EQ(Calls(), "ColorSpaceClear " + c.draws);
        EXPECT_EQ(rip.requests, c.requests);
        for (int i = 0; i < DrawCount(); ++i)
            EXPECT_EQ(std::tie(Draw(i).prologue, Draw(i).prologueLength),
                      std::make_tuple(c.prologue, static_cast<std::int16_t>(c.prologue.size())));
        EXPECT_EQ(Drawn(), c.start < c.end ? c.eps.substr(c.start, c.end - c.start) : "");
    }
}

TEST_F(PixelDataTest, BlocksStartAt32MiBAndHalveDownTo512) {
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
    ExpectLogged(mLog, "Unable to create memory for PostScript block.", kSource, kCreatePixelData);
}

TEST_F(PixelDataTest, RefusedThrowingOrMissingRenderersEndWith7) {
    auto provider = MemorySource(Section(100));
    BoxReader reader;
    reader.end = 100;
    TestRip rip(mHost.Get(), provider.Get(), &reader);
    for (bool throws : {false, true}) {
        mLog.Clear();
        SetDrawResult(-1, throws);
        EXPECT_EQ(rip.CreatePixelData(), 7);
        ExpectLogged(mLog,
                     throws ? "BEPSDrawPageContents threw an exception." : "BEPSDrawPageContents failed",
                     kSource, kCreatePixelData);
    }
    // Without the library every block counts as refused, and Init cannot open a device. (A RIP keeps the
    // factory it was given: it is made anew over the new host.)
    UseApplicationFolder((mTemp.Path() / "no-wrapper").string());
    ResetDevice();
    auto again = MemorySource(Section(100));
    TestRip noLibrary(mHost.Get(), again.Get(), &reader);
    EXPECT_EQ(noLibrary.CreatePixelData(), 7);
    EXPECT_EQ(DrawCount(), 0);
    EXPECT_EQ(noLibrary.Init(), 43);
    ExpectLogged(mLog, "BPDFSetupRasterDevice failed", kSource, kInit);
    EXPECT_EQ(SetupCount(), 0);
}

TEST_F(PixelDataTest, AReadErrorEndsTheRenderWith7NotABlankRaster) {
    BoxReader reader;
    reader.end = 3000;
    // (Rasterize passes a failed render on: see the raster tests.)
    for (int goodReads : {0, 2, -1}) { // -1: no provider at all
        SCOPED_TRACE(goodReads);
        ResetDevice();
        auto provider = New<FaultyProvider>(Section(3000), goodReads);
        TestRip rip(mHost.Get(), goodReads < 0 ? nullptr : provider.Get(), &reader);
        rip.refuse = [](std::size_t bytes, std::size_t) { return bytes > 1000 && bytes <= 3000; };
        mLog.Clear();
        EXPECT_EQ(rip.CreatePixelData(), 7);
        ExpectLogged(mLog,
                     goodReads < 0 ? "No data provider to read the EPS from."
                                   : "Unable to read from EPS file data provider. Status = 4",
                     kSource, kCreatePixelData);
        EXPECT_EQ(DrawCount(), std::max(goodReads, 0)); // the blocks read before the failure, none last
        for (int i = 0; i < DrawCount(); ++i)
            EXPECT_EQ(Draw(i).flags & 2u, 0u);
    }
}

TEST_F(PixelDataTest, InitRendersAt36DpiWithoutPixmapAndPassesFailuresOn) {
    const std::string eps = Section(200);
    auto provider = MemorySource(eps);
    BoxReader reader;
    // An inverted box still gives positive sizes.
    std::tie(reader.left, reader.right, reader.top, reader.end) =
        std::tuple(50 << 16, 20 << 16, 40 << 16, 200);
    TestRip rip(mHost.Get(), provider.Get(), &reader);
    EXPECT_EQ(rip.Init(), kOK);
    const std::string pass = "ColorSpaceClear Setup ColorSpaceClear Draw3 TearDown ";
    EXPECT_EQ(Calls(), pass);
    ASSERT_EQ(SetupCount(), 1);
    const FAKE::SetupRecord& s = SetupAt(0);
    EXPECT_EQ(std::tie(s.width, s.height, s.xResolution, s.yResolution, s.colorModelBits),
              std::make_tuple(30 << 16, 40 << 16, 0x240000, 0x240000, std::int16_t{24}));
    EXPECT_FALSE(s.hasPixmap || s.hasCallback);
    EXPECT_EQ(Drawn(), eps);

    ResetDevice();
    SetDrawResult(-1);
    EXPECT_EQ(rip.Init(), 7);
    EXPECT_EQ(Calls(), pass);
    ResetDevice();
    SetSetupResults({-1});
    EXPECT_EQ(rip.Init(), 43);
    EXPECT_EQ(Calls(), "ColorSpaceClear Setup ");
    ExpectLogged(mLog, "BPDFSetupRasterDevice failed", kSource, kInit);
}

} // namespace
