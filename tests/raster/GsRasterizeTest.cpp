// The RIP's raster path end to end with the real interpreter wrapper: JawsRip::Rasterize of real EPS files
// compared with the `gs` command's render of the same file, CMYK channels of a pure-cyan fill, the 16-bit
// pixmap, and colour translation through the host's profiles against LittleCMS called directly.
#include "../support/CorpusSkip.h"
#include "GsReference.h"

#include "../support/LogCapture.h"
#include "../support/TempDir.h"

#include "EPSVectorFileReader.h"
#include "JawsEntryPoints.h"
#include "Rip.h"

#include "ClassFactorySlot.h"
#include "LibUtils.h"
#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"
#include "brask/Raster.h"
#include "brask_host/Host.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <fstream>
#include <sstream>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::RgbaImage;

namespace {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A RIP whose pixmap requests of `refusedBytes` are refused (to force the 16-bit pixmap).
class PixmapRip : public EPSJawsRip {
public:
    using EPSJawsRip::EPSJawsRip;
    std::size_t refusedBytes = 0;

protected:
    std::unique_ptr<std::uint8_t[]> NewBuffer(std::size_t bytes) override {
        if (bytes == refusedBytes)
            return nullptr;
        return EPSJawsRip::NewBuffer(bytes);
    }
};

struct RipResult {
    Status status = -1;
    std::int32_t depth = 0;
    RgbaImage image;                // RGB + alpha (RGB model)
    std::vector<std::uint8_t> cmyk; // C, M, Y, K per pixel (CMYK model)
};

class GsRasterizeTest : public ::testing::Test {
protected:
    void SetUp() override {
        HOST::HostOptions options;
        options.applicationDir = BRASK_APP_DIR;
        // The interpreter started by the first test keeps its files (font map) in the host's temporary
        // folder for the rest of the process, as in a host.
        static BRASK::TEST::TempDir hostTemp;
        options.temporaryDir = hostTemp.Path().string();
        mHost = HOST::Host::Create(options);
        mHost->PublishAsCoreRegistry();
        COREREGISTRY::ClassFactorySlot::Set(mHost.Get());
        JawsLibraryLoaded().store(false);
        ASSERT_TRUE(LoadJawsLibrary(JawsLibraryLoaded()));
    }
    void TearDown() override {
        COREREGISTRY::ClassFactorySlot::Set(nullptr);
        mHost->UnpublishCoreRegistry();
        mHost.Reset();
    }

    std::string Temp(const std::string& name) const { return (mTemp.Path() / name).string(); }
    std::string WriteEps(const std::string& name, const std::string& text) const {
        std::ofstream(Temp(name), std::ios::binary) << text;
        return Temp(name);
    }

    // Rasterizes `eps` through the RIP at `dpi`; colourModel 5 gives CMYK.
    RipResult Rasterize(const std::string& eps, float dpi, std::int32_t colourModel, bool translate,
                        bool force16 = false) {
        RipResult result;
        const std::string bytes = ReadBytes(eps);
        TInterfacePtr<IO::IDataProvider> provider;
        IO::CreateReadOnlyDataProvider(mHost.Get(), provider, bytes.data(),
                                       static_cast<std::int32_t>(bytes.size()));
        EPSVectorFileReader reader;
        EXPECT_EQ(reader.Init(provider.Get()), kOK) << eps;
        PixmapRip rip(nullptr, provider.Get(), &reader);
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
        GRAPHICS::IRasterChannel* alpha = nullptr;
        for (std::int32_t i = 0; i < raster->GetExtraChannelCount(); ++i)
            if (raster->GetExtraChannelType(i) == GRAPHICS::kAlphaChannelType)
                alpha = raster->GetExtraChannel(i);
        result.image.width = w;
        result.image.height = h;
        result.image.pixels.assign(static_cast<std::size_t>(w) * h * 4, 0);
        result.cmyk.assign(static_cast<std::size_t>(w) * h * 4, 0);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(w));
        for (std::int32_t y = 0; y < h; ++y) {
            for (int c = 0; c < (cmyk ? 4 : 3); ++c) {
                raster->GetColorChannel(c)->ReadRow(y, row.data(), w);
                for (std::int32_t x = 0; x < w; ++x)
                    (cmyk ? result.cmyk
                          : result.image.pixels)[(static_cast<std::size_t>(y) * w + x) * 4 + c] = row[x];
            }
            alpha->ReadRow(y, row.data(), w);
            for (std::int32_t x = 0; x < w; ++x)
                result.image.pixels[(static_cast<std::size_t>(y) * w + x) * 4 + 3] = row[x];
        }
        return result;
    }

