// The interpreter wrapper's raster device through its C entry points: pixel sizes, RGB with alpha from the
// two renders, CMYK, the 16-bit pixmap, the colour callback's records, replacing and closing the device,
// the analysis render without a pixmap, and refused arguments.
#include "WrapperLibraries.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace BRASK::TEST;

namespace {

constexpr std::int32_t Fixed(double value) {
    return static_cast<std::int32_t>(value * 65536.0);
}

// A 200 x 100 point picture: a cyan square at (10,10)-(60,60), a red one at (100,10)-(150,60), the rest
// unpainted.
constexpr const char* kTwoSquares = "1 0 0 0 setcmykcolor 10 10 50 50 rectfill\n"
                                    "1 0 0 setrgbcolor 100 10 50 50 rectfill\n";

struct Render {
    std::int32_t width = 0, height = 0, rowBytes = 0, depth = 32;
    std::vector<std::uint8_t> pixels;
    const std::uint8_t* At(std::int32_t x, std::int32_t y) const {
        return pixels.data() + static_cast<std::size_t>(y) * rowBytes +
               static_cast<std::size_t>(x) * (depth / 8);
    }
    std::vector<int> Pixel(std::int32_t x, std::int32_t y) const { return {At(x, y), At(x, y) + depth / 8}; }
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

    // Opens a device over a fresh pixmap of the size the wrapper computes and renders `text` in one block.
    static int32_t RenderText(const std::string& text, double width, double height, double dpi,
                              std::int16_t bits, Render& render, RipColorCallback* callback = nullptr,
                              std::int32_t depth = 32) {
        render.width = static_cast<std::int32_t>(width * dpi / 72);
        render.height = static_cast<std::int32_t>(height * dpi / 72);
        render.depth = depth;
        render.rowBytes = (depth * render.width + 7) / 8;
        render.pixels.assign(static_cast<std::size_t>(render.rowBytes) * render.height, 0xAB);
        RipPixmap pixmap{render.pixels.data(), render.rowBytes * render.height, depth, render.rowBytes};
        const int32_t opened = Setup(width, height, dpi, bits, &pixmap, callback);
        return opened != kJawsOK ? opened : Draw(text);
    }
};

struct CallbackLog {
    std::vector<ColorTransCBRec> records;
    int32_t answer = 0;
    RipColorCallback Callback(bool rgb = false);
};

// Converts by the naive formulas, so the test knows what to expect: CMYK -> RGB as 255 - min(255, c + k), RGB
// -> CMYK as 255 - value with K 0.
int32_t NaiveTranslate(void* context, ColorTransCBRec* record) {
    auto* log = static_cast<CallbackLog*>(context);
    log->records.push_back(*record);
    if (log->answer != 0)
        return log->answer;
    const auto* in = static_cast<const std::uint8_t*>(record->source);
    auto* out = static_cast<std::uint8_t*>(record->destination);
    for (std::uint32_t i = 0; i < record->pixelCount; ++i) {
        if (record->sourceSpace == 0 && record->destinationSpace == 1) {
            for (int c = 0; c < 3; ++c)
                out[i * 3 + c] =
                    static_cast<std::uint8_t>(255 - std::min(255, in[i * 4 + c] + in[i * 4 + 3]));
        } else if (record->sourceSpace == 1 && record->destinationSpace == 0) {
            for (int c = 0; c < 3; ++c)
                out[i * 4 + c] = static_cast<std::uint8_t>(255 - in[i * 3 + c]);
            out[i * 4 + 3] = 0;
        } else {
            return 242;
        }
    }
    record->done = 1;
    return 0;
}

RipColorCallback CallbackLog::Callback(bool rgb) {
    RipColorCallback callback{};
    callback.translate = &NaiveTranslate;
    callback.rgb = rgb ? 1 : 0;
    callback.context = this;
    return callback;
}

} // namespace

