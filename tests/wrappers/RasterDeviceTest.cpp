// The interpreter wrapper's raster device through its C entry points: every kind of render (RGB with alpha
// from two renders, CMYK, the 16-bit pixmap, through the colour callback) at two sizes, the pixel size and
// the prologue, replacing and closing the device, refused arguments, and renders that are stopped.
#include "WrapperLibraries.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>

using namespace BRASK::TEST;

namespace {

constexpr std::int32_t Fixed(double value) {
    return static_cast<std::int32_t>(value * 65536.0);
}

// A 200 x 100 point picture: a cyan square at (10,10)-(60,60), a red one at (100,10)-(150,60), the rest
// unpainted.
constexpr const char* kTwoSquares = "1 0 0 0 setcmykcolor 10 10 50 50 rectfill\n"
                                    "1 0 0 setrgbcolor 100 10 50 50 rectfill\n";

using Pixel = std::vector<int>;

// Converts by the naive formulas, so the test knows what to expect: CMYK -> RGB as 255 - min(255, c + k), RGB
// -> CMYK as 255 - value with K 0.
struct CallbackLog {
    std::vector<ColorTransCBRec> records;
    int32_t answer = 0;
    RipColorCallback callback{&Translate, 1, 0, 0, this, 0};

    static int32_t Translate(void* context, ColorTransCBRec* record) {
        auto* log = static_cast<CallbackLog*>(context);
        log->records.push_back(*record);
        const auto* in = static_cast<const std::uint8_t*>(record->source);
        auto* out = static_cast<std::uint8_t*>(record->destination);
        for (std::uint32_t i = 0; i < record->pixelCount && log->answer == 0; ++i) {
            if (record->sourceSpace == 0)
                for (int c = 0; c < 3; ++c)
                    out[i * 3 + c] =
                        static_cast<std::uint8_t>(255 - std::min(255, in[i * 4 + c] + in[i * 4 + 3]));
            else
                for (int c = 0; c < 4; ++c)
                    out[i * 4 + c] = static_cast<std::uint8_t>(c < 3 ? 255 - in[i * 3 + c] : 0);
        }
        record->done = 1;
        return log->answer;
    }
};

class RasterDeviceTest : public WrapperTest {
protected:
    void SetUp() override {
        WrapperTest::SetUp();
        BRASK_REQUIRE_JAWS();
    }
    void TearDown() override {
        Jaws()->BPDFTearDownRasterDevice();
        WrapperTest::TearDown();
    }

    static int32_t Setup(double width, double height, double dpi, std::int16_t bits, RipPixmap* pixmap,
                         RipColorCallback* callback = nullptr, std::int32_t xdpi = -1) {
        return Jaws()->BPDFSetupRasterDevice(Fixed(width), Fixed(height), xdpi < 0 ? Fixed(dpi) : xdpi,
                                             Fixed(dpi), bits, pixmap, 0, nullptr, callback);
    }
    static int32_t Draw(const std::string& text, const std::string& prologue = "", std::int16_t block = 3) {
        return Jaws()->BEPSDrawPageContents(block, text.data(), static_cast<int32_t>(text.size()),
                                            prologue.data(), static_cast<int16_t>(prologue.size()));
    }
};

} // namespace