    BRASK::TEST::TempDir mTemp;
    TInterfacePtr<HOST::Host> mHost;
};

struct Difference {
    double colour = 0;      // mean absolute difference of R, G, B over all compared pixels
    double alpha = 0;       // mean absolute difference of alpha
    std::int32_t width = 0; // compared area
    std::int32_t height = 0;
};

Difference Compare(const RgbaImage& ours, const RgbaImage& colour, const RgbaImage& coverage) {
    Difference d;
    // Both renders start at the bottom-left corner; gs rounds a fractional height where the RIP truncates.
    d.width = std::min({ours.width, colour.width, coverage.width});
    d.height = std::min({ours.height, colour.height, coverage.height});
    const std::int32_t shift = colour.height - ours.height;
    double sum = 0, alphaSum = 0;
    for (std::int32_t y = std::max(0, -shift); y < d.height - std::max(0, shift); ++y) {
        for (std::int32_t x = 0; x < d.width; ++x) {
            for (int c = 0; c < 3; ++c)
                sum += std::abs(int(ours.At(x, y)[c]) - int(colour.At(x, y + shift)[c]));
            alphaSum += std::abs(int(ours.At(x, y)[3]) - int(coverage.At(x, y + shift)[3]));
        }
    }
    const double pixels = static_cast<double>(d.width) * d.height;
    d.colour = sum / (3 * pixels);
    d.alpha = alphaSum / pixels;
    return d;
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
        const Difference d = Compare(ours.image, colour, coverage);
        std::printf("  %-60s %4d x %-4d colour %.3f alpha %.3f\n", file, ours.image.width, ours.image.height,
                    d.colour, d.alpha);
        // The same interpreter renders both: anything beyond rounding is a fault of the raster path.
        EXPECT_LT(d.colour, 0.5);
        EXPECT_LT(d.alpha, 0.5);
        // Coverage is all or nothing: where gs leaves the page empty the alpha is 0, where it paints, 255.
        std::int64_t agree = 0, total = 0;
        const std::int32_t shift = coverage.height - ours.image.height;
        for (std::int32_t y = std::max(0, -shift); y < std::min(ours.image.height, coverage.height - shift);
             ++y)
            for (std::int32_t x = 0; x < std::min(ours.image.width, coverage.width); ++x, ++total)
                agree += ours.image.At(x, y)[3] == coverage.At(x, y + shift)[3];
        EXPECT_GT(static_cast<double>(agree) / total, 0.97);
    }
}

TEST_F(GsRasterizeTest, PureCyanFillGivesFullCyanOnlyAndAlphaFromTheSecondRender) {
    const std::string eps = WriteEps("cyan.eps", kCyanAndRed);
    const RipResult ours = Rasterize(eps, 72, JawsRip::kColourModelCMYK, false);
    ASSERT_EQ(ours.status, kOK);
    ASSERT_EQ(ours.image.width, 100);
    for (std::int32_t y = 0; y < 50; ++y) {
        for (std::int32_t x = 0; x < 100; ++x) {
            const std::uint8_t* p = &ours.cmyk[(static_cast<std::size_t>(y) * 100 + x) * 4];
            const std::uint8_t a = ours.image.At(x, y)[3];
            if (x < 40) {
                ASSERT_EQ(std::vector<int>(p, p + 4), std::vector<int>({255, 0, 0, 0})) << x << "," << y;
                ASSERT_EQ(a, 255);
            } else if (x >= 60) {
                ASSERT_EQ(std::vector<int>(p, p + 4), std::vector<int>({0, 0, 0, 0})) << x << "," << y;
                ASSERT_EQ(a, 0);
            } else {
                ASSERT_EQ(a, 255);
                ASSERT_GT(p[1], 200) << "red has magenta";
            }
        }
    }
}