TEST_F(RasterDeviceTest, RgbAndCmykRendersGiveTheColoursAndTheAlphaOfTheTwoBackgrounds) {
    Render r;
    ASSERT_EQ(RenderText(kTwoSquares, 200, 100, 72, 24, r), kJawsOK);
    ASSERT_EQ(r.width, 200);
    // Rows run top first: point y 35 is pixel row 100 - 35.
    const std::uint8_t* cyan = r.At(35, 64);
    EXPECT_LE(cyan[0], 10);
    EXPECT_GE(cyan[1], 150);
    EXPECT_GE(cyan[2], 220);
    EXPECT_EQ(cyan[3], 255);
    EXPECT_EQ(r.Pixel(125, 64), (std::vector<int>{255, 0, 0, 255}));
    EXPECT_EQ(r.At(80, 20)[3], 0);
    EXPECT_EQ(r.At(80, 20)[0], 255);
    // Every pixel was written.
    for (std::int32_t y = 0; y < r.height; ++y)
        for (std::int32_t x = 0; x < r.width; ++x)
            ASSERT_TRUE(r.At(x, y)[3] == 0 || r.At(x, y)[3] == 255) << x << "," << y;

    // CMYK keeps process colours exactly.
    ASSERT_EQ(RenderText(kTwoSquares, 200, 100, 72, 32, r), kJawsOK);
    EXPECT_EQ(r.Pixel(35, 64), (std::vector<int>{255, 0, 0, 0}));
    EXPECT_EQ(r.Pixel(80, 20), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_LT(r.At(125, 64)[0], 40);
    EXPECT_GT(r.At(125, 64)[1], 200);
}

TEST_F(RasterDeviceTest, PixelSizeIsTruncatedAndTheProloguePrecedesTheFirstBlock) {
    // 100 points at 100 dpi: 138.9 pixels, so 138. The prologue moves a box at (50,50) to the origin.
    std::vector<std::uint8_t> pixels(139 * 4 * 139, 0xAB);
    RipPixmap pixmap{pixels.data(), 138 * 4 * 138, 32, 138 * 4};
    ASSERT_EQ(Setup(100, 100, 100, 24, &pixmap), kJawsOK);
    const std::string prologue = "-50 -50 translate\n";
    ASSERT_EQ(Draw("0 0 1 setrgbcolor 50 50 ", prologue, 1), kJawsOK);
    ASSERT_EQ(Draw("20 20 rectfill\n", prologue, 2), kJawsOK);
    auto at = [&](int x, int y) { return pixels.data() + y * 138 * 4 + x * 4; };
    EXPECT_EQ(at(5, 137)[2], 255); // bottom-left: blue
    EXPECT_EQ(at(5, 137)[3], 255);
    EXPECT_EQ(at(50, 80)[3], 0); // outside the square
    EXPECT_EQ(pixels[138 * 4 * 138], 0xAB) << "nothing is written past the pixmap";
}

TEST_F(RasterDeviceTest, SixteenBitPixmapHoldsFourNibbles) {
    Render r;
    ASSERT_EQ(RenderText(kTwoSquares, 200, 100, 72, 32, r, nullptr, 16), kJawsOK);
    EXPECT_EQ(r.rowBytes, 400);
    EXPECT_EQ(r.Pixel(35, 64), (std::vector<int>{0xF0, 0x00})); // C 15, M 0, Y 0, K 0
    ASSERT_EQ(RenderText(kTwoSquares, 200, 100, 72, 24, r, nullptr, 16), kJawsOK);
    EXPECT_EQ(r.Pixel(125, 64), (std::vector<int>{0xF0, 0x0F})); // red 15, green 0, blue 0, alpha 15
    EXPECT_EQ(r.At(80, 20)[1] & 0x0F, 0);                        // no alpha outside
}

TEST_F(RasterDeviceTest, ColourCallbackConvertsCmykRendersToRgbAndRgbRendersToCmyk) {
    CallbackLog log;
    RipColorCallback callback = log.Callback(true);
    Render r;
    ASSERT_EQ(RenderText(kTwoSquares, 200, 100, 72, 24, r, &callback), kJawsOK);
    ASSERT_FALSE(log.records.empty());
    std::uint64_t pixels = 0;
    for (const ColorTransCBRec& record : log.records) {
        EXPECT_EQ(record.sourceSpace, 0u);
        EXPECT_EQ(record.destinationSpace, 1u);
        EXPECT_EQ(record.bitsPerComponent, 8);
        EXPECT_EQ(record.pixelCount % 200, 0u) << "runs of whole rows";
        pixels += record.pixelCount;
    }
    EXPECT_EQ(pixels, 200u * 100u);
    // Cyan in CMYK becomes (0,255,255) by the naive formula, not Ghostscript's own (0,174,239)-like value.
    EXPECT_EQ(r.Pixel(35, 64), (std::vector<int>{0, 255, 255, 255}));
    EXPECT_EQ(r.At(80, 20)[3], 0);
    EXPECT_EQ(r.At(125, 64)[3], 255);

    log.records.clear();
    ASSERT_EQ(RenderText(kTwoSquares, 200, 100, 72, 32, r, &callback), kJawsOK);
    ASSERT_FALSE(log.records.empty());
    EXPECT_EQ(log.records[0].sourceSpace, 1u);
    EXPECT_EQ(log.records[0].destinationSpace, 0u);
    EXPECT_EQ(r.Pixel(125, 64), (std::vector<int>{0, 255, 255, 0}));
}

TEST_F(RasterDeviceTest, LargeRendersComeOutAsSmallOnes) {
    // At 360 dpi the picture is 1000 x 500 pixels: its renders reach the wrapper in pieces that end inside
    // rows and pixels, and the callback's runs (up to 256 Ki pixels) end at row 262. Each region's pixels,
    // on both sides of that row, are those of the 72 dpi render.
    const struct {
        const char* name;
        std::int16_t bits;
        bool callback;
        std::int32_t depth;
    } cases[] = {{"rgb", 24, false, 32},
                 {"cmyk", 32, false, 32},
                 {"rgb from cmyk through the callback", 24, true, 32},
                 {"cmyk from rgb through the callback", 32, true, 32},
                 {"rgb in 16 bits", 24, false, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CallbackLog log;
        RipColorCallback callback = log.Callback();
        Render small, large;
        ASSERT_EQ(
            RenderText(kTwoSquares, 200, 100, 72, c.bits, small, c.callback ? &callback : nullptr, c.depth),
            kJawsOK);
        log.records.clear();
        ASSERT_EQ(
            RenderText(kTwoSquares, 200, 100, 360, c.bits, large, c.callback ? &callback : nullptr, c.depth),
            kJawsOK);
        ASSERT_EQ(large.width, 1000);
        // The cyan square's columns, the red one's and the gap's, on rows either side of 262 and lower down.
        for (const std::int32_t x : {35, 125, 80})
            for (const std::int32_t y : {261, 262, 263, 400})
                EXPECT_EQ(large.Pixel(x * 5, y), small.Pixel(x, y / 5)) << " at " << x * 5 << "," << y;
        if (!c.callback)
            continue;
        std::uint64_t pixels = 0;
        for (const ColorTransCBRec& record : log.records) {
            EXPECT_EQ(record.pixelCount % 1000, 0u) << "runs of whole rows";
            EXPECT_LE(record.pixelCount, 256u * 1024u);
            pixels += record.pixelCount;
        }
        EXPECT_EQ(pixels, 1000u * 500u);
        EXPECT_EQ(log.records.size(), 2u);
    }
}

TEST_F(RasterDeviceTest, FailingCallbackFailsTheRender) {
    CallbackLog log;
    log.answer = 242;
    RipColorCallback callback = log.Callback();
    Render r;
    EXPECT_EQ(RenderText(kTwoSquares, 100, 50, 72, 24, r, &callback), kJawsFailed);
    EXPECT_EQ(log.records.size(), 1u);
}

TEST_F(RasterDeviceTest, AnalysisRenderRecordsTheColourSpacesTheDistillerReports) {
    // CMYK, a spot colour and gray text, drawn at an offset the prologue takes back.
    const std::string text =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 50 50 250 150\n"
        "0 1 1 0 setcmykcolor 60 60 50 50 rectfill\n"
        "[/Separation /BraskOrange /DeviceCMYK { dup 0.55 mul exch 0.95 mul 0 exch 0 }] setcolorspace\n"
        "0.8 setcolor 120 60 50 50 rectfill\n"
        "0.5 setgray /Helvetica findfont 12 scalefont setfont 60 130 moveto (Spot) show\n";
    const auto spaces = [] {
        std::vector<int> list;
        for (JawsColorSpace cs = Jaws()->BPDFColorSpaceBegin();
             cs != Jaws()->BPDFColorSpaceEnd() && list.size() < 20; cs = Jaws()->BPDFColorSpaceNext())
            list.push_back(cs);
        return list;
    };
    ASSERT_EQ(DistilText(text, Out("a.pdf"), 200, 100), kJawsOK);
    const std::vector<int> distilled = spaces();
    EXPECT_EQ(distilled,
              (std::vector<int>{kJawsColorSpaceCMYK, kJawsColorSpaceSeparation, kJawsColorSpaceGray}));

    Jaws()->BPDFColorSpaceClear();
    ASSERT_EQ(Setup(200, 100, 36, 24, nullptr), kJawsOK);
    EXPECT_EQ(Draw(text, "-50 -50 translate\n"), kJawsOK);
    EXPECT_EQ(spaces(), distilled);
    EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), 3);
    EXPECT_EQ(Draw("1 0 0 setrgbcolor nosuchoperator\n"), kJawsFailed);
    EXPECT_EQ(Jaws()->BPDFColorSpaceCount(), 0) << "a failed render leaves no list behind";
}

