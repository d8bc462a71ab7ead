// The RIP's raster path end to end with the real interpreter wrapper: JawsRip::Rasterize of real EPS files
// compared with the `gs` command's render of the same file, CMYK channels of a pure-cyan fill, the 16-bit
// pixmap, and colour translation through the host's profiles against LittleCMS called directly.
#include "../support/CorpusSkip.h"
#include "../support/HostFixture.h"
#include "GsReference.h"
#include "LcmsReference.h"

#include "EPSVectorFileReader.h"
#include "JawsEntryPoints.h"
#include "Rip.h"

#include "brask/FilterKeys.h"

#include <cmath>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::RgbaImage;

namespace {

// A RIP whose pixmap requests of `refusedBytes` are refused (to force the 16-bit pixmap).
class PixmapRip : public EPSJawsRip {
public:
    using EPSJawsRip::EPSJawsRip;
    std::size_t refusedBytes = 0;

protected:
    std::unique_ptr<std::uint8_t[]> NewBuffer(std::size_t bytes) override {
        return bytes == refusedBytes ? nullptr : EPSJawsRip::NewBuffer(bytes);
    }
};

struct RipResult {
    Status status = -1;
    std::int32_t depth = 0;
    RgbaImage image;                // RGB + alpha (RGB model)
    std::vector<std::uint8_t> cmyk; // C, M, Y, K per pixel (CMYK model)
    const std::uint8_t* Cmyk(std::int32_t x, std::int32_t y) const {
        return &cmyk[(static_cast<std::size_t>(y) * image.width + x) * 4];
    }
};

const std::string kProfiles = std::string(BRASK_APP_DIR) + "/Profiles/";

class GsRasterizeTest : public BRASK::TEST::HostFixture {
protected:
    void SetUp() override {
        Fixture::SetUp();
        // The interpreter started by the first test keeps its files (font map) in the host's temporary
        // folder for the rest of the process, as in a host.
        static BRASK::TEST::TempDir hostTemp;
        UseHost(BRASK_APP_DIR, hostTemp.Path().string());
        JawsLibraryLoaded().store(false);
        ASSERT_TRUE(LoadJawsLibrary(JawsLibraryLoaded(), mHost.Get()));
    }

    std::string Temp(const std::string& name) const { return (mTemp.Path() / name).string(); }

    // Rasterizes `eps` through the RIP at `dpi`; colourModel 5 gives CMYK.
    RipResult Rasterize(const std::string& eps, float dpi, std::int32_t colourModel, bool translate,
                        bool force16 = false) {
        RipResult result;
        auto provider = MemorySource(TEST::ReadFile(eps));
        EPSVectorFileReader reader;
        EXPECT_EQ(reader.Init(provider.Get()), kOK) << eps;
        PixmapRip rip(mHost.Get(), nullptr, provider.Get(), &reader);
        const std::int32_t w =
            PixelsFor(static_cast<float>(FixedToPoints(std::abs(rip.GetFixedWidth()))), dpi);
        const std::int32_t h =
            PixelsFor(static_cast<float>(FixedToPoints(std::abs(rip.GetFixedHeight()))), dpi);
        if (force16)
            rip.refusedBytes = static_cast<std::size_t>(w) * 4 * static_cast<std::size_t>(h);
        const bool cmyk = colourModel == JawsRip::kColourModelCMYK;
        TInterfacePtr<GRAPHICS::IRasterComponent> raster;
        EXPECT_EQ(GRAPHICS::CreateRasterComponent(mHost.Get(), CLSID::RasterComponent, w, h, cmyk ? 4 : 3,
                                                  true, raster),
                  kOK);
        result.status = rip.Rasterize(raster, dpi, colourModel, translate ? 1 : 0);
        result.depth = rip.GetPixmapDepth();
        if (result.status != kOK)
            return result;
        result.image.width = w;
        result.image.height = h;
        result.image.pixels.assign(static_cast<std::size_t>(w) * h * 4, 0);
        result.cmyk.assign(static_cast<std::size_t>(w) * h * 4, 0);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(w));
        for (std::int32_t y = 0; y < h; ++y) {
            for (int c = 0; c <= (cmyk ? 4 : 3); ++c) {
                const bool alpha = c == (cmyk ? 4 : 3);
                (alpha ? raster->GetExtraChannel(0) : raster->GetColorChannel(c))->ReadRow(y, row.data(), w);
                for (std::int32_t x = 0; x < w; ++x)
                    (cmyk && !alpha
                         ? result.cmyk
                         : result.image.pixels)[(static_cast<std::size_t>(y) * w + x) * 4 + (alpha ? 3 : c)] =
                        row[x];
            }
        }
        return result;
    }
};

struct Difference {
    double colour = 0; // mean absolute difference of R, G, B over all compared pixels
    double alpha = 0;  // mean absolute difference of alpha
};

