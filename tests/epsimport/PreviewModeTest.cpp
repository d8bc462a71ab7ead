// epsimport --preview, run as a program: the PNG against the gs command's render of the same EPS, the CMYK
// preview through the profile transform, the options and the failures.
#include "../raster/GsReference.h"
#include "../support/CorpusSkip.h"
#include "ToolRun.h"

#include "PngRowRaster.h"

#include <lcms2.h>

using namespace BRASK;
using BRASK::TEST::RgbaImage;
using Preview = BRASK::TEST::EpsimportTest;

namespace {

int RunTool(const std::string& arguments) {
    return BRASK::TEST::RunEpsimport(arguments + " >/dev/null", false).exitStatus;
}

constexpr const char* kCyan = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n"
                              "1 0 0 0 setcmykcolor 0 0 50 50 rectfill\n";

} // namespace

TEST_F(Preview, PngMatchesTheGsCommandWithAlpha) {
    BRASK_SKIP_WITHOUT_CORPUS();
    for (const std::string& file :
         {std::string(BRASK_SOURCE_DIR) + "/samples/sample.eps",
          std::string(BRASK_CORPUS_DIR) + "/eps-illustrator/ghostpdl__golfer.eps"}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(RunTool("--preview " + Path("p.png") + " --dpi 50 " + file), 0);
        RgbaImage ours, colour, coverage;
        ASSERT_TRUE(BRASK::TEST::ReadPng(Path("p.png"), ours));
        ASSERT_TRUE(BRASK::TEST::GsRender(file, 50, "png16m", Path("c.png")));
        ASSERT_TRUE(BRASK::TEST::GsRender(file, 50, "pngalpha", Path("a.png")));
        ASSERT_TRUE(BRASK::TEST::ReadPng(Path("c.png"), colour));
        ASSERT_TRUE(BRASK::TEST::ReadPng(Path("a.png"), coverage));
        ASSERT_LE(std::abs(ours.width - colour.width), 1);
        ASSERT_LE(std::abs(ours.height - colour.height), 1);
        double colourSum = 0, alphaSum = 0;
        // Both renders start at the bottom-left corner; a fractional height is rounded by gs and truncated
        // here.
        const std::int32_t w = std::min(ours.width, colour.width), h = std::min(ours.height, colour.height);
        const std::int32_t shift = colour.height - ours.height;
        for (std::int32_t y = std::max(0, -shift); y < h - std::max(0, shift); ++y) {
            for (std::int32_t x = 0; x < w; ++x) {
                // Where the picture covers nothing the colour is of no account.
                if (ours.At(x, y)[3] != 0)
                    for (int c = 0; c < 3; ++c)
                        colourSum += std::abs(int(ours.At(x, y)[c]) - int(colour.At(x, y + shift)[c]));
                alphaSum += std::abs(int(ours.At(x, y)[3]) - int(coverage.At(x, y + shift)[3]));
            }
        }
        std::printf("  %s: mean difference colour %.3f alpha %.3f\n", file.c_str(), colourSum / (3.0 * w * h),
                    alphaSum / (double(w) * h));
        EXPECT_LT(colourSum / (3.0 * w * h), 0.5);
        EXPECT_LT(alphaSum / (double(w) * h), 0.5);
    }
}

TEST_F(Preview, CmykPreviewIsShownThroughTheProfileTransform) {
    const std::string profiles = std::string(BRASK_APP_DIR) + "/Profiles/";
    cmsHPROFILE cmyk = cmsOpenProfileFromFile((profiles + "BraskGenericCMYK.icc").c_str(), "r");
    cmsHPROFILE rgb = cmsOpenProfileFromFile((profiles + "BraskGenericRGB.icc").c_str(), "r");
    ASSERT_NE(cmyk, nullptr);
    ASSERT_NE(rgb, nullptr);
    cmsHTRANSFORM transform = cmsCreateTransform(
        cmyk, TYPE_CMYK_8, rgb, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_BLACKPOINTCOMPENSATION);
    const std::uint8_t cyan[4] = {255, 0, 0, 0};
    std::uint8_t expected[3] = {};
    cmsDoTransform(transform, cyan, expected, 1);
    cmsDeleteTransform(transform);
    cmsCloseProfile(cmyk);
    cmsCloseProfile(rgb);

    const std::string eps = WriteFile("cyan.eps", kCyan);
    // At 2100 dpi (4.25 million pixels) the rows are translated in more than one run; 100 x 50 points are
    // 2916.7 x 1458.3 pixels there, truncated.
    for (const auto& [dpi, width, height] : {std::tuple{72, 100, 50}, {2100, 2916, 1458}}) {
        ASSERT_EQ(
            RunTool("--preview " + Path("cyan.png") + " --cmyk --dpi " + std::to_string(dpi) + " " + eps), 0);
        RgbaImage image;
        ASSERT_TRUE(BRASK::TEST::ReadPng(Path("cyan.png"), image));
        ASSERT_TRUE(image.width == width && image.height == height) << image.width << " x " << image.height;
        for (const int y : {image.height * 2 / 5, image.height - 1}) {
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(image.At(image.width / 5, y)[c], expected[c], 1) << dpi << " dpi, row " << y;
            EXPECT_EQ(image.At(image.width / 5, y)[3], 255) << dpi << " dpi, row " << y;
            EXPECT_EQ(image.At(image.width * 4 / 5, y)[3], 0) << dpi << " dpi, row " << y;
        }
    }
}