TEST_F(RasterDeviceTest, SecondSetupReplacesTheFirstAndTearDownClosesIt) {
    std::vector<std::uint8_t> first(100 * 4 * 50, 0xAB), second(100 * 4 * 50, 0xAB);
    RipPixmap a{first.data(), 100 * 4 * 50, 32, 400}, b{second.data(), 100 * 4 * 50, 32, 400};
    ASSERT_EQ(Setup(100, 50, 72, 32, &a), kJawsOK);
    ASSERT_EQ(Setup(100, 50, 72, 24, &b), kJawsOK);
    ASSERT_EQ(Draw(kTwoSquares), kJawsOK);
    EXPECT_EQ(first[0], 0xAB) << "the replaced pixmap is left alone";
    EXPECT_EQ(second[3], 0) << "the top-left pixel of the RGB render is transparent";
    EXPECT_EQ(Jaws()->BPDFTearDownRasterDevice(), kJawsOK);
    EXPECT_EQ(Draw(kTwoSquares), kJawsFailed);
}

TEST_F(RasterDeviceTest, RefusesBadArguments) {
    std::vector<std::uint8_t> pixels(100 * 4 * 50);
    RipPixmap good{pixels.data(), 100 * 4 * 50, 32, 400}, small{pixels.data(), 100 * 4 * 10, 32, 400},
        depth{pixels.data(), 100 * 4 * 50, 24, 400};
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
}