TEST_F(GsRasterizeTest, SixteenBitPixmapGivesFourBitComponentsWidened) {
    const std::string eps = WriteEps("cyan16.eps", kCyanAndRed);
    const RipResult cmyk = Rasterize(eps, 72, JawsRip::kColourModelCMYK, false, true);
    ASSERT_EQ(cmyk.status, kOK);
    EXPECT_EQ(cmyk.depth, 16);
    EXPECT_EQ(std::vector<int>(&cmyk.cmyk[(10 * 100 + 10) * 4], &cmyk.cmyk[(10 * 100 + 10) * 4] + 4),
              std::vector<int>({255, 0, 0, 0}));
    EXPECT_EQ(cmyk.image.At(10, 10)[3], 255);
    EXPECT_EQ(cmyk.image.At(80, 10)[3], 0);

    const RipResult rgb = Rasterize(eps, 72, 0, false, true);
    ASSERT_EQ(rgb.status, kOK);
    EXPECT_EQ(rgb.depth, 16);
    EXPECT_EQ(std::vector<int>(rgb.image.At(50, 10), rgb.image.At(50, 10) + 4),
              std::vector<int>({255, 0, 0, 255}));
    EXPECT_EQ(rgb.image.At(80, 10)[3], 0);
    // Every component is a multiple of 17 (a 4-bit value repeated in both halves).
    for (std::uint8_t v : rgb.image.pixels)
        ASSERT_EQ(v % 17, 0);
}

TEST_F(GsRasterizeTest, TranslationConvertsThroughTheHostProfiles) {
    const std::string eps = WriteEps("cyan-t.eps", kCyanAndRed);
    const std::string profiles = std::string(BRASK_APP_DIR) + "/Profiles/";
    cmsHPROFILE cmykProfile = cmsOpenProfileFromFile((profiles + "BraskGenericCMYK.icc").c_str(), "r");
    cmsHPROFILE rgbProfile = cmsOpenProfileFromFile((profiles + "BraskGenericRGB.icc").c_str(), "r");
    ASSERT_NE(cmykProfile, nullptr);
    ASSERT_NE(rgbProfile, nullptr);
    cmsHTRANSFORM toRgb = cmsCreateTransform(cmykProfile, TYPE_CMYK_8, rgbProfile, TYPE_RGB_8,
                                             INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_BLACKPOINTCOMPENSATION);
    cmsHTRANSFORM toCmyk = cmsCreateTransform(rgbProfile, TYPE_RGB_8, cmykProfile, TYPE_CMYK_8,
                                              INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_BLACKPOINTCOMPENSATION);
    const std::uint8_t cyan[4] = {255, 0, 0, 0};
    const std::uint8_t red[3] = {255, 0, 0};
    std::uint8_t cyanRgb[3] = {}, redCmyk[4] = {};
    cmsDoTransform(toRgb, cyan, cyanRgb, 1);
    cmsDoTransform(toCmyk, red, redCmyk, 1);
    cmsDeleteTransform(toRgb);
    cmsDeleteTransform(toCmyk);
    cmsCloseProfile(cmykProfile);
    cmsCloseProfile(rgbProfile);

    // Off: Ghostscript's own conversion, as the gs command renders it.
    const RipResult off = Rasterize(eps, 72, 0, false);
    ASSERT_EQ(off.status, kOK);
    RgbaImage reference;
    ASSERT_TRUE(BRASK::TEST::GsRender(eps, 72, "png16m", Temp("ref.png")));
    ASSERT_TRUE(BRASK::TEST::ReadPng(Temp("ref.png"), reference));
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(off.image.At(10, 10)[c], reference.At(10, 10)[c], 3) << c;

    // On: the cyan of the CMYK render goes through the host transform (relative colorimetric, black point
    // compensation), which LittleCMS reproduces. (Ghostscript converts cyan through the same profiles to the
    // same value, so the two agree here.)
    const RipResult on = Rasterize(eps, 72, 0, true);
    ASSERT_EQ(on.status, kOK);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(on.image.At(10, 10)[c], cyanRgb[c], 1) << c;
    EXPECT_EQ(on.image.At(10, 10)[3], 255);
    EXPECT_EQ(on.image.At(80, 10)[3], 0);
    std::printf("  cyan: translation off %d %d %d, on %d %d %d (LittleCMS %d %d %d)\n",
                off.image.At(10, 10)[0], off.image.At(10, 10)[1], off.image.At(10, 10)[2],
                on.image.At(10, 10)[0], on.image.At(10, 10)[1], on.image.At(10, 10)[2], cyanRgb[0],
                cyanRgb[1], cyanRgb[2]);

    // CMYK model: RGB red. Off: Ghostscript's own conversion, as the gs command's pamcmyk32 render gives it;
    // on: the RGB render goes to CMYK through the host transform, which LittleCMS reproduces.
    const RipResult cmykOff = Rasterize(eps, 72, JawsRip::kColourModelCMYK, false);
    ASSERT_EQ(cmykOff.status, kOK);
    const std::string pam = Temp("ref.pam");
    ASSERT_EQ(std::system(("gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=pamcmyk32 -o '" + pam + "' '" +
                           eps + "' > /dev/null 2>&1")
                              .c_str()),
              0);
    const std::string pamBytes = ReadBytes(pam);
    const std::size_t body = pamBytes.find("ENDHDR\n");
    ASSERT_NE(body, std::string::npos);
    const auto* gsCmyk = reinterpret_cast<const std::uint8_t*>(pamBytes.data() + body + 7);
    const std::uint8_t* redOff = &cmykOff.cmyk[(10 * 100 + 50) * 4];
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(redOff[c], gsCmyk[(10 * 100 + 50) * 4 + c]) << c;

    const RipResult cmykOn = Rasterize(eps, 72, JawsRip::kColourModelCMYK, true);
    ASSERT_EQ(cmykOn.status, kOK);
    const std::uint8_t* redOn = &cmykOn.cmyk[(10 * 100 + 50) * 4];
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(redOn[c], redCmyk[c], 1) << c;
    EXPECT_EQ(cmykOn.image.At(50, 10)[3], 255);
    EXPECT_EQ(cmykOn.image.At(80, 10)[3], 0);
    std::printf("  red: translation off %d %d %d %d, on %d %d %d %d (LittleCMS %d %d %d %d)\n", redOff[0],
                redOff[1], redOff[2], redOff[3], redOn[0], redOn[1], redOn[2], redOn[3], redCmyk[0],
                redCmyk[1], redCmyk[2], redCmyk[3]);

    // RGB model, RGB red: without translation it stays 255/0/0; with translation the CMYK render goes
    // through the host's CMYK -> RGB transform, so red comes back as the press gamut's red.
    std::uint8_t redThroughCmyk[3] = {};
    {
        cmsHPROFILE c = cmsOpenProfileFromFile((profiles + "BraskGenericCMYK.icc").c_str(), "r");
        cmsHPROFILE r = cmsOpenProfileFromFile((profiles + "BraskGenericRGB.icc").c_str(), "r");
        cmsHTRANSFORM t = cmsCreateTransform(c, TYPE_CMYK_8, r, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                                             cmsFLAGS_BLACKPOINTCOMPENSATION);
        cmsDoTransform(t, redOff, redThroughCmyk, 1); // Ghostscript's CMYK of red
        cmsDeleteTransform(t);
        cmsCloseProfile(c);
        cmsCloseProfile(r);
    }
    EXPECT_EQ(std::vector<int>(off.image.At(50, 10), off.image.At(50, 10) + 3),
              std::vector<int>({255, 0, 0}));
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(on.image.At(50, 10)[c], redThroughCmyk[c], 1) << c;
    std::printf("  RGB red: translation off 255 0 0, on %d %d %d\n", on.image.At(50, 10)[0],
                on.image.At(50, 10)[1], on.image.At(50, 10)[2]);
    EXPECT_GT(std::abs(int(on.image.At(50, 10)[1]) - 0), 10) << "the shift of red through the CMYK profile";
}