TEST_F(Preview, PngRowsGoOutInOrderWhateverOrderTheyCompleteIn) {
    const std::string path = Path("rows.png");
    // Rows complete bottom first, one channel at a time over all rows; pixel (x, y) is (x, y, x + y, 10 y).
    {
        auto png = BRASK::TEST::New<EPSIMPORT::PngRowRaster>(path);
        ASSERT_EQ(png->Init(5, 4, 3), kOK);
        ASSERT_EQ(png->AddExtraChannel(GRAPHICS::kAlphaChannelType), kOK);
        const auto value = [](int channel, int x, int y) {
            return static_cast<std::uint8_t>(channel == 0   ? x
                                             : channel == 1 ? y
                                             : channel == 2 ? x + y
                                                            : 10 * y);
        };
        for (int channel = 0; channel < 4; ++channel) {
            GRAPHICS::IRasterChannel* plane =
                channel < 3 ? png->GetColorChannel(channel) : png->GetExtraChannel(0);
            ASSERT_NE(plane, nullptr);
            for (int y = 3; y >= 0; --y) {
                std::uint8_t row[5];
                for (int x = 0; x < 5; ++x)
                    row[x] = value(channel, x, y);
                ASSERT_EQ(plane->WriteRow(y, row, 5), kOK);
            }
        }
        EXPECT_FALSE(std::ifstream(path).good()) << "the PNG has its name before it is complete";
        std::string error;
        ASSERT_TRUE(png->Finish(error)) << error;
        RgbaImage image;
        ASSERT_TRUE(BRASK::TEST::ReadPng(path, image));
        ASSERT_EQ(image.width, 5);
        ASSERT_EQ(image.height, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(image.At(x, y)[c], value(c, x, y)) << x << "," << y << "," << c;
    }
    // A raster left incomplete, or with a row written again after it went out, leaves the old file alone.
    for (const bool again : {false, true}) {
        auto png = BRASK::TEST::New<EPSIMPORT::PngRowRaster>(path);
        ASSERT_EQ(png->Init(5, 4, 3), kOK);
        const std::uint8_t row[5] = {};
        for (int y = 0; y < (again ? 4 : 3); ++y)
            for (int c = 0; c < 3; ++c)
                png->GetColorChannel(c)->WriteRow(y, row, 5);
        if (again) {
            EXPECT_NE(png->GetColorChannel(0)->WriteRow(0, row, 5), kOK);
        }
        std::string error;
        EXPECT_FALSE(png->Finish(error));
        EXPECT_FALSE(error.empty());
        RgbaImage image;
        ASSERT_TRUE(BRASK::TEST::ReadPng(path, image)) << "the earlier PNG is gone";
        EXPECT_EQ(image.At(4, 3)[3], 30);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mTemp.Path()), {}), 1)
        << "scratch files stayed";
}

TEST_F(Preview, FailuresLeaveNoPng) {
    EXPECT_EQ(RunTool("--preview " + Path("none.png") + " " + Path("missing.eps")), 1);
    const std::string broken =
        WriteFile("broken.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nnosuchoperator\n");
    EXPECT_EQ(RunTool("--preview " + Path("none.png") + " " + broken), 1);
    EXPECT_FALSE(std::ifstream(Path("none.png")).good());
}