TEST_F(RasterDeviceTest, EveryKindOfRenderGivesItsPixelsAtAnySize) {
    // Rows run top first: at 72 dpi the cyan square, the red one and the gap are at pixels (35,64), (125,64)
    // and (80,20), and every pixel is one of the three. At 360 dpi the picture is 1000 x 500 pixels: its
    // renders reach the wrapper in pieces that end inside rows and pixels, and the callback's runs (up to
    // 256 Ki pixels) end at row 262; each region's pixels, on both sides of that row, are those at 72 dpi.
    const struct {
        const char* name;
        std::int16_t bits;
        bool callback;
        std::int32_t depth;
        Pixel cyan, red, gap;
    } cases[] = {
        {"rgb", 24, false, 32, {0, 174, 239, 255}, {255, 0, 0, 255}, {255, 255, 255, 0}},
        {"cmyk", 32, false, 32, {255, 0, 0, 0}, {0, 255, 255, 0}, {0, 0, 0, 0}},
        // The callback's naive formulas, not Ghostscript's conversions.
        {"rgb via callback", 24, true, 32, {0, 255, 255, 255}, {255, 0, 0, 255}, {255, 255, 255, 0}},
        {"cmyk via callback", 32, true, 32, {255, 81, 16, 0}, {0, 255, 255, 0}, {0, 0, 0, 0}},
        // 4-bit components: 0 and 1 in byte 0, 2 and 3 in byte 1.
        {"rgb in 16 bits", 24, false, 16, {0x0A, 0xEF}, {0xF0, 0x0F}, {0xFF, 0xF0}},
        {"cmyk in 16 bits", 32, false, 16, {0xF0, 0x00}, {0x0F, 0xF0}, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CallbackLog log;
        RipColorCallback* callback = c.callback ? &log.callback : nullptr;
        Render small, large;
        small.depth = large.depth = c.depth;
        ASSERT_EQ(RenderText(kTwoSquares, 200, 100, 72, c.bits, &small, callback), kJawsOK);
        const std::vector<ColorTransCBRec> smallRuns = log.records;
        log.records.clear();
        ASSERT_EQ(RenderText(kTwoSquares, 200, 100, 360, c.bits, &large, callback), kJawsOK);
        EXPECT_EQ((std::vector{small.At(35, 64), small.At(125, 64), small.At(80, 20)}),
                  (std::vector{c.cyan, c.red, c.gap}));
        for (std::int32_t y = 0; y < small.height; ++y)
            for (std::int32_t x = 0; x < small.width; ++x) {
                const Pixel p = small.At(x, y);
                ASSERT_TRUE(p == c.cyan || p == c.red || p == c.gap) << x << "," << y;
            }
        for (const std::int32_t x : {35, 125, 80})
            for (const std::int32_t y : {261, 262, 263, 400})
                EXPECT_EQ(large.At(x * 5, y), small.At(x, y / 5)) << " at " << x * 5 << "," << y;
        // The callback gets runs of whole rows, 8 bits per component, from the render's space to the other.
        for (const auto& [runs, width, height, count] :
             {std::tuple(smallRuns, 200u, 100u, c.callback ? 1u : 0u),
              std::tuple(log.records, 1000u, 500u, c.callback ? 2u : 0u)}) {
            ASSERT_EQ(runs.size(), count);
            std::uint64_t pixels = 0;
            for (const ColorTransCBRec& record : runs) {
                EXPECT_EQ(std::tuple(record.sourceSpace, record.destinationSpace, record.bitsPerComponent,
                                     record.pixelCount % width), // runs of whole rows
                          std::tuple(c.bits == 24 ? 0u : 1u, c.bits == 24 ? 1u : 0u, 8, 0u));
                EXPECT_LE(record.pixelCount, 256u * 1024u);
                pixels += record.pixelCount;
            }
            EXPECT_EQ(pixels, count == 0 ? 0u : width * height);
        }
    }
}

TEST_F(RasterDeviceTest, PixelSizeIsTruncatedTheProloguePrecedesTheFirstBlockAndTearingDownCloses) {
    // 100 points at 100 dpi: 138.9 pixels, so 138. The prologue moves a box at (50,50) to the origin.
    std::vector<std::uint8_t> pixels(139 * 4 * 139, 0xAB);
    RipPixmap pixmap{pixels.data(), 138 * 4 * 138, 32, 138 * 4};
    ASSERT_EQ(Setup(100, 100, 100, 24, &pixmap), kJawsOK);
    const std::string prologue = "-50 -50 translate\n";
    ASSERT_EQ(Draw("0 0 1 setrgbcolor 50 50 ", prologue, 1), kJawsOK);
    ASSERT_EQ(Draw("20 20 rectfill\n", prologue, 2), kJawsOK);
    auto at = [&](int x, int y) { return pixels.data() + y * 138 * 4 + x * 4; };
    EXPECT_EQ(std::pair(at(5, 137)[2], at(5, 137)[3]),
              (std::pair<std::uint8_t, std::uint8_t>(255, 255))); // blue
    EXPECT_EQ(at(50, 80)[3], 0);                                  // outside the square
    EXPECT_EQ(pixels[138 * 4 * 138], 0xAB) << "nothing is written past the pixmap";
    // Tearing down closes the device. (A second setup replaces the first: every test that renders twice.)
    EXPECT_EQ(Jaws()->BPDFTearDownRasterDevice(), kJawsOK);
    EXPECT_EQ(Jaws()->BPDFTearDownRasterDevice(), kJawsFailed) << "nothing left to close";
    EXPECT_EQ(Draw(kTwoSquares), kJawsFailed);
}

TEST_F(RasterDeviceTest, RefusesBadArgumentsAndAFailingCallback) {
    std::vector<std::uint8_t> pixels(100 * 4 * 50);
    RipPixmap good{pixels.data(), 100 * 4 * 50, 32, 400}, small{pixels.data(), 100 * 4 * 10, 32, 400},
        depth{pixels.data(), 100 * 4 * 50, 24, 400}, none{nullptr, 100 * 4 * 50, 32, 400};
    const struct {
        const char* name;
        double width;
        std::int16_t bits;
        RipPixmap* pixmap;
        std::int32_t xdpi; // -1: 72 dpi
        int32_t expected;
    } cases[] = {{"16 bits per pixel", 100, 16, &good, -1, kJawsBadParameter},
                 {"a pixmap too small", 100, 24, &small, -1, kJawsBadParameter},
                 {"a pixmap of 24 bits", 100, 24, &depth, -1, kJawsBadParameter},
                 {"a pixmap without data", 100, 24, &none, -1, kJawsBadParameter},
                 {"under one pixel with a pixmap", 0.5, 24, &good, -1, kJawsBadParameter},
                 {"no width", 0, 24, nullptr, -1, kJawsBadParameter},
                 {"no resolution", 100, 24, nullptr, 0, kJawsBadParameter},
                 // Without a pixmap a picture under one pixel is rendered on one pixel.
                 {"under one pixel without a pixmap", 0.5, 24, nullptr, -1, kJawsOK}};
    for (const auto& c : cases) {
        EXPECT_EQ(Setup(c.width, 50, 72, c.bits, c.pixmap, nullptr, c.xdpi), c.expected) << c.name;
        if (c.expected == kJawsOK) {
            EXPECT_EQ(Draw("0 0 0.5 0.5 rectfill\n"), kJawsOK) << c.name;
        }
    }
    ASSERT_EQ(Setup(100, 50, 72, 24, &good), kJawsOK);
    EXPECT_EQ(Jaws()->BEPSDrawPageContents(3, nullptr, 5, nullptr, 0), kJawsBadParameter);
    EXPECT_EQ(Jaws()->BEPSDrawPageContents(3, "x", -1, nullptr, 0), kJawsBadParameter);
    // A callback that fails fails the render, at its first run.
    CallbackLog log;
    log.answer = 242;
    Render r;
    EXPECT_EQ(RenderText(kTwoSquares, 100, 50, 72, 24, &r, &log.callback), kJawsFailed);
    EXPECT_EQ(log.records.size(), 1u);
}

TEST_F(RasterDeviceTest, AbortedJobsFailAndTheNextRuns) {
    // A distillation or a render aborted from another thread fails without output; the next job runs. An
    // abort while no job runs is ignored, so it is repeated. (Jobs past the time limit: IsolationTest.)
    for (const bool raster : {false, true}) {
        SCOPED_TRACE(raster ? "render" : "distillation");
        std::atomic<bool> done{false};
        std::thread aborter([&] {
            while (!done) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                Jaws()->BPDFAbortJob();
            }
        });
        Render r;
        const std::string endless = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n{ 1 pop } loop\n";
        const int32_t status = raster ? RenderText(endless, 100, 50, 72, 24, &r)
                                      : DistilText(endless, Out("stopped.pdf"), 100, 50);
        done = true;
        aborter.join();
        EXPECT_EQ(status, kJawsFailed);
        EXPECT_FALSE(std::filesystem::exists(Out("stopped.pdf")));
        EXPECT_TRUE(r.pixels.empty() || r.pixels[0] == 0xAB) << "a stopped render writes no pixels";
        ASSERT_EQ(RenderText(kTwoSquares, 200, 100, 72, 32, &r), kJawsOK);
        EXPECT_EQ(r.At(35, 64), (Pixel{255, 0, 0, 0}));
        EXPECT_EQ(DistilText(kTwoSquares, Out("after.pdf")), kJawsOK);
    }
}