TEST_F(GsRasterizeTest, AnalysisRenderRunsTheJobWithoutPixmap) {
    const std::string eps = WriteEps("analysis.eps", kCyanAndRed);
    const std::string bytes = ReadBytes(eps);
    TInterfacePtr<IO::IDataProvider> provider;
    IO::CreateReadOnlyDataProvider(mHost.Get(), provider, bytes.data(),
                                   static_cast<std::int32_t>(bytes.size()));
    EPSVectorFileReader reader;
    ASSERT_EQ(reader.Init(provider.Get()), kOK);
    EPSJawsRip rip(nullptr, provider.Get(), &reader);
    EXPECT_EQ(rip.Init(), kOK);

    const std::string broken =
        WriteEps("broken.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nnosuchop\n");
    const std::string brokenBytes = ReadBytes(broken);
    TInterfacePtr<IO::IDataProvider> brokenProvider;
    IO::CreateReadOnlyDataProvider(mHost.Get(), brokenProvider, brokenBytes.data(),
                                   static_cast<std::int32_t>(brokenBytes.size()));
    EPSVectorFileReader brokenReader;
    ASSERT_EQ(brokenReader.Init(brokenProvider.Get()), kOK);
    EPSJawsRip brokenRip(nullptr, brokenProvider.Get(), &brokenReader);
    BRASK::TEST::LogCapture log;
    EXPECT_EQ(brokenRip.Init(), 7);
    EXPECT_EQ(log.WithMessage("BEPSDrawPageContents failed").size(), 1u);
}