TEST_F(RasterDeviceTest, EndlessRenderIsStoppedAndTheNextRenders) {
    setenv("BRASK_JOB_TIMEOUT_SECONDS", "1", 1);
    Render r;
    EXPECT_EQ(RenderText("{ 1 pop } loop\n", 100, 50, 72, 24, r), kJawsTimedOut);
    unsetenv("BRASK_JOB_TIMEOUT_SECONDS");
    EXPECT_EQ(r.pixels[0], 0xAB) << "a stopped render writes no pixels";
    ASSERT_EQ(RenderText(kTwoSquares, 200, 100, 72, 24, r), kJawsOK);
    EXPECT_EQ(r.Pixel(125, 64), (std::vector<int>{255, 0, 0, 255}));
}

TEST_F(RasterDeviceTest, JobsCannotWriteFilesOrLeaveStateForTheNext) {
    Render r;
    EXPECT_EQ(RenderText("(/tmp/brask-raster-escape) (w) file pop\n", 100, 50, 72, 24, r), kJawsFailed);
    EXPECT_FALSE(FileExists("/tmp/brask-raster-escape"));
    // A definition made by one job is gone in the next.
    ASSERT_EQ(RenderText("/BraskLeftover { 1 0 0 setrgbcolor } def\n", 100, 50, 72, 24, r), kJawsOK);
    EXPECT_EQ(RenderText("BraskLeftover 0 0 10 10 rectfill\n", 100, 50, 72, 24, r), kJawsFailed);
}

TEST_F(RasterDeviceTest, AbortFromAnotherThreadEndsTheRender) {
    setenv("BRASK_JOB_TIMEOUT_SECONDS", "20", 1);
    std::atomic<bool> done{false};
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        while (!done) {
            Jaws()->BPDFAbortJob();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    Render r;
    const auto start = std::chrono::steady_clock::now();
    const int32_t status = RenderText("{ 1 pop } loop\n", 100, 50, 72, 24, r);
    done = true;
    aborter.join();
    unsetenv("BRASK_JOB_TIMEOUT_SECONDS");
    EXPECT_EQ(status, kJawsFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    ASSERT_EQ(RenderText(kTwoSquares, 200, 100, 72, 32, r), kJawsOK);
    EXPECT_EQ(r.At(35, 64)[0], 255);
}