Difference Compare(const RgbaImage& ours, const RgbaImage& colour, const RgbaImage& coverage) {
    // Both renders start at the bottom-left corner; gs rounds a fractional height where the RIP truncates.
    const std::int32_t width = std::min({ours.width, colour.width, coverage.width});
    const std::int32_t height = std::min({ours.height, colour.height, coverage.height});
    const std::int32_t shift = colour.height - ours.height;
    double sum = 0, alphaSum = 0;
    for (std::int32_t y = std::max(0, -shift); y < height - std::max(0, shift); ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c)
                sum += std::abs(int(ours.At(x, y)[c]) - int(colour.At(x, y + shift)[c]));
            alphaSum += std::abs(int(ours.At(x, y)[3]) - int(coverage.At(x, y + shift)[3]));
        }
    }
    const double pixels = static_cast<double>(width) * height;
    return {sum / (3 * pixels), alphaSum / pixels};
}

const char* const kFiles[] = {
    BRASK_SAMPLES_DIR "/sample.eps",
    BRASK_CORPUS_DIR "/eps-illustrator/ghostpdl__tiger.eps",
    BRASK_CORPUS_DIR "/eps-illustrator/ghostpdl__golfer.eps",
    BRASK_CORPUS_DIR "/eps-plain/matplotlib__scatter.eps",
    BRASK_CORPUS_DIR "/eps-binary-preview/pillow__illu10_preview.eps",
    BRASK_CORPUS_DIR "/eps-illustrator/mei__GitHub-Mark.eps",
};

constexpr const char* kCyanAndRed = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n"
                                    "1 0 0 0 setcmykcolor 0 0 40 50 rectfill\n"
                                    "1 0 0 setrgbcolor 40 0 20 50 rectfill\n";

} // namespace

TEST_F(GsRasterizeTest, RealFilesMatchTheGsCommand) {
    BRASK_SKIP_WITHOUT_CORPUS();
    for (const char* file : kFiles) {
        SCOPED_TRACE(file);
        const RipResult ours = Rasterize(file, 72, 0, false);
        ASSERT_EQ(ours.status, kOK);
        EXPECT_EQ(ours.depth, 32);
        RgbaImage colour, coverage;
        ASSERT_TRUE(BRASK::TEST::GsRender(file, 72, "png16m", Temp("c.png")));
        ASSERT_TRUE(BRASK::TEST::GsRender(file, 72, "pngalpha", Temp("a.png")));
        ASSERT_TRUE(BRASK::TEST::ReadPng(Temp("c.png"), colour));
        ASSERT_TRUE(BRASK::TEST::ReadPng(Temp("a.png"), coverage));
        EXPECT_LE(std::abs(ours.image.width - colour.width), 1);
        EXPECT_LE(std::abs(ours.image.height - colour.height), 1);
        // The same interpreter renders both: anything beyond rounding is a fault of the raster path.
        const Difference d = Compare(ours.image, colour, coverage);
        EXPECT_LT(d.colour, 0.5);
        EXPECT_LT(d.alpha, 0.5);
    }
}

TEST_F(GsRasterizeTest, PureCyanFillGivesFullCyanOnlyAndAlphaFromTheSecondRender) {
    const std::string eps = WriteFile("cyan.eps", kCyanAndRed);
    for (const bool force16 : {false, true}) { // the 16-bit pixmap's 4-bit components are widened
        SCOPED_TRACE(force16 ? "16-bit pixmap" : "32-bit pixmap");
        const RipResult ours = Rasterize(eps, 72, JawsRip::kColourModelCMYK, false, force16);
        ASSERT_EQ(ours.status, kOK);
        EXPECT_EQ(ours.depth, force16 ? 16 : 32);
        ASSERT_EQ(ours.image.width, 100);
        for (std::int32_t y = 0; y < 50; ++y) {
            for (std::int32_t x = 0; x < 100; ++x) {
                const std::vector<int> ink(ours.Cmyk(x, y), ours.Cmyk(x, y) + 4);
                const std::uint8_t a = ours.image.At(x, y)[3];
                ASSERT_EQ(a, x < 60 ? 255 : 0) << x << "," << y;
                if (x < 40)
                    ASSERT_EQ(ink, std::vector<int>({255, 0, 0, 0})) << x << "," << y;
                else if (x >= 60)
                    ASSERT_EQ(ink, std::vector<int>({0, 0, 0, 0})) << x << "," << y;
                else
                    ASSERT_GT(ink[1], 200) << "red has magenta";
            }
        }
    }
    const RipResult rgb = Rasterize(eps, 72, 0, false, true);
    ASSERT_EQ(rgb.status, kOK);
    EXPECT_EQ(rgb.depth, 16);
    EXPECT_EQ(std::vector<int>(rgb.image.At(50, 10), rgb.image.At(50, 10) + 4),
              std::vector<int>({255, 0, 0, 255}));
    for (std::uint8_t v : rgb.image.pixels) // a 4-bit value repeated in both halves
        ASSERT_EQ(v % 17, 0);
}

TEST_F(GsRasterizeTest, TranslationConvertsThroughTheHostProfiles) {
    const std::string eps = WriteFile("cyan-t.eps", kCyanAndRed);
    using BRASK::TEST::LcmsDirect;
    const std::string cmykProfile = kProfiles + "BraskGenericCMYK.icc",
                      rgbProfile = kProfiles + "BraskGenericRGB.icc";
    const std::uint8_t cyan[4] = {255, 0, 0, 0}, red[3] = {255, 0, 0};
    const auto cyanRgb = LcmsDirect(cmykProfile, TYPE_CMYK_8, rgbProfile, TYPE_RGB_8, cyan, 3, 1);
    const auto redCmyk = LcmsDirect(rgbProfile, TYPE_RGB_8, cmykProfile, TYPE_CMYK_8, red, 4, 1);

    // Off: Ghostscript's own conversion, as the gs command renders it.
    const RipResult off = Rasterize(eps, 72, 0, false);
    ASSERT_EQ(off.status, kOK);
    RgbaImage reference;
    ASSERT_TRUE(BRASK::TEST::GsRender(eps, 72, "png16m", Temp("ref.png")));
    ASSERT_TRUE(BRASK::TEST::ReadPng(Temp("ref.png"), reference));
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(off.image.At(10, 10)[c], reference.At(10, 10)[c], 3) << c;
    EXPECT_EQ(std::vector<int>(off.image.At(50, 10), off.image.At(50, 10) + 3),
              std::vector<int>({255, 0, 0}));

    // On: the cyan of the CMYK render goes through the host transform (relative colorimetric, black point
    // compensation), which LittleCMS reproduces.
    const RipResult on = Rasterize(eps, 72, 0, true);
    ASSERT_EQ(on.status, kOK);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(on.image.At(10, 10)[c], cyanRgb[c], 1) << c;
    EXPECT_EQ(on.image.At(10, 10)[3], 255);
    EXPECT_EQ(on.image.At(80, 10)[3], 0);

    // CMYK model, RGB red. Off: Ghostscript's own conversion, as its pamcmyk32 render gives it; on: through
    // the host transform.
    const RipResult cmykOff = Rasterize(eps, 72, JawsRip::kColourModelCMYK, false);
    ASSERT_EQ(cmykOff.status, kOK);
    const std::string pam = Temp("ref.pam");
    ASSERT_EQ(std::system(("gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=pamcmyk32 -o '" + pam + "' '" +
                           eps + "' > /dev/null 2>&1")
                              .c_str()),
              0);
    const std::string pamBytes = TEST::ReadFile(pam);
    const std::size_t body = pamBytes.find("ENDHDR\n");
    ASSERT_NE(body, std::string::npos);
    const auto* gsCmyk = reinterpret_cast<const std::uint8_t*>(pamBytes.data() + body + 7);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(cmykOff.Cmyk(50, 10)[c], gsCmyk[(10 * 100 + 50) * 4 + c]) << c;
    const RipResult cmykOn = Rasterize(eps, 72, JawsRip::kColourModelCMYK, true);
    ASSERT_EQ(cmykOn.status, kOK);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(cmykOn.Cmyk(50, 10)[c], redCmyk[c], 1) << c;
    EXPECT_EQ(cmykOn.image.At(50, 10)[3], 255);

    // RGB model, RGB red with translation: the CMYK render goes through the host's CMYK -> RGB transform, so
    // red comes back as the press gamut's red.
    const auto redThroughCmyk =
        LcmsDirect(cmykProfile, TYPE_CMYK_8, rgbProfile, TYPE_RGB_8, cmykOff.Cmyk(50, 10), 3, 1);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(on.image.At(50, 10)[c], redThroughCmyk[c], 1) << c;
    EXPECT_GT(on.image.At(50, 10)[1], 10) << "the shift of red through the CMYK profile";
}

TEST_F(GsRasterizeTest, AnalysisRenderRunsTheJobWithoutPixmap) {
    const auto analyse = [this](const std::string& text) {
        auto provider = MemorySource(text);
        EPSVectorFileReader reader;
        EXPECT_EQ(reader.Init(provider.Get()), kOK);
        return EPSJawsRip(mHost.Get(), nullptr, provider.Get(), &reader).Init();
    };
    EXPECT_EQ(analyse(kCyanAndRed), kOK);
    mLog.Clear();
    EXPECT_EQ(analyse("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nnosuchop\n"), 7);
    EXPECT_EQ(Logged("BEPSDrawPageContents failed"), 1u);
}
